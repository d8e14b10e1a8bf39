// The fill section: the menu's six kinds as written to the fill, the pattern path written only when the
// person chooses the pattern fill, the angle controls, the multi-stop editor and the colour swap as single
// undo steps, the own-image dialog's formats, and what the page shows after a fill chosen in the section.
#include "controls/color_well.h"
#include "controls/gradient_editor.h"
#include "controls/segmented_control.h"
#include "controls/stepper.h"
#include "inspectors/fill_section.h"
#include "inspectors/graph_view_controller.h"
#include "inspectors/style_values.h"
#include "styled_shape_page.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/shape.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/undo_manager.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSlider>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace kx::inspectors;

class FillSectionTest : public ::testing::Test, public kxtest::StyledShapePage {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkpath(QStringLiteral("Pattern"));
        for (const char* name : {"b_dots.png", "A_stripes.png"}) {
            QImage tile(8, 8, QImage::Format_RGB32);
            tile.fill(Qt::darkGreen);
            tile.save(dir.filePath(QStringLiteral("Pattern/") + QString::fromLatin1(name)));
        }
        kx::Bundle::setMainResourcePath(dir.path());
        inspector = std::make_unique<KXGraphViewController>();
        inspector->updateUIWithGraph(shape);
        section = inspector->fillView();
        settle();
    }
    void TearDown() override {
        inspector.reset();
        kx::Bundle::setMainResourcePath({});
    }
    void expectOneStepRestoring(const QByteArray& before) {
        StyledShapePage::expectOneStepRestoring(before, [this] { inspector->updateUIWithGraph(shape); });
    }
    void choose(int index) {
        section->pubFillType()->setCurrentIndex(index);
        emit section->pubFillType()->activated(index);
    }

    QTemporaryDir dir;
    std::unique_ptr<KXGraphViewController> inspector;
    KXFillSection* section = nullptr;
};

TEST_F(FillSectionTest, ARefreshWritesNothingNotEvenThePatternPath) {
    const QByteArray before = archive();
    inspector->updateUIWithGraph(shape);
    settle();
    EXPECT_EQ(archive(), before);
    EXPECT_FALSE(page->undoManager().canUndo());
    EXPECT_TRUE(shape->background()->imagePath().isEmpty());
    EXPECT_EQ(section->pubFillType()->currentIndex(), FillSolid);
}

TEST_F(FillSectionTest, ChoosingThePatternFillWritesTheFirstPattern) {
    const QByteArray before = archive();
    choose(FillPattern);
    EXPECT_EQ(shape->background()->imagePath(), dir.filePath(QStringLiteral("Pattern/A_stripes.png")));
    EXPECT_EQ(shape->background()->fillType(), KXFillTypeImage);
    EXPECT_EQ(shape->background()->imageType(), KXImageTypeTile);
    EXPECT_FALSE(section->patternView()->isHidden());
    expectOneStepRestoring(before);
}

TEST_F(FillSectionTest, PickingAnotherPatternIsOneStep) {
    choose(FillPattern);
    settle();
    page->undoManager().removeAllActions();
    const QByteArray before = archive();
    section->patternSelected(1);
    EXPECT_EQ(shape->background()->imagePath(), dir.filePath(QStringLiteral("Pattern/b_dots.png")));
    expectOneStepRestoring(before);
    section->patternSelected(7);  // past the list: nothing
    settle();
    EXPECT_FALSE(page->undoManager().canUndo());
}

TEST_F(FillSectionTest, EveryMenuKindIsOneUndoStep) {
    const std::pair<int, QWidget* (KXFillSection::*)() const> cases[] = {
        {FillNone, nullptr},
        {FillGradient, &KXFillSection::colorFillView},
        {FillAdvancedGradient, &KXFillSection::adGradientView},
        {FillImage, &KXFillSection::imageFillView},
    };
    for (const auto& [index, panel] : cases) {
        const QByteArray before = archive();
        choose(index);
        EXPECT_EQ(fillMenuIndex(shape->isFillEnabled(), shape->background()->fillType(),
                                shape->background()->colorType()),
                  index);
        if (panel)
            EXPECT_FALSE(((*section).*panel)()->isHidden()) << index;
        expectOneStepRestoring(before);
    }
}

TEST_F(FillSectionTest, AngleControls) {
    choose(FillGradient);
    settle();
    page->undoManager().removeAllActions();
    const QByteArray before = archive();
    QLineEdit* field = section->angle().field;
    field->setText(QStringLiteral("360"));
    emit field->textEdited(field->text());
    EXPECT_DOUBLE_EQ(shape->background()->fillAngle(), 360);
    EXPECT_EQ(section->angle().slider->value(), 90);
    EXPECT_EQ(section->angleGradient().slider->value(), 90);
    EXPECT_EQ(section->angleGradient().field->text(), QStringLiteral("360"));
    expectOneStepRestoring(before);

    section->angle().slider->setValue(0);
    EXPECT_DOUBLE_EQ(shape->background()->fillAngle(), 270);
    EXPECT_EQ(section->angle().field->text(), QStringLiteral("270"));
}

TEST_F(FillSectionTest, RadialDisablesTheAngleAndKeepsIt) {
    choose(FillAdvancedGradient);
    shape->background()->setFillAngle(30);
    inspector->updateUIWithGraph(shape);
    emit section->segGradient()->activated(1);
    EXPECT_EQ(shape->background()->gradientType(), KXGradientTypeRadial);
    EXPECT_FALSE(section->angleGradient().slider->isEnabled());
    EXPECT_FALSE(section->angleGradient().field->isEnabled());
    EXPECT_DOUBLE_EQ(shape->background()->fillAngle(), 30);
}

