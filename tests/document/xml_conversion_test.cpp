#include "reader_support.h"

#include "document/project_info.h"
#include "document/xml_conversion.h"
#include "graphics/color_utilities.h"
#include "graphics/image_effect_manager.h"
#include "model/background.h"
#include "model/calendar.h"
#include "model/canvas.h"
#include "model/frame.h"
#include "model/page_size.h"
#include "model/page_size_manager.h"
#include "model/photo.h"
#include "model/shadow.h"
#include "model/shape.h"
#include "model/stroke.h"
#include "platform/foundation/bundle.h"
#include "text/advanced_text.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLocale>
#include <QTemporaryDir>

#include <climits>
#include <map>
#include <numbers>

namespace {

// Converts XML text with a lookup that knows a few resources, recording every lookup it answers.
class XMLConversion : public ReaderTest {
protected:
    void SetUp() override {
        ReaderTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        // The effect catalogue reads the application's own effect files.
        kx::Bundle::setMainResourcePath(QStringLiteral(KX_SOURCE_DIR "/resources"));
        for (const char* file : {"Background/Stretch/sky.jpg", "Background/Tile/dots.jpg", "Background/Other/wood.jpg",
                                 "Clipart/Fun/star.png", "Mask/Circle/circle.jpg", "Frame/Classic/gold.png"})
            resources[QFileInfo(QString::fromLatin1(file)).fileName().toLower()] =
                writeImage(QString::fromLatin1(file));
    }
    void TearDown() override {
        kx::Bundle::setMainResourcePath({});
        ReaderTest::TearDown();
    }

    QString writeImage(const QString& relative) {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QImage image(16, 12, QImage::Format_RGB32);
        image.fill(QColor(30, 120, 200));
        EXPECT_TRUE(image.save(path));
        return path;
    }
    QString writeFile(const QString& relative, const QByteArray& data) {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return path;
    }

    KXResourceLookup lookup() {
        return [this](const QString& name, const QString& category) {
            asked << category + u'/' + name;
            const auto it = resources.find(QFileInfo(name).fileName().toLower());
            return it != resources.end() && it->second.contains(u'/' + category + u'/') ? it->second : QString();
        };
    }

    std::vector<std::shared_ptr<KXCanvas>> convert(const QByteArray& xml, std::int32_t type = KXXMLSourceTemplate,
                                                   const QString& dataPath = {}) {
        const auto info = read(xml);
        EXPECT_TRUE(info) << lastError.toStdString();
        if (!info)
            return {};
        KXXMLConverter converter(lookup());
        auto pages = converter.applyCollageInfo(*info, type, dataPath);
        missing = converter.missingResources();
        return pages;
    }

    // The only object of a one-page file of the version, on an 800 x 600 pixel page (landscape: a page that is
    // not landscape takes its longer side upright).
    template <typename T>
    std::shared_ptr<T> only(const QByteArray& object, int version = 7, std::int32_t type = KXXMLSourceTemplate,
                            const QString& dataPath = {}) {
        const auto pages = convert("<root><info Version=\"" + QByteArray::number(version) +
                                       "\"/><scenegraph ImageSizeX=\"800\" ImageSizeY=\"600\" "
                                       "BackDPI=\"72\" Landscape=\"1\">" +
                                       object + "</scenegraph></root>",
                                   type, dataPath);
        if (pages.size() != 1 || pages[0]->graphCount() != 1)
            return nullptr;
        return std::dynamic_pointer_cast<T>(pages[0]->graphAtIndex(0));
    }

