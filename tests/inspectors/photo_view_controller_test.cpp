// The photo inspector: its controls against the photo and shape they write, the undo steps they leave,
// the notifications they post, the panel's height, and the page's pixels after edits made through them.
#include "inspectors/photo_view_controller.h"

#include "controls/notification_recorder.h"
#include "controls/color_well.h"
#include "controls/stepper.h"
#include "controls/image_browser_view.h"
#include "graphics/image_effect_manager.h"
#include "graphics/photo_filter.h"
#include "inspectors/inspector_support.h"
#include "model/frame.h"
#include "model/photo.h"
#include "model/stroke.h"
#include "platform/foundation/bundle.h"
#include "support/qt_message_check.h"
#include "styled_shape_page.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using Inspector = KXImageViewController;

class PhotoInspectorTest : public ::testing::Test, public kxtest::StyledShapePage {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        imagePath = dir.filePath(QStringLiteral("red.png"));
        QImage image(300, 300, QImage::Format_RGB32);
        image.fill(QColor(220, 30, 30));
        ASSERT_TRUE(image.save(imagePath));
        // The page observes the photo of a shape it is given: the shape goes on the page again with one.
        page->removeGraph(shape.get());
        shape->setFillEnabled(false);
        shape->setPhoto(KXPhoto::photoWithOwner(shape.get()));
        page->addGraph(shape);
        shape->photo()->setImagePath(imagePath);
        shape->photo()->setFrameEnabled(false);
        shape->photo()->setMaskEnabled(false);
        settle();
        page->undoManager().removeAllActions();
        ASSERT_EQ(shape->graphType(), KXGraphTypePhoto);
        ASSERT_NE(inspector.view(), nullptr);
        inspector.updateUIWithGraph(shape);
    }
    KXPhoto& photo() const { return *shape->photo(); }
    KXPhotoFilter& filter() const { return *shape->photo()->variableFilter(); }
    void refresh() { inspector.updateUIWithGraph(shape); }
    static void type(const ValueRow& row, const QString& text) {
        row.field->setText(text);
        emit row.field->textEdited(text);
    }
    static void endEditing(const ValueRow& row) { emit row.field->editingFinished(); }
    // Showing the photo again records no undo step, posts no edit and changes no property, however the
    // controls report the values they are given.
    void expectRefreshWritesNothing(const char* what) {
        settle();
        page->undoManager().removeAllActions();
        const QByteArray before = archive();
        kxtest::NotificationRecorder recorder({KXExitObjectMode});
        refresh();
        settle();
        EXPECT_EQ(archive(), before) << what;
        EXPECT_FALSE(page->undoManager().canUndo()) << what;
        EXPECT_TRUE(recorder.posted.empty()) << what;
    }
    // Selects a cell of the effect chooser as a person's click does.
    void chooseEffect(int index) { inspector.effectChooser()->browser()->selectItem(index); }
    static int effectIndex(const QString& name) {
        const KXImageEffectManager& effects = KXImageEffectManager::imageEffectManager();
        for (int i = 1; i < effects.effectCount(); ++i)
            if (effects.effectItemAtIndex(i)->effectName() == name)
                return i;
        ADD_FAILURE() << "no effect " << name.toStdString();
        return 0;
    }
    // Chooses a decoration from the menu as a person does.
    void chooseDecoration(int item) {
        inspector.pubOverlay()->setCurrentIndex(item);
        emit inspector.pubOverlay()->activated(item);
    }

    QTemporaryDir dir;
    QString imagePath;
    Inspector inspector;
};

TEST_F(PhotoInspectorTest, BorderWidthAndCornerTakeTheirScales) {
    shape->setStrokeEnabled(true);
    shape->stroke()->setWidth(0.35);
    photo().setRoundCornerRadius(12);
    refresh();
    EXPECT_EQ(inspector.pubOverlay()->currentIndex(), Inspector::Border);
    EXPECT_EQ(inspector.borderWidth().slider->value(), 3);
    EXPECT_EQ(inspector.borderWidth().field->text(), "3");
    EXPECT_EQ(inspector.corner().slider->value(), 12);

    type(inspector.borderWidth(), QStringLiteral("25"));
    EXPECT_DOUBLE_EQ(shape->stroke()->width(), 2.5);
    EXPECT_EQ(inspector.borderWidth().slider->value(), 25);
    inspector.corner().slider->setValue(40);
    EXPECT_EQ(photo().roundCornerRadius(), 40);
    EXPECT_EQ(inspector.corner().field->text(), "40");
}

