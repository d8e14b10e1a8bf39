#include "platform/foundation/uniform_type.h"

#include <QHash>
#include <QSet>
#include <QStringList>


namespace kx {
namespace {

constexpr QLatin1String kDynamicPrefix("dyn.");

// One declared type: its identifier, the identifiers it conforms to directly and the extensions it
// claims (space-separated, preferred first).
struct Declaration {
    const char* identifier;
    const char* conformsTo;
    const char* extensions;
};

// The types the application meets: the image formats it reads and writes, the vector formats it
// rasterises and the few document kinds around them. An Illustrator file is a PDF-compatible document,
// which is why it conforms to com.adobe.pdf.
constexpr Declaration kDeclarations[] = {
    {"public.item", "", ""},
    {"public.content", "public.item", ""},
    {"public.data", "public.item", ""},
    {"public.composite-content", "public.content", ""},
    {"public.image", "public.data public.content", ""},
    {"public.jpeg", "public.image", "jpeg jpg jpe"},
    {"public.png", "public.image", "png"},
    {"public.tiff", "public.image", "tiff tif"},
    {"com.compuserve.gif", "public.image", "gif"},
    {"com.microsoft.bmp", "public.image", "bmp dib"},
    {"com.microsoft.ico", "public.image", "ico"},
    {"com.apple.icns", "public.image", "icns"},
    {"org.webmproject.webp", "public.image", "webp"},
    {"com.truevision.tga-image", "public.image", "tga"},
    {"public.xbitmap-image", "public.image", "xbm"},
    {"com.adobe.photoshop-image", "public.image", "psd"},
    {"public.svg-image", "public.image", "svg svgz"},
    {"com.adobe.pdf", "public.data public.composite-content", "pdf"},
    {"com.adobe.postscript", "public.data", "ps"},
    {"com.adobe.encapsulated-postscript", "public.image", "eps epsf epsi"},
    {"com.adobe.illustrator.ai-image", "com.adobe.pdf public.image", "ai"},
    {"public.text", "public.data public.content", ""},
    {"public.plain-text", "public.text", "txt text"},
    {"public.json", "public.text", "json"},
    {"public.xml", "public.text", "xml"},
    {"com.pkware.zip-archive", "public.data", "zip"},
};

struct Table {
    QHash<QString, QSet<QString>> ancestors;  // identifier -> every identifier it conforms to, itself excluded
    QHash<QString, QStringList> claimants;    // lower-case extension -> identifiers, table order

    Table() {
        QHash<QString, QStringList> parents;
        for (const Declaration& d : kDeclarations) {
            const QString id = QString::fromLatin1(d.identifier);
            parents.insert(id, QString::fromLatin1(d.conformsTo).split(u' ', Qt::SkipEmptyParts));
            for (const QString& ext : QString::fromLatin1(d.extensions).split(u' ', Qt::SkipEmptyParts))
                claimants[ext].append(id);
        }
        // The closure of the graph, walked once; the visited set keeps a badly declared cycle from looping.
        for (auto it = parents.cbegin(); it != parents.cend(); ++it) {
            QSet<QString>& reached = ancestors[it.key()];
            QStringList pending = it.value();
            while (!pending.isEmpty()) {
                const QString current = pending.takeFirst();
                if (current == it.key() || reached.contains(current))
                    continue;
                reached.insert(current);
                pending.append(parents.value(current));
            }
        }
    }
};

const Table& table() {
    static const Table t;
    return t;
}

}  // namespace

QString uniformTypeForExtension(const QString& extension, const QString& conformingTo) {
    if (extension.isEmpty())
        return {};
    const QString ext = extension.toLower();
    for (const QString& id : table().claimants.value(ext)) {
        if (conformingTo.isEmpty() || uniformTypeConformsTo(id, conformingTo))
            return id;
    }
    return kDynamicPrefix + ext;
}

bool uniformTypeConformsTo(const QString& type, const QString& ancestor) {
    if (type.isEmpty() || ancestor.isEmpty())
        return false;
    if (type.compare(ancestor, Qt::CaseInsensitive) == 0)
        return true;
    const QString target = ancestor.toLower();
    if (isDynamicUniformType(type))
        return target == QLatin1String("public.data") || target == QLatin1String("public.item");
    return table().ancestors.value(type.toLower()).contains(target);
}

bool uniformTypeEquals(const QString& a, const QString& b) {
    return !a.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isDynamicUniformType(const QString& type) {
    return type.startsWith(kDynamicPrefix, Qt::CaseInsensitive);
}

}  // namespace kx
