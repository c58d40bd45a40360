#include "services/ExifToolArguments.h"
#include "platform/ExifToolProcess.h"
#include "platform/TemporaryNames.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

QString script(const QTemporaryDir& dir, const char* name, const QByteArray& body)
{
    const QString path = dir.filePath(QLatin1StringView(name));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("#!/bin/sh\n" + body);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace

// The framing with the real exiftool: answers come back whole, per command, and
// errors belong to the command that made them.
TEST(ExifToolProcess, answersEachCommandWithItsOwnOutputAndErrors)
{
    if (!ExifToolProcess::isInstalled())
        GTEST_SKIP() << "exiftool is not installed";
    ExifToolProcess process;
    const ExifToolProcess::Reply version = process.execute({ u"-ver"_s });
    ASSERT_TRUE(version.answered) << qPrintable(version.failure);
    EXPECT_FALSE(version.output.isEmpty());
    EXPECT_TRUE(version.errors.isEmpty());
    const qint64 pid = process.processId();
    const ExifToolProcess::Reply missing = process.execute({ u"/no/such/photo.heic"_s });
    ASSERT_TRUE(missing.answered);
    EXPECT_TRUE(missing.errors.contains(u"File not found"_s)) << qPrintable(missing.errors);
    // A value with a line break and surrounding blanks reaches exiftool unchanged.
    const ExifToolProcess::Reply echoed = process.execute({ u"-echo"_s, u"  two\nlines \\ "_s });
    ASSERT_TRUE(echoed.answered);
    EXPECT_EQ(echoed.output, u"two\nlines \\"_s);
    EXPECT_EQ(process.processId(), pid) << "one process serves every command";
    ExifToolProcess::endAll();
    // The command in hand when it was ended may fail; the next one starts anew.
    if (!process.execute({ u"-ver"_s }).answered) {
        EXPECT_TRUE(process.execute({ u"-ver"_s }).answered) << "a process ended from outside is started again";
    }
}

// Writer threads each get a process of their own, forked from one exiftool: they
// answer at the same time, each its own commands, and start again after endAll.
TEST(ExifToolProcess, eachThreadGetsItsOwnForkOfOneExiftool)
{
    if (!ExifToolProcess::isInstalled())
        GTEST_SKIP() << "exiftool is not installed";
    ExifToolProcess::prepare(ExifToolProcess::defaultProgram(), {}, {});
    std::vector<qint64> pids(4);
    std::vector<QString> outputs(4);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            ExifToolProcess process;
            outputs[size_t(i)] = process.execute({ u"-echo"_s, QString::number(i) }).output;
            pids[size_t(i)] = process.processId();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(outputs[size_t(i)], QString::number(i));
        EXPECT_GT(pids[size_t(i)], 0);
    }
    std::sort(pids.begin(), pids.end());
    EXPECT_EQ(std::unique(pids.begin(), pids.end()), pids.end()) << "one process per thread";

    ExifToolProcess process;
    ASSERT_TRUE(process.execute({ u"-ver"_s }).answered);
    ExifToolProcess::endAll();
    // The forking exiftool and the fork are both gone: one command may fail, then
    // both are made again.
    if (!process.execute({ u"-ver"_s }).answered) {
        EXPECT_TRUE(process.execute({ u"-ver"_s }).answered);
    }
}

// A process that does not answer in time is ended, and one that cannot start
// says so; neither hangs the writer.
TEST(ExifToolProcess, aSilentOrMissingProgramGivesAFailureInOurWords)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ExifToolProcess silent(script(dir, "silent", "exec sleep 30\n"), {}, 300);
    const ExifToolProcess::Reply reply = silent.execute({ u"-ver"_s });
    EXPECT_FALSE(reply.answered);
    EXPECT_TRUE(reply.failure.startsWith(u"exiftool did not answer"_s)) << qPrintable(reply.failure);
    EXPECT_EQ(silent.processId(), 0);

    ExifToolProcess dying(script(dir, "dying", "read line\nexit 3\n"), {}, 5000);
    EXPECT_TRUE(dying.execute({ u"-ver"_s }).failure.startsWith(u"exiftool stopped"_s));

    ExifToolProcess missing(dir.filePath(u"nothing-here"_s));
    EXPECT_EQ(missing.execute({ u"-ver"_s }).failure, ExifToolProcess::missingMessage());
}