TEST_F(PhotoInspectorTest, TypedValuesOutsideTheRangeAreClamped) {
    struct Case {
        const char* typed;
        double opacity;
        const char* whileTyping;
        const char* afterEditing;
    };
    const Case cases[] = {
        {"150", 1.0, "150", "100"},
        {"-7", 0.0, "-7", "0"},
        {"35", 0.35, "35", "35"},
    };
    for (const Case& c : cases) {
        type(inspector.reflection(), QString::fromLatin1(c.typed));
        EXPECT_DOUBLE_EQ(shape->reflectionAlpha(), c.opacity) << c.typed;
        EXPECT_EQ(inspector.reflection().field->text(), c.whileTyping) << c.typed;
        EXPECT_EQ(inspector.reflection().slider->value(), int(std::lround(c.opacity * 100))) << c.typed;
        endEditing(inspector.reflection());
        EXPECT_EQ(inspector.reflection().field->text(), c.afterEditing) << c.typed;
    }
}

TEST_F(PhotoInspectorTest, FilterSlidersTakeTheirScalesBothWays) {
    struct Case {
        Inspector::Filter filter;
        int slider;
        double value;
    };
    const Case cases[] = {
        {Inspector::Exposure, 15, 1.5},
        {Inspector::Saturation, 40, 0.4},
        {Inspector::Brightness, -20, -0.2},
        {Inspector::Contrast, 150, 1.5},
        {Inspector::Hue, 50, std::numbers::pi / 2},
    };
    for (const Case& c : cases)
        inspector.filterSlider(c.filter)->setValue(c.slider);
    const double stored[] = {filter().exposureValue(), filter().saturationValue(), filter().brightnessValue(),
                             filter().contrastValue(), filter().hueValue()};
    for (const Case& c : cases)
        EXPECT_NEAR(stored[c.filter], c.value, 1e-6) << c.filter;

    // Another inspector showing the photo puts every slider back where it was.
    Inspector other;
    ASSERT_NE(other.view(), nullptr);
    other.updateUIWithGraph(shape);
    for (const Case& c : cases)
        EXPECT_EQ(other.filterSlider(c.filter)->value(), c.slider) << c.filter;

    kxtest::NotificationRecorder recorder({KXExitObjectMode});
    inspector.btResetFilter()->click();
    EXPECT_TRUE(filter().isDefault());
    EXPECT_EQ(inspector.filterSlider(Inspector::Saturation)->value(), 100);
    EXPECT_EQ(inspector.filterSlider(Inspector::Hue)->value(), 0);
    EXPECT_EQ(recorder.names(), QStringList{KXExitObjectMode});
}

TEST_F(PhotoInspectorTest, QuarterTurnsAndFlips) {
    struct Case {
        std::int64_t from;
        int segment;
        int clicks;
        std::int64_t to;
    };
    const Case cases[] = {{0, 0, 1, 90}, {0, 0, 2, 180}, {0, 1, 1, 270}, {270, 0, 1, 0}, {90, 1, 3, 180}};
    for (const Case& c : cases) {
        photo().setPhotoRotation(c.from);
        for (int i = 0; i < c.clicks; ++i)
            inspector.rotateButton(c.segment)->click();
        EXPECT_EQ(photo().photoRotation(), c.to) << c.from << " " << c.segment << " " << c.clicks;
    }
    inspector.flipButton(0)->click();
    EXPECT_EQ(shape->flipX(), -1);
    EXPECT_EQ(shape->flipY(), 1);
    inspector.flipButton(1)->click();
    inspector.flipButton(0)->click();
    EXPECT_EQ(shape->flipX(), 1);
    EXPECT_EQ(shape->flipY(), -1);
}

TEST_F(PhotoInspectorTest, FrameOnAFramelessPhotoIsOneUndoStep) {
    shape->setStrokeEnabled(true);
    settle();
    page->undoManager().removeAllActions();
    refresh();
    const QByteArray before = archive();
    kxtest::NotificationRecorder recorder({KXSelectFrameResources, KXSelectMaskResources});
    chooseDecoration(Inspector::Frame);
    EXPECT_FALSE(shape->isStrokeEnabled());
    EXPECT_TRUE(photo().isFrameEnabled());
    EXPECT_FALSE(photo().isMaskEnabled());
    ASSERT_NE(photo().frame(), nullptr);
    EXPECT_EQ(photo().frame()->name(),
              kx::Bundle::main().resourcePath() + QStringLiteral("/Frame/Classic/classic_003.jpng"));
    ASSERT_EQ(recorder.names(), QStringList{KXSelectFrameResources});
    EXPECT_EQ(recorder.posted[0].sender, static_cast<const void*>(inspector.view()->window()));
    expectOneStepRestoring(before);
}

