#include "base/MainThreadMailbox.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

// Calls posted from another thread faster than the main thread runs them: they run
// in order, and the event loop's timers run between the slices, not only after all.
TEST(MainThreadMailbox, runsCallsInOrderAndLetsTimersRunBetweenSlices)
{
    QObject receiver;
    int slices = 0;
    MainThreadMailbox mailbox(&receiver, [&slices] { ++slices; }, 5);
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start();

    constexpr int kCalls = 60;
    std::vector<int> order;
    std::vector<int> ticksAtCall;
    QEventLoop loop;
    std::thread poster([&] {
        for (int i = 0; i < kCalls; ++i) {
            mailbox.post([&, i] {
                order.push_back(i);
                ticksAtCall.push_back(ticks);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                if (i == kCalls - 1)
                    loop.quit();
            });
        }
    });
    poster.join();
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();

    ASSERT_EQ(int(order.size()), kCalls);
    for (int i = 0; i < kCalls; ++i)
        EXPECT_EQ(order[std::size_t(i)], i);
    EXPECT_GT(ticksAtCall.back(), ticksAtCall.front() + 3);
    EXPECT_GT(slices, 3);
}

TEST(MainThreadMailbox, deliverAllRunsWhatWasPostedAtOnceAndReportsTheSlice)
{
    QObject receiver;
    int slices = 0;
    MainThreadMailbox mailbox(&receiver, [&slices] { ++slices; });
    std::vector<int> order;
    std::thread([&] {
        for (int i = 0; i < 5; ++i)
            mailbox.post([&order, i] { order.push_back(i); });
    }).join();
    mailbox.deliverAll();
    EXPECT_EQ(order, (std::vector<int> { 0, 1, 2, 3, 4 }));
    EXPECT_EQ(slices, 1);
    // The slice asked for meanwhile finds nothing more; a later post is delivered.
    mailbox.post([&order] { order.push_back(5); });
    QEventLoop loop;
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(order.back(), 5);
    EXPECT_EQ(int(order.size()), 6);
}
