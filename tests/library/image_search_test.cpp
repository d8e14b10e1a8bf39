// The internet image search against a loopback server: the request line, the answer's records, superseded
// searches, failed answers, untrusted entries; and the search record with its archive and drag data.
#include "graphics/image_search_record.h"
#include "library/image_search_searcher.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/property_list.h"
#include "support/http_test_server.h"

#include <gtest/gtest.h>

using kxtest::HttpTestServer;
using kxtest::Response;
using kxtest::waitFor;

namespace {

struct RecordingDelegate : KXImageSearcherDelegate {
    void clearSearchImage() override { ++clears; }
    void imageSearcherDidFinishSearching(KXImageSearcher* searcher) override {
        ++finishes;
        lastCount = int(searcher->imageList().size());
        firstTitle = searcher->imageAtIndex(0) ? searcher->imageAtIndex(0)->title() : QString();
    }
    int clears = 0;
    int finishes = 0;
    int lastCount = -1;
    QString firstTitle;
};

QByteArray answerWithTitles(const QStringList& titles) {
    QByteArrayList entries;
    int n = 0;
    for (const QString& title : titles) {
        ++n;
        entries.append("{\"title\":\"" + title.toUtf8() + "\",\"html\":\"<b>" + title.toUtf8() +
                       "</b>\",\"original\":\"https://img.example.org/" + QByteArray::number(n) +
                       ".jpg\",\"thumbnail\":\"http://tb.example.org/" + QByteArray::number(n) +
                       ".png\",\"extra\":42}");
    }
    return "{\"images_results\":[" + entries.join(',') + "],\"other\":true}";
}

TEST(ImageSearchWordsTest, PiecesArePercentEncodedOneByOneAndJoinedWithPlus) {
    struct Case {
        QString keywords;
        QByteArray words;
    };
    const Case cases[] = {
        {QStringLiteral("red-roses & tulips"), "red+roses+++tulips"},
        {QStringLiteral("cat"), "cat"},
        {QStringLiteral(""), ""},
        {QStringLiteral("a,b.c;d/e\\f_g"), "a+b+c+d+e+f+g"},
        {QStringLiteral("caf\u00e9 au lait"), "caf%C3%A9+au+lait"},
        {QStringLiteral("50% off?#x=1"), "50%25+off%3F%23x%3D1"},
        {QStringLiteral("a+b"), "a+b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keywords.toStdString());
        EXPECT_EQ(KXImageSearcher::queryWords(c.keywords), c.words);
    }
    EXPECT_EQ(KXImageSearcher::searchRequestString(QStringLiteral("https://search.example.org/"),
                                                   QStringLiteral("red-roses & tulips")),
              QStringLiteral("https://search.example.org/search?tbm=isch&q=red+roses+++tulips&&ijn=0"));
}

TEST(ImageSearchTest, SendsTheRequestLineAndTurnsEntriesIntoRecords) {
    HttpTestServer server;
    ASSERT_TRUE(server.isListening());
    server.setRoute("/search", Response::json(answerWithTitles({QStringLiteral("Rose"), QStringLiteral("Tulip")})));
    KXImageSearcher searcher;
    RecordingDelegate delegate;
    searcher.setDelegate(&delegate);
    searcher.setServiceAddress(server.baseAddress());
    ASSERT_TRUE(searcher.isAvailable());

    searcher.searchPhotosWithKeyword(QStringLiteral("red-roses & tulips"));
    EXPECT_EQ(delegate.clears, 1);
    ASSERT_TRUE(waitFor([&] { return delegate.finishes == 1; }));
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].method, "GET");
    EXPECT_EQ(server.requests()[0].path, "/search?tbm=isch&q=red+roses+++tulips&&ijn=0");

