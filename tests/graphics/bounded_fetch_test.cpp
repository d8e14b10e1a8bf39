// Cancelling the bounded fetches: one waiting on a slow server gives up at once, long before its time-out,
// and a fetch started afterwards is not affected.
#include "graphics/bounded_fetch.h"
#include "support/http_test_server.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(BoundedFetch, ACancelledFetchGivesUpAtOnceAndLaterFetchesRunAsBefore) {
    kxtest::HttpTestServer server;
    ASSERT_TRUE(server.isListening());
    server.setRoute("/slow.png", kxtest::Response{200, "late", "image/png", 8000ms, {}});
    server.setRoute("/quick.png", kxtest::Response{200, "here", "image/png", {}, {}});

    std::atomic<bool> done{false};
    std::optional<QByteArray> slow;
    qint64 slowMs = 0;
    std::thread worker([&] {
        QElapsedTimer clock;
        clock.start();
        slow = fetchBounded(server.url("/slow.png"), 30s, 1024);
        slowMs = clock.elapsed();
        done = true;
    });
    ASSERT_TRUE(kxtest::waitFor([&] { return server.requestCount("/slow.png") == 1; }));
    cancelBoundedFetches();
    const bool ended = kxtest::waitFor([&] { return done.load(); }, 3s);
    worker.join();
    ASSERT_TRUE(ended);
    EXPECT_FALSE(slow.has_value());
    EXPECT_LT(slowMs, 5000);

    std::optional<QByteArray> quick;
    std::thread later([&] { quick = fetchBounded(server.url("/quick.png"), 30s, 1024); done = false; });
    kxtest::waitFor([&] { return !done.load(); });
    later.join();
    ASSERT_TRUE(quick.has_value());
    EXPECT_EQ(*quick, "here");
}

}  // namespace
