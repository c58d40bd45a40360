#include "BenchCommands.h"

#include "BenchWriting.h"
#include "services/ExifWriter.h"
#include "batch/run/BatchRunner.h"
#include "model/PhotoFile.h"
#include "platform/FileReplacer.h"
#include "platform/UndecodableFileName.h"
#include "support/FifoRelease.h"
#include "support/TestSupport.h"
#include "support/UndecodableNamedFile.h"

#include <QBuffer>
#include <QDir>
#include <QScopeGuard>
#include <QFile>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
    ASSERT_TRUE(QFile::copy(samplesDir() + u"/camera/Canon_40D.jpg"_s, dir.filePath(u"a.jpg"_s)));
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

TEST(BenchCommands, listsPhotosRecursivelyByExtensionInAStableOrderSkippingHiddenOnes)
{
    QTemporaryDir dir;
    fillFolder(dir);
    // A link to a file counts; a link to a folder is not followed, so a loop ends.
    ASSERT_TRUE(QFile::link(dir.filePath(u"a.jpg"_s), dir.filePath(u"sub/c.jpg"_s)));
    ASSERT_TRUE(QFile::link(dir.path(), dir.filePath(u"sub/loop"_s)));
    // Hidden files and folders are skipped, as the application skips them: an
    // unfinished write's temporary file is never taken for a photo.
    ASSERT_TRUE(QFile::copy(dir.filePath(u"a.jpg"_s), dir.filePath(u"sub/.velloran-GrCxbz.heif"_s)));
    ASSERT_TRUE(QDir(dir.path()).mkpath(u".hidden"_s));
    ASSERT_TRUE(QFile::copy(dir.filePath(u"a.jpg"_s), dir.filePath(u".hidden/d.jpg"_s)));
    QString complaints;
    QTextStream err(&complaints);
    const QStringList expected = { dir.filePath(u"a.jpg"_s), dir.filePath(u"broken.jpg"_s),
        dir.filePath(u"sub/b.JPG"_s), dir.filePath(u"sub/c.jpg"_s) };
    EXPECT_EQ(benchPhotoPaths(dir.path(), err), expected);
    EXPECT_EQ(benchPhotoPaths(dir.path() + u"/"_s, err), expected);
    EXPECT_TRUE(complaints.isEmpty()) << complaints.toStdString();
}

TEST(BenchCommands, aNameThatIsNotUtf8IsReportedInEveryCommandInsteadOfDropped)
{
    QTemporaryDir dir;
    fillFolder(dir);
    const QByteArray folder = QFile::encodeName(dir.path());
    ASSERT_TRUE(QFile::copy(samplesDir() + u"/camera/Canon_40D.jpg"_s, dir.filePath(u"plain.jpg"_s)));
    const UndecodableNamedFile photo(folder + "/caf\xe9.jpg", QFile::encodeName(dir.filePath(u"plain.jpg"_s)));
    ASSERT_TRUE(photo.isMade());
    // Undecodable bytes in the extension itself: it may be a photo too.
    const UndecodableNamedFile oddExtension(folder + "/sub/c.jp\xff");
    ASSERT_TRUE(oddExtension.isMade());
    const UndecodableNamedFile notes(folder + "/notes\xff.txt");
    ASSERT_TRUE(notes.isMade());

    QTemporaryDir outDir;
    for (const auto kind :
        { BenchArguments::Command::Read, BenchArguments::Command::Thumbs, BenchArguments::Command::Write }) {
        BenchArguments arguments = command(kind, dir.path());
        arguments.outputDir = outDir.filePath(u"out"_s);
        const CommandRun result = run(arguments);
        EXPECT_EQ(result.code, 0);
        const QStringList complaints = result.err.split(u'\n', Qt::SkipEmptyParts);
        ASSERT_EQ(complaints.size(), 2) << result.err.toStdString();
        EXPECT_EQ(complaints[0], u"velloran-bench: "_s + undecodableFileNameMessage(photo.listedPath()));
        EXPECT_TRUE(complaints[1].contains(u"/sub/c.jp"_s)) << complaints[1].toStdString();
        // Only the photos that can be named are handled and counted; the batch
        // list does not take the text file named like a photo.
        const QString count = kind == BenchArguments::Command::Write ? u"2 photos, "_s : u"3 photos, "_s;
        EXPECT_TRUE(result.out.contains(u"\n"_s + count) || result.out.startsWith(count))
            << result.out.toStdString();
        EXPECT_FALSE(result.out.contains(QChar::ReplacementCharacter)) << result.out.toStdString();
    }
}