    ASSERT_EQ(delegate.lastCount, 2);
    EXPECT_EQ(KXImageSearcher::imageCount(), 100);
    EXPECT_EQ(searcher.imageAtIndex(-1), nullptr);
    EXPECT_EQ(searcher.imageAtIndex(2), nullptr);
    EXPECT_EQ(searcher.imageAtIndex(100), nullptr);
    const auto rose = searcher.imageAtIndex(0);
    ASSERT_TRUE(rose);
    for (const QString& s : {rose->content(), rose->contentNoFormatting(), rose->title(), rose->titleNoFormatting()})
        EXPECT_EQ(s, QStringLiteral("Rose"));
    EXPECT_EQ(rose->html(), QStringLiteral("<b>Rose</b>"));
    for (const QString& s : {rose->url(), rose->unescapedUrl(), rose->visibleUrl(), rose->originalContextURL()})
        EXPECT_EQ(s, QStringLiteral("https://img.example.org/1.jpg"));
    EXPECT_EQ(rose->tbUrl(), QStringLiteral("http://tb.example.org/1.png"));
    for (const QString& s : {rose->width(), rose->height(), rose->tbWidth(), rose->tbHeight()})
        EXPECT_EQ(s, QStringLiteral("100"));
    EXPECT_EQ(searcher.imageAtIndex(1)->title(), QStringLiteral("Tulip"));
}

TEST(ImageSearchTest, AnAnswerOvertakenByANewerSearchIsDropped) {
    HttpTestServer server;
    // The first search's answer is slow; the second's comes at once.
    Response slow = Response::json(answerWithTitles({QStringLiteral("Old")}));
    slow.delay = std::chrono::milliseconds(600);
    server.setRoute("/search?tbm=isch&q=first&&ijn=0", slow);
    server.setRoute("/search?tbm=isch&q=second&&ijn=0", Response::json(answerWithTitles({QStringLiteral("New")})));
    KXImageSearcher searcher;
    RecordingDelegate delegate;
    searcher.setDelegate(&delegate);
    searcher.setServiceAddress(server.baseAddress());

    searcher.searchPhotosWithKeyword(QStringLiteral("first"));
    ASSERT_TRUE(waitFor([&] { return server.requests().size() == 1; }));
    searcher.searchPhotosWithKeyword(QStringLiteral("second"));
    ASSERT_TRUE(waitFor([&] { return searcher.searchesUnderWay() == 0; }));
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(delegate.clears, 2);
    EXPECT_EQ(delegate.finishes, 1);
    EXPECT_EQ(delegate.firstTitle, QStringLiteral("New"));
    EXPECT_EQ(searcher.imageList().size(), 1u);
    EXPECT_EQ(searcher.searchGeneration(), 2u);
}

TEST(ImageSearchTest, FailedAnswersGiveNoResultsButAreReported) {
    const Response cases[] = {
        Response{500, "{\"images_results\":[]}", "application/json", {}, {}},
        Response{200, "<html>not json</html>", "text/html", {}, {}},
        Response{200, "[1, 2, 3]", "application/json", {}, {}},
        Response{200, "{\"images_results\":\"none\"}", "application/json", {}, {}},
        Response{404, "", "text/plain", {}, {}},
    };
    for (const Response& response : cases) {
        SCOPED_TRACE(response.status);
        HttpTestServer server;
        server.setRoute("/search", response);
        KXImageSearcher searcher;
        RecordingDelegate delegate;
        searcher.setDelegate(&delegate);
        searcher.setServiceAddress(server.baseAddress());
        searcher.searchPhotosWithKeyword(QStringLiteral("x"));
        ASSERT_TRUE(waitFor([&] { return delegate.finishes == 1; }));
        EXPECT_EQ(delegate.lastCount, 0);
        EXPECT_EQ(searcher.imageAtIndex(0), nullptr);
    }
}

TEST(ImageSearchTest, WithoutAServiceAddressNothingIsSent) {
    KXImageSearcher searcher;
    RecordingDelegate delegate;
    searcher.setDelegate(&delegate);
    for (const QString& address : {QString(), QStringLiteral("ftp://127.0.0.1/"), QStringLiteral("file:///tmp"),
                                   QStringLiteral("not an address")}) {
        searcher.setServiceAddress(address);
        EXPECT_FALSE(searcher.isAvailable()) << address.toStdString();
    }
    searcher.searchPhotosWithKeyword(QStringLiteral("cat"));
    EXPECT_EQ(searcher.searchesUnderWay(), 0);
    EXPECT_EQ(delegate.finishes, 1);
    EXPECT_EQ(delegate.lastCount, 0);
}

