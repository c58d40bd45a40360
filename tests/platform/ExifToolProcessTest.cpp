#include "Helper/ExifToolArguments.h"
#include "platform/ExifToolProcess.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <thread>
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
