#include "base/WorkerRegistry.h"

#include <QString>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

TEST(WorkerRegistry, stopsEveryRunningWorkerOnceNewestFirst)
{
    WorkerRegistry registry;
    std::vector<int> calls;
    auto first = registry.add([&] { calls.push_back(1); });
    auto second = registry.add([&] { calls.push_back(2); });
    EXPECT_EQ(registry.count(), 2);
    registry.stopAll();
    EXPECT_EQ(calls, (std::vector<int> { 2, 1 }));
}

TEST(WorkerRegistry, aFinishedWorkerIsNotStopped)
{
    WorkerRegistry registry;
    int calls = 0;
    {
        auto registration = registry.add([&] { ++calls; });
    }
    auto moved = registry.add([&] { ++calls; });
    WorkerRegistry::Registration taken = std::move(moved);
    EXPECT_FALSE(moved.isActive());
    taken.reset();
    EXPECT_EQ(registry.count(), 0);
    registry.stopAll();
    EXPECT_EQ(calls, 0);
}

TEST(WorkerRegistry, aWorkerMayEndItsRegistrationWhileBeingStopped)
{
    WorkerRegistry registry;
    WorkerRegistry::Registration registration;
    registration = registry.add([&] { registration.reset(); });
    registry.stopAll();
    EXPECT_EQ(registry.count(), 0);
}

TEST(WorkerRegistry, aWorkerStartedDuringTerminationIsStoppedAtOnce)
{
    WorkerRegistry registry;
    registry.stopAll();
    bool stopped = false;
    auto late = registry.add([&] { stopped = true; });
    EXPECT_TRUE(stopped);
    EXPECT_FALSE(late.isActive());
}

TEST(WorkerRegistry, waitsForAWorkerThreadToFinishItsItem)
{
    WorkerRegistry registry;
    std::atomic<bool> stop { false };
    std::atomic<int> written { 0 };
    std::thread worker([&] {
        while (!stop.load())
            std::this_thread::yield();
        written = 1; // the item in hand is finished before the worker ends
    });
    auto registration = registry.add([&] {
        stop = true;
        worker.join();
    });
    registry.stopAll();
    EXPECT_EQ(written.load(), 1);
}
