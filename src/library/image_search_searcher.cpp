#include "library/image_search_searcher.h"

#include "platform/foundation/bundle.h"
#include "platform/foundation/thread_handover.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QRegularExpression>
#include <QThreadPool>
#include <QUrl>

#include <functional>

struct KXImageSearcher::Inbox {
    KXImageSearcher* searcher = nullptr;
};

namespace {

constexpr int kMaxAnswerEntries = 100;
// The size every record starts with, until its thumbnail tells the real one.
const QString kInitialSize = QStringLiteral("100");

QString stringOf(const kx::ValueDictionary& entry, const char* key) {
    const auto it = entry.find(QString::fromLatin1(key));
    return it != entry.end() && it->second.type() == kx::Value::Type::String ? it->second.toString() : QString();
}

QString webAddressOf(const kx::ValueDictionary& entry, const char* key) {
    const QString address = stringOf(entry, key);
    return isWebImageAddress(address) ? address : QString();
}

}  // namespace

KXImageSearcher::KXImageSearcher() : m_inbox(std::make_shared<Inbox>()) {
    m_inbox->searcher = this;
    setServiceAddress(kx::Bundle::main().infoValue(KXImageSearchURLKey).toString());
}

KXImageSearcher::~KXImageSearcher() {
    // Answers still on their way find no searcher.
    m_inbox->searcher = nullptr;
}

void KXImageSearcher::setServiceAddress(const QString& address) {
    m_serviceAddress = isWebImageAddress(address) ? address : QString();
}

QStringList KXImageSearcher::keywordPieces(const QString& keywords) {
    static const QRegularExpression separators(QStringLiteral("[ +,.;/&\\\\\\-_]"));
    return keywords.split(separators);
}

QByteArray KXImageSearcher::queryWords(const QString& keywords) {
    QByteArrayList encoded;
    for (const QString& piece : keywordPieces(keywords))
        encoded.append(QUrl::toPercentEncoding(piece));
    return encoded.join('+');
}

QString KXImageSearcher::searchRequestString(const QString& serviceAddress, const QString& keywords) {
    QString address = serviceAddress;
    if (address.endsWith(u'/'))
        address.chop(1);
    return address + QStringLiteral("/search?tbm=isch&") +
           QStringLiteral("q=%1&&ijn=%2").arg(QString::fromLatin1(queryWords(keywords))).arg(0u);
}

KXImageSearcher::ImageList KXImageSearcher::imagesFromAnswer(const kx::Value& answer) {
    ImageList images;
    if (answer.type() != kx::Value::Type::Dictionary)
        return images;
    const auto& top = answer.toDictionary();
    const auto results = top.find(QStringLiteral("images_results"));
    if (results == top.end() || results->second.type() != kx::Value::Type::Array)
        return images;
    for (const kx::Value& value : results->second.toArray()) {
        if (int(images.size()) >= kMaxAnswerEntries)
            break;
        if (value.type() != kx::Value::Type::Dictionary)
            continue;
        const kx::ValueDictionary& entry = value.toDictionary();
        const QString title = stringOf(entry, "title");
        const QString original = webAddressOf(entry, "original");
        images.push_back(std::make_shared<KXGoogleImage>(
            title, title, kInitialSize, stringOf(entry, "html"), original, kInitialSize,
            webAddressOf(entry, "thumbnail"), kInitialSize, title, title, original, original, original,
            kInitialSize));
    }
    return images;
}

KXImageSearcher::ImageList KXImageSearcher::imagesFromAnswerData(const QByteArray& data) {
    const std::optional<kx::Value> answer = valueWithJSONData(data);
    return answer ? imagesFromAnswer(*answer) : ImageList();
}

void KXImageSearcher::searchPhotosWithKeyword(const QString& keywords) {
    if (m_delegate)
        m_delegate->clearSearchImage();
    m_imageList.clear();
    const std::uint64_t generation = ++m_generation;
    if (!isAvailable()) {
        if (m_delegate)
            m_delegate->imageSearcherDidFinishSearching(this);
        return;
    }
    ++m_underWay;
    const QString request = searchRequestString(m_serviceAddress, keywords);
    const JSONFetchLimits limits = m_limits;
    std::weak_ptr<Inbox> inbox = m_inbox;
    std::function<void()> job = [request, limits, inbox, generation] {
        kx::takePoolHandOver();
        const std::optional<kx::Value> answer = dictionaryWithContentsOfJSONURLString(request, limits);
        ImageList images = answer ? imagesFromAnswer(*answer) : ImageList();
        // The records go to the main thread, which alone decides whether this search is still the latest.
        kx::announcePoolHandOver();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [inbox, generation, images = std::move(images)]() mutable {
                kx::takePoolHandOver();
                if (const std::shared_ptr<Inbox> box = inbox.lock(); box && box->searcher)
                    box->searcher->answerArrived(generation, std::move(images));
            },
            Qt::QueuedConnection);
    };
    kx::announcePoolHandOver();
    QThreadPool::globalInstance()->start(std::move(job));
}

void KXImageSearcher::answerArrived(std::uint64_t generation, ImageList images) {
    --m_underWay;
    if (generation != m_generation)
        return;  // a newer search has started since
    m_imageList = std::move(images);
    if (m_delegate)
        m_delegate->imageSearcherDidFinishSearching(this);
}

std::shared_ptr<KXGoogleImage> KXImageSearcher::imageAtIndex(std::int64_t index) const {
    if (index < 0 || index >= std::int64_t(m_imageList.size()))
        return nullptr;
    return m_imageList[size_t(index)];
}
