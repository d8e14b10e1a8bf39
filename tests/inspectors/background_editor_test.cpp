#include "controls/color_well.h"
#include "controls/popup_window.h"
#include "controls/segmented_control.h"
#include "controls/stepper.h"
#include "inspectors/background_editor_view_controller.h"
#include "model/background.h"
#include "model/model_classes.h"
#include "platform/foundation/bundle.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QScreen>
#include <QSlider>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

class RecordingBackgroundDelegate : public KXBackgroundViewControllerDelegate {
public:
    void backgroundViewControllerDidChangeBackground(KXBackgroundViewController*) override { ++changes; }
    void undoAdvanceGradientWithColorArray(const std::vector<kx::Color>& colors,
                                           const std::vector<double>& locations) override {
        gradients.push_back({colors, locations});
    }
    void applyToAllCanvasWithBackground(KXBackground* background) override { applied.push_back(background); }
    void backgroundSwapColors(KXBackground* background) override {
        swapped.push_back(background);
        background->swapColors();
    }
    int changes = 0;
    std::vector<std::pair<std::vector<kx::Color>, std::vector<double>>> gradients;
    std::vector<KXBackground*> applied;
    std::vector<KXBackground*> swapped;
};

class BackgroundEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        ASSERT_TRUE(packs.isValid());
        // One content pack with a tile image of its own.
        QDir().mkpath(packs.filePath(QStringLiteral("Pack1/Background/Tile/sub")));
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::red);
        packImage = packs.filePath(QStringLiteral("Pack1/Background/Tile/sub/zz_pack.png"));
        ASSERT_TRUE(image.save(packImage));
        KXBackgroundViewController::setPackFolder(packs.path());
        editor = std::make_unique<KXBackgroundViewController>();
        editor->setDelegate(&delegate);
        background = std::make_shared<KXBackground>();
        background->setColor1(kx::Color::srgb(1, 0, 0, 1));
        background->setColor2(kx::Color::srgb(0, 0, 1, 1));
        anchor = QGuiApplication::primaryScreen()->availableGeometry().center() - QPoint(0, 200);
    }
    void TearDown() override {
        editor.reset();
        KXBackgroundViewController::setPackFolder(QString());
        KXBackgroundViewController::setImageChooser({});
    }
    QString tiles() const { return kx::Bundle::main().resourcePath() + QStringLiteral("/Background/Tile/"); }

    QTemporaryDir packs;
    QString packImage;
    std::unique_ptr<KXBackgroundViewController> editor;
    std::shared_ptr<KXBackground> background;
    RecordingBackgroundDelegate delegate;
    QPoint anchor;
};

TEST_F(BackgroundEditorTest, OwnImagesComeFirstThenThoseOfEachPack) {
    const QStringList images = KXBackgroundViewController::backgroundImages(QStringLiteral("Tile"));
    ASSERT_GE(images.size(), 2);
    EXPECT_EQ(images.back(), packImage);
    for (int i = 0; i + 1 < images.size(); ++i) {
        EXPECT_TRUE(images[i].startsWith(tiles())) << images[i].toStdString();
        if (i + 2 < images.size())
            EXPECT_LT(images[i].compare(images[i + 1], Qt::CaseInsensitive), 0);
    }
    EXPECT_FALSE(KXBackgroundViewController::backgroundImages(QStringLiteral("Stretch")).contains(packImage));
}