TEST(ImageSearchAnswerTest, UntrustedEntriesAreReadDefensively) {
    QByteArray many = "{\"images_results\":[";
    for (int i = 0; i < 150; ++i)
        many += QByteArray(i ? "," : "") + "{\"title\":\"t\",\"original\":\"https://e.org/a.png\"}";
    many += "]}";
    EXPECT_EQ(KXImageSearcher::imagesFromAnswerData(many).size(), 100u);

    const auto images = KXImageSearcher::imagesFromAnswerData(
        "{\"images_results\":[7, \"text\", null,"
        "{\"title\":5,\"original\":\"javascript:alert(1)\",\"thumbnail\":\"file:///etc/passwd\"},"
        "{\"original\":\"ftp://e.org/x.png\",\"thumbnail\":\"https://e.org/t.png\"},"
        "{\"title\":\"ok\",\"original\":\"http://e.org/x.png\"}]}");
    ASSERT_EQ(images.size(), 3u);
    EXPECT_TRUE(images[0]->title().isEmpty());
    EXPECT_TRUE(images[0]->url().isEmpty());
    EXPECT_TRUE(images[0]->tbUrl().isEmpty());
    EXPECT_TRUE(images[1]->url().isEmpty());
    EXPECT_EQ(images[1]->tbUrl(), QStringLiteral("https://e.org/t.png"));
    EXPECT_EQ(images[2]->url(), QStringLiteral("http://e.org/x.png"));
    EXPECT_TRUE(images[2]->tbUrl().isNull());
}

TEST(GoogleImageRecordTest, ArchivesEveryStringUnderItsOwnName) {
    const KXGoogleImage image(QStringLiteral("c"), QStringLiteral("cnf"), QStringLiteral("20"),
                              QStringLiteral("h"), QStringLiteral("https://p.org/a.jpg"), QStringLiteral("th"),
                              QStringLiteral("https://p.org/t.jpg"), QStringLiteral("tw"), QStringLiteral("t"),
                              QStringLiteral("tnf"), QStringLiteral("uu"), QStringLiteral("https://p.org/a.jpg"),
                              QStringLiteral("vu"), QStringLiteral("30"));
    const QByteArray archive = googleImageArchive(image);
    const std::optional<kx::Value> plist = kx::readPropertyList(archive);
    ASSERT_TRUE(plist);
    const kx::ValueArray& objects = plist->toDictionary().at(QStringLiteral("$objects")).toArray();
    ASSERT_GE(objects.size(), 2u);
    const kx::ValueDictionary& record = objects[1].toDictionary();
    for (const char* key : {"content", "contentNoFormatting", "height", "html", "originalContextURL", "tbHeight",
                            "tbUrl", "tbWidth", "title", "titleNoFormatting", "unescapedUrl", "url", "visibleUrl",
                            "width"})
        EXPECT_TRUE(record.count(QString::fromLatin1(key))) << key;

    const auto copy = image.copy();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->url(), copy->originalContextURL());
    EXPECT_EQ(copy->contentNoFormatting(), QStringLiteral("cnf"));
    EXPECT_EQ(copy->tbWidth(), QStringLiteral("tw"));
    EXPECT_EQ(copy->width(), QStringLiteral("30"));
    EXPECT_EQ(copy->visibleUrl(), QStringLiteral("vu"));

    const QByteArray drag = googleImagePasteboardData({archive, archive});
    const auto archives = googleImageArchivesFromPasteboardData(drag);
    ASSERT_EQ(archives.size(), 2u);
    EXPECT_EQ(googleImageFromArchive(archives[1])->html(), QStringLiteral("h"));
    EXPECT_TRUE(googleImageArchivesFromPasteboardData("garbage").empty());
    EXPECT_EQ(googleImageFromArchive("bplist00 broken"), nullptr);
}

TEST(GoogleImageRecordTest, SizesAreReadStrictly) {
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {{"100", 100.0}, {"186.5", 186.5}, {"0", std::nullopt}, {"-5", std::nullopt},
                          {"", std::nullopt}, {"12px", std::nullopt}, {"1e3", std::nullopt},
                          {"nan", std::nullopt}, {"999999999", std::nullopt}, {" 10", std::nullopt},
                          {"0.0", std::nullopt}};
    for (const Case& c : cases)
        EXPECT_EQ(imageDimensionFromString(QString::fromLatin1(c.text)), c.value) << c.text;
}

}  // namespace