// Runs the command on a worker; one blocked on the FIFO after a while fails the
// test and is released by opening the FIFO's other end, instead of hanging the run.
CommandRun runBesideFifo(const BenchArguments& arguments, const QString& fifo)
{
    QFuture<CommandRun> future = QtConcurrent::run([arguments] { return run(arguments); });
    QDeadlineTimer deadline(15000);
    while (!future.isFinished() && !deadline.hasExpired())
        QThread::msleep(10);
    if (!future.isFinished()) {
        ADD_FAILURE() << "the command blocked on a FIFO";
        releaseFifosUntil({ fifo }, [&future] { return future.isFinished(); });
    }
    return future.result();
}

TEST(BenchCommands, everyFileTheListDoesNotTakeGetsALineWithTheReasonInEveryCommand)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(samplesDir() + u"/camera/Canon_40D.jpg"_s, dir.filePath(u"a.jpg"_s)));
    ASSERT_TRUE(QFile::copy(samplesDir() + u"/makers/RIFF.webp"_s, dir.filePath(u"RIFF.webp"_s)));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(u"fifo.jpg"_s)).constData(), 0600), 0);
    const QString webp = escapedField(dir.filePath(u"RIFF.webp"_s));
    const QString fifo = escapedField(dir.filePath(u"fifo.jpg"_s));

    for (const auto kind : { BenchArguments::Command::Read, BenchArguments::Command::Thumbs }) {
        const CommandRun result = runBesideFifo(command(kind, dir.path()), dir.filePath(u"fifo.jpg"_s));
        EXPECT_TRUE(result.out.contains(u"not taken\t"_s + webp + u"\tVelloran cannot edit \".webp\" files\n"_s))
            << result.out.toStdString();
        EXPECT_TRUE(result.out.contains(u"not taken\t"_s + fifo + u"\tit is a named pipe (FIFO)"_s))
            << result.out.toStdString();
        EXPECT_TRUE(result.out.contains(u"1 photos, "_s)) << result.out.toStdString();
    }

    QTemporaryDir outDir;
    BenchArguments arguments = command(BenchArguments::Command::Write, dir.path());
    arguments.outputDir = outDir.filePath(u"out"_s);
    const CommandRun written = runBesideFifo(arguments, dir.filePath(u"fifo.jpg"_s));
    EXPECT_TRUE(written.out.contains(u"-1\t"_s + webp + u"\tNot taken into the list: Velloran cannot edit"_s))
        << written.out.toStdString();
    EXPECT_TRUE(written.out.contains(u"-1\t"_s + fifo + u"\tNot taken into the list: it is a named pipe"_s))
        << written.out.toStdString();
    EXPECT_TRUE(written.out.contains(u"1 photos, 0 errors"_s)) << written.out.toStdString();
}

TEST(BenchCommands, aPhotoLibraryThatCannotBeReadIsReportedOnTheErrorOutput)
{
    QTemporaryDir dir;
    const QString library = dir.filePath(u"Broken.photoslibrary"_s);
    ASSERT_TRUE(QDir().mkpath(library + u"/database"_s));
    const CommandRun result = run(command(BenchArguments::Command::Read, library));
    EXPECT_EQ(result.code, 0);
    EXPECT_TRUE(result.err.startsWith(u"velloran-bench: "_s)) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(u"Broken.photoslibrary"_s)) << result.err.toStdString();
    EXPECT_TRUE(result.out.contains(u"0 photos, "_s)) << result.out.toStdString();
}