TEST_F(PhotoInspectorTest, MaskKeepsANameThePhotoHasAndGivesTheCircleOtherwise) {
    const QString circle = kx::Bundle::main().resourcePath() + QStringLiteral("/Mask/Circle/circle_001.jpg");
    const QString other = kx::Bundle::main().resourcePath() + QStringLiteral("/Mask/Circle/circle_002.jpg");
    kxtest::NotificationRecorder recorder({KXSelectMaskResources});
    chooseDecoration(Inspector::Mask);
    EXPECT_EQ(photo().maskName(), circle);
    EXPECT_TRUE(photo().isMaskEnabled());
    chooseDecoration(Inspector::NoDecoration);
    EXPECT_FALSE(photo().isMaskEnabled());
    EXPECT_FALSE(photo().isFrameEnabled());
    EXPECT_FALSE(shape->isStrokeEnabled());
    photo().setMaskName(other);
    chooseDecoration(Inspector::Mask);
    EXPECT_EQ(photo().maskName(), other);
    EXPECT_EQ(recorder.names().size(), 2);
}

TEST_F(PhotoInspectorTest, ARefreshWritesNothing) {
    // The photo's values all differ from what the controls show; showing it records no undo step, posts
    // no edit and changes no property, however the controls report their new values.
    shape->setStrokeEnabled(true);
    shape->stroke()->setWidth(4.2);
    shape->stroke()->setColor(kx::Color::srgb(0, 1, 0));
    shape->setReflectionEnabled(true);
    shape->setReflectionAlpha(0.73);
    photo().setRoundCornerRadius(9);
    filter().setHue(1.0F);
    filter().setContrast(1.7F);
    expectRefreshWritesNothing("");
    EXPECT_EQ(inspector.reflection().field->text(), "73");
    EXPECT_EQ(inspector.borderWidth().field->text(), "42");
    EXPECT_EQ(inspector.cwBorderColor()->color().green(), 255);
    EXPECT_TRUE(inspector.btReflection()->isChecked());
}

TEST_F(PhotoInspectorTest, ReflectionSwitchGrowsThePanel) {
    shape->setReflectionEnabled(false);
    refresh();
    const int off = inspector.view()->height();
    EXPECT_FALSE(inspector.reflectionSettingView()->isVisibleTo(inspector.view()));
    kxtest::NotificationRecorder recorder({KXNeedToUpdateContentView});
    inspector.btReflection()->click();
    EXPECT_TRUE(shape->isReflectionEnabled());
    EXPECT_EQ(inspector.view()->height(), off + inspector.reflectionSettingView()->height() - 9);
    EXPECT_TRUE(inspector.reflectionSettingView()->isVisibleTo(inspector.view()));
    ASSERT_EQ(recorder.posted.size(), 1U);
    EXPECT_EQ(recorder.posted[0].sender, static_cast<const void*>(static_cast<KXObjectInspector*>(&inspector)));
    // The border's settings show only with the border.
    chooseDecoration(Inspector::Border);
    EXPECT_TRUE(inspector.borderView()->isVisibleTo(inspector.view()));
    EXPECT_EQ(inspector.overlayView()->height(), 36 + inspector.borderView()->height());
    chooseDecoration(Inspector::NoDecoration);
    EXPECT_FALSE(inspector.borderView()->isVisibleTo(inspector.view()));
    EXPECT_EQ(inspector.overlayView()->height(), 36);
}

