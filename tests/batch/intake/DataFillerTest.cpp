#include "batch/intake/DataFiller.h"

#include "support/PhotoLibraryFixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>

using namespace PhotoLibraryFixtures;

class OlderLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_library = m_dir.filePath(QStringLiteral("iPhoto Library.photolibrary"));
        QDir().mkpath(m_library + QStringLiteral("/Masters"));
    }

    // One master with one version in one folder, placed by the list at imagePath.
    void buildSmallLibrary(const std::optional<QString>& archivePath, const std::optional<QString>& imagePath)
    {
        SqliteDatabase db = createOlderLibraryDatabase(m_library);
        addOlderFolder(db, "F1", "Summer");
        addOlderMaster(db, "M1", "2012/a.jpg");
        addOlderVersion(db, 1, "V1", "M1", "F1", "a");
        writeXmlList(xmlPath(), archivePath, { { "1", imagePath, imagePath } });
    }

    QStringList read()
    {
        DataFiller filler([this](const PhotoLibraryAlert& alert) { m_alerts.append(alert); });
        filler.setLibPath(m_library);
        filler.fetchImagesFromLib(m_library);
        return filler.arrImagePaths();
    }

    QString xmlPath() const { return m_library + QStringLiteral("/AlbumData.xml"); }
    QString inLibrary(const QString& relative) const { return m_library + u'/' + relative; }

    QTemporaryDir m_dir;
    QString m_library;
    QList<PhotoLibraryAlert> m_alerts;
};

TEST_F(OlderLibrary, listsEachLiveVersionWithAKnownMasterAndFolder)
{
    {
        SqliteDatabase db = createOlderLibraryDatabase(m_library);
        addOlderFolder(db, "F1", "Summer");
        addOlderFolder(db, "F2", {});
        addOlderMaster(db, "M1", "2012/a.jpg");
        addOlderMaster(db, "M2", "2012/b.jpg");
        addOlderMaster(db, "M3", "2012/c.jpg", /*isInTrash*/ 1);
        addOlderMaster(db, "M4", {});
        addOlderVersion(db, 1, "V1", "M1", "F1", "a");
        addOlderVersion(db, 2, "V2", "M1", "F2", {}); // a second version of M1, with no name
        addOlderVersion(db, 3, "V3", "M2", "F1", "b");
        addOlderVersion(db, 4, "V4", "M3", "F1", "master in the trash");
        addOlderVersion(db, 5, "V5", "M2", "F1", "in the trash", /*isInTrash*/ 1);
        addOlderVersion(db, 6, "V6", "M2", "F1", "hidden", 0, /*showInLibrary*/ 0);
        addOlderVersion(db, 7, "V7", "M2", "F1", "the original", 0, 1, /*versionNumber*/ 0);
        addOlderVersion(db, 8, "V8", "M4", "F1", "master without a path");
        addOlderVersion(db, 9, "V9", "M2", "F9", "unknown folder");
        addOlderVersion(db, 10, "V10", {}, "F1", "no master");
        writeXmlList(xmlPath(), m_library,
            { { "1", inLibrary("Modified/2012/a.jpg"), inLibrary("Thumbnails/a.jpg") },
                { "3", inLibrary("Masters/2012/b-edited.jpg"), std::nullopt },
                { "4", inLibrary("Masters/2012/c.jpg"), std::nullopt } });
    }
    DataFiller filler([this](const PhotoLibraryAlert& alert) { m_alerts.append(alert); });
    filler.setLibPath(m_library);
    filler.fetchImagesFromLib(m_library);

    EXPECT_TRUE(m_alerts.isEmpty());
    EXPECT_EQ(filler.arrImagePaths(),
        (QStringList { inLibrary("Modified/2012/a.jpg"), inLibrary("Masters/2012/a.jpg"),
            inLibrary("Masters/2012/b-edited.jpg") }));
    EXPECT_EQ(filler.lastScannedPhotosCount(), 3);
    EXPECT_EQ(filler.dictMasterInfo().value("M1").masterCount, 2);
    EXPECT_EQ(filler.dictMasterInfo().value("M2").originalPath, inLibrary("Masters/2012/b.jpg"));
    EXPECT_FALSE(filler.dictMasterInfo().contains("M3"));
    EXPECT_EQ(filler.dictFolderInfo().value("F1").versionCount, 2);
    EXPECT_EQ(filler.dictFolderInfo().value("F2").eventName, "untitled event");
}