    QTemporaryDir dir;
    std::map<QString, QString> resources;
    QStringList asked;
    QStringList missing;
};

void expectRect(const kx::Rect& r, double x, double y, double w, double h, const std::string& what) {
    EXPECT_NEAR(r.origin.x, x, 1e-4) << what;
    EXPECT_NEAR(r.origin.y, y, 1e-4) << what;
    EXPECT_NEAR(r.size.width, w, 1e-4) << what;
    EXPECT_NEAR(r.size.height, h, 1e-4) << what;
}

TEST_F(XMLConversion, BoxesBecomeRelativeRectanglesAndAnglesTurnTheOtherWay) {
    struct Case {
        const char* attributes;
        double x, y, w, h, angle, opacity;
    };
    const double pi = std::numbers::pi;
    const Case cases[] = {
        // Every attribute is read, present or not: without "Transparent" the opacity is 0.
        {R"(BoundingBoxLeft="100" BoundingBoxTop="50" BoundingBoxRight="300" BoundingBoxBottom="250" Angle="90")",
         0.125, 0.583333, 0.25, 0.333333, 3 * pi / 2, 0},
        {R"(BoundingBoxLeft="0" BoundingBoxTop="0" BoundingBoxRight="800" BoundingBoxBottom="600" Transparent="0.25")",
         0, 0, 1, 1, 2 * pi, 0.25},
        {R"(BoundingBoxLeft="400" BoundingBoxTop="300" BoundingBoxRight="800" BoundingBoxBottom="600" Angle="-45" Transparent="1")",
         0.5, 0, 0.5, 0.5, 2 * pi + pi / 4, 1},
        {R"(BoundingBoxLeft="80" BoundingBoxTop="540" BoundingBoxRight="160" BoundingBoxBottom="600" Angle="180" Transparent="3")",
         0.1, 0, 0.1, 0.1, pi, 1},
    };
    for (const Case& c : cases) {
        const auto photo = only<KXShape>("<sceneobject Type=\"0\" " + QByteArray(c.attributes) + "/>");
        ASSERT_TRUE(photo) << c.attributes;
        expectRect(photo->relativeRect(), c.x, c.y, c.w, c.h, c.attributes);
        EXPECT_NEAR(photo->angle(), c.angle, 1e-5) << c.attributes;
        EXPECT_DOUBLE_EQ(photo->opacity(), c.opacity) << c.attributes;
    }
}

TEST_F(XMLConversion, PhotosTakeCornerRadiusShadowCropAndAPresetBorder) {
    const auto shape = only<KXShape>(
        R"(<sceneobject Type="0" Image="a.jpg" RoundWidth="4" EnableShadow="1"
        ShadowColor="255" ShadowAlpha="50" ShadowSmooth="7" ShadowAngle="45" ShadowOffsetX="9" PhotoRotation="12.7"
        CropLeft="0.1" CropTop="0.9" CropRight="0.8" CropBottom="0.2" EnableMask="0" EnableFrame="0"/>)");
    ASSERT_TRUE(shape);
    KXPhoto* photo = shape->photo();
    ASSERT_TRUE(photo);
    EXPECT_EQ(shape->text(), nullptr);
    EXPECT_EQ(photo->roundCornerRadius(), 20);
    EXPECT_EQ(photo->photoRotation(), 12);
    expectRect(photo->cropRect(), 0.1, 0.2, 0.7, 0.7, "crop");
    EXPECT_TRUE(photo->imagePath().isEmpty()) << "a template's photo frames stay empty";
    EXPECT_FALSE(photo->isMaskEnabled());
    EXPECT_FALSE(photo->isFrameEnabled());
    EXPECT_TRUE(shape->isShadowEnabled());
    EXPECT_NEAR(shape->shadow()->color().alpha(), 0.5,
                1.0 / 255);  // stored as an 8-bit packed colour
    EXPECT_NEAR(shape->shadow()->color().red(), 1, 1e-6);
    EXPECT_DOUBLE_EQ(shape->shadow()->blur(), 7);
    EXPECT_DOUBLE_EQ(shape->shadow()->angle(), 45);
    EXPECT_DOUBLE_EQ(shape->shadow()->offset(), 9);
    // No border asked for: off, preset to white of width 3.
    EXPECT_FALSE(shape->isStrokeEnabled());
    EXPECT_EQ(shape->stroke()->t_color(), rgbaFromNSColor(kx::Color::srgb(1, 1, 1, 1)));
    EXPECT_DOUBLE_EQ(shape->stroke()->width(), 3);

    // A shadow alpha out of range is clamped to a colour's range.
    for (const auto& [alpha, expected] : std::vector<std::pair<QByteArray, double>>{{"250", 1}, {"-20", 0}, {"0", 0}}) {
        const auto s = only<KXShape>("<sceneobject Type=\"0\" ShadowAlpha=\"" + alpha + "\"/>");
        ASSERT_TRUE(s);
        EXPECT_DOUBLE_EQ(s->shadow()->color().alpha(), expected) << alpha.constData();
    }
}

TEST_F(XMLConversion, MasksFramesAndBordersFollowTheVersion) {
    struct Case {
        const char* attributes;
        int version;
        bool mask;
        const char* maskFile;  // null: no mask path
        bool frame, border;
    };
    const Case cases[] = {
        {R"(EnableMask="1" MaskName="Circle\circle.png")", 7, true, "circle.jpg", false, false},
        {R"(EnableMask="1" MaskName="circle.png")", 6, true, nullptr, false, false},
        {R"(EnableMask="0" EnableFrame="1" BorderType="1" FrameName="x\gold.jpg")", 7, false, nullptr, true, false},
        {R"(EnableMask="0" EnableFrame="1" BorderType="0" ColorBorderColor="65280" ColorBorderWidth="6")", 7, false,
         nullptr, false, true},
        {R"(EnableMask="0" EnableFrame="1" BorderType="0" ColorBorderWidth="6")", 6, false, nullptr, false, false},
        {R"(EnableMask="0" EnableFrame="0")", 7, false, nullptr, false, false},
    };
    for (const Case& c : cases) {
        const auto shape = only<KXShape>("<sceneobject Type=\"0\" " + QByteArray(c.attributes) + "/>", c.version);
        ASSERT_TRUE(shape) << c.attributes;
        KXPhoto* photo = shape->photo();
        EXPECT_EQ(photo->isMaskEnabled(), c.mask) << c.attributes;
        if (c.maskFile)
            EXPECT_EQ(QFileInfo(photo->maskName()).fileName(), QString::fromLatin1(c.maskFile)) << c.attributes;
        else
            EXPECT_TRUE(photo->maskName().isEmpty()) << c.attributes;
        EXPECT_EQ(photo->isFrameEnabled(), c.frame) << c.attributes;
        if (c.frame) {
            ASSERT_TRUE(photo->frame());
            EXPECT_EQ(QFileInfo(photo->frame()->name()).fileName(), QStringLiteral("gold.png"));
        }
        EXPECT_EQ(shape->isStrokeEnabled(), c.border) << c.attributes;
        if (c.border) {
            EXPECT_NEAR(shape->stroke()->color().green(), 1, 1e-6);
            EXPECT_DOUBLE_EQ(shape->stroke()->width(), 6);
        }
    }
}

TEST_F(XMLConversion, EffectsFollowTheVersionAndTheCatalogue) {
    const auto& effects = KXImageEffectManager::imageEffectManager();
    ASSERT_FALSE(effects.effectDatas().empty());
    const QString known = effects.effectDatas().front()->effectName();
    // An older project (type 0) whose photos have images.
    const QString package = dir.filePath(QStringLiteral("Old.vrtp"));
    writeImage(QStringLiteral("Old.vrtp/Contents/Resources/a.jpg"));
    const QByteArray objects = "<sceneobject Type=\"0\" Image=\"a.jpg\" EffectName=\"" + known.toUtf8() +
                               "\"/><sceneobject Type=\"0\" Image=\"a.jpg\" EffectName=\"Unknown\"/>"
                               "<sceneobject Type=\"0\" EffectName=\"Unknown\"/>";
    struct Case {
        int version;
        QString first, second, third;
    };
    const QString original = QStringLiteral("Original"), unknown = QStringLiteral("Unknown");
    for (const Case& c : {Case{6, original, original, original}, Case{7, known, original, unknown}}) {
        const auto pages =
            convert("<root><info Version=\"" + QByteArray::number(c.version) +
                        "\"/><scenegraph ImageSizeX=\"800\" ImageSizeY=\"600\">" + objects + "</scenegraph></root>",
                    KXXMLSourceProject, package);
        ASSERT_EQ(pages.size(), 1u);
        ASSERT_EQ(pages[0]->graphCount(), 3);
        const QString got[] = {static_cast<KXShape*>(pages[0]->graphAtIndex(0).get())->photo()->effectName(),
                               static_cast<KXShape*>(pages[0]->graphAtIndex(1).get())->photo()->effectName(),
                               static_cast<KXShape*>(pages[0]->graphAtIndex(2).get())->photo()->effectName()};
        EXPECT_EQ(got[0], c.first) << c.version;
        EXPECT_EQ(got[1], c.second) << c.version;
        EXPECT_EQ(got[2], c.third) << c.version;
        EXPECT_EQ(static_cast<KXShape*>(pages[0]->graphAtIndex(0).get())->photo()->imagePath(),
                  QDir::cleanPath(package) + QStringLiteral("/Contents/Resources/a.jpg"));
    }
}

TEST_F(XMLConversion, BackgroundFillTypesAndColourGradients) {
    struct Case {
        const char* attributes;
        int fillType, colorType, imageType;
        double angle;
        const char* image;  // file name of the image path, or of the custom path
    };
    const Case cases[] = {
        {R"(Type="0" ColorFillType="0" FillColor="255" FillColor2="16711680")", 0, 0, -1, 0, nullptr},
        {R"(Type="0" ColorFillType="1" FillColor="255" FillColor2="16711680")", 0, 1, -1, 0, nullptr},
        {R"(Type="0" ColorFillType="2" FillColor="255" FillColor2="16711680")", 0, 1, -1, 90, nullptr},
        {R"(Type="1" ImageType="2" Image="Stretch\sky.jpg")", 1, -1, 1, -1, "sky.jpg"},
        {R"(Type="1" ImageType="2" Image="dots.jpg")", 1, -1, 0, -1, "dots.jpg"},
        {R"(Type="1" ImageType="2" Image="wood.jpg")", 1, -1, 2, -1, "wood.jpg"},
        {R"(Type="1" ImageType="0" Image="sky.jpg")", 1, -1, 0, -1, "sky.jpg"},
        {R"(Type="2" CustomImageType="1" CustomBackgroundImage="/somewhere/own.png")", 2, -1, 1, -1, "own.png"},
    };
    for (const Case& c : cases) {
        const auto pages = convert("<root><scenegraph ImageSizeX=\"800\" ImageSizeY=\"600\" " +
                                   QByteArray(c.attributes) + "/></root>");
        ASSERT_EQ(pages.size(), 1u) << c.attributes;
        const KXBackground* fill = pages[0]->background();
        EXPECT_EQ(fill->fillType(), c.fillType) << c.attributes;
        if (c.colorType >= 0) {
            EXPECT_EQ(fill->colorType(), c.colorType) << c.attributes;
            EXPECT_DOUBLE_EQ(fill->fillAngle(), c.angle) << c.attributes;
            EXPECT_NEAR(fill->color1().red(), 1, 1e-6);
            EXPECT_NEAR(fill->color2().blue(), 1, 1e-6);
        }
        if (c.imageType >= 0)
            EXPECT_EQ(fill->imageType(), c.imageType) << c.attributes;
        if (c.image)
            EXPECT_EQ(QFileInfo(c.fillType == 2 ? fill->customImagePath() : fill->imagePath()).fileName(),
                      QString::fromLatin1(c.image))
                << c.attributes;
    }
    EXPECT_TRUE(missing.isEmpty()) << missing.join(u',').toStdString();
    // A background not found leaves no image and is reported.
    const auto pages =
        convert(R"(<root><scenegraph ImageSizeX="8" ImageSizeY="6" Type="1" Image="nowhere.jpg"/></root>)");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(pages[0]->background()->imagePath().isEmpty());
    EXPECT_EQ(missing, QStringList{QStringLiteral("Background/nowhere.jpg")});
}

TEST_F(XMLConversion, PagesTakeTheirSizeAndSnapToTheCatalogue) {
    KXPageSizeManager& catalogue = KXPageSizeManager::pageSizeManager();
    catalogue.addPredefineSizeWithWidth(210, 297, 300, KXSizeUnitMillimeter, false, QStringLiteral("XML A4 test"));
    const auto pages = convert(R"(<root>
        <scenegraph ImageSizeX="2480" ImageSizeY="3508" BackDPI="300" BackUnitType="0"/>
        <scenegraph ImageSizeX="800" ImageSizeY="600" BackDPI="72" BackUnitType="0"/>
        <scenegraph ImageSizeX="0" ImageSizeY="-5"/>
    </root>)");
    // The page count 0 counts as 1.
    ASSERT_EQ(pages.size(), 1u);
    KXSize* a4 = pages[0]->pageSize();
    EXPECT_EQ(a4->unit(), KXSizeUnitMillimeter);
    EXPECT_NEAR(a4->width(), 210, 1e-4);
    EXPECT_NEAR(a4->height(), 297, 1e-4);
    EXPECT_EQ(a4->dpi(), 300);
    const kx::Size pixels = pages[0]->pixelSize();
    EXPECT_NEAR(pixels.width, 2480.31, 0.01);
    EXPECT_NEAR(pixels.height, 3507.87, 0.01);
    expectRect(pages[0]->marginRect(), 0, 0, pixels.width, pixels.height, "margins cover the page");
    EXPECT_EQ(pages[0]->layoutType(), KXLayoutTypeProportional);
    EXPECT_FALSE(pages[0]->undoManager().canUndo());
    catalogue.removeSizeByDescription(QStringLiteral("XML A4 test"));

    const auto three = convert(R"(<root><project PageCount="3"/>
        <scenegraph ImageSizeX="800" ImageSizeY="600" BackDPI="72" Landscape="1"/>
        <scenegraph ImageSizeX="0" ImageSizeY="-5"/>
    </root>)");
    ASSERT_EQ(three.size(), 2u);
    EXPECT_EQ(three[0]->pixelSize(), kx::Size(800, 600));
    // A size that is no page leaves the page a usable size of its own.
    EXPECT_GE(three[1]->pixelSize().width, 1);
    EXPECT_GE(three[1]->pixelSize().height, 1);
}

TEST_F(XMLConversion, AHugePageCountConvertsOnlyThePagesThatExist) {
    const auto pages = convert("<root><vrtpropage PageCount=\"" + QByteArray::number(INT_MAX) +
                               "\"/><scenegraph/><scenegraph/></root>");
    EXPECT_EQ(pages.size(), 2u);
}

TEST_F(XMLConversion, ObjectKindsAndTheirSkipRules) {
    struct Case {
        const char* object;
        int version;
        int graphs;
        int graphType;  // of the only graph
    };
    const Case cases[] = {
        {R"(<sceneobject Type="2" Image="Fun\star.png"/>)", 6, 0, 0},
        {R"(<sceneobject Type="2" Image="Fun\star.png"/>)", 7, 1, KXGraphTypePhoto},
        {R"(<sceneobject Type="2"/>)", 7, 0, 0},
        {R"(<sceneobject Type="4" ShapeType="2"/>)", 7, 0, 0},
        {R"(<sceneobject Type="1" TextString="Hi"/>)", 7, 0, 0},
        {R"(<sceneobject Type="1" lfFaceName="DejaVu Sans"/>)", 7, 0, 0},
        {R"(<sceneobject Type="1" TextString="Hi" lfFaceName="DejaVu Sans"/>)", 6, 1, KXGraphTypeText},
        {R"(<sceneobject Type="3"/>)", 6, 1, KXGraphTypeCalendar},
    };
    for (const Case& c : cases) {
        const auto pages =
            convert("<root><info Version=\"" + QByteArray::number(c.version) +
                    "\"/><scenegraph ImageSizeX=\"800\" ImageSizeY=\"600\">" + c.object + "</scenegraph></root>");
        ASSERT_EQ(pages.size(), 1u) << c.object;
        ASSERT_EQ(pages[0]->graphCount(), c.graphs) << c.object;
        if (c.graphs == 1)
            EXPECT_EQ(pages[0]->graphAtIndex(0)->graphType(), c.graphType) << c.object;
    }
    const auto clipart = only<KXShape>(R"(<sceneobject Type="2" Image="Fun\star.png" Angle="30"
        BoundingBoxLeft="0" BoundingBoxTop="0" BoundingBoxRight="400" BoundingBoxBottom="300"/>)");
    ASSERT_TRUE(clipart);
    EXPECT_EQ(clipart->photo()->imagePath(), resources[QStringLiteral("star.png")]);
    EXPECT_DOUBLE_EQ(clipart->angle(), 0) << "clip-art is not turned";
    EXPECT_FALSE(clipart->isStrokeEnabled());
    expectRect(clipart->relativeRect(), 0, 0.5, 0.5, 0.5, "clip-art box");
}

TEST_F(XMLConversion, TextsAreSetInTheirFontAndScaledToCoverTheirBox) {
    // One word, much wider in proportion than its square box: scaled to the box's height.
    const auto wide = only<KXShape>(
        R"(<sceneobject Type="1" TextString="Wide" lfFaceName="DejaVu Sans" b_bold="1"
        lfUnderline="1" align="1" fcolor="255" b_outline="1" IsStrokeEnable="1" IsGlowEnable="1" GlowPower="4"
        IsBkEnable="1" EffectBkColor="65280" BoundingBoxLeft="100" BoundingBoxTop="100" BoundingBoxRight="200"
        BoundingBoxBottom="200"/>)");
    ASSERT_TRUE(wide);
    auto* text = dynamic_cast<KXAdvancedText*>(wide->text());
    ASSERT_TRUE(text);
    EXPECT_EQ(wide->photo(), nullptr);
    const kx::AttributedString& string = text->textStorage().attributedString();
    EXPECT_EQ(string.string(), QStringLiteral("Wide"));
    const kx::TextAttributes a = string.attributesAt(0);
    EXPECT_EQ(a.effectiveFont().family(), QStringLiteral("DejaVu Sans"));
    EXPECT_TRUE(a.effectiveFont().isBold());
    EXPECT_DOUBLE_EQ(a.effectiveFont().pointSize(), 72);
    EXPECT_EQ(a.underline.value_or(0), 1);
    EXPECT_EQ(a.effectiveParagraphStyle().alignment, kx::TextAlignment::Center);
    EXPECT_EQ(a.strokeWidth.value_or(0), -3);
    EXPECT_NEAR(a.effectiveForegroundColor().red(), 1, 1e-6);
    EXPECT_TRUE(text->isOutlineEnabled());
    EXPECT_DOUBLE_EQ(text->outlineWidth(), 30);
    EXPECT_TRUE(text->isGlowEnabled());
    EXPECT_DOUBLE_EQ(text->glowBlur(), 4);
    EXPECT_DOUBLE_EQ(text->glowRadius(), 30);
    EXPECT_TRUE(wide->isFillEnabled());
    EXPECT_NEAR(wide->background()->color1().green(), 1, 1e-6);
    const kx::Size natural = text->naturalSize();
    ASSERT_GT(natural.height, 0);
    // Scaled to the box's height from the measured size; the shape is then sized to the scaled text, its top
    // edge kept, and overflows the box's width.
    EXPECT_GT(text->fontScale(), 0);
    const kx::Rect r = wide->relativeRect();
    EXPECT_GT(r.size.width * 800, 100) << "the text is wider than its box";
    EXPECT_NEAR((r.origin.y + r.size.height) * 600, 500, 1e-6) << "the top edge stays where the box had it";

    // Empty texts and empty boxes never divide by zero: a usable scale results.
    for (
        const char* object :
        {R"(<sceneobject Type="1" TextString="" lfFaceName="DejaVu Sans" BoundingBoxRight="50" BoundingBoxBottom="50"/>)",
         R"(<sceneobject Type="1" TextString="x" lfFaceName="DejaVu Sans"/>)",
         R"(<sceneobject Type="1" TextString="x" lfFaceName="No Such Font At All" BoundingBoxRight="-5" BoundingBoxBottom="1e30"/>)"}) {
        const auto shape = only<KXShape>(object);
        ASSERT_TRUE(shape) << object;
        const double scale = static_cast<KXAdvancedText*>(shape->text())->fontScale();
        EXPECT_TRUE(std::isfinite(scale) && scale > 0) << object;
        EXPECT_TRUE(kx::isFiniteGeometry(shape->relativeRect())) << object;
    }
}

TEST_F(XMLConversion, TextGlyphFillsByGradientDirection) {
    struct Case {
        const char* attributes;
        int fillType, colorType;
        double angle;
        int stops;
    };
    const Case cases[] = {
        {R"(IsGradient="1" GradientDirection="2")", KXFillTypeColor, KXColorTypeAdvancedGradient, 0, 3},
        {R"(IsGradient="1" GradientDirection="0")", KXFillTypeColor, KXColorTypeGradient, 0, -1},
        {R"(IsGradient="1" GradientDirection="1")", KXFillTypeColor, KXColorTypeGradient, 90, -1},
        {R"(IsImageFill="1" TextImagePath="/p/fill.png")", KXFillTypeImage, -1, -1, -1},
    };
    for (const Case& c : cases) {
        const auto shape = only<KXShape>(
            "<sceneobject Type=\"1\" TextString=\"A\" "
            "lfFaceName=\"DejaVu Sans\" fcolor=\"255\""
            " TextColor2=\"16711680\" BoundingBoxRight=\"100\" "
            "BoundingBoxBottom=\"50\" " +
            QByteArray(c.attributes) + "/>");
        ASSERT_TRUE(shape) << c.attributes;
        const KXBackground* fill = static_cast<KXAdvancedText*>(shape->text())->background();
        EXPECT_EQ(fill->fillType(), c.fillType) << c.attributes;
        if (c.colorType >= 0) {
            EXPECT_EQ(fill->colorType(), c.colorType) << c.attributes;
            EXPECT_DOUBLE_EQ(fill->fillAngle(), c.angle) << c.attributes;
        }
        if (c.stops == 3) {
            const auto colors = fill->gradientColorArray();
            ASSERT_EQ(colors.size(), 3u);
            EXPECT_NEAR(colors[0].red(), 1, 1e-6);
            EXPECT_NEAR(colors[1].blue(), 1, 1e-6);
            EXPECT_NEAR(colors[2].red(), 1, 1e-6);
        } else if (c.colorType == KXColorTypeGradient) {
            EXPECT_NEAR(fill->color1().red(), 1, 1e-6);
            EXPECT_NEAR(fill->color2().blue(), 1, 1e-6);
        }
        if (c.fillType == KXFillTypeImage)
            EXPECT_EQ(fill->imagePath(), QStringLiteral("/p/fill.png"));
    }
}

TEST_F(XMLConversion, CalendarsTakeTheirSettingsAndKeepTheLocalesMissingNames) {
    const auto calendar = only<KXCalendar>(
        R"(<sceneobject Type="3" year="2031" firstMonth="3" monthCount="2"
        firstWeekday="1" weekday_0="Su" weekday_1="Mo" weekday_3="We" month_0="Jan" month_11="Dec" fontName="DejaVu Serif"
        hasBackground="1" backgroundColor="4278190335" hasWeekday="0" weekdayColor="255" hasAdjacentDay="1"
        adjDayColor="4278190335" isShowYear="1" monthGap="7" dayGap="3"/>)");
    ASSERT_TRUE(calendar);
    EXPECT_EQ(calendar->year(), 2031);
    EXPECT_EQ(calendar->firstMonth(), 3);
    EXPECT_EQ(calendar->monthCount(), 2);
    EXPECT_EQ(calendar->firstWeekday(), 1);
    EXPECT_EQ(calendar->fontName(), QStringLiteral("DejaVu Serif"));
    EXPECT_TRUE(calendar->hasBackground());
    EXPECT_TRUE(calendar->isShowYear());
    EXPECT_EQ(calendar->monthGap(), 7);
    EXPECT_EQ(calendar->dayGap(), 3);
    EXPECT_FALSE(calendar->isStrokeEnabled());
    // The packed 0xFF0000FF carries red in its top byte and full alpha.
    EXPECT_NEAR(calendar->background()->color1().blue(), 1, 1e-6);
    EXPECT_NEAR(calendar->adjDayColor().blue(), 1, 1e-6);
    // Weekday colours were not read (the row is off): the calendar keeps its own.
    EXPECT_FALSE(calendar->hasWeekday());
    EXPECT_NEAR(calendar->weekdayColor().alpha(), KXCalendar().weekdayColor().alpha(), 1e-6);
    const QStringList weekdays = calendar->weekdays();
    ASSERT_EQ(weekdays.size(), 7);
    EXPECT_EQ(weekdays[0], QStringLiteral("Su"));
    EXPECT_EQ(weekdays[3], QStringLiteral("We"));
    EXPECT_EQ(weekdays[2], VRTCalendarObject().weekdays[2]) << "a missing weekday keeps the locale's";
    const QStringList months = calendar->months();
    ASSERT_EQ(months.size(), 12);
    EXPECT_EQ(months[11], QStringLiteral("Dec"));
    EXPECT_EQ(months[5], VRTCalendarObject().months[5]) << "a missing month keeps the locale's";
}

TEST_F(XMLConversion, PhotosOfOlderPackagesAreFoundBesideOrInsideThePackageAndNowhereElse) {
    // Version 4: the sibling folder named after the package with "-KX".
    writeImage(QStringLiteral("Work/Old-KX/img1.jpg"));
    writeImage(QStringLiteral("secret.jpg"));
    const QString v4 = dir.filePath(QStringLiteral("Work/Old.vrtp"));
    QDir().mkpath(v4);
    struct Case {
        const char* image;
        const char* expected;  // relative to the temporary folder, or null for no image
    };
    const Case v4cases[] = {
        {R"(\img1.jpg)", "Work/Old-KX/img1.jpg"},
        {R"(..\..\secret.jpg)", nullptr},
        {R"(\..\secret.jpg)", nullptr},
        {R"(sub\..\..\..\secret.jpg)", nullptr},
        {R"(a\..\img1.jpg)", "Work/Old-KX/img1.jpg"},
    };
    for (const Case& c : v4cases) {
        const auto shape =
            only<KXShape>("<sceneobject Type=\"0\" Image=\"" + QByteArray(c.image) + "\"/>", 4, KXXMLSourceProject, v4);
        ASSERT_TRUE(shape) << c.image;
        if (c.expected)
            EXPECT_EQ(shape->photo()->imagePath(), dir.filePath(QString::fromLatin1(c.expected))) << c.image;
        else
            EXPECT_TRUE(shape->photo()->imagePath().isEmpty()) << c.image;
    }
    // Version 5: "Contents/Resources" inside the package; a photo whose file is absent is reported.
    const QString v5 = dir.filePath(QStringLiteral("New.vrtp"));
    writeImage(QStringLiteral("New.vrtp/Contents/Resources/b.jpg"));
    const auto found = only<KXShape>(R"(<sceneobject Type="0" Image="b.jpg"/>)", 5, KXXMLSourceProject, v5);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->photo()->imagePath(), v5 + QStringLiteral("/Contents/Resources/b.jpg"));
    EXPECT_TRUE(missing.isEmpty());
    const auto absent = only<KXShape>(R"(<sceneobject Type="0" Image="gone.jpg"/>)", 5, KXXMLSourceProject, v5);
    ASSERT_TRUE(absent);
    EXPECT_EQ(missing, QStringList{QStringLiteral("Photo/gone.jpg")});
}

