// Keyed archiving of bezier paths. A BezierPath is a plain value; inside an archive it travels as an
// object of class "NSBezierPath" (the form is described in foundation/ARCHIVES.md): the fill rule, the
// pen settings that differ from the defaults and the elements packed into one data value.
#pragma once

#include "platform/foundation/coding.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/gfx/bezier_path.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace kx {

// The archivable holder of one path.
class CodableBezierPath : public Object, public Coding {
public:
    static inline const QString kClassName = QStringLiteral("NSBezierPath");

    CodableBezierPath() = default;
    explicit CodableBezierPath(BezierPath p) : path(std::move(p)) {}

    QString className() const override { return kClassName; }
    void encodeWithCoder(KeyedArchiver& coder) const override;
    // A damaged element list fails the whole archive.
    void initWithCoder(KeyedUnarchiver& coder) override;

    BezierPath path;
};

// The elements as stored under "NSSegments": per element one kind byte (0 move, 1 line, 2 curve,
// 3 close) and its points as big-endian IEEE doubles, x then y.
QByteArray packBezierPathElements(const BezierPath& path);
// Replays packed elements onto an empty path. nullopt for a truncated element, an unknown kind or a
// coordinate that is not finite.
std::optional<BezierPath> unpackBezierPathElements(const QByteArray& data);

// Stores the path as an "NSBezierPath" object under the key.
void encodeBezierPath(KeyedArchiver& coder, const BezierPath& path, const QString& key);
// The path stored under the key; nullopt when the key is missing or holds nil (another class fails
// the archive).
std::optional<BezierPath> decodeBezierPath(KeyedUnarchiver& coder, const QString& key);

// Makes "NSBezierPath" known to the registry (idempotent).
void registerBezierPathClass(ClassRegistry& registry = ClassRegistry::shared());

}  // namespace kx