TEST_F(OlderLibrary, movesListedPathsFromTheArchivePathToWhereTheLibraryIsNow)
{
    const QString archive = QStringLiteral("/Users/anna/Pictures/iPhoto Library.photolibrary");
    struct Case {
        QString archivePath;
        QString listed;
        QString expected;
    };
    const QList<Case> cases = {
        { archive, archive + "/Masters/2012/a.jpg", inLibrary("Masters/2012/a.jpg") },
        { archive + "/", archive + "/Masters/2012/a.jpg", inLibrary("Masters/2012/a.jpg") },
        // Only a whole leading folder is the archive.
        { archive, archive + "2/Masters/a.jpg", archive + "2/Masters/a.jpg" },
        { archive, "/Volumes/Disk" + archive + "/a.jpg", "/Volumes/Disk" + archive + "/a.jpg" },
        // Letter case counts here: the copy on disk has the case that is on disk.
        { m_library.toLower(), m_library.toLower() + "/Masters/a.jpg", inLibrary("Masters/a.jpg") },
        { m_library, inLibrary("Masters/a.jpg"), inLibrary("Masters/a.jpg") },
    };
    for (const Case& c : cases) {
        QDir(m_library + "/Database").removeRecursively();
        buildSmallLibrary(c.archivePath, c.listed);
        EXPECT_EQ(read(), QStringList { c.expected }) << qPrintable(c.archivePath + " | " + c.listed);
    }
    EXPECT_TRUE(m_alerts.isEmpty());
}

TEST_F(OlderLibrary, takesMastersFromOriginalsWhenThereIsNoMastersFolder)
{
    buildSmallLibrary(m_library, std::nullopt);
    writeXmlList(xmlPath(), m_library, {});
    EXPECT_EQ(read(), QStringList { inLibrary("Masters/2012/a.jpg") });

    QDir(m_library + "/Masters").removeRecursively();
    EXPECT_EQ(read(), QStringList { inLibrary("Originals/2012/a.jpg") });
}

TEST_F(OlderLibrary, withoutArchivePathAlertsOnceAndStillListsThePhotos)
{
    {
        SqliteDatabase db = createOlderLibraryDatabase(m_library);
        addOlderFolder(db, "F1", "Summer");
        addOlderMaster(db, "M1", "a.jpg");
        addOlderVersion(db, 1, "V1", "M1", "F1", "a");
        addOlderVersion(db, 2, "V2", "M1", "F1", "b");
        writeXmlList(xmlPath(), std::nullopt, { { "2", QString("/elsewhere/b.jpg"), std::nullopt } });
    }

    EXPECT_EQ(read(), (QStringList { inLibrary("Masters/a.jpg"), "/elsewhere/b.jpg" }));
    ASSERT_EQ(m_alerts.size(), 1);
    EXPECT_EQ(m_alerts.first().kind, PhotoLibraryAlert::Kind::ArchivePathMissing);
    EXPECT_EQ(m_alerts.first().message, "Please report to the developer should not happen");
    EXPECT_EQ(m_alerts.first().informativeText, "Send Feedback with logs now.");
}

TEST_F(OlderLibrary, prefersAlbumDataToApertureData)
{
    buildSmallLibrary(m_library, QString("/from/album-data.jpg"));
    QFile::rename(xmlPath(), m_library + "/ApertureData.xml");
    EXPECT_EQ(read(), QStringList { "/from/album-data.jpg" });

    writeXmlList(xmlPath(), m_library, { { "1", QString("/from/album-data-2.jpg"), std::nullopt } });
    EXPECT_EQ(read(), QStringList { "/from/album-data-2.jpg" });
}

