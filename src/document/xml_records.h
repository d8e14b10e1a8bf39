// Plain records of the attribute-only XML project and template format, one per element kind. They
// hold the values exactly as the file has them (no geometry, colour or unit conversion); the
// conversion into pages reads their fields directly. A new record carries the defaults below, which
// the reader then replaces attribute by attribute.
//
// Colours are kx::Color values; a null colour stands for "no colour" (the fields whose new-record
// value is none).
#pragma once

#include "platform/gfx/color.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

// The kinds of "sceneobject", from its "Type" attribute.
enum VRTObjectType : std::int32_t {
    VRTObjectTypePhoto = 0,
    VRTObjectTypeText = 1,
    VRTObjectTypeClipart = 2,
    VRTObjectTypeCalendar = 3,
    VRTObjectTypeShape = 4,
};

// The header ("info").
struct VRTInfo {
    std::int32_t version = 6;  // format version; a file without "info" is read as version 6
    QString product = QStringLiteral("Tessaro for Mac");
    QString company = QStringLiteral("Morvane Soft");
};

// The page setup ("vrtpropage" or "project"). Only pageCount is used afterwards; every page carries
// its own size.
struct VRTPage {
    std::int32_t version = 4;
    float imageSizeX = 1024;
    float imageSizeY = 768;
    bool isLandscape = false;
    std::int32_t backDPI = 300;
    std::int32_t backUnitType = 0;
    QString backDescription = QStringLiteral("1024 x 768 pixel");
    bool isKeepSameSizeInProject = false;
    float marginLeft = 0;
    float marginRight = 0;
    float marginTop = 0;
    float marginBottom = 0;
    std::int32_t marginDPI = 300;
    std::int32_t marginUnitType = 0;
    std::int32_t pageCount = 0;  // pages to convert; 0 counts as 1
};

// The part common to every page object ("sceneobject"). `type` picks the record class.
struct VRTSceneObject {
    virtual ~VRTSceneObject() = default;

    std::int32_t version = 4;
    std::int32_t type = VRTObjectTypePhoto;
    float angle = 0;  // degrees
    // The object's box in page pixels, origin at the top left, y downwards.
    float boundingBoxLeft = 0;
    float boundingBoxTop = 0;
    float boundingBoxRight = 0;
    float boundingBoxBottom = 0;
    bool isVisible = false;
    float transparent = 1.0f;  // opacity

protected:
    VRTSceneObject() = default;
    explicit VRTSceneObject(std::int32_t objectType) : type(objectType) {}
};

struct VRTPhotoObject : VRTSceneObject {
    VRTPhotoObject() : VRTSceneObject(VRTObjectTypePhoto) {}

    QString effectName;
    QString imageName;  // relative to the project's image folder, backslashes as separators
    bool enableEffect = false;  // no attribute: always off when read from a file
    bool enableMask = true;
    QString maskName;
    bool enableFrame = true;
    QString frameName;
    std::int32_t borderType = 0;  // 1 picture frame, otherwise a coloured border
    kx::Color ColorBorderColor;
    float ColorBorderWidth = 0;
    std::int32_t ColorBorderUnit = 0;
    float photoRotation = 0;
    float cropLeft = 0;
    float cropTop = 0;
    float cropRight = 0;
    float cropBottom = 0;
    bool enableShadow = true;
    std::int32_t shadowPrecise = 2;
    kx::Color shadowColor;
    float shadowAngle = 135;
    float shadowAlpha = 0;  // percent
    float shadowBlur = 2;
    float shadowOffsetX = 0;
    float shadowOffsetY = 0;
    std::int32_t roundWidth = 0;  // the corner radius is five times this
};

struct VRTTextObject : VRTSceneObject {
    VRTTextObject() : VRTSceneObject(VRTObjectTypeText) {}

    float textScaleX = 0;
    float textScaleY = 0;
    QString textString;  // null skips the object
    QString fontName;    // null skips the object
    std::int32_t charSet = 0;
    float fontSize = 72;
    bool isItalic = false;
    bool isUnderline = false;
    kx::Color fontColor;
    kx::Color bkColor;
    float opacity = 1.0f;
    float bkRadius = 2.0f;
    float opaque = 0;
    std::int32_t textAlign = 0;  // 0 left, 1 centre, 2 right
    bool isOutline = false;
    bool isBold = false;
    bool isVertical = false;
    bool enableShadow = true;
    std::int32_t shadowPrecise = 2;
    kx::Color shadowColor;
    float shadowAlpha = 1.0f;  // percent
    float shadowAngle = 0;
    float shadowBlur = 2.0f;
    float shadowOffsetX = 0;
    float shadowOffsetY = 0;
    bool isStrokeEnable = false;
    kx::Color strokeColor;
    std::int32_t strokeWidth = 0;
    bool isGlowEnable = false;
    kx::Color glowColor;
    std::int32_t glowPower = 0;
    std::int32_t glowRadius = 0;
    bool isBkEnable = false;
    kx::Color effectBkColor;
    std::int32_t bkWidth = 0;
    bool isGradient = false;
    bool isImageFill = false;
    kx::Color textColor2;
    QString textImagePath;
    std::int32_t gradientDirection = 2;  // 0 gradient at 0 degrees, 2 three stops, else at 90 degrees
};

