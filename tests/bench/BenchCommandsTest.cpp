#include "BenchCommands.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

struct CommandRun {
    int code = -1;
    QString out;
    QString err;
};

CommandRun run(const BenchArguments& arguments)
{
    CommandRun result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.code = runBenchCommand(arguments, out, err);
    return result;
}

BenchArguments command(BenchArguments::Command kind, const QString& dir)
{
    BenchArguments arguments;
    arguments.command = kind;
    arguments.sourceDir = dir;
    return arguments;
}

// Two camera photos (one in a subfolder), a text file named like a photo, and a file that is no photo at all.
void fillFolder(const QTemporaryDir& dir)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(u"sub"_s));
    ASSERT_TRUE(QFile::copy(samplesDir() + u"/gps/DSCN0010.jpg"_s, dir.filePath(u"a.jpg"_s)));
    ASSERT_TRUE(QFile::copy(samplesDir() + u"/camera/Nikon_D70.jpg"_s, dir.filePath(u"sub/b.JPG"_s)));
    QFile fake(dir.filePath(u"broken.jpg"_s));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("not a photo");
    fake.close();
    QFile notes(dir.filePath(u"notes.txt"_s));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.close();
}

} // namespace

TEST(BenchCommands, listsPhotosRecursivelyByExtensionInAStableOrder)
{
    QTemporaryDir dir;
    fillFolder(dir);
    EXPECT_EQ(benchPhotoPaths(dir.path()),
        QStringList({ dir.filePath(u"a.jpg"_s), dir.filePath(u"broken.jpg"_s), dir.filePath(u"sub/b.JPG"_s) }));
}

TEST(BenchCommands, readReportsEachPhotoWithoutAPixelSizeAndEndsWithTheRate)
{
    QTemporaryDir dir;
    fillFolder(dir);
    const CommandRun result = run(command(BenchArguments::Command::Read, dir.path()));
    EXPECT_EQ(result.code, 0);
    const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << result.out.toStdString();
    EXPECT_EQ(lines[0], u"no pixel size\t"_s + dir.filePath(u"broken.jpg"_s));
    EXPECT_TRUE(lines[1].startsWith(u"3 photos, "_s)) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(u" photos/s"_s));
}

TEST(BenchCommands, thumbsCountsEveryPhoto)
{
    QTemporaryDir dir;
    fillFolder(dir);
    const CommandRun result = run(command(BenchArguments::Command::Thumbs, dir.path()));
    EXPECT_EQ(result.code, 0);
    EXPECT_TRUE(result.out.contains(u"no thumbnail\t"_s + dir.filePath(u"broken.jpg"_s)));
    EXPECT_TRUE(result.out.contains(u"3 photos, "_s));
}

TEST(BenchCommands, aMissingFolderIsABadArgument)
{
    const CommandRun result = run(command(BenchArguments::Command::Read, u"/nonexistent/velloran-bench"_s));
    EXPECT_EQ(result.code, 2);
    EXPECT_FALSE(result.err.isEmpty());
}
