#include "LibraryFuzzInput.h"
#include "platform/SqliteDatabase.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The photo-library fuzzer's path on its seeds and on inputs cut from them: no
// crash (the sanitizer build also catches leaks and bad reads), no hang, and
// nothing left behind, the readers' private database copies included.

namespace {

class LibraryFuzzRegression : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_savedCacheHome = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", m_dir.filePath(QStringLiteral("cache")).toUtf8());
    }
    void TearDown() override
    {
        if (m_savedCacheHome.isEmpty())
            qunsetenv("XDG_CACHE_HOME");
        else
            qputenv("XDG_CACHE_HOME", m_savedCacheHome);
    }

    void runInput(const QByteArray& bytes)
    {
        fuzzLibraryInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()),
            m_dir.path(), std::chrono::milliseconds(300));
        // The cache location's folders stay; no file may.
        QDirIterator files(m_dir.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (files.hasNext())
            ADD_FAILURE() << "left behind: " << files.next().toStdString();
        for (const QString& name : QDir(m_dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (name != u"cache")
                ADD_FAILURE() << "left behind: " << name.toStdString();
        }
    }

    static QList<QByteArray> seeds()
    {
        QList<QByteArray> inputs;
        const QDir folder(QStringLiteral(VELLORAN_LIBRARY_SEEDS_DIR));
        for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
            QFile file(folder.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                inputs.append(file.readAll());
        }
        return inputs;
    }

    QTemporaryDir m_dir;
    QByteArray m_savedCacheHome;
};

} // namespace

TEST_F(LibraryFuzzRegression, survivesItsSeedsAndEveryCutOfThem)
{
    const QList<QByteArray> inputs = seeds();
    ASSERT_FALSE(inputs.isEmpty());
    for (const QByteArray& input : inputs) {
        runInput(input);
        // Databases and lists cut short at page, record and tag boundaries alike.
        for (qsizetype length = 0; length < input.size(); length += 97)
            runInput(input.first(length));
    }
    runInput(QByteArray());
}

TEST_F(LibraryFuzzRegression, endsAnInputWhoseViewListsNothingForEver)
{
    QTemporaryDir build;
    const QString path = build.filePath(QStringLiteral("endless.db"));
    const char* schema
        = "CREATE TABLE RKVersion (modelId INTEGER PRIMARY KEY, uuid TEXT, masterUuid TEXT, projectUuid TEXT, "
          "fileName TEXT, name TEXT, extendedDescription TEXT, isInTrash INTEGER DEFAULT 0, burstUuid TEXT, "
          "showInLibrary INTEGER DEFAULT 1, versionNumber INTEGER DEFAULT 1);"
          "CREATE TABLE RKFolder (uuid TEXT, name TEXT);"
          "INSERT INTO RKVersion (uuid, masterUuid, projectUuid) VALUES ('V1', 'M1', 'F1');"
          "CREATE VIEW RKMaster AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) "
          "SELECT 'M' || n AS uuid, 'a.jpg' AS imagePath, min(n, 1) AS isInTrash FROM r;";
    {
        SqliteDatabase db = SqliteDatabase::open(path, SqliteDatabase::OpenMode::ReadWriteCreate);
        ASSERT_TRUE(db.execute(QString::fromLatin1(schema)));
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    runInput(libraryFuzzInput(file.readAll(), "<plist><dict/></plist>"));
}