TEST(BenchCommands, aNameWithTabsNewlinesAndBackslashesStaysOnOneEscapedLine)
{
    EXPECT_EQ(escapedField(u"a\tb\nc\\n\rd"_s), u"a\\tb\\nc\\\\n\\rd"_s);

    QTemporaryDir dir;
    const QString name = u"tab\there\nnew\\line\r.jpg"_s;
    const QString escaped = u"tab\\there\\nnew\\\\line\\r.jpg"_s;
    ASSERT_TRUE(QFile::copy(samplesDir() + u"/camera/Canon_40D.jpg"_s, dir.filePath(name)));
    QFile broken(dir.filePath(u"broken\t\n.jpg"_s));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a photo");
    broken.close();

    const CommandRun read = run(command(BenchArguments::Command::Read, dir.path()));
    const QStringList readLines = read.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(readLines.size(), 2) << read.out.toStdString();
    EXPECT_EQ(readLines[0], u"no pixel size\t"_s + escapedField(dir.path()) + u"/broken\\t\\n.jpg"_s);

    const CommandRun thumbs = run(command(BenchArguments::Command::Thumbs, dir.path()));
    EXPECT_EQ(thumbs.out.split(u'\n', Qt::SkipEmptyParts).size(), 2) << thumbs.out.toStdString();

    QTemporaryDir outDir;
    BenchArguments arguments = command(BenchArguments::Command::Write, dir.path());
    arguments.outputDir = outDir.filePath(u"out"_s);
    const CommandRun written = run(arguments);
    const QStringList lines = written.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << written.out.toStdString();
    EXPECT_EQ(lines[1],
        u"0\t"_s + escapedField(outDir.filePath(u"out"_s)) + u"/"_s + escaped + u"\tProcessed Successfully"_s);
    // The text file is not taken into the list, and says so on a line of its own.
    EXPECT_TRUE(lines[0].startsWith(u"-1\t"_s + escapedField(dir.path()) + u"/broken\\t\\n.jpg\tNot taken"_s))
        << lines[0].toStdString();
    EXPECT_TRUE(QFileInfo::exists(outDir.filePath(u"out/"_s + name)));

    arguments.command = BenchArguments::Command::Restore;
    const CommandRun restored = run(arguments);
    EXPECT_TRUE(
        restored.out.contains(u"\n0\t"_s + escapedField(outDir.filePath(u"out"_s)) + u"/"_s + escaped + u"\t"_s))
        << restored.out.toStdString();
}

TEST(BenchCommands, eachLineReachesTheDeviceAsItIsPrinted)
{
    QBuffer device;
    ASSERT_TRUE(device.open(QIODevice::WriteOnly));
    QTextStream stream(&device);
    printLine(stream, u"0\tone"_s);
    EXPECT_EQ(device.data(), "0\tone\n");
}

TEST(BenchCommands, readReportsEachPhotoWithoutAPixelSizeAndEndsWithTheRate)
{
    QTemporaryDir dir;
    fillFolder(dir);
    const CommandRun result = run(command(BenchArguments::Command::Read, dir.path()));
    EXPECT_EQ(result.code, 0);
    const QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << result.out.toStdString();
    EXPECT_EQ(lines[0], u"not taken\t"_s + dir.filePath(u"notes.txt"_s) + u"\t\".txt\" is not an image's extension"_s);
    EXPECT_EQ(lines[1], u"no pixel size\t"_s + dir.filePath(u"broken.jpg"_s));
    EXPECT_TRUE(lines[2].startsWith(u"3 photos, "_s)) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].contains(u" photos/s"_s));
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

namespace {

void writeText(const QString& path, const QByteArray& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QString artistOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // The artist is stored as plain Exif ASCII; finding its bytes is enough here.
    return QString::fromLatin1(file.readAll()).contains(u"Bench Artist"_s) ? u"Bench Artist"_s : u"other"_s;
}

} // namespace

