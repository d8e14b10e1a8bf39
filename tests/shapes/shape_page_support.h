// A page of a known pixel size for the shape tests, shapes placed on it by their frame in preview points,
// a text field that records centring, and a reader of archived dictionaries through python3's plistlib.
#pragma once

#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/shape_text.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/foundation/property_list.h"
#include "shapes/parametric_shape.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace kxtest {

// A page of the pixel size at zoom 1 (preview size = pixel size).
inline std::shared_ptr<KXCanvas> shapePage(double width = 400, double height = 300) {
    registerModelClasses();
    auto page = std::make_shared<KXCanvas>();
    const KXSize size(width, height, KXSizeUnitPixel, 72);
    page->setPageSize(&size);
    page->zoomToFitSize(page->pixelSize());
    return page;
}

// Puts the graph on the page at a frame in preview points.
inline void placeAtFrame(KXCanvas& page, KXGraph& graph, const kx::Rect& frame) {
    const kx::Size p = page.previewSize();
    graph.setRelativeRect({frame.origin.x / p.width, frame.origin.y / p.height, frame.size.width / p.width,
                           frame.size.height / p.height});
}

// A palette shape on the page: no photo, no text, then its creation values converted.
inline std::shared_ptr<KXSpecialShape> paletteShape(KXCanvas& page, std::uint32_t type, const kx::Rect& frame) {
    auto shape = KXSpecialShape::shapeWithType(type, {0, 0, 0.1, 0.1});
    shape->setPhoto(nullptr);
    shape->setText(nullptr);
    page.addGraph(shape);
    placeAtFrame(page, *shape, frame);
    shape->updateShapeInfo();
    return shape;
}

inline void expectRect(const kx::Rect& actual, const kx::Rect& expected, double tolerance = 1e-9) {
    EXPECT_NEAR(actual.origin.x, expected.origin.x, tolerance);
    EXPECT_NEAR(actual.origin.y, expected.origin.y, tolerance);
    EXPECT_NEAR(actual.size.width, expected.size.width, tolerance);
    EXPECT_NEAR(actual.size.height, expected.size.height, tolerance);
}

inline double num(const KXSpecialShape& s, const char* key) {
    return s.shapeInfoForKey(QString::fromLatin1(key)).toDouble();
}

// The handle number the info query answers at a point.
inline std::optional<int> elementAt(const KXShape& s, kx::Point p) {
    const auto info = s.handlerInfoAtPoint(p);
    if (!info)
        return std::nullopt;
    EXPECT_EQ(info->size(), 1u);
    return int(info->at(QStringLiteral("element")).toInteger());
}

// A text field with a margin that records how it was centred.
class CentringText : public KXShapeText {
public:
    QString className() const override { return QStringLiteral("CentringText"); }
    bool isTextMarginEnabled() const override { return marginEnabled; }
    double textMargin() const override { return margin; }
    bool isEmpty() const override { return empty; }
    void setVerticalAlignment(std::uint64_t a) override { vertical = int(a); }
    void setParagraphAlignment(std::int32_t a) override { paragraph = a; }
    void encodeWithCoder(kx::KeyedArchiver& coder) const override { coder.encodeBool(empty, QStringLiteral("empty")); }
    void initWithCoder(kx::KeyedUnarchiver& coder) override { empty = coder.decodeBool(QStringLiteral("empty")); }
    bool marginEnabled = false;
    double margin = 0;
    bool empty = true;
    int vertical = -1, paragraph = -1;
};

// The archive of a graph whose root object's key is replaced by a stored value of another kind.
inline QByteArray archiveWithField(const std::shared_ptr<KXGraph>& graph, const QString& key, const kx::Value& stored) {
    kx::KeyedArchiver archiver;
    archiver.encodeObject(kx::Value(graph), QStringLiteral("root"));
    kx::ValueDictionary top = archiver.archive().toDictionary();
    kx::ValueArray objects = top.at(QStringLiteral("$objects")).toArray();
    const std::uint64_t root = top.at(QStringLiteral("$top")).toDictionary().at(QStringLiteral("root")).toUid().value;
    kx::ValueDictionary fields = objects[root].toDictionary();
    objects.push_back(stored);
    fields[key] = kx::Value(kx::Uid{objects.size() - 1});
    objects[root] = kx::Value(fields);
    top[QStringLiteral("$objects")] = kx::Value(objects);
    return kx::writePropertyList(kx::Value(top), kx::PropertyListFormat::Binary);
}

// Runs python3 with plistlib on the archive and the script (which reads `d`, the loaded plist, and prints
// JSON); the parsed output.
inline QJsonObject plistlibJson(const QByteArray& archive, const char* script) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.plist"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(archive) != archive.size())
        return {};
    file.close();
    const QString program = QStringLiteral("import json, plistlib, sys\nwith open(sys.argv[1], 'rb') as f:\n"
                                           "    d = plistlib.load(f)\n") +
                            QString::fromUtf8(script);
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), program, path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        ADD_FAILURE() << "plistlib could not read the archive: " << python.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

}  // namespace kxtest
