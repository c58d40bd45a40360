#include "platform/FileReplacer.h"
#include "platform/KeptSourceFile.h"
#include "platform/RestoreData.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray noise(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// Each test keeps its ways back in a folder of its own.
class RestoreDataTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        RestoreData::setBaseFolderForTesting(m_dir.filePath("cache"));
    }
    void TearDown() override
    {
        RestoreData::removeAll();
        RestoreData::setBaseFolderForTesting({});
    }

    // Replaces the photo with bytes, keeping its way back; answers the data's path.
    QString replaceKeeping(const QString& photo, QByteArrayView bytes, std::optional<QString>* failure = nullptr)
    {
        QString dataPath;
        FileReplacer::Options options;
        options.beforeRename = [&](int fd, QByteArrayView head) {
            return RestoreData::keep(photo, fd, head, dataPath);
        };
        const std::optional<QString> error = FileReplacer::replace(photo, bytes, options);
        if (failure)
            *failure = error;
        else
            EXPECT_EQ(error, std::nullopt);
        return dataPath;
    }

    QTemporaryDir m_dir;
};

} // namespace

// A change in the middle, bytes put in and others taken out: the way back is a
// delta of about the change's size, and the restore gives the old bytes and time.
TEST_F(RestoreDataTest, aPhotoChangedAnywhereComesBackByteForByteFromASmallDelta)
{
    const QString photo = m_dir.filePath("photo.tif");
    const QByteArray old = noise(2 << 20, 1);
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(1577934245123);
    ASSERT_EQ(FileReplacer::replace(photo, old, { QString(), time }), std::nullopt);
    QByteArray edited = old;
    edited.replace(1000, 300, noise(500, 2));
    edited.insert(1 << 20, "a new tag");
    edited.remove((3 << 19), 77);

    const QString dataPath = replaceKeeping(photo, edited);
    ASSERT_FALSE(dataPath.isEmpty());
    EXPECT_LT(QFileInfo(dataPath).size(), 2000);
    EXPECT_EQ(QFileInfo(QFileInfo(dataPath).path()).permissions() & 0x0077, 0) << "the folder is private";

    EXPECT_EQ(RestoreData::restore(dataPath, photo), std::nullopt);
    EXPECT_TRUE(bytesOf(photo) == old);
    EXPECT_EQ(QFileInfo(photo).lastModified().toMSecsSinceEpoch(), time.toMSecsSinceEpoch());
}

// As a JPEG is written: a new header, then the old file's own end copied by the
// kernel. And a file with nothing in common keeps its old bytes whole.
TEST_F(RestoreDataTest, aNewHeadBeforeTheOldEndAndAWhollyNewFileComeBackToo)
{
    const QString photo = m_dir.filePath("photo.jpg");
    const QByteArray old = "old header" + noise(1 << 20, 3);
    ASSERT_EQ(FileReplacer::replace(photo, old, {}), std::nullopt);
    const std::unique_ptr<KeptSourceFile> kept = KeptSourceFile::open(photo);
    QString dataPath;
    FileReplacer::Options options;
    options.append = [&](int fd) { return kept->copyTo(fd, 10); };
    options.beforeRename = [&](int fd, QByteArrayView head) { return RestoreData::keep(photo, fd, head, dataPath); };
    ASSERT_EQ(FileReplacer::replace(photo, "a much longer new header", options), std::nullopt);
    EXPECT_LT(QFileInfo(dataPath).size(), 200);
    EXPECT_EQ(RestoreData::restore(dataPath, photo), std::nullopt);
    EXPECT_TRUE(bytesOf(photo) == old);

    const QString other = replaceKeeping(photo, noise(4096, 4));
    EXPECT_GT(QFileInfo(other).size(), old.size()) << "nothing to make a delta from: the old bytes are kept";
    EXPECT_EQ(RestoreData::restore(other, photo), std::nullopt);
    EXPECT_TRUE(bytesOf(photo) == old);
}

// Another program's edit since the run (same size and time, or another size) is
// never overwritten.
TEST_F(RestoreDataTest, aPhotoChangedSinceTheRunIsNotTouched)
{
    const QString photo = m_dir.filePath("photo.heic");
    const QByteArray old = noise(1 << 16, 5);
    ASSERT_EQ(FileReplacer::replace(photo, old, {}), std::nullopt);
    QByteArray edited = old;
    edited[100] = char(edited[100] ^ 1);
    const QString dataPath = replaceKeeping(photo, edited);
    const QDateTime written = QFileInfo(photo).lastModified();

    QByteArray other = edited;
    other[200] = char(other[200] ^ 1);
    ASSERT_EQ(FileReplacer::replace(photo, other, { QString(), written }), std::nullopt);
    const std::optional<QString> refusal = RestoreData::restore(dataPath, photo);
    ASSERT_TRUE(refusal);
    EXPECT_TRUE(refusal->contains(photo) && refusal->contains("changed since the run")) << qPrintable(*refusal);
    EXPECT_EQ(bytesOf(photo), other);

    ASSERT_EQ(FileReplacer::replace(photo, edited + "x", { QString(), written }), std::nullopt);
    EXPECT_TRUE(RestoreData::restore(dataPath, photo));
    EXPECT_EQ(bytesOf(photo), edited + "x");
}

// No way back, no write: the photo stays as it is, and the answer says why.
TEST_F(RestoreDataTest, whereTheWayBackCannotBeKeptThePhotoIsNotReplaced)
{
    const QString blocker = m_dir.filePath("not-a-folder");
    ASSERT_EQ(FileReplacer::replace(blocker, "x", {}), std::nullopt);
    RestoreData::setBaseFolderForTesting(blocker + "/cache");
    const QString photo = m_dir.filePath("photo.png");
    ASSERT_EQ(FileReplacer::replace(photo, "old", {}), std::nullopt);
    std::optional<QString> failure;
    EXPECT_TRUE(replaceKeeping(photo, "new", &failure).isEmpty());
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->contains("Cannot make the folder")) << qPrintable(*failure);
    EXPECT_EQ(bytesOf(photo), "old");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList { "not-a-folder", "photo.png" }));
}

// The folders of processes that have ended go; this process's own goes at its end.
TEST_F(RestoreDataTest, foldersOfEndedProcessesAndOfThisOneAtItsEndAreRemoved)
{
    const QString base = m_dir.filePath("cache");
    ASSERT_TRUE(QDir().mkpath(base + "/999999999"));
    ASSERT_TRUE(QDir().mkpath(base + "/1"));
    const QString own = RestoreData::folder();
    EXPECT_EQ(own, base + u'/' + QString::number(::getpid()));
    EXPECT_FALSE(QFileInfo::exists(base + "/999999999"));
    EXPECT_TRUE(QFileInfo::exists(base + "/1")) << "a running process keeps its folder";
    RestoreData::removeAll();
    EXPECT_FALSE(QFileInfo::exists(own));
}