TEST(BenchCommands, writeNamesAndWritesEachPhotoThenRestoreUndoesIt)
{
    QTemporaryDir dir;
    fillFolder(dir);
    QTemporaryDir outDir; // outside the source folder, so that restore finds the same photos
    const QString out = outDir.filePath(u"out"_s);
    writeText(dir.filePath(u"settings.json"_s), R"({"$class": "MetaDataObject", "Artist": "Bench Artist"})");
    writeText(dir.filePath(u"rename.json"_s),
        R"({"renamingOptionIndex": 1, "addStringCheck": 1, "addString": {"addStringPrefixValue": "b-"}})");

    BenchArguments arguments = command(BenchArguments::Command::Write, dir.path());
    arguments.settingsFile = dir.filePath(u"settings.json"_s);
    arguments.renameFile = dir.filePath(u"rename.json"_s);
    arguments.outputDir = out;
    const CommandRun written = run(arguments);
    ASSERT_EQ(written.code, 0) << written.err.toStdString();
    QStringList lines = written.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7) << written.out.toStdString();
    // The files that are no images come first, each with its line.
    for (const QString& name : { u"notes.txt"_s, u"rename.json"_s, u"settings.json"_s }) {
        EXPECT_EQ(lines.takeFirst(),
            u"-1\t%1\tNot taken into the list: \".%2\" is not an image's extension"_s.arg(
                dir.filePath(name), QFileInfo(name).suffix()));
    }
    // The text file named .jpg never comes into the list.
    EXPECT_EQ(lines[0],
        u"-1\t"_s + dir.filePath(u"broken.jpg"_s)
            + u"\tNot taken into the list: Its metadata cannot be written: Velloran writes no metadata into files "
              u"of this kind."_s);
    EXPECT_FALSE(QFileInfo::exists(out + u"/b-broken.jpg"_s));
    EXPECT_EQ(lines[1], u"0\t"_s + out + u"/b-a.jpg\tProcessed Successfully"_s);
    EXPECT_EQ(lines[2], u"0\t"_s + out + u"/b-b.JPG\tProcessed Successfully"_s);
    EXPECT_TRUE(lines[3].startsWith(u"2 photos, 0 errors, "_s)) << lines[3].toStdString();
    EXPECT_TRUE(lines[3].endsWith(u" MB/s, %1 writers"_s.arg(BatchRunner::maximumJobs()))) << lines[3].toStdString();
    EXPECT_EQ(artistOf(out + u"/b-a.jpg"_s), u"Bench Artist"_s);
    EXPECT_EQ(artistOf(dir.filePath(u"a.jpg"_s)), u"other"_s); // the source is untouched

    arguments.command = BenchArguments::Command::Restore;
    arguments.jobs = 1;
    const CommandRun restored = run(arguments);
    ASSERT_EQ(restored.code, 0);
    EXPECT_TRUE(restored.out.contains(u"2 photos, 0 errors, "_s)) << "only the photos whose output is there";
    EXPECT_TRUE(restored.out.contains(u" 1 writers\n"_s));
    EXPECT_TRUE(restored.out.contains(u"0\t"_s + out + u"/b-a.jpg\tProcessed Successfully"_s));
    EXPECT_EQ(artistOf(out + u"/b-a.jpg"_s), u"other"_s);
}

// An output edited after the write as exiftool edits one (a new file renamed into
// its place, its time kept): a restore in a new process keeps it and names it; the
// untouched output is restored. The marks go to a cache folder of the test's own.
TEST(BenchCommands, aRestoreKeepsAnOutputChangedSinceTheWriteAndNamesIt)
{
    QTemporaryDir cache;
    const std::optional<QByteArray> cacheBefore = qEnvironmentVariableIsSet("XDG_CACHE_HOME")
        ? std::optional(qgetenv("XDG_CACHE_HOME"))
        : std::nullopt;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    const auto cacheBack = qScopeGuard([&] {
        if (cacheBefore)
            qputenv("XDG_CACHE_HOME", *cacheBefore);
        else
            qunsetenv("XDG_CACHE_HOME");
    });
    QTemporaryDir dir;
    fillFolder(dir);
    QTemporaryDir outDir;
    const QString out = outDir.filePath(u"out"_s);
    writeText(outDir.filePath(u"settings.json"_s), R"({"$class": "MetaDataObject", "Artist": "Bench Artist"})");
    BenchArguments arguments = command(BenchArguments::Command::Write, dir.path());
    arguments.settingsFile = outDir.filePath(u"settings.json"_s);
    arguments.outputDir = out;
    arguments.jobs = 1;
    ASSERT_EQ(run(arguments).code, 0);

    const QString changed = out + u"/a.jpg"_s;
    QFile written(changed);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    QByteArray later = written.readAll();
    written.close();
    ASSERT_TRUE(later.contains("Bench Artist"));
    later.replace("Bench Artist", "Later Change");
    ASSERT_EQ(FileReplacer::replace(changed, later, { QString(), QFileInfo(changed).lastModified() }), std::nullopt);

    arguments.command = BenchArguments::Command::Restore;
    const CommandRun restored = run(arguments);
    ASSERT_EQ(restored.code, 0);
    EXPECT_TRUE(restored.out.contains(u"2\t%1\t\"%1\" was changed since the run"_s.arg(changed)))
        << restored.out.toStdString();
    EXPECT_TRUE(restored.out.contains(u"2 photos, 1 errors, "_s)) << restored.out.toStdString();
    EXPECT_EQ(restored.out.count(u"\tProcessed Successfully"_s), 1) << restored.out.toStdString();
    QFile kept(changed);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_TRUE(kept.readAll() == later) << "the later change is kept";
}