TEST_F(XMLConversion, FilesThatGiveNoPagesAreErrorsNeverEmptyProjects) {
    const QByteArray good = R"(<root><scenegraph ImageSizeX="80" ImageSizeY="60"/></root>)";
    struct Case {
        const char* name;
        QByteArray xml;  // empty: no file
        bool ok;
        int errorsPresented;
    };
    const Case cases[] = {
        {"good.tpl", good, true, 0},
        {"negative.tpl", R"(<root><project PageCount="-1"/><scenegraph/></root>)", false, 1},
        {"nopage.tpl", "<root><info Version=\"7\"/></root>", false, 0},
        {"broken.tpl", "<root><scenegraph>", false, 1},
        {"missing.tpl", {}, false, 0},
    };
    for (const Case& c : cases) {
        errors = 0;
        const QString path =
            c.xml.isEmpty() ? dir.filePath(QString::fromLatin1(c.name)) : writeFile(QString::fromLatin1(c.name), c.xml);
        KXXMLConversion result;
        QString error;
        EXPECT_EQ(loadXMLTemplateWithPath(path, &result, &error, lookup()), c.ok) << c.name;
        EXPECT_EQ(result.pages.empty(), !c.ok) << c.name;
        EXPECT_EQ(error.isEmpty(), c.ok) << c.name;
        EXPECT_EQ(errors, c.errorsPresented) << c.name;
    }

    // Older packages: the XML file below "Contents", taken in name order.
    writeFile(QStringLiteral("Pkg.vrtp/Contents/b/z.vrtp"),
              R"(<root><project PageCount="2"/><scenegraph/><scenegraph/></root>)");
    writeFile(QStringLiteral("Pkg.vrtp/Contents/a.pwp"), good);
    writeFile(QStringLiteral("Empty.vrtp/Contents/readme.txt"), "no project here");
    QDir().mkpath(dir.filePath(QStringLiteral("Bare.vrtp")));
    KXXMLConversion result;
    QString error;
    ASSERT_TRUE(loadOldProjectWithPath(dir.filePath(QStringLiteral("Pkg.vrtp")), &result, &error, lookup()));
    EXPECT_EQ(result.pages.size(), 1u) << "a.pwp comes before the folder b";
    for (const char* package : {"Empty.vrtp", "Bare.vrtp", "Nothing.vrtp"}) {
        KXXMLConversion none;
        error.clear();
        EXPECT_FALSE(loadOldProjectWithPath(dir.filePath(QString::fromLatin1(package)), &none, &error, lookup()))
            << package;
        EXPECT_TRUE(none.pages.empty()) << package;
        EXPECT_FALSE(error.isEmpty()) << package;
    }
}

TEST_F(XMLConversion, TheTemplateFileIsTheFirstTplFileOfTheFolderInNameOrder) {
    writeFile(QStringLiteral("T/b.TPL"), "<root/>");
    writeFile(QStringLiteral("T/a.tpl"), "<root/>");
    writeFile(QStringLiteral("T/.hidden.tpl"), "<root/>");
    writeFile(QStringLiteral("T/0.txt"), "");
    QDir().mkpath(dir.filePath(QStringLiteral("T/0.tpl")));
    EXPECT_EQ(xmlTemplateFileInFolder(dir.filePath(QStringLiteral("T"))), dir.filePath(QStringLiteral("T/a.tpl")));
    EXPECT_TRUE(xmlTemplateFileInFolder(dir.filePath(QStringLiteral("none"))).isEmpty());
}

}  // namespace
