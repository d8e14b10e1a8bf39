#include "platform/text/font.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QRawFont>
#include <QtEndian>

#include <cmath>
#include <mutex>

namespace kx {

namespace {

const QString kDefaultFamily = QStringLiteral("DejaVu Sans");
const QString kDefaultStyle = QStringLiteral("Book");

// Sizes outside this range are measured and drawn at the nearest bound (the stored size is kept).
double usableSize(double size) {
    if (!std::isfinite(size) || size <= 0)
        return 12.0;
    return std::clamp(size, 0.01, kLargestFontSize);
}

// The PostScript name (name id 6) from a face's "name" table; empty when it has none.
QString postScriptNameOf(const QRawFont& raw) {
    const QByteArray table = raw.fontTable("name");
    const auto u16 = [&](qsizetype at) -> int {
        return at + 2 <= table.size() ? qFromBigEndian<quint16>(table.constData() + at) : -1;
    };
    const int count = u16(2);
    const int storage = u16(4);
    if (count < 0 || storage < 0)
        return {};
    for (int i = 0; i < count; ++i) {
        const qsizetype record = 6 + qsizetype(i) * 12;
        const int platform = u16(record), nameId = u16(record + 6);
        const int length = u16(record + 8), offset = u16(record + 10);
        if (nameId != 6 || length < 0 || offset < 0 || storage + offset + length > table.size())
            continue;
        const char* bytes = table.constData() + storage + offset;
        if (platform == 1)
            return QString::fromLatin1(bytes, length);
        if (platform == 3 || platform == 0) {
            QString s;
            for (int k = 0; k + 1 < length; k += 2)
                s.append(QChar(qFromBigEndian<quint16>(bytes + k)));
            return s;
        }
    }
    return {};
}

// Installed faces, found once: family and style by PostScript name and the other way round.
struct FaceIndex {
    QHash<QString, std::pair<QString, QString>> byPostScriptName;
    QHash<QString, QString> postScriptNameByFace;  // key family + '\n' + style
};

std::mutex g_indexMutex;

const FaceIndex& faceIndex() {
    static FaceIndex* index = nullptr;
    std::lock_guard lock(g_indexMutex);
    if (!index) {
        index = new FaceIndex;
        for (const QString& family : QFontDatabase::families()) {
            for (const QString& style : QFontDatabase::styles(family)) {
                const QString name = postScriptNameOf(QRawFont::fromFont(QFontDatabase::font(family, style, 12)));
                if (name.isEmpty())
                    continue;
                index->byPostScriptName.insert(name, {family, style});
                index->postScriptNameByFace.insert(family + u'\n' + style, name);
            }
        }
    }
    return *index;
}

QString madeUpPostScriptName(const QString& family, const QString& style) {
    QString name = family;
    name.remove(u' ');
    if (!style.isEmpty() && style != kDefaultStyle && style != QStringLiteral("Regular"))
        name += u'-' + QString(style).remove(u' ');
    return name;
}

// Bold: semi-bold or heavier. Italic: italic or oblique.
bool faceIsBold(const QString& family, const QString& style) {
    return QFontDatabase::weight(family, style) >= QFont::DemiBold;
}

bool faceIsItalic(const QString& family, const QString& style) {
    return QFontDatabase::font(family, style, 12).style() != QFont::StyleNormal;
}

std::pair<QString, QString> installedFace(const Font& font) {
    const FaceIndex& index = faceIndex();
    if (index.postScriptNameByFace.contains(font.family() + u'\n' + font.style()))
        return {font.family(), font.style()};
    const auto it = index.byPostScriptName.find(font.postScriptName());
    if (it != index.byPostScriptName.end())
        return it.value();
    return {};
}

// Resolved fonts without their size, by stored names.
QFont resolvedBase(const Font& font) {
    static QHash<QString, QFont> cache;
    static std::mutex mutex;
    const QString key = font.postScriptName() + u'\n' + font.family() + u'\n' + font.style();
    {
        std::lock_guard lock(mutex);
        const auto it = cache.constFind(key);
        if (it != cache.constEnd())
            return it.value();
    }
    QFont q;
    const auto [family, style] = installedFace(font);
    if (!family.isEmpty()) {
        q = QFontDatabase::font(family, style, 12);
    } else {
        // Not installed: fontconfig picks the face nearest to the family name.
        q.setFamily(font.family().isEmpty() ? kDefaultFamily : font.family());
        const QString lower = (font.style() + u' ' + font.postScriptName()).toLower();
        q.setBold(lower.contains(QStringLiteral("bold")));
        q.setItalic(lower.contains(QStringLiteral("italic")) || lower.contains(QStringLiteral("oblique")));
    }
    q.setHintingPreference(QFont::PreferNoHinting);
    q.setKerning(true);
    std::lock_guard lock(mutex);
    cache.insert(key, q);
    return q;
}

}  // namespace

double repairedFontSize(double pointSize) {
    if (!std::isfinite(pointSize) || pointSize < 0)
        return 12.0;
    return std::min(pointSize, kLargestFontSize);
}

const QPaintDevice* textPaintDevice() {
    static const QImage* device = [] {
        auto* image = new QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
        // 72 dpi: QImage reports round(dotsPerMeter * 0.0254).
        image->setDotsPerMeterX(2835);
        image->setDotsPerMeterY(2835);
        return image;
    }();
    return device;
}

Font Font::withFamily(const QString& family, const QString& style, double pointSize) {
    const QString name = faceIndex().postScriptNameByFace.value(family + u'\n' + style);
    return Font(name.isEmpty() ? madeUpPostScriptName(family, style) : name, family, style, pointSize);
}

Font Font::defaultFont(double pointSize) {
    return withFamily(kDefaultFamily, kDefaultStyle, pointSize);
}

std::optional<Font> Font::named(const QString& name, double pointSize) {
    const FaceIndex& index = faceIndex();
    const auto it = index.byPostScriptName.find(name);
    if (it != index.byPostScriptName.end())
        return Font(name, it.value().first, it.value().second, pointSize);
    const QStringList styles = QFontDatabase::families().contains(name) ? QFontDatabase::styles(name) : QStringList();
    if (styles.isEmpty())
        return std::nullopt;
    return Font::withFamily(name, styles.first(), pointSize).withTraits(false, false);
}

bool Font::isBold() const {
    const auto [family, style] = installedFace(*this);
    return family.isEmpty() ? qfont().bold() : faceIsBold(family, style);
}

bool Font::isItalic() const {
    const auto [family, style] = installedFace(*this);
    return family.isEmpty() ? qfont().italic() : faceIsItalic(family, style);
}

Font Font::withTraits(bool bold, bool italic) const {
    const auto [family, current] = installedFace(*this);
    if (family.isEmpty()) {
        const QString style = bold && italic ? QStringLiteral("Bold Italic")
                              : bold         ? QStringLiteral("Bold")
                              : italic       ? QStringLiteral("Italic")
                                             : QStringLiteral("Regular");
        return Font(madeUpPostScriptName(m_family, style), m_family, style, m_size);
    }
    if (faceIsBold(family, current) == bold && faceIsItalic(family, current) == italic)
        return *this;
    // The plainest matching style: the weight nearest to regular or bold, then the shortest name
    // ("Bold" before "Bold Condensed", "Book" before "ExtraLight").
    QString best;
    int bestScore = 0;
    const int target = bold ? QFont::Bold : QFont::Normal;
    for (const QString& style : QFontDatabase::styles(family)) {
        if (faceIsBold(family, style) != bold || faceIsItalic(family, style) != italic)
            continue;
        const int score = std::abs(QFontDatabase::weight(family, style) - target) * 1000 + int(style.size());
        if (best.isEmpty() || score < bestScore) {
            best = style;
            bestScore = score;
        }
    }
    return best.isEmpty() ? *this : Font::withFamily(family, best, m_size);
}

bool Font::isInstalled() const {
    return !installedFace(*this).first.isEmpty();
}

QFont Font::qfont() const {
    QFont q = resolvedBase(*this);
    q.setPointSizeF(usableSize(m_size));
    return q;
}

double Font::ascent() const {
    return QFontMetricsF(qfont(), textPaintDevice()).ascent();
}
double Font::descent() const {
    return QFontMetricsF(qfont(), textPaintDevice()).descent();
}
double Font::leading() const {
    return std::max(0.0, QFontMetricsF(qfont(), textPaintDevice()).leading());
}

double Font::lineHeight() const {
    const QFontMetricsF m(qfont(), textPaintDevice());
    return m.ascent() + m.descent() + std::max(0.0, m.leading());
}

double Font::widthOfString(const QString& text) const {
    return QFontMetricsF(qfont(), textPaintDevice()).horizontalAdvance(text);
}

}  // namespace kx