TEST(ExifToolArguments, namesTagsAsExiftoolDoesAndWordsItsReplies)
{
    EXPECT_EQ(ExifToolArguments::exifToolTag("Exif.Image.Artist"), u"IFD0:Artist"_s);
    EXPECT_EQ(ExifToolArguments::exifToolTag("Exif.Image.DateTime"), u"IFD0:ModifyDate"_s);
    EXPECT_EQ(ExifToolArguments::exifToolTag("Exif.Photo.DateTimeDigitized"), u"ExifIFD:CreateDate"_s);
    EXPECT_EQ(ExifToolArguments::exifToolTag("Exif.Photo.ISOSpeedRatings"), u"ExifIFD:ISO"_s);
    EXPECT_EQ(ExifToolArguments::exifToolTag("Exif.GPSInfo.GPSLatitude"), u"GPS:GPSLatitude"_s);
    EXPECT_FALSE(ExifToolArguments::exifToolTag("Exif.Image.ExifTag"));
    EXPECT_FALSE(ExifToolArguments::exifToolTag("Exif.Canon.ModelID"));

    const auto text = ExifToolArguments::replyText(
        u"Warning: [minor] Odd offset - /p/a.heic\nError: Media data referenced but not found - /p/a.heic"_s,
        u"/p/a.heic"_s);
    EXPECT_EQ(text.warnings, QStringList { u"[minor] Odd offset"_s });
    EXPECT_EQ(text.error,
        u"exiftool could not write this photo (Media data referenced but not found); the photo was not changed."_s);
}

// Each argument reaches exiftool as exactly one argument, unchanged, whatever its
// bytes; one that no line of an argument file can carry is refused, never bent.
TEST(ExifToolProcess, everyArgumentArrivesWholeOrIsRefused)
{
    if (!ExifToolProcess::isInstalled())
        GTEST_SKIP() << "exiftool is not installed";
    ExifToolProcess process;
    for (const QString& argument : { u"-Artist= lead"_s, u"-Artist =x"_s, u"#[CSTR]x"_s, u"a\\nb \\"_s,
             u"tab\tinside"_s, u"-execute"_s, u"$HOME and @"_s, u"line\n-execute\nnext"_s, u"cr\rhere"_s }) {
        SCOPED_TRACE(qPrintable(argument));
        const ExifToolProcess::Reply echoed = process.execute({ u"-echo"_s, argument, u"-echo"_s, u"end"_s });
        ASSERT_TRUE(echoed.answered) << qPrintable(echoed.failure);
        EXPECT_EQ(echoed.output, argument + u"\nend"_s);
        EXPECT_TRUE(ExifToolProcess::canFrame(argument));
    }
    EXPECT_FALSE(ExifToolProcess::canFrame(u"costs $5\n"_s));
    EXPECT_FALSE(ExifToolProcess::canFrame(u" @lead"_s));
    const ExifToolProcess::Reply refused = process.execute({ u"-echo"_s, u"two\nlines $x"_s });
    EXPECT_FALSE(refused.answered);
    EXPECT_TRUE(refused.failure.contains(u"cannot be given"_s)) << qPrintable(refused.failure);
}