struct VRTClipartObject : VRTSceneObject {
    VRTClipartObject() : VRTSceneObject(VRTObjectTypeClipart) {}

    QString imageName;  // clip-art resource name; null skips the object
};

// A calendar. Its colours carry their own alpha. A new record takes the first weekday, the weekday
// and month names, the font and the year from the current locale and system.
struct VRTCalendarObject : VRTSceneObject {
    VRTCalendarObject();

    std::int32_t firstWeekday = 0;  // 0 Sunday ... 6 Saturday
    QStringList weekdays;           // 7 labels, Sunday first
    QStringList months;             // 12 labels, January first
    QString fontName;
    bool hasBackground = false;
    kx::Color backgroundColor = kx::Color::srgb(1, 1, 1, 1);
    std::int32_t year = 0;
    std::int32_t firstMonth = 1;
    std::int32_t monthCount = 12;
    bool isShowYear = false;
    kx::Color yearColor = kx::Color::srgb(0, 0, 0, 0.5);
    std::int32_t yearAlignment = 2;
    std::int32_t monthGap = 20;
    std::int32_t monthAlignment = 2;
    kx::Color monthColor = kx::Color::srgb(0, 0, 0, 0.8);
    std::int32_t dayGap = 20;
    kx::Color dayColor = kx::Color::srgb(0, 0, 0, 1);
    kx::Color dayBKColor = kx::Color::srgb(0, 0, 0, 0.1);
    kx::Color weekendColor = kx::Color::srgb(0, 0, 0, 1);
    kx::Color weekendBKColor = kx::Color::srgb(0, 0, 0, 0.2);
    bool hasWeekday = true;
    kx::Color weekdayColor = kx::Color::srgb(0, 0, 0, 1);
    kx::Color weekdayBKColor = kx::Color::srgb(0, 0, 0, 0.02);
    bool hasAdjacentDay = false;
    kx::Color adjDayColor = kx::Color::srgb(0.2, 0.2, 0.2, 1);
    kx::Color adjDayBKColor = kx::Color::srgb(0, 0, 0, 0.05);
};

// A drawn shape: read and kept, never turned into a graph.
struct VRTShapeObject : VRTSceneObject {
    VRTShapeObject() : VRTSceneObject(VRTObjectTypeShape) {}

    QString shapeImageName;
    std::int32_t shapePatternType = 0;
    std::int32_t shapePatternImageType = 0;
    std::int32_t shapePatternColorFillType = 0;
    float shapePatternTextureBrushZoomFactor = 1.0f;
    float shapePatternTextureTransparent = 1.0f;
    kx::Color shapePatternFillColor;
    kx::Color shapePatternFillColor2;
    float shapeLineWidth = 2.0f;
    std::int32_t shapeLineWidthUnit = 0;
    std::int32_t shapeFillType = 0;
    std::int32_t shapeType = 0;
    std::int32_t shapeLineType = 0;
    kx::Color shapeLineColor;
};

// One page ("scenegraph") with its objects back to front.
struct VRTSceneGraph {
    QString imageName;  // resource background, looked up in "Background"
    std::int32_t type = 0;  // background fill: 0 colour, 1 resource image, 2 custom image
    std::int32_t imageType = 0;
    std::int32_t imageSelected = 0;
    std::int32_t colorFillType = 0;  // 0 solid, 1 gradient at 0 degrees, 2 gradient at 90 degrees
    float backTextureBrushZoomFactor = 1.0f;
    float textureTransparent = 1.0f;
    kx::Color fillColor = kx::Color::srgb(0, 0, 0, 1);
    kx::Color fillColor2 = kx::Color::srgb(0, 0, 0, 1);
    float imageSizeX = 0;  // page size in backUnitType units
    float imageSizeY = 0;
    bool isLandscape = false;
    std::int32_t backDPI = 300;
    std::int32_t backUnitType = 0;
    QString backDescription;
    std::vector<std::shared_ptr<VRTSceneObject>> objectList;
    std::int32_t pubPredefineIndex = 0;
    std::int32_t imageFillType = 2;
    QString customImagePath;
};
