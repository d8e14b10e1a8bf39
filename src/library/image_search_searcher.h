// The internet image search of the clip-art list: it sends the user's keywords to the image-search service
// named in the application's Info.plist ("ImageSearchURL"), turns each entry of the JSON answer into a
// KXGoogleImage record and tells its delegate. A newer search supersedes older ones: every search gets a
// number from a counter that only the main thread touches, and an answer that comes back for an older number
// is dropped there, so that no state is shared with the worker that fetches.
//
// Everything in an answer is untrusted: only http and https addresses are kept, at most 100 entries are
// read, and values that are not strings are left empty.
#pragma once

#include "graphics/image_search_record.h"
#include "graphics/json_fetch.h"
#include "platform/foundation/value.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class KXImageSearcher;

// The Info.plist key of the service address (scheme and host, optionally a path, without the search path).
inline const QString KXImageSearchURLKey = QStringLiteral("ImageSearchURL");

class KXImageSearcherDelegate {
public:
    virtual ~KXImageSearcherDelegate() = default;
    // At the start of every search, before the old results are dropped.
    virtual void clearSearchImage() = 0;
    // On the main thread once the answer of the latest search has been turned into records (also when it
    // was empty or failed).
    virtual void imageSearcherDidFinishSearching(KXImageSearcher* searcher) = 0;
};

class KXImageSearcher {
public:
    using ImageList = std::vector<std::shared_ptr<KXGoogleImage>>;

    // The service address comes from the Info.plist.
    KXImageSearcher();
    ~KXImageSearcher();
    KXImageSearcher(const KXImageSearcher&) = delete;
    KXImageSearcher& operator=(const KXImageSearcher&) = delete;

    KXImageSearcherDelegate* delegate() const { return m_delegate; }
    void setDelegate(KXImageSearcherDelegate* delegate) { m_delegate = delegate; }

    // The service address: an http or https address, or empty when none is configured (or the configured
    // one is not such an address). Without one no search is sent.
    const QString& serviceAddress() const { return m_serviceAddress; }
    void setServiceAddress(const QString& address);
    bool isAvailable() const { return !m_serviceAddress.isEmpty(); }
    void setFetchLimits(const JSONFetchLimits& limits) { m_limits = limits; }

    // Starts a search: the delegate gets clearSearchImage, the results are emptied and the request goes to
    // a worker. Nothing is sent without a service address (the delegate is told of the empty result).
    void searchPhotosWithKeyword(const QString& keywords);

    // The number of result slots the list shows, whatever the answer held.
    static int imageCount() { return 100; }
    // The record at the index; null below 0 or past the results.
    std::shared_ptr<KXGoogleImage> imageAtIndex(std::int64_t index) const;
    const ImageList& imageList() const { return m_imageList; }

    // The number of the latest search (0 before any); replaces the start date as the search's identity.
    std::uint64_t searchGeneration() const { return m_generation; }
    // Searches sent whose answer has not come back yet (superseded ones included).
    int searchesUnderWay() const { return m_underWay; }

    // The keywords split at each of " +,.;/&\-_" (adjacent separators give empty pieces).
    static QStringList keywordPieces(const QString& keywords);
    // The pieces percent-encoded one by one (UTF-8) and joined with "+".
    static QByteArray queryWords(const QString& keywords);
    // The request: the address (one trailing "/" dropped), "/search?tbm=isch&", then "q=<words>&&ijn=0".
    static QString searchRequestString(const QString& serviceAddress, const QString& keywords);
    // The records of a parsed answer: the objects of its "images_results" array, in order, at most 100.
    static ImageList imagesFromAnswer(const kx::Value& answer);
    // The same from the answer's bytes (no records when they are not JSON).
    static ImageList imagesFromAnswerData(const QByteArray& data);

private:
    struct Inbox;
    void answerArrived(std::uint64_t generation, ImageList images);

    KXImageSearcherDelegate* m_delegate = nullptr;
    QString m_serviceAddress;
    JSONFetchLimits m_limits;
    ImageList m_imageList;
    std::uint64_t m_generation = 0;
    int m_underWay = 0;
    // Reached by the workers' answers on the main thread; gone with the searcher.
    std::shared_ptr<Inbox> m_inbox;
};
