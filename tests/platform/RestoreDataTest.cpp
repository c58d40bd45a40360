#include "support/TestSupport.h"

#include "platform/FileReplacer.h"
#include "platform/KeptSourceFile.h"
#include "platform/OwnedFolder.h"
#include "platform/RangeCopySeams.h"
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
        RestoreData::setBaseFolderForTesting(m_dir.path(), u"cache"_s);
    }
    void TearDown() override
    {
        RestoreData::removeAll();
        RestoreData::setBaseFolderForTesting({}, {});
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

    // Replaces the photo as a JPEG is written: head, then the old file's own bytes
    // from offset from on, copied by the kernel; answers the data's path.
    QString replaceHeadKeepingEnd(const QString& photo, QByteArrayView head, qint64 from)
    {
        const std::unique_ptr<KeptSourceFile> kept = KeptSourceFile::open(photo);
        QString dataPath;
        FileReplacer::Options options;
        options.append = [&](int fd) { return kept->copyTo(fd, from); };
        options.beforeRename = [&](int fd, QByteArrayView bytes) {
            return RestoreData::keep(photo, fd, bytes, dataPath);
        };
        EXPECT_EQ(FileReplacer::replace(photo, head, options), std::nullopt);
        return dataPath;
    }

    // The restore of dataPath is refused for the reason named, the photo untouched.
    static void expectRefused(const QString& dataPath, const QString& photo, const char* reason)
    {
        const QByteArray before = bytesOf(photo);
        const std::optional<QString> refusal = RestoreData::restore(dataPath, photo);
        ASSERT_TRUE(refusal);
        EXPECT_TRUE(refusal->contains(reason)) << qPrintable(*refusal);
        EXPECT_TRUE(bytesOf(photo) == before);
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
    const QString dataPath = replaceHeadKeepingEnd(photo, "a much longer new header", 10);
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
    RestoreData::setBaseFolderForTesting(m_dir.path(), u"not-a-folder/cache"_s);
    const QString photo = m_dir.filePath("photo.png");
    ASSERT_EQ(FileReplacer::replace(photo, "old", {}), std::nullopt);
    std::optional<QString> failure;
    EXPECT_TRUE(replaceKeeping(photo, "new", &failure).isEmpty());
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->contains("Cannot make the folder")) << qPrintable(*failure);
    EXPECT_TRUE(failure->contains("XDG_CACHE_HOME")) << "how to choose another place: " << qPrintable(*failure);
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

// A change of one byte in the end the new file shares with the old one (a JPEG's
// image data) or in the new head the delta is undone with, its size and time put
// back, is seen: the photo is not touched.
TEST_F(RestoreDataTest, aOneByteChangeInTheCopiedEndWithItsTimePutBackIsNotOverwritten)
{
    for (const qint64 offset : { 700000, 2 }) {
        const QString photo = m_dir.filePath("photo.jpg");
        const QByteArray old = "old header" + noise(1 << 20, 6);
        ASSERT_EQ(FileReplacer::replace(photo, old, {}), std::nullopt);
        const QString dataPath = replaceHeadKeepingEnd(photo, "new header", 10);

        ASSERT_TRUE(flipByteKeepingTime(photo, offset));
        expectRefused(dataPath, photo, "changed since the run");
    }
}

// A byte of the copied end changed while the restore runs, after the photo's size,
// time and head were looked at and before its end is copied back, its time put
// back: the photo is not replaced by a mix of the two.
TEST_F(RestoreDataTest, aByteChangedWhileTheRestoreCopiesIsRefusedAndThePhotoKept)
{
    const QString photo = m_dir.filePath("photo.jpg");
    const QByteArray old = "old header" + noise(1 << 20, 10);
    ASSERT_EQ(FileReplacer::replace(photo, old, {}), std::nullopt);
    const QString dataPath = replaceHeadKeepingEnd(photo, "new header", 10);
    const QByteArray written = bytesOf(photo);

    bool flipped = false;
    const ScopedBeforeCopy duringRestore([&] { flipped = flipByteKeepingTime(photo, 900000); });
    const std::optional<QString> refusal = RestoreData::restore(dataPath, photo);
    ASSERT_TRUE(flipped);
    ASSERT_TRUE(refusal);
    EXPECT_TRUE(refusal->contains("changed since the run")) << qPrintable(*refusal);
    QByteArray expected = written;
    expected[900000] = char(expected[900000] ^ 0x10);
    EXPECT_TRUE(bytesOf(photo) == expected) << "the photo keeps the other program's edit";
}

// While the restore copies the photo, a change lands in bytes it has already read
// (the head, read before the copy), time put back; or another program puts a new
// file in the photo's place by a rename, as exiftool does. The hash of what was
// read is the one kept, but the photo is no longer what was read: it keeps the change.
TEST_F(RestoreDataTest, aChangeInBytesAlreadyReadOrAFileRenamedInDuringTheCopyIsRefused)
{
    const QString photo = m_dir.filePath("photo.jpg");
    const QByteArray old = "old header" + noise(1 << 20, 11);
    ASSERT_EQ(FileReplacer::replace(photo, old, {}), std::nullopt);
    const QString dataPath = replaceHeadKeepingEnd(photo, "new header", 10);
    const QByteArray written = bytesOf(photo);
    QByteArray changed = written;
    changed[2] = char(changed[2] ^ 0x10);

    const auto renamedIn = [&] {
        const QString other = m_dir.filePath("other.jpg");
        return FileReplacer::replace(other, changed, { QString(), QFileInfo(photo).lastModified() }) == std::nullopt
            && ::rename(QFile::encodeName(other).constData(), QFile::encodeName(photo).constData()) == 0;
    };
    for (const bool rename : { false, true }) {
        if (rename) { // the photo as written again, its time put back
            ASSERT_TRUE(flipByteKeepingTime(photo, 2) && bytesOf(photo) == written);
        }
        bool done = false;
        const ScopedBeforeCopy duringRestore([&] { done = rename ? renamedIn() : flipByteKeepingTime(photo, 2); });
        const std::optional<QString> refusal = RestoreData::restore(dataPath, photo);
        ASSERT_TRUE(done);
        ASSERT_TRUE(refusal) << (rename ? "renamed in" : "a byte of the head");
        EXPECT_TRUE(refusal->contains("changed since the run")) << qPrintable(*refusal);
        EXPECT_TRUE(bytesOf(photo) == changed) << "the photo keeps the other program's change";
    }
}

// Data damaged where it is kept gives nothing back, in either of its forms: the
// old bytes themselves and the delta.
TEST_F(RestoreDataTest, aDamagedPayloadIsRefusedAndThePhotoKept)
{
    const QString photo = m_dir.filePath("photo.tif");
    const QByteArray old = noise(1 << 16, 7);
    ASSERT_EQ(FileReplacer::replace(photo, old, {}), std::nullopt);
    QByteArray edited = old;
    edited.replace(500, 20, noise(20, 8));
    for (const QByteArray& written : { noise(4096, 9), edited }) {
        const QString dataPath = replaceKeeping(photo, written);
        ASSERT_FALSE(dataPath.isEmpty());
        ASSERT_TRUE(flipByteKeepingTime(dataPath, QFileInfo(dataPath).size() - 3));
        expectRefused(dataPath, photo, "damaged");
    }
}

// A symbolic link anywhere on the way from the home to the folder, planted before
// the data is kept or after, is never followed: nothing is kept through it, and
// nothing is read back through it.
TEST_F(RestoreDataTest, aSymbolicLinkOnTheWayToTheFolderIsNeverFollowed)
{
    const QString elsewhere = m_dir.filePath("elsewhere");
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(QFile::link(elsewhere, m_dir.filePath("link")));
    const QString photo = m_dir.filePath("photo.png");
    ASSERT_EQ(FileReplacer::replace(photo, "old", {}), std::nullopt);
    for (const QString& relative : { u"link/velloran/restore"_s, u"link"_s }) {
        RestoreData::setBaseFolderForTesting(m_dir.path(), relative);
        std::optional<QString> failure;
        EXPECT_TRUE(replaceKeeping(photo, "new", &failure).isEmpty());
        ASSERT_TRUE(failure);
        EXPECT_TRUE(failure->contains("symbolic link") && failure->contains("XDG_CACHE_HOME")) << qPrintable(*failure);
        EXPECT_EQ(bytesOf(photo), "old");
        EXPECT_TRUE(QDir(elsewhere).isEmpty()) << "nothing was made through the link";
    }

    // Kept in a sound folder, which is then moved aside for a link to it.
    RestoreData::setBaseFolderForTesting(m_dir.path(), u"cache"_s);
    const QString dataPath = replaceKeeping(photo, "new");
    ASSERT_FALSE(dataPath.isEmpty());
    ASSERT_TRUE(QDir(m_dir.path()).rename("cache", "moved"));
    ASSERT_TRUE(QFile::link(m_dir.filePath("moved"), m_dir.filePath("cache")));
    expectRefused(dataPath, photo, "symbolic link");
}

// Every folder from the start down must be the user's own: one of another user
// is refused, whether it is the start or a folder under it.
TEST(OwnedFolder, opensOnlyFoldersOfTheOwnerAndMakesThoseMissing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString error;
    const uid_t me = ::geteuid();
    EXPECT_FALSE(OwnedFolder::open(dir.path(), u"a/b", me + 1, true, false, error).isOpen());
    EXPECT_TRUE(error.contains("belongs to another user")) << qPrintable(error);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("a")));

    const OwnedFolder made = OwnedFolder::open(dir.path(), u"a/b", me, true, false, error);
    ASSERT_TRUE(made.isOpen()) << qPrintable(error);
    EXPECT_EQ(made.path(), dir.filePath("a/b"));
    EXPECT_EQ(QFileInfo(dir.filePath("a/b")).permissions() & 0x0077, 0);

    if (me != 0)
        return; // only root can give a folder to another user
    ASSERT_EQ(::chown(QFile::encodeName(dir.filePath("a")).constData(), 4242, 4242), 0);
    error.clear();
    EXPECT_FALSE(OwnedFolder::open(dir.path(), u"a/b", me, false, false, error).isOpen());
    EXPECT_TRUE(error.contains(dir.filePath("a")) && error.contains("belongs to another user")) << qPrintable(error);
    EXPECT_FALSE(OwnedFolder::open(dir.path(), u"a/b", me, false, true, error).isOpen())
        << "from the root down a folder may be root's, never another user's";
}