// The end of a command is its marker on a line of its own, and a fork's answer
// counts only for the request it carries the tag of.
TEST(ExifToolProcess, repliesAreTakenOnlyWithTheirOwnMarkerOrTag)
{
    const QByteArray marker = "{ready123456789}";
    EXPECT_EQ(ExifToolProcess::answerBefore("text\n{ready123456789}\n", marker), u"text"_s);
    EXPECT_EQ(ExifToolProcess::answerBefore("{ready123456789}\r\nlater", marker), u""_s);
    EXPECT_EQ(ExifToolProcess::answerBefore("Error: x - {ready123456789}\n", marker), std::nullopt);
    EXPECT_EQ(ExifToolProcess::answerBefore("a {ready123456789}.heic\n", marker), std::nullopt);
    EXPECT_EQ(ExifToolProcess::answerBefore("text\n{ready123456789}", marker), std::nullopt) << "its line is not ended yet";
    EXPECT_EQ(ExifToolProcess::answerBefore("{ready12345678}\n", marker), std::nullopt);
    EXPECT_EQ(ExifToolProcess::answerBefore("x {ready123456789}\n{ready123456789}\n", marker), u"x {ready123456789}"_s);

    EXPECT_EQ(ExifToolProcess::forkedProcessId("77 4242", "77"), 4242);
    EXPECT_EQ(ExifToolProcess::forkedProcessId("77 0", "77"), 0);
    EXPECT_EQ(ExifToolProcess::forkedProcessId("76 4242", "77"), 0);
    EXPECT_EQ(ExifToolProcess::forkedProcessId("777 4242", "77"), 0);
    EXPECT_EQ(ExifToolProcess::forkedProcessId("77 42x", "77"), 0);
    EXPECT_EQ(ExifToolProcess::forkedProcessId("77 -5", "77"), 0);
    EXPECT_EQ(ExifToolProcess::forkedProcessId("77 99999999999999999999", "77"), 0);
    EXPECT_EQ(ExifToolProcess::forkedProcessId("4242", ""), 0);
}

// A work folder whose process is gone (no lock held on it) is removed with what it
// holds, a link's target kept, however recent; a running process's folder is kept,
// also one that an older version holds by its "owner.lock", and so is a folder
// named with the prefix alone that nothing shows ours.
TEST(ExifToolProcess, workFoldersOfEndedRunsAreRemovedAndRunningOnesKept)
{
    QTemporaryDir parent;
    ASSERT_TRUE(parent.isValid());
    const QString outside = parent.filePath(u"photo.heic"_s);
    QFile(outside).open(QIODevice::WriteOnly);
    const auto makeFolder = [&](const QString& name, bool withLock, qint64 ageSeconds) {
        const QString folder = parent.filePath(name);
        QDir().mkpath(folder);
        QFile(QDir(folder).filePath(u"spawner-0.config"_s)).open(QIODevice::WriteOnly);
        QFile::link(outside, QDir(folder).filePath(u"photo-0-0.heic"_s));
        const timespec old[2] = { { ::time(nullptr) - ageSeconds, 0 }, { ::time(nullptr) - ageSeconds, 0 } };
        if (withLock) {
            const QByteArray lock = QFile::encodeName(QDir(folder).filePath(u"owner.lock"_s));
            ::close(::open(lock.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
            ::utimensat(AT_FDCWD, lock.constData(), old, 0);
        }
        ::utimensat(AT_FDCWD, QFile::encodeName(folder).constData(), old, 0);
        return folder;
    };
    const QString ended = makeFolder(QString::fromLatin1(TemporaryNames::make("velloran-exiftool-")), false, 0);
    const QString endedOlder = makeFolder(u"velloran-exiftool-ended1"_s, true, 60);
    const QString running = makeFolder(u"velloran-exiftool-run123"_s, true, 60);
    // Named as ours were once, with no lock record: nothing shows them ours.
    const QString unproven = makeFolder(u"velloran-exiftool-old123"_s, false, 3 * 24 * 3600);
    const QString notOurs = makeFolder(u"velloran-exif-other"_s, true, 60);
    // The running one's lock is held, as its process holds it.
    const int held = ::open(QFile::encodeName(QDir(running).filePath(u"owner.lock"_s)).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);

    EXPECT_EQ(ExifToolProcess::removeAbandonedWorkFolders(parent.path()), 2);
    EXPECT_FALSE(QFileInfo::exists(ended));
    EXPECT_FALSE(QFileInfo::exists(endedOlder));
    EXPECT_TRUE(QFileInfo::exists(unproven));
    EXPECT_TRUE(QFileInfo::exists(running));
    EXPECT_TRUE(QFileInfo::exists(notOurs));
    EXPECT_TRUE(QFileInfo::exists(outside));
    ::close(held);

    // Our own folder is made once and holds its lock.
    const QString own = ExifToolProcess::workFolder();
    ASSERT_FALSE(own.isEmpty());
    EXPECT_EQ(ExifToolProcess::removeAbandonedWorkFolders(QFileInfo(own).path()), 0);
    EXPECT_TRUE(QFileInfo(own).isDir());
    EXPECT_EQ(ExifToolProcess::workFolder(), own);
}
