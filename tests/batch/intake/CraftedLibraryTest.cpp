// Photo libraries built to harm the reader: views that never end, values of the
// wrong type. The reading must end (by itself or at a stop) and say why.
#include "batch/intake/DBOperations.h"
#include "batch/intake/DataFiller.h"

#include "support/PhotoLibraryFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

using namespace PhotoLibraryFixtures;

namespace {

// A view of endless rows: the recursion has no end. With UNION, SQLite has to keep
// every row it made (to drop duplicates), so the rows pile up in temporary storage.
QString endlessView(const QString& name, const QString& columns, const char* unionKind = "UNION")
{
    return QStringLiteral("CREATE VIEW %1 AS WITH RECURSIVE r(n) AS (SELECT 1 %2 SELECT n + 1 FROM r) SELECT %3 FROM r")
        .arg(name, QString::fromLatin1(unionKind), columns);
}

// Waits for a reading that may never end without the mend. A reading still running
// after a generous bound fails the test and ends the process: the thread holds
// this test's objects, so the test cannot return from under it.
template <typename T>
T resultWithin(std::future<T>& reading, std::chrono::seconds bound)
{
    if (reading.wait_for(bound) != std::future_status::ready) {
        std::fprintf(stderr, "the library reading did not end within %lld s\n", static_cast<long long>(bound.count()));
        std::fflush(stderr);
        std::_Exit(1);
    }
    return reading.get();
}

class CraftedLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_photos = m_dir.filePath(QStringLiteral("Crafted.photoslibrary"));
        m_older = m_dir.filePath(QStringLiteral("Crafted.photolibrary"));
        QDir().mkpath(m_older + QStringLiteral("/Masters"));
    }

    PhotoLibraryAlertHandler collectAlerts()
    {
        return [this](const PhotoLibraryAlert& alert) { m_alerts.append(alert); };
    }

    std::future<QList<PhotoLibraryEntry>> readPhotosLibrary(
        std::chrono::milliseconds timeBound = DBOperations::kMaxReadingTime)
    {
        return std::async(std::launch::async, [this, timeBound] {
            return DBOperations::getPhotoslibraryPath(m_photos, collectAlerts(), &m_stop, timeBound);
        });
    }

    std::future<QStringList> readOlderLibrary(std::chrono::milliseconds timeBound = DBOperations::kMaxReadingTime)
    {
        return std::async(std::launch::async, [this, timeBound] {
            DataFiller filler(collectAlerts(), &m_stop, timeBound);
            filler.setLibPath(m_older);
            filler.fetchImagesFromLib(m_older);
            return filler.arrImagePaths();
        });
    }

    // An older library whose masters are a view that never ends and never lists a
    // row: SQLite walks it for ever in constant memory.
    void buildOlderLibraryWithEndlessMasters()
    {
        SqliteDatabase db = createOlderLibraryDatabase(m_older);
        addOlderFolder(db, "F1", "Summer");
        addOlderVersion(db, 1, "V1", "M1", "F1", "a");
        run(db, QStringLiteral("DROP TABLE RKMaster"));
        run(db,
            endlessView(QStringLiteral("RKMaster"), QStringLiteral("'M' || n AS uuid, 'a.jpg' AS imagePath, min(n, 1) AS isInTrash"),
                "UNION ALL"));
        writeXmlList(m_older + QStringLiteral("/AlbumData.xml"), m_older, {});
    }

    QTemporaryDir m_dir;
    QString m_photos;
    QString m_older;
    std::atomic<bool> m_stop { false };
    QList<PhotoLibraryAlert> m_alerts;
};

} // namespace

