#include "services/Utils.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

TEST(ByteCountText, stepsBy1000AndStaysAtTerabytes)
{
    const struct {
        double bytes;
        const char* expected;
    } cases[] = {
        { 0, "0 bytes" },
        { 512, "512 bytes" },
        { 512.7, "513 bytes" },
        { 993, "993 bytes" },
        { 993.00, "993 bytes" },
        { 993.01, "0.97 KB" },
        { 999, "0.97 KB" },
        { 1000, "1.00 KB" },
        { 1536, "1.53 KB" },
        { 1048576, "1.04 MB" },
        { 995000, "0.97 MB" },
        { 2.5e9, "2.50 GB" },
        { 993.5e12, "993.50 TB" },
        // There is no unit after "TB".
        { 999.99e12, "999.99 TB" },
        { 1e15, "1000.00 TB" },
        { 123456e15, "123456000.00 TB" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utils::sharedUtils().unitStringFromBytes(c.bytes, 0), c.expected) << c.bytes;
}

TEST(ElapsedTimeText, namesHoursMinutesAndSeconds)
{
    const struct {
        qint64 seconds;
        const char* expected;
    } cases[] = {
        { 0, "" },
        { -5, "" },
        { -3700, "" },
        { 1, " 1 second" },
        { 45, " 45 seconds" },
        { 59, " 59 seconds" },
        { 60, " 1 minute 0 seconds" },
        { 61, " 1 minute 1 second" },
        { 120, " 2 minutes 0 seconds" },
        { 3599, " 59 minutes 59 seconds" },
        { 3600, "1 hour 0 minutes 0 seconds" },
        { 3725, "1 hour 2 minutes 5 seconds" },
        { 7261, "2 hours 1 minute 1 second" },
        { 360000LL * 3600, "360000 hours 0 minutes 0 seconds" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utils::sharedUtils().timeFormattedString(c.seconds), c.expected) << c.seconds;
}

TEST(EmailCheck, matchesTheWholeText)
{
    for (const char* good : { "a@b.co", "first.last+tag@mail.example.org", "x@sub-domain.example.museum" })
        EXPECT_TRUE(Utils::validateEmail(good)) << good;
    for (const char* bad : { "", "@b.co", "a@b", "a@b.c", "a@.co", "a@b.co\n", "a@b.co ", "a@b_c.com", "a@b.c0m" })
        EXPECT_FALSE(Utils::validateEmail(bad)) << bad;
}

TEST(CompactDateText, isTheLocalDateAndMinute)
{
    const ScopedTimeZone berlin("Europe/Berlin");
    EXPECT_EQ(Utils::getDateInFormatNEW(QDateTime(QDate(2019, 5, 4), QTime(8, 1, 59), QTimeZone(0))), "20190504T1001");
    EXPECT_EQ(Utils::getDateInFormatNEW(QDateTime(QDate(812, 1, 2), QTime(3, 4), Qt::UTC)), "08120102T0304");
}

TEST(FlatJson, isValidJsonForAnyText)
{
    QVariantMap dict;
    dict["quote"] = "say \"cheese\"";
    dict["path"] = "C:\\photos\\a.jpg";
    dict["control"] = QString("tab\there\nline\x01");
    dict["count"] = 3;
    dict["ratio"] = 1.5;
    dict["flag"] = true;
    dict["list"] = QVariantList { 1, "two" };
    const QString json = Utils::getJSONFromDict(dict);

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.toStdString();
    const QJsonObject object = document.object();
    EXPECT_EQ(object["quote"].toString(), "say \"cheese\"");
    EXPECT_EQ(object["path"].toString(), "C:\\photos\\a.jpg");
    EXPECT_EQ(object["control"].toString(), QString("tab\there\nline\x01"));
    EXPECT_EQ(object["count"].toInt(), 3);
    EXPECT_EQ(object["ratio"].toDouble(), 1.5);
    EXPECT_EQ(object["flag"].toBool(), true);
    EXPECT_EQ(object["list"].toString(), "[1,\"two\"]");

    EXPECT_EQ(Utils::getJSONFromDict({}), "{}");
    EXPECT_EQ(Utils::getJSONFromDict({ { "b", 2 }, { "a", "x" } }), "{\"a\":\"x\",\"b\":2}");
}

TEST(CollisionFreeName, numbersTheNameUntilItIsFree)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto touch = [&](const QString& name) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    };

    EXPECT_EQ(Utils::stringToAvoidNameCollisionForPath(dir.filePath("a.jpg")), dir.filePath("a.jpg"));
    touch("a.jpg");
    touch("a (1).jpg");
    EXPECT_EQ(Utils::stringToAvoidNameCollisionForPath(dir.filePath("a.jpg")), dir.filePath("a (2).jpg"));
    // Candidates are built from the first name, never nested.
    EXPECT_EQ(Utils::stringToAvoidNameCollisionForPath(dir.filePath("a (1).jpg")), dir.filePath("a (1) (1).jpg"));

    touch("a");
    EXPECT_EQ(Utils::stringToAvoidNameCollisionForPath(dir.filePath("a")), dir.filePath("a (1)."));
    touch("archive.tar.gz");
    EXPECT_EQ(
        Utils::stringToAvoidNameCollisionForPath(dir.filePath("archive.tar.gz")), dir.filePath("archive.tar (1).gz"));
    touch(".profile");
    EXPECT_EQ(Utils::stringToAvoidNameCollisionForPath(dir.filePath(".profile")), dir.filePath(".profile (1)."));

    // A folder and a dangling link occupy a name as much as a file does.
    ASSERT_TRUE(QDir(dir.path()).mkdir("b.jpg"));
    ASSERT_TRUE(QFile::link(dir.filePath("missing"), dir.filePath("b (1).jpg")));
    EXPECT_EQ(Utils::stringToAvoidNameCollisionForPath(dir.filePath("b.jpg")), dir.filePath("b (2).jpg"));
}

} // namespace
