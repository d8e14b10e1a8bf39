#include "graphics/image_search_record.h"

#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/web_address.h"

#include <QRegularExpression>
#include <QUrl>

#include <cmath>
#include <mutex>
#include <optional>

KXGoogleImage::KXGoogleImage(QString content, QString contentNoFormatting, QString height, QString html,
                             QString origininalContextURL, QString tbHeight, QString tbURL, QString tbWidth,
                             QString title, QString titleNoFormatting, QString unescapedUrl, QString url,
                             QString visibleUrl, QString width)
    : m_content(std::move(content)),
      m_contentNoFormatting(std::move(contentNoFormatting)),
      m_height(std::move(height)),
      m_html(std::move(html)),
      m_originalContextURL(std::move(origininalContextURL)),
      m_tbHeight(std::move(tbHeight)),
      m_tbUrl(std::move(tbURL)),
      m_tbWidth(std::move(tbWidth)),
      m_title(std::move(title)),
      m_titleNoFormatting(std::move(titleNoFormatting)),
      m_unescapedUrl(std::move(unescapedUrl)),
      m_url(std::move(url)),
      m_visibleUrl(std::move(visibleUrl)),
      m_width(std::move(width)) {}

#define KX_GOOGLE_IMAGE_FIELDS(F)                                                                             \
    F("content", m_content) F("contentNoFormatting", m_contentNoFormatting) F("height", m_height)             \
    F("html", m_html) F("originalContextURL", m_originalContextURL) F("tbHeight", m_tbHeight)                 \
    F("tbUrl", m_tbUrl) F("tbWidth", m_tbWidth) F("title", m_title) F("titleNoFormatting", m_titleNoFormatting) \
    F("unescapedUrl", m_unescapedUrl) F("url", m_url) F("visibleUrl", m_visibleUrl) F("width", m_width)

void KXGoogleImage::encodeWithCoder(kx::KeyedArchiver& coder) const {
    // A string that was never set is left out, as a nil property is.
#define KX_ENCODE(key, member)                                      \
    if (!member.isNull())                                           \
        coder.encodeObject(kx::Value(member), QStringLiteral(key));
    KX_GOOGLE_IMAGE_FIELDS(KX_ENCODE)
#undef KX_ENCODE
}

void KXGoogleImage::initWithCoder(kx::KeyedUnarchiver& coder) {
#define KX_DECODE(key, member) \
    member = coder.decodeObjectOfType(QStringLiteral(key), kx::Value::Type::String).toString();
    KX_GOOGLE_IMAGE_FIELDS(KX_DECODE)
#undef KX_DECODE
}

std::shared_ptr<KXGoogleImage> KXGoogleImage::copy() const {
    return googleImageFromArchive(googleImageArchive(*this));
}

void registerGoogleImageClass() {
    static std::once_flag once;
    std::call_once(once, [] {
        kx::ClassRegistry::shared().registerClass<KXGoogleImage>(QStringLiteral("KXGoogleImage"));
    });
}

QByteArray googleImageArchive(const KXGoogleImage& image) {
    kx::KeyedArchiver archiver;
    archiver.encodeObject(image, QStringLiteral("root"));
    return archiver.encodedData();
}

std::shared_ptr<KXGoogleImage> googleImageFromArchive(const QByteArray& archive) {
    registerGoogleImageClass();
    const std::optional<kx::Value> root = kx::KeyedUnarchiver::unarchiveObjectWithData(archive);
    return root ? root->objectAs<KXGoogleImage>() : nullptr;
}

QByteArray googleImagePasteboardData(const std::vector<QByteArray>& archives) {
    kx::ValueArray list;
    for (const QByteArray& archive : archives)
        list.emplace_back(archive);
    return kx::writePropertyList(kx::Value(std::move(list)), kx::PropertyListFormat::Binary);
}

std::vector<QByteArray> googleImageArchivesFromPasteboardData(const QByteArray& data) {
    std::vector<QByteArray> archives;
    const std::optional<kx::Value> list = kx::readPropertyList(data);
    if (!list || list->type() != kx::Value::Type::Array)
        return archives;
    for (const kx::Value& element : list->toArray()) {
        if (int(archives.size()) >= kMaxGoogleImagesPerDrag)
            break;
        if (element.type() == kx::Value::Type::Data)
            archives.push_back(element.toData());
    }
    return archives;
}

bool isWebImageAddress(const QString& address) {
    return kx::isWebAddress(QUrl(address, QUrl::StrictMode));
}

std::optional<double> imageDimensionFromString(const QString& text, double limit) {
    // Digits with at most one decimal point; no sign, exponent, spaces or trailing text.
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{1,9}(\\.[0-9]{1,6})?$"));
    if (!pattern.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value <= 0 || value > limit)
        return std::nullopt;
    return value;
}
