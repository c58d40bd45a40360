#include "platform/FileReplacer.h"

#include "support/HoldingChild.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <sys/file.h>
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

// Another run writing through exiftool into folder: it holds an output name and
// has written half the output; reports the output's path.
QString halfAnOutput(const QString& folder)
{
    static std::unique_ptr<FileReplacer::HeldName> name;
    name = std::make_unique<FileReplacer::HeldName>(folder, "heic");
    QFile output(name->path());
    output.open(QIODevice::WriteOnly);
    output.write("half an output");
    return name->path();
}

// A temporary file goes as soon as its writer is gone, however recent it is: a
// file no one holds, an output whose holding file is gone or no longer held; a
// live writer's file stays, whether this process or another holds it. A file
// named with our prefix but without our token is the user's, held or not: a
// ".velloran-config" beside the photos, or a name shaped as older versions made
// them, stays.
TEST(FileReplacer, unfinishedWritesOfEndedRunsAreSweptWhateverTheirAgeAndLiveOnesKept)
{
    QTemporaryDir dir;
    // Another run writing into the folder (its own sweep finds nothing yet).
    HoldingChild live([&] { return halfAnOutput(dir.path()); });
    const QString liveOutput = live.reported();
    ASSERT_TRUE(QFileInfo::exists(liveOutput));
    const auto ours = [&](const QByteArray& name) { return dir.filePath(QString::fromLatin1(name)); };
    const QByteArray bare = FileReplacer::temporaryName();
    const QByteArray heldBare = FileReplacer::temporaryName();
    const QString unheld = ours(bare);
    const QString orphanOutput = ours(FileReplacer::temporaryName("heif"));
    const QString heldHere = ours(heldBare);
    const QString outputHeldHere = ours(heldBare + ".png");
    const QString photo = ours(".velloran-kept.jpg");
    const QString notOurs = ours(bare + ".tar.gz");
    const QString usersConfig = ours(".velloran-config");
    const QString usersNotes = ours(".velloran-config.json");
    const QString olderShape = ours(".velloran-Ab12Cd");
    for (const QString& path :
        { unheld, orphanOutput, heldHere, outputHeldHere, photo, notOurs, usersConfig, usersNotes, olderShape }) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("partial");
    }
    const int held = ::open(QFile::encodeName(heldHere).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);

    // The first write into the folder sweeps it.
    ASSERT_EQ(FileReplacer::replace(dir.filePath("photo.jpg"), "x", {}), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(unheld));
    EXPECT_FALSE(QFileInfo::exists(orphanOutput));
    EXPECT_TRUE(QFileInfo::exists(heldHere));
    EXPECT_TRUE(QFileInfo::exists(outputHeldHere));
    EXPECT_TRUE(QFileInfo::exists(liveOutput));
    EXPECT_TRUE(QFileInfo::exists(photo));
    EXPECT_TRUE(QFileInfo::exists(notOurs));
    for (const QString& path : { usersConfig, usersNotes, olderShape })
        EXPECT_TRUE(QFileInfo::exists(path)) << qPrintable(path) << " is not ours";

    // Their writers end without a word: the next sweep takes what they left.
    ::close(held);
    live.end();
    EXPECT_EQ(FileReplacer::removeAbandonedTemporaryFiles(dir.path()), 4);
    QStringList left = filesIn(dir.path());
    QStringList expected = { ".velloran-Ab12Cd", QString::fromLatin1(bare + ".tar.gz"), ".velloran-config",
        ".velloran-config.json", ".velloran-kept.jpg", "photo.jpg" };
    left.sort();
    expected.sort();
    EXPECT_EQ(left, expected);
}

// A held name is free beside a file of the same random part and goes with its
// output when the write ends.
TEST(FileReplacer, aHeldNameIsFreeAndGoesWithItsOutput)
{
    QTemporaryDir dir;
    QString path;
    {
        const FileReplacer::HeldName name(dir.path(), "heic");
        path = name.path();
        ASSERT_FALSE(path.isEmpty()) << name.error().toStdString();
        EXPECT_TRUE(path.endsWith(".heic"));
        EXPECT_TRUE(FileReplacer::isTemporaryName(QFile::encodeName(QFileInfo(path).fileName())));
        EXPECT_FALSE(QFileInfo::exists(path));
        QFile output(path);
        ASSERT_TRUE(output.open(QIODevice::WriteOnly));
        EXPECT_EQ(FileReplacer::removeAbandonedTemporaryFiles(dir.path()), 0);
        EXPECT_TRUE(QFileInfo::exists(path));
    }
    EXPECT_TRUE(filesIn(dir.path()).isEmpty());
}
