// The whole road on a big folder, stage by stage, with the main thread watched, and
// the same job done by exiftool in one process right after, in the same run.
//
//   QT_QPA_PLATFORM=offscreen velloran_road_bench [--no-exiftool] [--keep-output] [--artist TEXT]
//                                                 [--read-threads N] SOURCE_DIR
//
// bench/road.sh wraps it; bench/make-road-corpus.sh makes the folder.
#include "RoadApplication.h"
#include "RoadStageMeter.h"
#include "WholeRoad.h"
#include "controls/ImageNamed.h"
#include "platform/Exiv2Setup.h"
#include "platform/XmpWorkers.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {

// File names under a folder (the outputs of both tools go into one flat folder).
QSet<QString> fileNames(const QString& folder)
{
    QSet<QString> names;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        names.insert(QFileInfo(it.next()).fileName());
    return names;
}

qint64 bytesUnder(const QString& folder, int* files)
{
    qint64 bytes = 0;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        bytes += QFileInfo(it.next()).size();
        ++*files;
    }
    return bytes;
}

// The artist as exiftool reads it from one output.
QString artistOf(const QString& path)
{
    QProcess exiftool;
    exiftool.start(u"exiftool"_s, { u"-s3"_s, u"-Artist"_s, path });
    exiftool.waitForFinished(60000);
    return QString::fromUtf8(exiftool.readAllStandardOutput()).trimmed();
}

QString loadAverage()
{
    QFile file(u"/proc/loadavg"_s);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(u' ', 0, 2) : u"?"_s;
}

struct ExiftoolRun {
    double seconds = 0;
    int exitCode = -1;
    QString summary; // its own count lines
};