TEST_F(BackgroundEditorTest, AnglesShowOnSlidersTurnedAQuarter) {
    editor->popupAtPosition(anchor, background.get());
    struct Case {
        const char* how;
        int value;
        double angle;
        int slider;
    };
    const Case cases[] = {
        {"show", 0, 0, 90},     {"slider", 45, 315, 45},   {"slider", 90, 0, 90},     {"stepper", -1, 359, 89},
        {"stepper", 360, 0, 90}, {"stepper", 200, 200, 290}, {"typed", 400, 360, 90}, {"typed", -5, 0, 90},
        {"typed", 30, 30, 120},
    };
    for (const Case& c : cases) {
        const std::string how = c.how;
        if (how == "show") {
            background->setFillAngle(c.value);
            editor->synchronousBackground();
        } else if (how == "slider") {
            editor->colorAngleFromSlider(c.value);
        } else if (how == "stepper") {
            editor->colorAngleFromStepper(c.value);
        } else {
            editor->colorAngleTyped(QString::number(c.value));
        }
        EXPECT_EQ(background->fillAngle(), c.angle) << c.how << " " << c.value;
        EXPECT_EQ(editor->slColorAngle()->value(), c.slider) << c.how << " " << c.value;
        EXPECT_EQ(editor->slGradientColorAngle()->value(), c.slider) << c.how << " " << c.value;
        EXPECT_EQ(editor->stColorAngle()->value(), c.angle) << c.how << " " << c.value;
        EXPECT_EQ(editor->tfGradientColorAngle()->text(), QString::number(int(c.angle))) << c.how << " " << c.value;
    }
    // The stepper stepping down from 0 gives 359.
    editor->colorAngleFromStepper(0);
    editor->stColorAngle()->stepBy(-1);
    EXPECT_EQ(background->fillAngle(), 359);
}

TEST_F(BackgroundEditorTest, SectionsResizeThePopoverAroundItsTopEdge) {
    editor->popupAtPosition(anchor, background.get());
    ASSERT_TRUE(editor->isWindowVisible());
    kx::controls::KXPopupWindow* window = editor->popupWindow();
    const QRect colour = window->geometry();
    const int colourHeight = KXBackgroundViewController::kColorSectionExtra + KXBackgroundViewController::kSolidRowHeight;
    EXPECT_EQ(editor->colorView()->height(), colourHeight);

    editor->backgroundTypeChanged(1);
    const QRect image = window->geometry();
    EXPECT_EQ(image.width(), colour.width() + KXBackgroundViewController::kImageSectionExtraWidth);
    EXPECT_EQ(image.height() - colour.height(), editor->imageView()->height() - colourHeight);
    EXPECT_EQ(image.top(), colour.top());
    EXPECT_EQ(image.center().x(), colour.center().x());
    EXPECT_EQ(background->fillType(), KXFillTypeImage);

    editor->backgroundTypeChanged(0);
    EXPECT_EQ(window->geometry(), colour);

    // Two colours take one more row (the menu shows the choice before its action runs).
    editor->pubColorType()->setCurrentIndex(1);
    editor->fillStyleChange(1);
    EXPECT_EQ(window->geometry().height(), colour.height() + KXBackgroundViewController::kGradientRowHeight -
                                               KXBackgroundViewController::kSolidRowHeight);
    EXPECT_EQ(background->colorType(), KXColorTypeGradient);
    EXPECT_TRUE(editor->cwColor2()->isVisibleTo(editor->view()));
    editor->pubColorType()->setCurrentIndex(0);
    editor->fillStyleChange(0);
    EXPECT_FALSE(editor->cwColor2()->isVisibleTo(editor->view()));
    EXPECT_EQ(window->geometry(), colour);

    // Shown again at the same place it hides.
    editor->popupAtPosition(anchor, background.get());
    EXPECT_FALSE(editor->isWindowVisible());
}

TEST_F(BackgroundEditorTest, ImageCategoriesRememberTheirChoice) {
    editor->popupAtPosition(anchor, background.get());
    editor->backgroundTypeChanged(1);
    ASSERT_GE(editor->images().size(), 3);
    editor->ibvBackground()->selectItem(2);
    EXPECT_EQ(background->imagePath(), editor->images()[2]);
    const QString tile = editor->images()[2];

    editor->imageFillTypeChanged(1);
    EXPECT_EQ(background->imageType(), KXImageTypeStretchCrop);
    EXPECT_FALSE(editor->slTileScale()->isEnabled());
    EXPECT_TRUE(background->imagePath().contains(QStringLiteral("/Background/Stretch/")));

    editor->imageFillTypeChanged(0);
    EXPECT_EQ(background->imageType(), KXImageTypeTile);
    EXPECT_EQ(background->imagePath(), tile);
    EXPECT_TRUE(editor->slTileScale()->isEnabled());
}

