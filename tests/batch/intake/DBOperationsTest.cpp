#include "batch/intake/DBOperations.h"

#include "platform/TemporaryNames.h"
#include "support/PhotoLibraryFixtures.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace PhotoLibraryFixtures;

namespace {

QSet<QString> modelIdsOf(const QList<PhotoLibraryEntry>& entries)
{
    QSet<QString> ids;
    for (const PhotoLibraryEntry& entry : entries)
        ids.insert(entry.modelId);
    return ids;
}

const PhotoLibraryEntry* entryWithModelId(const QList<PhotoLibraryEntry>& entries, const QString& modelId)
{
    for (const PhotoLibraryEntry& entry : entries)
        if (entry.modelId == modelId)
            return &entry;
    return nullptr;
}

} // namespace

TEST(PhotosLibraryDatabase, isTheFirstCandidateThatExistsElseDatabasePhotosDb)
{
    struct Case {
        QStringList existing;
        QString chosen;
    };
    const QList<Case> cases = {
        { {}, "database/photos.db" },
        { { "database/photos.db" }, "database/photos.db" },
        { { "database/photos.db", "database/apdb/photos.db" }, "database/apdb/photos.db" },
        { { "database/apdb/photos.db", "database/Library.apdb" }, "database/Library.apdb" },
        { { "database/Library.apdb", "database/apdb/Library.apdb", "database/photos.db" },
            "database/apdb/Library.apdb" },
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QDir library(dir.filePath(QStringLiteral("Lib.photoslibrary")));
        for (const QString& file : c.existing) {
            QDir().mkpath(QFileInfo(library.filePath(file)).path());
            QFile(library.filePath(file)).open(QIODevice::WriteOnly);
        }
        EXPECT_EQ(DBOperations::getDataBasePathForPhotosLib(library.path()), library.filePath(c.chosen))
            << qPrintable(c.existing.join(u','));
    }
}

class PhotosLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        // Each test gets its own cache folder, so a leftover copy is this test's own.
        m_savedCacheHome = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", cacheHome().toUtf8());
        m_library = m_dir.filePath(QStringLiteral("Family Photos.photoslibrary"));
    }
    void TearDown() override
    {
        if (m_savedCacheHome.isEmpty())
            qunsetenv("XDG_CACHE_HOME");
        else
            qputenv("XDG_CACHE_HOME", m_savedCacheHome);
    }

    QString cacheHome() const { return m_dir.filePath(QStringLiteral("cache")); }
    QString dbPath() const { return m_library + QStringLiteral("/database/photos.db"); }
    QString masters() const { return m_library + QStringLiteral("/Masters/"); }

    QList<PhotoLibraryEntry> read()
    {
        return DBOperations::getPhotoslibraryPath(
            m_library, [this](const PhotoLibraryAlert& alert) { m_alerts.append(alert); });
    }

    QStringList filesLeftInCache() const
    {
        QStringList files;
        QDirIterator it(cacheHome(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files.append(it.next());
        return files;
    }

    QTemporaryDir m_dir;
    QByteArray m_savedCacheHome;
    QString m_library;
    QList<PhotoLibraryAlert> m_alerts;
};

// A copy left by a killed run goes at the next start, however recent; the copy
// a live reading holds stays.
TEST_F(PhotosLibrary, copiesOfKilledRunsAreRemovedAndALiveOneKept)
{
    createPhotosDatabase(dbPath());
    const LibraryDatabaseCopy live(dbPath());
    ASSERT_FALSE(live.path().isEmpty()) << qPrintable(live.errorMessage());
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    const QString killed = cache + u'/' + QString::fromLatin1(TemporaryNames::make("photo-library-"));
    ASSERT_TRUE(QDir().mkpath(killed));
    QFile(killed + QStringLiteral("/photos.db")).open(QIODevice::WriteOnly);

    LibraryDatabaseCopy::removeAbandoned();
    EXPECT_FALSE(QFileInfo::exists(killed));
    EXPECT_TRUE(QFileInfo::exists(live.path()));
}

TEST_F(PhotosLibrary, listsEveryLiveVersionOfALiveMasterOutsideBurstsAndTheEmptyNamedAlbum)
{
    {
        SqliteDatabase db = createPhotosDatabase(dbPath());
        addPhotosMaster(db, "M1", "2019/05/IMG_0001.JPG", 2048);
        addPhotosVersion(db, 1, "V1", "M1", "IMG_0001.JPG", " \tSunset at the pier \t");
        addPhotosVersion(db, 2, "V2", "M1", "IMG_0001 copy.JPG", {});
        addPhotosMaster(db, "M2", "2019/05/IMG_0002.JPG", 1, /*isInTrash*/ 1);
        addPhotosVersion(db, 3, "V3", "M2", "IMG_0002.JPG", {});
        addPhotosMaster(db, "M3", "2019/05/IMG_0003.JPG", 1);
        addPhotosVersion(db, 4, "V4", "M3", "IMG_0003.JPG", {}, /*isInTrash*/ 1);
        addPhotosMaster(db, "M4", "2019/05/IMG_0004.JPG", 1);
        addPhotosVersion(db, 5, "V5", "M4", "IMG_0004.JPG", {}, 0, /*burstUuid*/ "B1");
        for (int id : { 6, 7, 8, 9 }) {
            const QString master = QStringLiteral("M%1").arg(id + 10);
            addPhotosMaster(db, master, QStringLiteral("2020/IMG_%1.HEIC").arg(id), 1);
            addPhotosVersion(db, id, QStringLiteral("V%1").arg(id), master, QStringLiteral("IMG.HEIC"), {});
        }
        addPhotosAlbum(db, 100, "", /*isInTrash*/ 1, { 7 });
        addPhotosAlbum(db, 101, "", 0, { 6 }); // the one album that is left out
        addPhotosAlbum(db, 102, "", 0, { 9 }); // a second empty name does not count
        addPhotosAlbum(db, 103, "Holiday", 0, { 8 });
    }

    const QList<PhotoLibraryEntry> entries = read();

    EXPECT_TRUE(m_alerts.isEmpty());
    EXPECT_EQ(modelIdsOf(entries), (QSet<QString> { "1", "2", "7", "8", "9" }));
    const PhotoLibraryEntry* first = entryWithModelId(entries, "1");
    const PhotoLibraryEntry* second = entryWithModelId(entries, "2");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->imagePath, masters() + "2019/05/IMG_0001.JPG");
    EXPECT_EQ(second->imagePath, first->imagePath);
    EXPECT_EQ(first->fileSize, 2048);
    EXPECT_EQ(first->uuid, "M1");
    EXPECT_EQ(first->uuidRKVersion, "V1");
    EXPECT_EQ(first->originalFileName, "IMG_0001.JPG");
    EXPECT_EQ(first->description, "Sunset at the pier");
    EXPECT_EQ(second->description, "");
}

TEST_F(PhotosLibrary, readsEachColumnOnItsOwnAndDropsOnlyARowWithoutImagePath)
{
    {
        SqliteDatabase db = createPhotosDatabase(dbPath());
        addPhotosMaster(db, "M1", "a.jpg", 10);
        addPhotosVersion(db, 1, {}, "M1", {}, {}); // no version uuid, file name or description
        addPhotosMaster(db, "M2", {}, 20);
        addPhotosVersion(db, 2, "V2", "M2", "b.jpg", "lost");
        addPhotosMaster(db, "M3", "", 30);
        addPhotosVersion(db, 3, "V3", "M3", "c.jpg", "lost too");
        addPhotosMaster(db, "M4", "d.jpg", 40);
        addPhotosVersion(db, 4, "V4", "M4", "d.jpg", "Line one\nline two\n");
    }

    const QList<PhotoLibraryEntry> entries = read();

    EXPECT_TRUE(m_alerts.isEmpty());
    ASSERT_EQ(modelIdsOf(entries), (QSet<QString> { "1", "4" }));
    const PhotoLibraryEntry* sparse = entryWithModelId(entries, "1");
    EXPECT_EQ(sparse->imagePath, masters() + "a.jpg");
    EXPECT_EQ(sparse->fileSize, 10);
    EXPECT_EQ(sparse->uuid, "M1");
    EXPECT_EQ(sparse->uuidRKVersion, "");
    EXPECT_EQ(sparse->originalFileName, "");
    EXPECT_EQ(sparse->description, "");
    EXPECT_EQ(entryWithModelId(entries, "4")->description, "Line one\nline two\n");
}