TEST(BenchCommands, aPhotoNotReachedOrRefusedEarlyHasACodeAndAPathOfItsOwn)
{
    PhotoFile photo;
    photo.filePath = u"/photos/a.jpg"_s;
    EXPECT_EQ(benchPhotoLine(photo, false, {}), u"-1\t/photos/a.jpg\tNot processed: the run ended before this photo"_s);
    photo.processStatus = MetadataWriteResult::AccessDenied;
    photo.processMsg = u"Access denied to source file"_s;
    EXPECT_EQ(benchPhotoLine(photo, true, {}), u"8\t/photos/a.jpg\tAccess denied to source file"_s);
    photo.processStatus = MetadataWriteResult::Processed;
    photo.processedPath = u"/out/a.jpg"_s;
    EXPECT_EQ(benchPhotoLine(photo, true, { u"renamed"_s }), u"0\t/out/a.jpg\tProcessed Successfully; renamed"_s);
}

TEST(BenchCommands, aRestoreInANewProcessSaysAnEditInPlaceHasNothingToRestore)
{
    QTemporaryDir dir;
    fillFolder(dir);
    QTemporaryDir settingsDir;
    writeText(settingsDir.filePath(u"settings.json"_s), R"({"$class": "MetaDataObject", "Artist": "Bench Artist"})");
    BenchArguments arguments = command(BenchArguments::Command::Write, dir.path());
    arguments.settingsFile = settingsDir.filePath(u"settings.json"_s);
    arguments.keepSource = true;
    arguments.jobs = 1;
    ASSERT_EQ(run(arguments).code, 0);
    ASSERT_EQ(artistOf(dir.filePath(u"a.jpg"_s)), u"Bench Artist"_s);

    arguments.command = BenchArguments::Command::Restore;
    const CommandRun restored = run(arguments);
    ASSERT_EQ(restored.code, 0);
    EXPECT_TRUE(restored.out.contains(u"-1\t"_s + dir.filePath(u"a.jpg"_s) + u"\tNothing to restore"_s))
        << restored.out.toStdString();
    EXPECT_TRUE(restored.out.contains(u"0 photos, 0 errors, 2 with nothing to restore, "_s))
        << restored.out.toStdString();
    EXPECT_FALSE(restored.out.contains(u"Processed Successfully"_s));
    EXPECT_EQ(artistOf(dir.filePath(u"a.jpg"_s)), u"Bench Artist"_s);
}

// The run is restored in the same process as the Restore button does it, in place
// and renamed beside the source, and every restored file is the photo as it was.
TEST(BenchCommands, writeWithRestoreAfterRestoresTheRunAndCountsTheExactFiles)
{
    for (const bool renames : { false, true }) {
        SCOPED_TRACE(renames);
        QTemporaryDir dir;
        fillFolder(dir);
        QTemporaryDir settingsDir;
        writeText(settingsDir.filePath(u"settings.json"_s), R"({"$class": "MetaDataObject", "Artist": "Bench Artist"})");
        writeText(settingsDir.filePath(u"rename.json"_s),
            R"({"renamingOptionIndex": 1, "addStringCheck": 1, "addString": {"addStringPrefixValue": "b-"}})");
        BenchArguments arguments = command(BenchArguments::Command::Write, dir.path());
        arguments.settingsFile = settingsDir.filePath(u"settings.json"_s);
        if (renames)
            arguments.renameFile = settingsDir.filePath(u"rename.json"_s);
        arguments.keepSource = true;
        arguments.restoreAfter = true;
        const CommandRun result = run(arguments);
        ASSERT_EQ(result.code, 0) << result.err.toStdString();
        const QString output = dir.filePath(renames ? u"b-a.jpg"_s : u"a.jpg"_s);
        EXPECT_TRUE(result.out.contains(u"restore\t0\t"_s + output + u"\tProcessed Successfully\n"_s))
            << result.out.toStdString();
        EXPECT_TRUE(result.out.endsWith(u" writers\nrestore exact 2 of 2\n"_s)) << result.out.toStdString();
        EXPECT_TRUE(result.out.contains(u"\nrestore: 2 photos, "_s)) << "the restore's own time";
        EXPECT_EQ(artistOf(output), u"other"_s);
    }
}

