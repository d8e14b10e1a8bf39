#include "platform/foundation/notification_center.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace kx;

namespace {

struct Received {
    QString name;
    const void* sender;
    ValueDictionary userInfo;
};

NotificationCallback recordInto(std::vector<Received>& list) {
    return [&list](const Notification& n) { list.push_back({n.name, n.sender, n.userInfo}); };
}

}  // namespace

TEST(NotificationCenter, PostReachesObserversOfThatNameWithSenderAndUserInfo) {
    NotificationCenter center;
    std::vector<Received> selection, other;
    auto t1 = center.addObserver("KXGraphSelectionChange", nullptr, recordInto(selection));
    auto t2 = center.addObserver("KXDocumentChanged", nullptr, recordInto(other));
    int sender = 0;
    center.post("KXGraphSelectionChange", &sender, {{"pointX", Value(3.5)}, {"pointY", Value(4)}});
    ASSERT_EQ(selection.size(), 1u);  // synchronous: delivered before post returns
    EXPECT_EQ(selection[0].sender, &sender);
    EXPECT_EQ(selection[0].userInfo.at("pointX"), Value(3.5));
    EXPECT_EQ(selection[0].userInfo.at("pointY"), Value(4));
    EXPECT_TRUE(other.empty());
    // Names are compared exactly.
    center.post("KXGraphSelectionchange");
    EXPECT_EQ(selection.size(), 1u);
}

TEST(NotificationCenter, ObserverOfOneSenderIgnoresOthersAndAnySenderHearsAll) {
    NotificationCenter center;
    int a = 0, b = 0;
    std::vector<Received> fromA, fromAny;
    auto t1 = center.addObserver("KXExitObjectMode", &a, recordInto(fromA));
    auto t2 = center.addObserver("KXExitObjectMode", nullptr, recordInto(fromAny));
    center.post("KXExitObjectMode", &a);
    center.post("KXExitObjectMode", &b);
    center.post("KXExitObjectMode");
    ASSERT_EQ(fromA.size(), 1u);
    EXPECT_EQ(fromA[0].sender, &a);
    ASSERT_EQ(fromAny.size(), 3u);
    EXPECT_EQ(fromAny[1].sender, &b);
    EXPECT_EQ(fromAny[2].sender, nullptr);
}

TEST(NotificationCenter, ObservationLastsAsLongAsItsToken) {
    NotificationCenter center;
    int count = 0;
    NotificationToken kept;
    {
        NotificationToken token = center.addObserver("KXCustomSizeChanged", nullptr, [&](const Notification&) { ++count; });
        EXPECT_TRUE(token.isActive());
        kept = std::move(token);  // moving keeps the observation
        EXPECT_FALSE(token.isActive());
    }
    center.post("KXCustomSizeChanged");
    EXPECT_EQ(count, 1);
    kept.reset();
    EXPECT_FALSE(kept.isActive());
    center.post("KXCustomSizeChanged");
    EXPECT_EQ(count, 1);
}

TEST(NotificationCenter, TokenMayOutliveItsCentre) {
    NotificationToken token;
    {
        NotificationCenter center;
        token = center.addObserver("KXFloatingNeedUpdate", nullptr, [](const Notification&) {});
        EXPECT_TRUE(token.isActive());
    }
    EXPECT_FALSE(token.isActive());
    token.reset();
}

TEST(NotificationCenter, ObserverMayEndItsOwnAndLaterObservationsWhilePosting) {
    NotificationCenter center;
    std::vector<int> calls;
    NotificationToken first, second, third;
    first = center.addObserver("KXUpdateArrangeUI", nullptr, [&](const Notification&) {
        calls.push_back(1);
        first.reset();  // ends the observation whose callback is running
        third.reset();
    });
    second = center.addObserver("KXUpdateArrangeUI", nullptr, [&](const Notification&) {
        calls.push_back(2);
        // Added while posting: hears the next post only.
        if (!third.isActive())
            third = center.addObserver("KXUpdateArrangeUI", nullptr, [&](const Notification&) { calls.push_back(3); });
    });
    third = center.addObserver("KXUpdateArrangeUI", nullptr, [&](const Notification&) { calls.push_back(3); });
    center.post("KXUpdateArrangeUI");
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));
    center.post("KXUpdateArrangeUI");
    EXPECT_EQ(calls, (std::vector<int>{1, 2, 2, 3}));
}

TEST(NotificationCenter, PostOnMainThreadDeliversOnTheMainThreadFromAWorker) {
    NotificationCenter center;
    std::vector<Received> received;
    QThread* deliveredOn = nullptr;
    auto token = center.addObserver("KXReloadAllTemplateData", nullptr, [&](const Notification& n) {
        received.push_back({n.name, n.sender, n.userInfo});
        deliveredOn = QThread::currentThread();
    });
    static int sender;
    std::thread worker([&center] {
        center.postOnMainThread("KXReloadAllTemplateData", &sender, {{"tempName", Value("Birthday")}});
    });
    worker.join();
    EXPECT_TRUE(received.empty());  // queued, not delivered on the worker

    QDeadlineTimer deadline(5000);
    while (received.empty() && !deadline.hasExpired())
        QCoreApplication::processEvents();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(deliveredOn, QCoreApplication::instance()->thread());
    EXPECT_EQ(received[0].sender, &sender);
    EXPECT_EQ(received[0].userInfo.at("tempName"), Value("Birthday"));
}

TEST(NotificationCenter, PostOnMainThreadIsQueuedEvenOnTheMainThreadAndDroppedWithTheCentre) {
    int count = 0;
    {
        NotificationCenter center;
        auto token = center.addObserver("KXPreferencesChanged", nullptr, [&](const Notification&) { ++count; });
        center.postOnMainThread("KXPreferencesChanged");
        EXPECT_EQ(count, 0);
        QCoreApplication::processEvents();
        EXPECT_EQ(count, 1);
        center.postOnMainThread("KXPreferencesChanged");
    }
    QCoreApplication::processEvents();  // the centre is gone: nothing to deliver to, and no crash
    EXPECT_EQ(count, 1);
}

TEST(NotificationCenter, DefaultCenterIsOneInstance) {
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
    int count = 0;
    auto token = NotificationCenter::defaultCenter().addObserver("KXShowMarginBoxChanged", nullptr,
                                                                 [&](const Notification&) { ++count; });
    NotificationCenter::defaultCenter().post("KXShowMarginBoxChanged");
    EXPECT_EQ(count, 1);
}

namespace {

// Model objects made on worker threads (page copies for output) observe the default centre while the main
// thread posts: observations may begin and end on any thread at once.
TEST(NotificationCenter, ObserversComeAndGoOnSeveralThreadsAtOnce) {
    NotificationCenter center;
    constexpr int kThreads = 4;
    constexpr int kRounds = 2000;
    std::atomic<int> heard{0};
    std::vector<NotificationToken> kept(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                NotificationToken token =
                    center.addObserver(QStringLiteral("Churn"), nullptr, [&](const Notification&) { ++heard; });
                if (round % 7 == 0)
                    center.post(QStringLiteral("Other"));
            }
            kept[t] = center.addObserver(QStringLiteral("Churn"), nullptr, [&](const Notification&) { ++heard; });
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(heard.load(), 0);
    center.post(QStringLiteral("Churn"));
    EXPECT_EQ(heard.load(), kThreads);  // exactly the observations still held
    kept.clear();
    center.post(QStringLiteral("Churn"));
    EXPECT_EQ(heard.load(), kThreads);
}

}  // namespace