TEST_F(PhotosLibrary, seesVersionsThatAreOnlyInTheWriteAheadLogOfAReadOnlyLibrary)
{
    SqliteDatabase writer = createPhotosDatabase(dbPath());
    run(writer, QStringLiteral("PRAGMA journal_mode=WAL"));
    run(writer, QStringLiteral("PRAGMA wal_autocheckpoint=0"));
    addPhotosMaster(writer, "M1", "recent.jpg", 1);
    addPhotosVersion(writer, 1, "V1", "M1", "recent.jpg", {});
    // The photo application still has the library open: the rows are in "-wal" only.
    ASSERT_GT(QFileInfo(dbPath() + "-wal").size(), 0);
    for (const QString& file : QDir(QFileInfo(dbPath()).path()).entryList(QDir::Files))
        QFile::setPermissions(QFileInfo(dbPath()).dir().filePath(file), QFile::ReadOwner | QFile::ReadGroup);
    const auto before = folderSnapshot(m_library);

    const QList<PhotoLibraryEntry> entries = read();

    EXPECT_TRUE(m_alerts.isEmpty());
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries.first().imagePath, masters() + "recent.jpg");
    EXPECT_EQ(folderSnapshot(m_library), before);
    EXPECT_EQ(filesLeftInCache(), QStringList());
}

TEST_F(PhotosLibrary, leavesTheLibraryByteIdenticalAndRemovesItsCopy)
{
    {
        SqliteDatabase db = createPhotosDatabase(m_library + QStringLiteral("/database/apdb/Library.apdb"));
        addPhotosMaster(db, "M1", "x.jpg", 1);
        addPhotosVersion(db, 1, "V1", "M1", "x.jpg", {});
    }
    const auto before = folderSnapshot(m_library);

    EXPECT_EQ(read().size(), 1);
    EXPECT_EQ(read().size(), 1);

    EXPECT_EQ(folderSnapshot(m_library), before);
    EXPECT_EQ(filesLeftInCache(), QStringList());
}

TEST_F(PhotosLibrary, thatCannotBeReadGivesNoEntriesAndOneClearAlert)
{
    struct Case {
        const char* what;
        std::function<void(const QString& dbPath)> make;
    };
    const QList<Case> cases = {
        { "no database", [](const QString&) {} },
        { "not a database",
            [](const QString& path) {
                QDir().mkpath(QFileInfo(path).path());
                QFile file(path);
                file.open(QIODevice::WriteOnly);
                file.write(QByteArray(4096, 'x'));
            } },
        { "another layout",
            [](const QString& path) {
                QDir().mkpath(QFileInfo(path).path());
                SqliteDatabase db = SqliteDatabase::open(path, SqliteDatabase::OpenMode::ReadWriteCreate);
                run(db, QStringLiteral("CREATE TABLE ZASSET (Z_PK INTEGER PRIMARY KEY)"));
            } },
        { "a damaged page",
            [](const QString& path) {
                {
                    SqliteDatabase db = createPhotosDatabase(path);
                    for (int i = 0; i < 200; ++i)
                        addPhotosMaster(db, QStringLiteral("M%1").arg(i), QStringLiteral("p%1.jpg").arg(i), i);
                }
                QFile file(path);
                file.open(QIODevice::ReadWrite);
                file.seek(4096 * 2);
                file.write(QByteArray(4096 * 3, '\xff'));
            } },
    };
    for (const Case& c : cases) {
        QDir(m_library).removeRecursively();
        m_alerts.clear();
        c.make(dbPath());

        EXPECT_TRUE(read().isEmpty()) << c.what;
        ASSERT_EQ(m_alerts.size(), 1) << c.what;
        EXPECT_EQ(m_alerts.first().kind, PhotoLibraryAlert::Kind::LibraryUnreadable);
        EXPECT_TRUE(m_alerts.first().message.contains("Family Photos.photoslibrary")) << c.what;
        EXPECT_FALSE(m_alerts.first().informativeText.isEmpty()) << c.what;
        EXPECT_EQ(filesLeftInCache(), QStringList()) << c.what;
    }
}
