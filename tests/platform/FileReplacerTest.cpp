#include "platform/FileReplacer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

TEST(FileReplacer, replacesOrCreatesTheFileAndLeavesNoTemporaryFile)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("photo.jpg");
    EXPECT_EQ(FileReplacer::replace(target, "first", {}), std::nullopt);
    EXPECT_EQ(FileReplacer::replace(target, "second", {}), std::nullopt);
    EXPECT_EQ(bytesOf(target), "second");
    EXPECT_EQ(filesIn(dir.path()), QStringList { "photo.jpg" });
}

TEST(FileReplacer, aNewFileTakesTheModeOfItsModelAndAReplacedOneKeepsItsOwn)
{
    QTemporaryDir dir;
    const QString model = dir.filePath("model.jpg");
    ASSERT_EQ(FileReplacer::replace(model, "m", {}), std::nullopt);
    ASSERT_TRUE(QFile::setPermissions(model, QFile::ReadOwner | QFile::ReadGroup));
    const QString target = dir.filePath("new.jpg");
    ASSERT_EQ(FileReplacer::replace(target, "n", { model, std::nullopt }), std::nullopt);
    EXPECT_EQ(QFile::permissions(target) & 0x7777, QFile::permissions(model) & 0x7777);

    ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    const QFileDevice::Permissions own = QFile::permissions(target);
    ASSERT_EQ(FileReplacer::replace(target, "again", { model, std::nullopt }), std::nullopt);
    EXPECT_EQ(QFile::permissions(target), own);
}

TEST(FileReplacer, setsTheModificationTimeWhenGiven)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("dated.jpg");
    const QDateTime moment = QDateTime::fromMSecsSinceEpoch(1577934245123);
    ASSERT_EQ(FileReplacer::replace(target, "x", { QString(), moment }), std::nullopt);
    EXPECT_EQ(QFileInfo(target).lastModified().toMSecsSinceEpoch(), moment.toMSecsSinceEpoch());
}

TEST(FileReplacer, failuresAnswerTheFileSystemsOwnTextAndTouchNothing)
{
    QTemporaryDir dir;
    EXPECT_EQ(FileReplacer::replace(dir.filePath("gone/photo.jpg"), "x", {}), QString("No such file or directory"));
    const QString longName = dir.filePath(QString(256, u'a'));
    EXPECT_EQ(FileReplacer::replace(longName, "x", {}), QString("File name too long"));
    // A target that is a folder cannot be replaced by a file.
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    EXPECT_EQ(FileReplacer::replace(dir.filePath("folder"), "x", {}), QString("Is a directory"));
    EXPECT_EQ(filesIn(dir.path()), QStringList());
}

TEST(FileReplacer, aNameOf255BytesIsWritten)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QString(251, u'b') + ".jpg");
    EXPECT_EQ(FileReplacer::replace(target, "x", {}), std::nullopt);
    EXPECT_EQ(bytesOf(target), "x");
}

TEST(FileReplacer, aLinkIsWrittenThroughAndStaysALink)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("elsewhere"));
    const QString real = dir.filePath("elsewhere/photo.jpg");
    ASSERT_EQ(FileReplacer::replace(real, "old", {}), std::nullopt);
    const QString link = dir.filePath("link.jpg");
    ASSERT_TRUE(QFile::link(real, link));
    ASSERT_EQ(FileReplacer::replace(link, "new", {}), std::nullopt);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(bytesOf(real), "new");

    // A link that reaches no file, or only itself, is refused by name.
    ASSERT_TRUE(QFile::link(dir.filePath("missing.jpg"), dir.filePath("dangling.jpg")));
    ASSERT_TRUE(QFile::link(dir.filePath("loop.jpg"), dir.filePath("loop.jpg")));
    const std::optional<QString> dangling = FileReplacer::replace(dir.filePath("dangling.jpg"), "x", {});
    ASSERT_TRUE(dangling);
    EXPECT_TRUE(dangling->startsWith("Cannot follow the link")) << dangling->toStdString();
    const std::optional<QString> loop = FileReplacer::replace(dir.filePath("loop.jpg"), "x", {});
    ASSERT_TRUE(loop);
    EXPECT_TRUE(loop->contains("Too many levels of symbolic links")) << loop->toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing.jpg")));
}

TEST(FileReplacer, aFolderRenamedDuringTheWriteGetsTheFileAndNoStrayOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("out"));
    ASSERT_EQ(FileReplacer::replace(dir.filePath("out/photo.jpg"), "old", {}), std::nullopt);
    FileReplacer::Options options;
    options.append = [&](int) -> std::optional<QString> {
        if (!QDir(dir.path()).rename("out", "moved"))
            return QString("cannot rename");
        return std::nullopt;
    };
    EXPECT_EQ(FileReplacer::replace(dir.filePath("out/photo.jpg"), "new", options), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("out")));
    EXPECT_EQ(bytesOf(dir.filePath("moved/photo.jpg")), "new");
    EXPECT_EQ(filesIn(dir.filePath("moved")), QStringList { "photo.jpg" });
}

TEST(FileReplacer, aWriterKilledMidWriteLeavesNoStrayFile)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("photo.jpg");
    ASSERT_EQ(FileReplacer::replace(target, "old", {}), std::nullopt);
    const QByteArray big(4 << 20, 'x');
    // Killed while the bytes go out, and at the last moment before the rename.
    for (int round = 0; round < 6; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            FileReplacer::Options options;
            options.append = [&](int fd) -> std::optional<QString> {
                if (round % 2 == 0)
                    FileReplacer::writeAll(fd, big);
                ::raise(SIGKILL);
                return std::nullopt;
            };
            FileReplacer::replace(round < 3 ? target : dir.filePath("new.jpg"), big, options);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(filesIn(dir.path()), QStringList { "photo.jpg" }) << "round " << round;
        EXPECT_EQ(bytesOf(target), "old");
    }
}

TEST(FileReplacer, unfinishedWritesOlderThanADayAreSweptAndFreshOnesKept)
{
    QTemporaryDir dir;
    const QString stale = dir.filePath(QString(FileReplacer::kTemporaryPrefix) + "Ab12Cd");
    const QString fresh = dir.filePath(QString(FileReplacer::kTemporaryPrefix) + "Ef34Gh");
    const QString photo = dir.filePath(QString(FileReplacer::kTemporaryPrefix) + "kept.jpg");
    // exiftool's outputs carry the photo's suffix after the random part.
    const QString staleOutput = dir.filePath(QString(FileReplacer::kTemporaryPrefix) + "GrCxbz.heif");
    const QString notOurs = dir.filePath(QString(FileReplacer::kTemporaryPrefix) + "Ab12Cd.tar.gz");
    for (const QString& path : { stale, fresh, photo, staleOutput, notOurs }) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("partial");
    }
    const QDateTime twoDaysAgo = QDateTime::currentDateTime().addDays(-2);
    for (const QString& path : { stale, photo, staleOutput, notOurs }) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(twoDaysAgo, QFileDevice::FileModificationTime));
    }
    ASSERT_EQ(FileReplacer::replace(dir.filePath("photo.jpg"), "x", {}), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(stale));
    EXPECT_FALSE(QFileInfo::exists(staleOutput));
    EXPECT_TRUE(QFileInfo::exists(fresh));
    EXPECT_TRUE(QFileInfo::exists(photo));
    EXPECT_TRUE(QFileInfo::exists(notOurs));
}