TEST_F(BackgroundEditorTest, AnOwnImagePathTakesTheListsChoiceInTheImageSection) {
    background->setFillType(KXFillTypeCustomImage);
    background->setCustomImagePath(packImage);
    background->setImagePath(packImage);
    editor->popupAtPosition(anchor, background.get());
    editor->backgroundTypeChanged(1);
    ASSERT_FALSE(editor->images().isEmpty());
    EXPECT_NE(background->imagePath(), packImage);
    EXPECT_TRUE(editor->images().contains(background->imagePath()));
}

TEST_F(BackgroundEditorTest, AnImageNoLongerListedSelectsNothingAndStays) {
    const QString gone = packs.filePath(QStringLiteral("Removed/Background/Tile/gone.png"));
    background->setFillType(KXFillTypeImage);
    background->setImageType(KXImageTypeTile);
    background->setImagePath(gone);
    editor->popupAtPosition(anchor, background.get());
    EXPECT_TRUE(editor->ibvBackground()->selectedItems().empty());
    EXPECT_EQ(background->imagePath(), gone);
    EXPECT_EQ(editor->scBackgroundType()->selectedSegment(), 1);
}

TEST_F(BackgroundEditorTest, ColoursSwapsApplyToAllAndOwnImagesGoThroughTheDelegate) {
    editor->popupAtPosition(anchor, background.get());
    editor->cwColor1()->setColorAndClose(QColor(0, 255, 0));
    EXPECT_EQ(background->color1().toQColor(), QColor(0, 255, 0));
    const int changes = delegate.changes;
    EXPECT_GT(changes, 0);

    editor->swapColorAction();
    EXPECT_EQ(delegate.swapped, (std::vector<KXBackground*>{background.get()}));
    EXPECT_EQ(background->color1().toQColor(), QColor(0, 0, 255));
    EXPECT_EQ(editor->cwColor1()->color(), QColor(0, 0, 255));
    EXPECT_EQ(editor->cwColor2()->color(), QColor(0, 255, 0));

    editor->applyToAllCanvas();
    EXPECT_EQ(delegate.applied, (std::vector<KXBackground*>{background.get()}));

    // A cancelled choice keeps the own image; a chosen one becomes it.
    const QString before = background->customImagePath();
    KXBackgroundViewController::setImageChooser([](QWidget*) { return QString(); });
    editor->chooseCustomImage();
    EXPECT_EQ(background->customImagePath(), before);
    KXBackgroundViewController::setImageChooser([this](QWidget*) { return packImage; });
    editor->chooseCustomImage();
    EXPECT_EQ(background->customImagePath(), packImage);
    EXPECT_FALSE(editor->ivCustomImage()->pixmap().isNull());
    editor->customFillStyleChanged(1);
    EXPECT_EQ(background->imageType(), KXImageTypeStretch);
}

TEST_F(BackgroundEditorTest, MultiStopChangesGoToTheDelegateWithEightLocations) {
    background->setColorType(KXColorTypeAdvancedGradient);
    editor->popupAtPosition(anchor, background.get());
    EXPECT_TRUE(editor->adGradientView()->isVisibleTo(editor->view()));
    editor->adGradientView()->setGradientChanged(true);
    QApplication::processEvents();
    ASSERT_EQ(delegate.gradients.size(), 1u);
    EXPECT_EQ(delegate.gradients[0].second.size(), 8u);
    EXPECT_EQ(delegate.gradients[0].first.size(), editor->adGradientView()->colorArray().size());

    // A radial gradient has no angle.
    editor->gradientStyleChange(1);
    EXPECT_EQ(background->gradientType(), KXGradientTypeRadial);
    EXPECT_FALSE(editor->slGradientColorAngle()->isEnabled());
    editor->gradientStyleChange(0);
    EXPECT_TRUE(editor->stGradientColorAngle()->isEnabled());
}

}  // namespace
