#include "RoadStageMeter.h"

#include <QCoreApplication>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace Qt::Literals::StringLiterals;

TEST(RoadStageMeter, aMainThreadBlockedInAStageIsTheLongestGapAndBelongsToThatStage)
{
    RoadStageMeter meter(10);
    meter.start();
    meter.beginStage(u"quiet"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return meter.stages().last().longestGapMs > 0; }, 5000));

    meter.beginStage(u"blocked"_s);
    // What the meter is there to catch: a slot that holds the main thread.
    QTimer::singleShot(0, [] { std::this_thread::sleep_for(std::chrono::milliseconds(250)); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return meter.stages().last().longestGapMs >= 250; }, 5000));
    meter.endStage();
    meter.stop();

    ASSERT_EQ(meter.stages().size(), 2);
    const RoadStageMeter::Stage& quiet = meter.stages()[0];
    const RoadStageMeter::Stage& blocked = meter.stages()[1];
    EXPECT_EQ(quiet.name, u"quiet"_s);
    EXPECT_LT(quiet.longestGapMs, blocked.longestGapMs);
    EXPECT_EQ(meter.longestGapStage(), u"blocked"_s);
    EXPECT_DOUBLE_EQ(meter.longestGapMs(), blocked.longestGapMs);
    EXPECT_GE(blocked.seconds, 0.25);
}

TEST(RoadStageMeter, keepsTheLongestAndTheBusiestEventOfEachStageAndCountsThoseOverAFrame)
{
    RoadStageMeter meter(10);
    int described = 0;
    const auto describe = [&described](const QString& what) {
        return [&described, what] {
            ++described;
            return what;
        };
    };
    meter.beginStage(u"intake"_s);
    // Long but mostly waiting for a core, then shorter but all work.
    meter.eventDelivered(40'000'000, 2'000'000, describe(u"QVAppStoreWindow / UpdateRequest"_s));
    meter.eventDelivered(20'000'000, 19'000'000, describe(u"PhotoIntake / MetaCall"_s));
    meter.eventDelivered(2'000'000, 1'000'000, describe(u"shorter"_s));
    meter.beginStage(u"writing"_s);
    // A new stage keeps its own longest, however short.
    meter.eventDelivered(1'000'000, 1'000'000, describe(u"BatchRunner / MetaCall"_s));
    meter.endStage();
    meter.eventDelivered(500'000, 500'000, describe(u"between"_s));

    EXPECT_EQ(described, 4);
    const RoadStageMeter::Stage& intake = meter.stages()[0];
    EXPECT_EQ(intake.longestEvent.what, u"QVAppStoreWindow / UpdateRequest"_s);
    EXPECT_DOUBLE_EQ(intake.longestEvent.ms, 40.0);
    EXPECT_DOUBLE_EQ(intake.longestEvent.cpuMs, 2.0);
    EXPECT_EQ(intake.busiestEvent.what, u"PhotoIntake / MetaCall"_s);
    EXPECT_DOUBLE_EQ(intake.busiestEvent.cpuMs, 19.0);
    EXPECT_EQ(intake.eventsOverAFrame, 2);
    EXPECT_EQ(meter.stages()[1].longestEvent.what, u"BatchRunner / MetaCall"_s);
    EXPECT_EQ(meter.stages()[1].eventsOverAFrame, 0);
    const RoadStageMeter::SlowEvent longest = meter.longestEvent();
    EXPECT_EQ(longest.what, u"QVAppStoreWindow / UpdateRequest"_s);
    EXPECT_EQ(longest.stage, u"intake"_s);

    // One row per stage in order, then the time between stages.
    const QString table = meter.table();
    const qsizetype intakeRow = table.indexOf(u"intake"_s);
    const qsizetype writing = table.indexOf(u"writing"_s);
    const qsizetype between = table.indexOf(u"(between stages)"_s);
    EXPECT_TRUE(intakeRow > 0 && intakeRow < writing && writing < between) << table.toStdString();
    EXPECT_TRUE(table.contains(u"BatchRunner / MetaCall"_s));
    EXPECT_TRUE(table.contains(u"19.0 PhotoIntake / MetaCall"_s)) << table.toStdString();
}