TEST_F(OlderLibrary, isReadWithoutChangingAByte)
{
    buildSmallLibrary(m_library, std::nullopt);
    const auto before = folderSnapshot(m_library);

    EXPECT_EQ(read().size(), 1);

    EXPECT_EQ(folderSnapshot(m_library), before);
}

TEST_F(OlderLibrary, inWriteAheadLogModeGainsNoFilesWhenRead)
{
    buildSmallLibrary(m_library, std::nullopt);
    {
        SqliteDatabase db = SqliteDatabase::open(
            m_library + "/Database/apdb/Library.apdb", SqliteDatabase::OpenMode::ReadWriteCreate);
        run(db, QStringLiteral("PRAGMA journal_mode=WAL"));
    }
    // The mode stays in the database; the last connection removed its "-wal" and "-shm".
    const auto before = folderSnapshot(m_library);
    ASSERT_FALSE(before.contains("Database/apdb/Library.apdb-wal"));

    EXPECT_EQ(read().size(), 1);

    EXPECT_EQ(folderSnapshot(m_library), before);
}

TEST_F(OlderLibrary, aFolderWithoutXmlListIsNoLibraryAndGivesNothingSilently)
{
    SqliteDatabase db = createOlderLibraryDatabase(m_library);
    EXPECT_TRUE(read().isEmpty());
    EXPECT_TRUE(m_alerts.isEmpty());
}

TEST_F(OlderLibrary, thatCannotBeReadGivesNothingAndOneClearAlert)
{
    auto writeFile = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(bytes);
    };
    struct Case {
        const char* what;
        std::function<void()> spoil;
    };
    const QList<Case> cases = {
        { "a cut-off list",
            [&] {
                QFile file(xmlPath());
                file.open(QIODevice::ReadOnly);
                const QByteArray whole = file.readAll();
                file.close();
                writeFile(xmlPath(), whole.left(whole.indexOf("<key>Master Image List</key>") + 40));
            } },
        { "a binary list", [&] { writeFile(xmlPath(), QByteArray("bplist00\xd1\x01\x02", 11)); } },
        { "a list without a dictionary",
            [&] { writeFile(xmlPath(), "<plist><array><string>x</string></array></plist>"); } },
        { "no database", [&] { QDir(m_library + "/Database").removeRecursively(); } },
        { "another database layout",
            [&] {
                SqliteDatabase db = SqliteDatabase::open(
                    m_library + "/Database/apdb/Library.apdb", SqliteDatabase::OpenMode::ReadWriteCreate);
                run(db, QStringLiteral("DROP TABLE RKFolder"));
            } },
    };
    for (const Case& c : cases) {
        QDir(m_library + "/Database").removeRecursively();
        buildSmallLibrary(m_library, std::nullopt);
        c.spoil();
        m_alerts.clear();

        EXPECT_TRUE(read().isEmpty()) << c.what;
        ASSERT_EQ(m_alerts.size(), 1) << c.what;
        EXPECT_EQ(m_alerts.first().kind, PhotoLibraryAlert::Kind::LibraryUnreadable) << c.what;
        EXPECT_TRUE(m_alerts.first().message.contains("iPhoto Library.photolibrary")) << c.what;
    }
}

TEST(LibraryXmlListRead, endsAtAStopWhereverItIsInTheList)
{
    // A stop that comes while the reader is in a value it skips ends the reading
    // there as it does in the image list: false, and no reason to show.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("AlbumData.xml"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>Archive Path</key><string>/old</string><key>List of Albums</key><array>");
    for (int album = 0; album < 100; ++album)
        file.write("<dict><key>AlbumName</key><string>Summer</string></dict>");
    file.write("</array></dict></plist>\n");
    file.close();

    LibraryXmlList list;
    QString error;
    ASSERT_TRUE(LibraryXmlList::read(path, &list, &error));
    const std::atomic<bool> stop { true };
    error = QStringLiteral("before");
    EXPECT_FALSE(LibraryXmlList::read(path, &list, &error, &stop));
    EXPECT_TRUE(error.isEmpty()) << qPrintable(error);
}