TEST_F(FillSectionTest, ColourSwapAndStopEditsAreOneStepEach) {
    choose(FillGradient);
    settle();
    page->undoManager().removeAllActions();
    QByteArray before = archive();
    section->swapColorAction();
    EXPECT_NEAR(shape->background()->color1().red(), 1, 1e-6);
    EXPECT_NEAR(section->cwFillColor1()->color().redF(), 1, 1e-6);
    expectOneStepRestoring(before);

    choose(FillAdvancedGradient);
    shape->background()->setAdGradientColorArray({kx::Color::srgb(1, 0, 0), kx::Color::srgb(0, 0, 1)});
    shape->background()->setLocationsArray({0, 1, 0, 0, 0, 0, 0, 0});
    settle();
    page->undoManager().removeAllActions();
    inspector->updateUIWithGraph(shape);
    settle();
    EXPECT_FALSE(page->undoManager().canUndo());  // loading the editor announces nothing
    before = archive();
    section->adGradientColorWell()->resize(200, 60);
    section->adGradientColorWell()->addColorWellToPoint(100);
    settle();
    EXPECT_EQ(shape->background()->gradientColorArray().size(), 3u);
    expectOneStepRestoring(before);
}

TEST_F(FillSectionTest, TheOwnImageIsPreviewedInProportion) {
    // A bitmap, a drawing and an Illustrator file (a PDF inside), each twice as wide as high or the
    // other way round: the preview keeps the proportions, and drawings fill the preview's width or height.
    QImage wide(200, 100, QImage::Format_RGB32);
    wide.fill(Qt::red);
    ASSERT_TRUE(wide.save(dir.filePath(QStringLiteral("wide.png"))));
    const auto write = [&](const QString& name, const QByteArray& data) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    };
    write(QStringLiteral("tall.svg"), "<svg xmlns='http://www.w3.org/2000/svg' width='50' height='100' "
                                      "viewBox='0 0 50 100'><rect width='50' height='100' fill='#0a0'/></svg>");
    {
        QPdfWriter pdf(dir.filePath(QStringLiteral("wide.ai")));
        pdf.setPageSize(QPageSize(QSizeF(200, 100), QPageSize::Point));
        pdf.setPageMargins(QMarginsF());
        QPainter painter(&pdf);
        painter.fillRect(painter.viewport(), Qt::blue);
    }
    const struct {
        const char* name;
        bool wide;
        bool drawing;
    } files[] = {{"wide.png", true, false}, {"tall.svg", false, true}, {"wide.ai", true, true}};
    choose(FillImage);
    const QLabel* view = section->findChild<QLabel*>(QStringLiteral("ivFillImage"));
    const int box = std::min(view->contentsRect().width(), view->contentsRect().height());
    for (const auto& file : files) {
        const QString path = dir.filePath(QString::fromLatin1(file.name));
        section->chooseCustomFillImage(path);
        EXPECT_EQ(shape->background()->customImagePath(), path);
        const QPixmap preview = view->pixmap();
        ASSERT_FALSE(preview.isNull()) << file.name;
        const QSizeF shown = preview.deviceIndependentSize();
        const double longer = std::max(shown.width(), shown.height());
        const double shorter = std::min(shown.width(), shown.height());
        EXPECT_EQ(shown.width() > shown.height(), file.wide) << file.name;
        EXPECT_NEAR(longer / shorter, 2.0, 0.1) << file.name;
        EXPECT_LE(longer, box) << file.name;
        if (file.drawing)
            EXPECT_GE(longer, box - 1) << file.name;
    }
    emit section->matrixFillStyle()->idClicked(2);
    EXPECT_EQ(shape->background()->imageType(), KXImageTypeStretchCrop);
}

TEST_F(FillSectionTest, TheFileDialogOffersEveryFormatWeRead) {
    const QString filter = fillImageNameFilter();
    for (const char* pattern : {"*.svg", "*.SVG", "*.ai", "*.AI", "*.png", "*.jpg", "*.pdf", "*.eps", "*.jpng"})
        EXPECT_TRUE(filter.contains(QLatin1String(pattern) + QLatin1Char(' ')) ||
                    filter.contains(QLatin1String(pattern) + QLatin1Char(')')))
            << pattern;
}

TEST_F(FillSectionTest, ThePageShowsTheFillChosen) {
    EXPECT_EQ(pixel(100, 100), QColor(0, 0, 255));
    section->cwFillColor1()->setColor(QColor(255, 0, 0));
    settle();
    EXPECT_EQ(pixel(100, 100), QColor(255, 0, 0));
    choose(FillNone);
    settle();
    EXPECT_EQ(pixel(100, 100), QColor(Qt::white));
}

}  // namespace

namespace {

TEST(ShippedPatterns, AreListedSortedAndTile) {
    const QStringList paths = patternImagePaths();
    ASSERT_GE(paths.size(), 8) << kx::Bundle::main().resourcePath().toStdString();
    QStringList sorted = paths;
    std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    EXPECT_EQ(paths, sorted);
    for (const QString& path : paths) {
        const QImage tile(path);
        ASSERT_FALSE(tile.isNull()) << path.toStdString();
        EXPECT_EQ(tile.width(), tile.height()) << path.toStdString();
        EXPECT_LE(tile.width(), 64) << path.toStdString();
    }
}

}  // namespace