TEST_F(PhotoInspectorTest, EditsThroughTheControlsShowOnThePage) {
    // The photo covers pixels 50 .. 150 of the 200-pixel page.
    const QColor plain = pixel(100, 100);
    EXPECT_GT(plain.red(), 200);
    EXPECT_LT(plain.green(), 60);

    // A border.
    chooseDecoration(Inspector::Border);
    inspector.cwBorderColor()->setColor(QColor(0, 0, 255));
    type(inspector.borderWidth(), QStringLiteral("50"));
    const QColor edge = pixel(52, 100);
    EXPECT_LT(edge.red(), 30);
    EXPECT_GT(edge.blue(), 220);

    // A mask: the circle leaves the photo's corners to the page.
    chooseDecoration(Inspector::Mask);
    const QColor corner = pixel(53, 53);
    EXPECT_GT(corner.green(), 220) << corner.name().toStdString();
    EXPECT_GT(pixel(100, 100).red(), 200);

    // No saturation: the photo turns grey.
    chooseDecoration(Inspector::NoDecoration);
    inspector.filterSlider(Inspector::Saturation)->setValue(0);
    const QColor grey = pixel(100, 100);
    EXPECT_NEAR(grey.red(), grey.green(), 6);
    EXPECT_NEAR(grey.green(), grey.blue(), 6);
}

TEST_F(PhotoInspectorTest, ChoosingAnEffectIsOneUndoStepThatShowsOnThePage) {
    const KXImageEffectManager& effects = KXImageEffectManager::imageEffectManager();
    ASSERT_GT(effects.effectCount(), 1);
    EXPECT_EQ(inspector.effectChooser()->numberOfItems(), effects.effectCount());
    // The photo fills its square shape: the crop rectangle a new image would get on its next render is
    // stored now, so that the archives compared below differ only by what the inspector writes.
    photo().setCropRect({0, 0, 1, 1});
    settle();
    page->undoManager().removeAllActions();
    const QColor plain = pixel(100, 100);
    ASSERT_GT(plain.red() - plain.green(), 150);

    const int blackAndWhite = effectIndex(QStringLiteral("Black and White"));
    const QByteArray before = archive();
    kxtest::NotificationRecorder recorder({KXExitObjectMode});
    chooseEffect(blackAndWhite);
    EXPECT_EQ(photo().effectName(), QStringLiteral("Black and White"));
    EXPECT_EQ(recorder.names(), QStringList{KXExitObjectMode});
    EXPECT_EQ(inspector.btEffect()->text(), effects.effectItemAtIndex(blackAndWhite)->imageTitle());
    EXPECT_FALSE(inspector.btEffect()->icon().isNull());
    EXPECT_EQ(inspector.effectChooser()->selectedIndex(), blackAndWhite);
    const QColor grey = pixel(100, 100);
    EXPECT_NEAR(grey.red(), grey.green(), 3) << grey.name().toStdString();
    EXPECT_NEAR(grey.green(), grey.blue(), 3) << grey.name().toStdString();

    // One undo gives back the archive, and the photo is drawn red again.
    expectOneStepRestoring(before, [this] { refresh(); });
    EXPECT_TRUE(photo().effectName().isEmpty());
    EXPECT_EQ(inspector.effectChooser()->selectedIndex(), 0);
    EXPECT_EQ(pixel(100, 100), plain);

    // "Original" takes the effect away again, as a step of its own.
    chooseEffect(effectIndex(QStringLiteral("Sepia")));
    EXPECT_NE(pixel(100, 100), plain);
    settle();
    page->undoManager().removeAllActions();
    const QByteArray sepia = archive();
    chooseEffect(0);
    EXPECT_TRUE(photo().effectName().isEmpty());
    EXPECT_EQ(pixel(100, 100), plain);
    expectOneStepRestoring(sepia);
}

TEST_F(PhotoInspectorTest, ARefreshMarksTheEffectWithoutWritingIt) {
    const int sepia = effectIndex(QStringLiteral("Sepia"));
    struct Case {
        const char* name;
        int index;
        bool missing;
    };
    // Drawing finds an effect whatever the letter case of its name; the chooser marks the same one.
    const Case cases[] = {
        {"Sepia", sepia, false}, {"sePIA", sepia, false}, {"", 0, false}, {"Original", 0, false}, {"Gone", 0, true},
    };
    for (const Case& c : cases) {
        photo().setEffectName(QString::fromLatin1(c.name));
        expectRefreshWritesNothing(c.name);
        EXPECT_EQ(inspector.effectChooser()->selectedIndex(), c.index) << c.name;
        EXPECT_EQ(inspector.btEffect()->toolTip().contains(QLatin1String(c.name)) && c.missing, c.missing) << c.name;
        EXPECT_EQ(inspector.btEffect()->text().contains(QLatin1String("not available")), c.missing) << c.name;
    }
}