// The same job in one exiftool process: the Artist, the name from the original
// date in the format the editor's list offers ("YYYY-MM-DD_HH-MM-SS" before the
// photo's own name, as the editor joins them), into one new folder.
ExiftoolRun runExiftool(const QString& source, const QString& output, const QString& artist, QStringList* command)
{
    *command = { u"-r"_s, u"-o"_s, output + u'/', u"-Artist="_s + artist, u"-d"_s, u"%Y-%m-%d_%H-%M-%S"_s,
        u"-FileName<${DateTimeOriginal}%f.%e"_s, source };
    QProcess exiftool;
    exiftool.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer clock;
    clock.start();
    exiftool.start(u"exiftool"_s, *command);
    exiftool.waitForFinished(-1);
    ExiftoolRun run;
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    run.exitCode = exiftool.exitCode();
    QStringList counts;
    for (const QString& line : QString::fromUtf8(exiftool.readAll()).split(u'\n')) {
        if (line.contains(u"image files"_s) || line.contains(u"directories"_s) || line.contains(u"files weren't"_s))
            counts << line.trimmed();
    }
    run.summary = counts.join(u"; "_s);
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    XmpWorkers::start();
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    bool withExiftool = true;
    bool keepOutput = false;
    QString artist = u"Road Bench Artist"_s;
    int readThreads = 0;
    QString source;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == u"--no-exiftool"_s)
            withExiftool = false;
        else if (args[i] == u"--keep-output"_s)
            keepOutput = true;
        else if (args[i] == u"--artist"_s && i + 1 < args.size())
            artist = args[++i];
        else if (args[i] == u"--read-threads"_s && i + 1 < args.size())
            readThreads = args[++i].toInt();
        else if (source.isEmpty() && !args[i].startsWith(u"--"_s))
            source = args[i];
        else {
            std::fprintf(stderr, "unknown argument %s\n", qPrintable(args[i]));
            return 2;
        }
    }
    if (source.isEmpty() || !QFileInfo(source).isDir()) {
        std::fprintf(stderr,
            "usage: velloran_road_bench [--no-exiftool] [--keep-output] [--artist TEXT] [--read-threads N] "
            "SOURCE_DIR\n"
            "(run offscreen: QT_QPA_PLATFORM=offscreen)\n");
        return 2;
    }
    source = QFileInfo(source).absoluteFilePath();

    // The user's settings and folders of this run only.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    for (const char* variable : { "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR" }) {
        const QString folder = home.path() + u'/' + QString::fromLatin1(variable);
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(variable, folder.toUtf8());
    }

    installQuietMessages();
    RoadApplication app(argc, argv);
    QCoreApplication::setOrganizationName(u"Velloran"_s);
    QCoreApplication::setApplicationName(u"VelloranRoadBench"_s);
    QApplication::setQuitOnLastWindowClosed(false);
    initVelloranResources();
    initializeExiv2();

    // Outputs go beside the source folder, on the same file system.
    const QString outputRoot
        = QFileInfo(source).absolutePath() + u"/road-output-"_s + QString::number(QCoreApplication::applicationPid());
    const QString velloranOut = outputRoot + u"/velloran"_s;
    const QString exiftoolOut = outputRoot + u"/exiftool"_s;

    int sourceFiles = 0;
    const qint64 sourceBytes = bytesUnder(source, &sourceFiles);
    print(u"source: %1 (%2 files, %3 MB)\nmachine: %4 cores, load average %5\n"_s.arg(source)
              .arg(sourceFiles)
              .arg(sourceBytes / 1000000)
              .arg(QThread::idealThreadCount())
              .arg(loadAverage()));

    RoadStageMeter meter(10);
    app.setMeter(&meter);
    WholeRoad::Result road;
    {
        WholeRoad driver(meter);
        WholeRoad::Options options;
        options.source = source;
        options.output = velloranOut;
        options.artist = artist;
        options.readThreads = readThreads;
        road = driver.run(options);
        app.setMeter(nullptr);
    }
    if (!road.failure.isEmpty()) {
        print(meter.table());
        std::fprintf(stderr, "the road failed: %s\n", qPrintable(road.failure));
        QDir(outputRoot).removeRecursively();
        return 1;
    }

    const QSet<QString> velloranNames = fileNames(velloranOut);
    const QString firstOutput = velloranNames.isEmpty() ? QString() : *velloranNames.cbegin();
    const QString artistRead = firstOutput.isEmpty() ? QString() : artistOf(velloranOut + u'/' + firstOutput);
    print(u"\n"_s + meter.table());
    print(u"%1 %2\n"_s.arg(u"whole road"_s, -22).arg(road.wholeSeconds, 9, 'f', 3));
    print(u"\nphotos: %1 listed, %2 written, %3 failed, %4 renaming warnings; %5 files in the output folder\n"_s
              .arg(road.photos)
              .arg(road.succeeded)
              .arg(road.failed)
              .arg(road.warnings)
              .arg(velloranNames.size()));
    print(u"artist read back from %1: \"%2\"\n"_s.arg(firstOutput, artistRead));
    print(u"output paths built again on one thread after the road: %1 paths in %2 s\n"_s.arg(road.pathsAlone)
              .arg(road.pathSecondsAlone, 0, 'f', 3));
    print(u"the run's snapshot taken again after the road: %1 s\n"_s.arg(road.snapshotSecondsAlone, 0, 'f', 3));
    for (const QString& error : road.errors.mid(0, 10))
        print(u"failed: %1\n"_s.arg(error));
    print(u"links to one file read into different records: %1\n"_s.arg(road.readUnlike.size()));
    QMap<QString, int> unlikeByKind; // by the file's own name and the fields that differ
    for (const QString& unlike : road.readUnlike)
        ++unlikeByKind[unlike.section(u'/', -1).section(u'-', 1)];
    for (auto it = unlikeByKind.cbegin(); it != unlikeByKind.cend(); ++it)
        print(u"  %1 x %2\n"_s.arg(it.value(), 5).arg(it.key()));
    print(u"peak resident size up to the summary: %1 MB\n"_s.arg(road.peakResidentMb, 0, 'f', 0));
    const RoadStageMeter::SlowEvent slowest = meter.longestEvent();
    print(u"longest gap between heartbeats (%1 ms apart): %2 ms, in stage \"%3\"\n"_s.arg(meter.beatMs())
              .arg(meter.longestGapMs(), 0, 'f', 1)
              .arg(meter.longestGapStage()));
    print(u"longest single event on the main thread: %1 ms (%2 ms of processor time), %3, in stage \"%4\"\n"_s
              .arg(slowest.ms, 0, 'f', 1)
              .arg(slowest.cpuMs, 0, 'f', 1)
              .arg(slowest.what, slowest.stage));
    if (!keepOutput)
        QDir(velloranOut).removeRecursively();

    if (withExiftool) {
        QDir().mkpath(exiftoolOut);
        print(u"\nload average before exiftool: %1\n"_s.arg(loadAverage()));
        QStringList command;
        const ExiftoolRun exiftool = runExiftool(source, exiftoolOut, artist, &command);
        const QSet<QString> exiftoolNames = fileNames(exiftoolOut);
        int sameNames = 0;
        for (const QString& name : exiftoolNames)
            sameNames += velloranNames.contains(name) ? 1 : 0;
        print(u"exiftool %1\n"_s.arg(command.join(u' ')));
        print(u"exiftool: %1 s, exit code %2, %3 files written (%4)\n"_s.arg(exiftool.seconds, 0, 'f', 3)
                  .arg(exiftool.exitCode)
                  .arg(exiftoolNames.size())
                  .arg(exiftool.summary));
        print(u"output names alike in both folders: %1 of %2\n"_s.arg(sameNames).arg(velloranNames.size()));
        print(
            u"whole road / exiftool: %1 (target at most 0.2)\n"_s.arg(road.wholeSeconds / exiftool.seconds, 0, 'f', 3));
        if (!keepOutput)
            QDir(exiftoolOut).removeRecursively();
    }
    if (!keepOutput)
        QDir(outputRoot).removeRecursively();
    print(u"longest main-thread gap %1 ms: %2\n"_s.arg(meter.longestGapMs(), 0, 'f', 1)
              .arg(meter.longestGapMs() <= 100 ? u"within 100 ms"_s : u"over 100 ms: missed"_s));
    return 0;
}
