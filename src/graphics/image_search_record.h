// One result of the internet image search (KXGoogleImage): fourteen strings that describe an image found on
// the web, archived each under its own name. The search fills them from the service's answer; results are
// dragged onto the page as keyed archives of these records under the private type KXGoogleImagePboardType,
// whose data is a property list array of archives, one per result. The record lives below the canvas and the
// resource list because both read it.
#pragma once

#include "platform/foundation/coding.h"
#include "platform/foundation/value.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

// The private drag type of search results; the type string is the name itself.
inline const QString KXGoogleImagePboardType = QStringLiteral("KXGoogleImagePboardType");

// At most this many results travel in one drag (the search shows 100).
inline constexpr int kMaxGoogleImagesPerDrag = 100;

class KXGoogleImage : public kx::Object, public kx::Coding {
public:
    KXGoogleImage() = default;
    KXGoogleImage(QString content, QString contentNoFormatting, QString height, QString html,
                  QString origininalContextURL, QString tbHeight, QString tbURL, QString tbWidth, QString title,
                  QString titleNoFormatting, QString unescapedUrl, QString url, QString visibleUrl, QString width);

    QString className() const override { return QStringLiteral("KXGoogleImage"); }
    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    // Strings only: a key holding anything else fails the archive.
    void initWithCoder(kx::KeyedUnarchiver& coder) override;
    // A copy made by archiving and unarchiving.
    std::shared_ptr<KXGoogleImage> copy() const;

    const QString& content() const { return m_content; }
    void setContent(const QString& v) { m_content = v; }
    const QString& contentNoFormatting() const { return m_contentNoFormatting; }
    void setContentNoFormatting(const QString& v) { m_contentNoFormatting = v; }
    const QString& height() const { return m_height; }
    void setHeight(const QString& v) { m_height = v; }
    const QString& html() const { return m_html; }
    void setHtml(const QString& v) { m_html = v; }
    const QString& originalContextURL() const { return m_originalContextURL; }
    void setOriginalContextURL(const QString& v) { m_originalContextURL = v; }
    const QString& tbHeight() const { return m_tbHeight; }
    void setTbHeight(const QString& v) { m_tbHeight = v; }
    const QString& tbUrl() const { return m_tbUrl; }
    void setTbUrl(const QString& v) { m_tbUrl = v; }
    const QString& tbWidth() const { return m_tbWidth; }
    void setTbWidth(const QString& v) { m_tbWidth = v; }
    const QString& title() const { return m_title; }
    void setTitle(const QString& v) { m_title = v; }
    const QString& titleNoFormatting() const { return m_titleNoFormatting; }
    void setTitleNoFormatting(const QString& v) { m_titleNoFormatting = v; }
    const QString& unescapedUrl() const { return m_unescapedUrl; }
    void setUnescapedUrl(const QString& v) { m_unescapedUrl = v; }
    const QString& url() const { return m_url; }
    void setUrl(const QString& v) { m_url = v; }
    const QString& visibleUrl() const { return m_visibleUrl; }
    void setVisibleUrl(const QString& v) { m_visibleUrl = v; }
    const QString& width() const { return m_width; }
    void setWidth(const QString& v) { m_width = v; }

private:
    QString m_content, m_contentNoFormatting, m_height, m_html, m_originalContextURL, m_tbHeight, m_tbUrl,
        m_tbWidth, m_title, m_titleNoFormatting, m_unescapedUrl, m_url, m_visibleUrl, m_width;
};

// Registers the record's class for unarchiving (once; safe to call again).
void registerGoogleImageClass();

// The keyed archive of one record, and the record of an archive (null when it is not one).
QByteArray googleImageArchive(const KXGoogleImage& image);
std::shared_ptr<KXGoogleImage> googleImageFromArchive(const QByteArray& archive);

// The drag data of records: a binary property list array of their archives.
QByteArray googleImagePasteboardData(const std::vector<QByteArray>& archives);
// The archives in drag data: the data elements of the array, at most kMaxGoogleImagesPerDrag; nothing when
// it is not such an array.
std::vector<QByteArray> googleImageArchivesFromPasteboardData(const QByteArray& data);

// A web address the program may fetch: an absolute http or https address with a host.
bool isWebImageAddress(const QString& address);

// A size string of a record read strictly: a whole or decimal number above 0 and at most `limit`, nothing
// otherwise (empty, negative, zero, not a number, trailing text, absurdly large).
std::optional<double> imageDimensionFromString(const QString& text, double limit = 100000);