TEST(BenchCommands, anUnusableSettingsOrRenamingFileIsABadArgument)
{
    QTemporaryDir dir;
    fillFolder(dir);
    writeText(dir.filePath(u"settings.json"_s), R"({"$class": "SomethingElse"})");
    BenchArguments arguments = command(BenchArguments::Command::Write, dir.path());
    arguments.outputDir = dir.filePath(u"out"_s);
    arguments.settingsFile = dir.filePath(u"settings.json"_s);
    EXPECT_EQ(run(arguments).code, 2);
    arguments.settingsFile = dir.filePath(u"missing.json"_s);
    EXPECT_EQ(run(arguments).code, 2);

    writeText(dir.filePath(u"settings.json"_s), R"({"$class": "MetaDataObject"})");
    writeText(dir.filePath(u"rename.json"_s), R"({"renamingOption": 1})");
    arguments.settingsFile = dir.filePath(u"settings.json"_s);
    arguments.renameFile = dir.filePath(u"rename.json"_s);
    const CommandRun refused = run(arguments);
    EXPECT_EQ(refused.code, 2);
    EXPECT_TRUE(refused.err.contains(u"renamingOption"_s));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(u"out/a.jpg"_s)));
}

TEST(BenchCommands, listsExactlyWhatTheApplicationsAddingTakes)
{
    QTemporaryDir dir;
    const QString jpeg = samplesDir() + u"/camera/Canon_40D.jpg"_s;
    // Kinds the application refuses although the readers know them, a photo
    // library's insides, and kinds it takes.
    for (const QString& name : { u"a.jpg"_s, u"b.webp"_s, u"c.ARW"_s, u"d.orf"_s, u"e.gif"_s, u"f.png"_s,
             u"g.cr2"_s, u"h.ppm"_s, u"Old.photolibrary/Masters/i.jpg"_s, u"sub/j.tif"_s }) {
        ASSERT_TRUE(QDir(dir.path()).mkpath(QFileInfo(dir.filePath(name)).path()));
        ASSERT_TRUE(QFile::copy(jpeg, dir.filePath(name)));
    }
    QString complaints;
    QTextStream err(&complaints);
    const QStringList expected
        = { dir.filePath(u"a.jpg"_s), dir.filePath(u"f.png"_s), dir.filePath(u"g.cr2"_s), dir.filePath(u"sub/j.tif"_s) };
    EXPECT_EQ(benchPhotoPaths(dir.path(), err).join(u'\n').toStdString(), expected.join(u'\n').toStdString());

    QTemporaryDir outDir;
    BenchArguments arguments = command(BenchArguments::Command::Write, dir.path());
    arguments.outputDir = outDir.filePath(u"out"_s);
    const CommandRun written = run(arguments);
    EXPECT_TRUE(written.out.contains(u"\n4 photos, "_s)) << written.out.toStdString();
    // Every file not taken has its line; a library's photo inside a folder is not offered at all.
    for (const char* refused : { "b.webp", "c.ARW", "d.orf", "e.gif", "h.ppm" }) {
        EXPECT_TRUE(
            written.out.contains(u"-1\t"_s + dir.filePath(QLatin1String(refused)) + u"\tNot taken into the list: "_s))
            << refused;
    }
    EXPECT_FALSE(written.out.contains(u"i.jpg"_s));
}

TEST(BenchCommands, aRunEndedByTooLittleFreeSpaceSaysSoForEveryPhotoItLeftOut)
{
    QTemporaryDir dir;
    fillFolder(dir);
    QTemporaryDir settingsDir;
    writeText(settingsDir.filePath(u"settings.json"_s), R"({"$class": "MetaDataObject", "Artist": "Bench Artist"})");
    QTemporaryDir outDir;
    BenchArguments arguments = command(BenchArguments::Command::Write, dir.path());
    arguments.settingsFile = settingsDir.filePath(u"settings.json"_s);
    arguments.outputDir = outDir.filePath(u"out"_s);
    arguments.jobs = 1;
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    // The first photo's folder is already short of room: that photo is the run's last.
    ASSERT_EQ(runWriting(arguments, outStream, errStream, [](const QString&) { return std::optional<qint64>(0); }), 0);
    // The text file named like a photo is not taken into the list; a.jpg is written, sub/b.JPG is left out.
    QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5) << out.toStdString();
    EXPECT_TRUE(lines.takeFirst().contains(u"notes.txt\tNot taken into the list"_s));
    EXPECT_TRUE(lines[0].contains(u"Not taken into the list"_s)) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(u"0\t"_s)) << lines[1].toStdString();
    EXPECT_EQ(lines[2].toStdString(),
        (u"-1\t"_s + escapedField(dir.filePath(u"sub/b.JPG"_s))
            + u"\tNot processed: the run ended before this photo because "_s + escapedField(outDir.filePath(u"out"_s))
            + u" has less than 101 MB free"_s)
            .toStdString());
    EXPECT_TRUE(lines[3].startsWith(u"2 photos, 0 errors, 1 not processed (too little free space), "_s))
        << lines[3].toStdString();
}