TEST_F(PhotoInspectorTest, TheEffectChooserOpensUnderItsButtonAndClosesOnAPressElsewhere) {
    KXEffectChooser& chooser = *inspector.effectChooser();
    const auto press = [](QWidget* widget) {
        QMouseEvent event(QEvent::MouseButtonPress, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    };
    inspector.btEffect()->click();
    ASSERT_TRUE(chooser.isShown());
    EXPECT_GE(chooser.window()->y(), inspector.btEffect()->mapToGlobal(QPoint(0, inspector.btEffect()->height())).y());
    // Presses inside the chooser and on its button keep it; the button's click closes it.
    press(chooser.browser()->viewport());
    press(inspector.btEffect());
    EXPECT_TRUE(chooser.isShown());
    inspector.btEffect()->click();
    EXPECT_FALSE(chooser.isShown());
    // A press anywhere else closes it.
    inspector.btEffect()->click();
    ASSERT_TRUE(chooser.isShown());
    press(inspector.view());
    EXPECT_FALSE(chooser.isShown());
}

TEST_F(PhotoInspectorTest, MissingAndDamagedEffectFilesAreNeitherFatalNorHidden) {
    // A catalogue with one good effect file, two damaged ones and no preview source image.
    QTemporaryDir resources;
    ASSERT_TRUE(resources.isValid());
    ASSERT_TRUE(QDir(resources.path()).mkpath(QStringLiteral("Image Effect")));
    const auto write = [&resources](const char* name, const QByteArray& bytes) {
        QFile file(resources.filePath(QStringLiteral("Image Effect/") + QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const QByteArray matrix = "<key>colorMarix</key><array>" + QByteArray("<real>0.5</real>").repeated(20) + "</array>";
    const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>";
    write("01 Good.xml", head + "<key>imageName</key><string>Good</string>" + matrix + "</dict></plist>");
    write("02 Broken.xml", head + "<key>imageName</key><string>Broken</string><key>colorMa");
    write("03 Short.xml", head + "<key>imageName</key><string>Short</string><key>colorMarix</key><array>"
                                 "<real>1</real></array></dict></plist>");
    kxtest::ExpectedQtWarning skipped(QStringLiteral("Skipping effect file .*0[23] "), 2);
    const KXImageEffectManager catalogue(resources.path());
    inspector.setEffectCatalogue(&catalogue);
    ASSERT_EQ(inspector.effectChooser()->numberOfItems(), 2);

    // A photo naming a damaged effect is drawn without it, and the button says the effect is not there.
    const QColor plain = pixel(100, 100);
    photo().setEffectName(QStringLiteral("Broken"));
    settle();
    refresh();
    EXPECT_EQ(inspector.effectChooser()->selectedIndex(), 0);
    EXPECT_TRUE(inspector.btEffect()->text().contains(QLatin1String("Broken")));
    EXPECT_TRUE(inspector.btEffect()->toolTip().contains(QLatin1String("not available")));
    EXPECT_EQ(pixel(100, 100), plain);

    // The good effect, whose preview could not be made, is chosen all the same; the button shows its title.
    chooseEffect(1);
    EXPECT_EQ(photo().effectName(), QStringLiteral("Good"));
    EXPECT_EQ(inspector.btEffect()->text(), QStringLiteral("Good"));
    EXPECT_TRUE(inspector.btEffect()->icon().isNull());
    EXPECT_TRUE(inspector.btEffect()->toolTip().isEmpty());
    inspector.setEffectCatalogue(nullptr);
}

TEST_F(PhotoInspectorTest, IsHostedByTheStyleInspector) {
    KXGraphViewController host;
    auto owned = std::make_unique<Inspector>();
    Inspector* hosted = owned.get();
    ASSERT_TRUE(host.installObjectInspector(KXGraphTypePhoto, std::move(owned)));
    shape->setStrokeEnabled(true);
    host.updateUIWithGraph(shape);
    EXPECT_EQ(hosted->photo(), &photo());
    EXPECT_EQ(hosted->pubOverlay()->currentIndex(), Inspector::Border);
    auto plain = std::make_shared<KXShape>();
    plain->setPhoto(nullptr);
    plain->setText(nullptr);
    host.updateUIWithGraph(plain);
    EXPECT_EQ(hosted->photo(), nullptr);
}

}  // namespace