TEST_F(CraftedLibrary, whoseMastersNeverEndIsReadUntilTheStopAndThenGivesNothingAndNoAlert)
{
    buildOlderLibraryWithEndlessMasters();
    std::future<QStringList> reading = readOlderLibrary();
    // Whether the stop comes before the query or during it, the reading must end.
    EXPECT_EQ(reading.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    m_stop = true;

    EXPECT_TRUE(resultWithin(reading, std::chrono::seconds(10)).isEmpty());
    EXPECT_TRUE(m_alerts.isEmpty());
}

TEST_F(CraftedLibrary, whoseQueriesRunPastTheTimeBoundEndAtItWithAClearAlert)
{
    {
        // Masters as a table of 3,000 rows joined three times with itself: 27 billion
        // rows to walk, none of them listed, in constant memory.
        SqliteDatabase db = createPhotosDatabase(m_photos + QStringLiteral("/database/photos.db"));
        addPhotosVersion(db, 1, "V1", "M1", "a.jpg", {});
        run(db, QStringLiteral("DROP TABLE RKMaster"));
        run(db,
            QStringLiteral("CREATE TABLE n AS WITH RECURSIVE r(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM r "
                           "WHERE i < 3000) SELECT i FROM r"));
        run(db,
            QStringLiteral("CREATE VIEW RKMaster AS SELECT 'M' || a.i AS uuid, 1 AS fileSize, 'a.jpg' AS imagePath, "
                           "0 AS isInTrash FROM n a, n b, n c WHERE a.i + b.i + c.i < 0"));
    }
    const std::chrono::milliseconds bound(150);
    std::future<QList<PhotoLibraryEntry>> photos = readPhotosLibrary(bound);
    EXPECT_TRUE(resultWithin(photos, std::chrono::seconds(10)).isEmpty());
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_EQ(m_alerts.first().kind, PhotoLibraryAlert::Kind::LibraryUnreadable);
    EXPECT_TRUE(m_alerts.first().message.contains(QStringLiteral("Crafted.photoslibrary")));
    EXPECT_TRUE(m_alerts.first().informativeText.contains(QStringLiteral("took longer than 0.15 s")))
        << qPrintable(m_alerts.first().informativeText);

    m_alerts.clear();
    buildOlderLibraryWithEndlessMasters();
    std::future<QStringList> older = readOlderLibrary(bound);
    EXPECT_TRUE(resultWithin(older, std::chrono::seconds(10)).isEmpty());
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_EQ(m_alerts.first().kind, PhotoLibraryAlert::Kind::LibraryUnreadable);
    EXPECT_TRUE(m_alerts.first().informativeText.contains(QStringLiteral("took longer than")))
        << qPrintable(m_alerts.first().informativeText);
}

TEST_F(CraftedLibrary, whoseViewWouldMakeAValueOverTheLengthLimitIsRefusedWithAClearAlert)
{
    {
        // A path of 2,000,000 bytes, made from two short texts by replace().
        SqliteDatabase db = createPhotosDatabase(m_photos + QStringLiteral("/database/photos.db"));
        run(db, QStringLiteral("DROP TABLE RKMaster"));
        run(db,
            QStringLiteral("CREATE VIEW RKMaster AS SELECT 'M1' AS uuid, 1 AS fileSize, "
                           "replace(printf('%.2000c', 'a'), 'a', printf('%.1000c', 'b')) AS imagePath, "
                           "0 AS isInTrash"));
        addPhotosVersion(db, 1, "V1", "M1", "a.jpg", {});
    }
    std::future<QList<PhotoLibraryEntry>> reading = readPhotosLibrary();
    EXPECT_TRUE(resultWithin(reading, std::chrono::seconds(10)).isEmpty());
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_EQ(m_alerts.first().kind, PhotoLibraryAlert::Kind::LibraryUnreadable);
    EXPECT_TRUE(m_alerts.first().informativeText.contains(QStringLiteral("value longer than 1 MiB")))
        << qPrintable(m_alerts.first().informativeText);
}

TEST_F(CraftedLibrary, whoseMastersPileUpInTemporaryStorageEndsAtTheBoundWithAClearAlert)
{
    {
        SqliteDatabase db = createPhotosDatabase(m_photos + QStringLiteral("/database/photos.db"));
        addPhotosVersion(db, 1, "V1", "M1", "a.jpg", {});
        run(db, QStringLiteral("DROP TABLE RKMaster"));
        run(db,
            endlessView(QStringLiteral("RKMaster"),
                QStringLiteral("'M' || n AS uuid, 'p' || n || '.jpg' AS imagePath, n AS fileSize, 0 AS isInTrash")));
    }
    // Far from the time bound on a busy machine: the storage bound is what ends it.
    std::future<QList<PhotoLibraryEntry>> reading = readPhotosLibrary(std::chrono::minutes(10));

    EXPECT_TRUE(resultWithin(reading, std::chrono::seconds(60)).isEmpty());
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_EQ(m_alerts.first().kind, PhotoLibraryAlert::Kind::LibraryUnreadable);
    EXPECT_TRUE(m_alerts.first().informativeText.contains(QStringLiteral("temporary storage")))
        << qPrintable(m_alerts.first().informativeText);
}

TEST_F(CraftedLibrary, whoseRowsHoldValuesOfTheWrongTypeSaysSoAndKeepsTheGoodRows)
{
    {
        // A column declared as text turns a number into text; one declared with no
        // type keeps whatever it is given.
        SqliteDatabase db = createPhotosDatabase(m_photos + QStringLiteral("/database/photos.db"));
        run(db, QStringLiteral("DROP TABLE RKMaster"));
        run(db, QStringLiteral("CREATE TABLE RKMaster (uuid TEXT, fileSize INTEGER, imagePath, isInTrash DEFAULT 0)"));
        addPhotosMaster(db, "M1", "good.jpg", 1);
        addPhotosMaster(db, "M2", 42, 1); // a number where a path belongs
        run(db, QStringLiteral("INSERT INTO RKMaster (uuid, imagePath, fileSize) VALUES ('M3', X'612E6A7067', 1)"));
        for (int id : { 1, 2, 3 })
            addPhotosVersion(db, id, QStringLiteral("V%1").arg(id), QStringLiteral("M%1").arg(id), "x.jpg", {});
    }
    std::future<QList<PhotoLibraryEntry>> photos = readPhotosLibrary();
    const QList<PhotoLibraryEntry> entries = resultWithin(photos, std::chrono::seconds(10));
    ASSERT_EQ(entries.size(), 1);
    EXPECT_TRUE(entries.first().imagePath.endsWith(QStringLiteral("/good.jpg")));
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_EQ(m_alerts.first().kind, PhotoLibraryAlert::Kind::RowsLeftOut);
    EXPECT_TRUE(m_alerts.first().message.contains(QStringLiteral("Crafted.photoslibrary")));
    EXPECT_TRUE(m_alerts.first().informativeText.startsWith(QStringLiteral("2 of the 3 rows")))
        << qPrintable(m_alerts.first().informativeText);
    EXPECT_TRUE(m_alerts.first().informativeText.contains(QStringLiteral("imagepath holds a whole number")));

    // Every row of the older library's masters has its path as a number: nothing
    // comes in, and the alert says why instead of nothing at all.
    m_alerts.clear();
    {
        SqliteDatabase db = createOlderLibraryDatabase(m_older);
        addOlderFolder(db, "F1", "Summer");
        run(db, QStringLiteral("DROP TABLE RKMaster"));
        run(db, QStringLiteral("CREATE TABLE RKMaster (uuid TEXT, imagePath INTEGER, isInTrash DEFAULT 0)"));
        addOlderMaster(db, "M1", 2012);
        addOlderVersion(db, 1, "V1", "M1", "F1", "a");
        writeXmlList(m_older + QStringLiteral("/AlbumData.xml"), m_older, {});
    }
    std::future<QStringList> older = readOlderLibrary();
    EXPECT_TRUE(resultWithin(older, std::chrono::seconds(10)).isEmpty());
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_EQ(m_alerts.first().kind, PhotoLibraryAlert::Kind::RowsLeftOut);
    EXPECT_TRUE(m_alerts.first().informativeText.contains(QStringLiteral("RKMaster")));
    EXPECT_TRUE(m_alerts.first().informativeText.contains(QStringLiteral("imagePath holds a whole number")));
}

TEST_F(CraftedLibrary, whoseDatabaseClaimsMoreThanTheFreeSpaceIsNotCopied)
{
    // A sparse file: it takes no room on the disk but would take 8 TiB in a copy.
    {
        SqliteDatabase db = createPhotosDatabase(m_photos + QStringLiteral("/database/photos.db"));
    }
    QFile database(m_photos + QStringLiteral("/database/photos.db"));
    ASSERT_TRUE(database.resize(qint64(1) << 43));
    std::future<QList<PhotoLibraryEntry>> reading = readPhotosLibrary();

    EXPECT_TRUE(resultWithin(reading, std::chrono::seconds(10)).isEmpty());
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_EQ(m_alerts.first().kind, PhotoLibraryAlert::Kind::LibraryUnreadable);
    EXPECT_TRUE(m_alerts.first().informativeText.contains(QStringLiteral("larger than the free space")))
        << qPrintable(m_alerts.first().informativeText);
}

TEST_F(CraftedLibrary, whoseImagePathIsLongerThanAnyPathLeavesItsRowsOutWithAnAlert)
{
    {
        // Masters as a view: one row of a few bytes in the file, a megabyte of path
        // when read, listed again by every version.
        SqliteDatabase db = createPhotosDatabase(m_photos + QStringLiteral("/database/photos.db"));
        run(db, QStringLiteral("DROP TABLE RKMaster"));
        run(db,
            QStringLiteral("CREATE VIEW RKMaster AS SELECT 'M1' AS uuid, 1 AS fileSize, "
                           "printf('%.1000000c', 'a') AS imagePath, 0 AS isInTrash "
                           "UNION ALL SELECT 'M2', 1, 'short.jpg', 0"));
        for (int id = 1; id <= 40; ++id)
            addPhotosVersion(db, id, QStringLiteral("V%1").arg(id), "M1", "a.jpg", {});
        addPhotosVersion(db, 41, "V41", "M2", "short.jpg", {});
    }
    std::future<QList<PhotoLibraryEntry>> reading = readPhotosLibrary();
    const QList<PhotoLibraryEntry> entries = resultWithin(reading, std::chrono::seconds(30));
    ASSERT_EQ(entries.size(), 1);
    EXPECT_TRUE(entries.first().imagePath.endsWith(QStringLiteral("/short.jpg")));
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_EQ(m_alerts.first().kind, PhotoLibraryAlert::Kind::RowsLeftOut);
    EXPECT_TRUE(m_alerts.first().informativeText.contains(QStringLiteral("40 of the 41 rows")))
        << qPrintable(m_alerts.first().informativeText);
    EXPECT_TRUE(m_alerts.first().informativeText.contains(QStringLiteral("imagepath holds 1000000 bytes")))
        << qPrintable(m_alerts.first().informativeText);

    // The older library's masters, the same way.
    m_alerts.clear();
    {
        SqliteDatabase db = createOlderLibraryDatabase(m_older);
        addOlderFolder(db, "F1", "Summer");
        run(db, QStringLiteral("DROP TABLE RKMaster"));
        run(db,
            QStringLiteral("CREATE VIEW RKMaster AS SELECT 'M1' AS uuid, printf('%.1000000c', 'a') AS imagePath, "
                           "0 AS isInTrash"));
        addOlderVersion(db, 1, "V1", "M1", "F1", "a");
        writeXmlList(m_older + QStringLiteral("/AlbumData.xml"), m_older, {});
    }
    std::future<QStringList> older = readOlderLibrary();
    EXPECT_TRUE(resultWithin(older, std::chrono::seconds(30)).isEmpty());
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_EQ(m_alerts.first().kind, PhotoLibraryAlert::Kind::RowsLeftOut);
    EXPECT_TRUE(m_alerts.first().informativeText.contains(QStringLiteral("imagePath holds 1000000 bytes")))
        << qPrintable(m_alerts.first().informativeText);
}

TEST_F(CraftedLibrary, whoseRowsWouldHoldMoreThanTheMemoryBoundIsRefusedWithAClearAlert)
{
    {
        // Twice the bound in 60,000-byte descriptions, each below the bound of one text.
        SqliteDatabase db = createPhotosDatabase(m_photos + QStringLiteral("/database/photos.db"));
        addPhotosMaster(db, "M1", "a.jpg", 1);
        const qint64 rows = 2 * DBOperations::kMaxHeldBytes / (2 * 60000);
        run(db, QStringLiteral("DROP TABLE RKVersion"));
        run(db,
            QStringLiteral("CREATE VIEW RKVersion AS WITH RECURSIVE r(n) AS (SELECT 1 UNION "
                           "ALL SELECT n + 1 FROM r WHERE n < %1) SELECT n AS modelId, 'V' || n AS uuid, "
                           "'M1' AS masterUuid, 'a.jpg' AS fileName, printf('%.60000c', 'd') AS extendedDescription, "
                           "0 AS isInTrash, NULL AS burstUuid FROM r")
                .arg(rows));
    }
    std::future<QList<PhotoLibraryEntry>> reading = readPhotosLibrary();
    EXPECT_TRUE(resultWithin(reading, std::chrono::seconds(60)).isEmpty());
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_EQ(m_alerts.first().kind, PhotoLibraryAlert::Kind::LibraryUnreadable);
    EXPECT_TRUE(m_alerts.first().informativeText.contains(QStringLiteral("MiB of memory")))
        << qPrintable(m_alerts.first().informativeText);
}

TEST_F(CraftedLibrary, whoseListIsAFifoIsRefusedWithoutBlocking)
{
    {
        SqliteDatabase db = createOlderLibraryDatabase(m_older);
        addOlderFolder(db, "F1", "Summer");
        addOlderMaster(db, "M1", "a.jpg");
        addOlderVersion(db, 1, "V1", "M1", "F1", "a");
    }
    const QString list = m_older + QStringLiteral("/AlbumData.xml");
    ASSERT_EQ(::mkfifo(QFile::encodeName(list).constData(), 0600), 0);
    std::future<QStringList> older = readOlderLibrary();
    EXPECT_TRUE(resultWithin(older, std::chrono::seconds(10)).isEmpty());
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_TRUE(m_alerts.first().informativeText.contains(QStringLiteral("FIFO")))
        << qPrintable(m_alerts.first().informativeText);
}
