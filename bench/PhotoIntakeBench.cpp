// Adding a folder tree of photos to the batch list: the walk, every photo's
// metadata read on the pool, and the list filled in chunks; exiftool reading the
// same tree as the yardstick. And the memory one listed photo costs.
//
//     TMPDIR=/dev/shm build/bench/velloran_bench --benchmark_filter='intake|photoList|thumbnailsForAScreenful'
//
// The trees are copies of the sample photos in a new folder under TMPDIR (/tmp
// when unset; a tmpfs for timings, as above), removed at the end: 10,000 real
// copies for the timing; the 100,000-photo memory tree gives each sample many
// names (hard links), which costs the reader the same and the file system next
// to nothing.

#include "batch/intake/PhotoIntake.h"
#include "batch/list/PhotoListModel.h"
#include "batch/list/ThumbnailCache.h"
#include "model/PhotoFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QStringList samplePhotos()
{
    QStringList photos;
    for (const char* folder : { "camera", "gps", "orientation", "xmp", "tiff" }) {
        const QDir dir(samplesDir() + u'/' + QString::fromLatin1(folder));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
            photos.append(dir.filePath(name));
    }
    return photos;
}

// count photos in folders of 100, like a camera's card: copies, or links to one copy of each sample.
// Empty when the folder could not be made.
QString buildTree(QTemporaryDir& dir, int count, bool links)
{
    if (!dir.isValid())
        return {};
    const QStringList samples = samplePhotos();
    const QString originals = dir.filePath(QStringLiteral("originals"));
    QDir().mkpath(originals);
    QStringList copies;
    for (const QString& sample : samples) {
        const QString copy = originals + u'/' + QFileInfo(sample).fileName();
        QFile::copy(sample, copy);
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        copies.append(copy);
    }
    const QString tree = dir.filePath(QStringLiteral("DCIM"));
    for (int i = 0; i < count; ++i) {
        const QString folder = tree + QStringLiteral("/%1_PHOTOS").arg(100 + i / 100);
        if (i % 100 == 0)
            QDir().mkpath(folder);
        const QString& source = copies.at(i % copies.size());
        const QString name
            = folder + QStringLiteral("/IMG_%1.%2").arg(i, 5, 10, QLatin1Char('0')).arg(QFileInfo(source).suffix());
        if (links)
            ::link(QFile::encodeName(source).constData(), QFile::encodeName(name).constData());
        else
            QFile::copy(source, name);
    }
    return tree;
}

QString treeFolderTemplate()
{
    return QDir::tempPath() + QStringLiteral("/velloran-bench-XXXXXX");
}

QTemporaryDir& timingTreeDir()
{
    static QTemporaryDir dir(treeFolderTemplate());
    return dir;
}

// Adds the tree to an empty list; the photos stay in `photos`. threads 0: one per core.
void addTree(const QString& tree, QList<std::shared_ptr<PhotoFile>>& photos, int threads = 0)
{
    PhotoListModel model(photos);
    PhotoIntake intake(model);
    if (threads > 0)
        intake.setReadThreads(threads);
    QEventLoop loop;
    QObject::connect(&intake, &PhotoIntake::finished, &loop, &QEventLoop::quit);
    intake.addPhotosFromPathUrls({ tree });
    loop.exec();
}

// CPU seconds this process has spent, on all its threads.
double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double exiftoolSeconds(const QString& tree)
{
    QElapsedTimer timer;
    timer.start();
    QProcess exiftool;
    exiftool.setStandardOutputFile(QProcess::nullDevice());
    exiftool.start(QStringLiteral("exiftool"), { QStringLiteral("-j"), QStringLiteral("-r"), tree });
    exiftool.waitForFinished(-1);
    return exiftool.exitStatus() == QProcess::NormalExit ? double(timer.nsecsElapsed()) / 1e9 : -1.0;
}

void intakeOf10000Photos(benchmark::State& state)
{
    static const QString tree = buildTree(timingTreeDir(), 10000, false);
    if (tree.isEmpty()) {
        state.SkipWithError("no folder for the photo tree under TMPDIR");
        return;
    }
    static const double exiftool = exiftoolSeconds(tree);
    double seconds = 0;
    double cpu = 0;
    for (auto _ : state) {
        QList<std::shared_ptr<PhotoFile>> photos;
        QElapsedTimer timer;
        const double cpuBefore = cpuSeconds();
        timer.start();
        addTree(tree, photos, int(state.range(0)));
        const double elapsed = double(timer.nsecsElapsed()) / 1e9;
        cpu += cpuSeconds() - cpuBefore;
        state.SetIterationTime(elapsed);
        seconds += elapsed;
        if (photos.size() != 10000)
            state.SkipWithError("not every photo came in");
    }
    const double mean = seconds / double(state.iterations());
    state.counters["exiftool_s"] = exiftool;
    state.counters["exiftool_over_ours"] = exiftool / mean;
    state.counters["photos_per_s"] = 10000 / mean;
    // What the adding costs in processor time: on a machine shared with other
    // work the wall time is this spread over the cores we were given.
    state.counters["cpu_s"] = cpu / double(state.iterations());
}
// Arg: reading threads (0: one per core).
BENCHMARK(intakeOf10000Photos)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

// The growth of the resident size while count photos come into the list, per photo.
void intakeMemoryPerPhoto(benchmark::State& state)
{
    const int count = int(state.range(0));
    QTemporaryDir dir(treeFolderTemplate());
    const QString tree = buildTree(dir, count, true);
    if (tree.isEmpty()) {
        state.SkipWithError("no folder for the photo tree under TMPDIR");
        return;
    }
    for (auto _ : state) {
        QList<std::shared_ptr<PhotoFile>> photos;
        malloc_trim(0);
        const qint64 before = residentBytes();
        addTree(tree, photos);
        malloc_trim(0);
        const qint64 after = residentBytes();
        state.counters["bytes_per_photo"] = double(after - before) / double(photos.size());
        state.counters["resident_MB"] = double(after) / (1024.0 * 1024.0);
        state.counters["photos"] = double(photos.size());
        state.PauseTiming();
        photos.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(intakeMemoryPerPhoto)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The main thread's share of an adding of 100,000 photos: the hand-offs of 256
// photos each that the intake makes, appended to the list one by one, as the
// event loop delivers them. The longest one is what holds the window up; its
// target is one frame (16 ms). The photos are made in memory (paths as a card's
// folders give them), so only the list's own work is timed.
void photoListHandOffsOf100000(benchmark::State& state)
{
    constexpr int kPhotos = 100000;
    constexpr int kHandOff = 256;
    QList<QList<std::shared_ptr<PhotoFile>>> handOffs;
    for (int first = 0; first < kPhotos; first += kHandOff) {
        QList<std::shared_ptr<PhotoFile>> chunk;
        for (int i = first; i < std::min(kPhotos, first + kHandOff); ++i) {
            auto photo = std::make_shared<PhotoFile>();
            photo->fileName = QStringLiteral("IMG_%1.JPG").arg(i % 10000, 4, 10, QLatin1Char('0'));
            photo->filePath = QStringLiteral("/home/someone/Pictures/card/%1DCIM/%2")
                                  .arg(100 + i / 100)
                                  .arg(photo->fileName);
            chunk.append(photo);
        }
        handOffs.append(chunk);
    }
    for (auto _ : state) {
        QList<std::shared_ptr<PhotoFile>> photos;
        PhotoListModel model(photos);
        qint64 longest = 0;
        qint64 total = 0;
        QElapsedTimer timer;
        for (const auto& chunk : handOffs) {
            timer.start();
            model.appendPhotos(chunk);
            const qint64 ns = timer.nsecsElapsed();
            longest = std::max(longest, ns);
            total += ns;
        }
        state.SetIterationTime(double(total) / 1e9);
        state.counters["longest_ms"] = double(longest) / 1e6;
        state.counters["mean_ms"] = double(total) / 1e6 / double(handOffs.size());
    }
}
BENCHMARK(photoListHandOffsOf100000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// What the list's delegate asks of the model for one screenful of rows: memory only.
void photoListRowData(benchmark::State& state)
{
    QList<std::shared_ptr<PhotoFile>> photos;
    for (int i = 0; i < 100000; ++i) {
        auto photo = std::make_shared<PhotoFile>();
        photo->filePath = QStringLiteral("/home/someone/Pictures/2024/IMG_%1.JPG").arg(i);
        photo->fileName = QStringLiteral("IMG_%1.JPG").arg(i);
        photos.append(photo);
    }
    PhotoListModel model(photos);
    int row = 0;
    for (auto _ : state) {
        for (int i = 0; i < 25; ++i) {
            const QModelIndex index = model.index((row + i) % 100000);
            for (int role : { int(Qt::DisplayRole), int(PhotoListModel::FilePathRole), int(Qt::CheckStateRole),
                     int(PhotoListModel::ThumbnailRole), int(PhotoListModel::ThumbnailStateRole) })
                benchmark::DoNotOptimize(model.data(index, role));
        }
        row = (row + 997) % 100000;
    }
}
BENCHMARK(photoListRowData)->Unit(benchmark::kMicrosecond);

// A screenful of rows (15) of camera JPEGs after scrolling rests: every thumbnail
// loaded on the pool and handed back to the event loop, from an empty cache.
void thumbnailsForAScreenful(benchmark::State& state)
{
    QStringList paths;
    const QDir camera(samplesDir() + QStringLiteral("/camera"));
    for (const QString& name : camera.entryList(QDir::Files, QDir::Name).mid(0, 15))
        paths.append(camera.filePath(name));
    for (auto _ : state) {
        ThumbnailCache cache;
        QEventLoop loop;
        int arrived = 0;
        auto count = [&] {
            if (++arrived == paths.size())
                loop.quit();
        };
        QObject::connect(&cache, &ThumbnailCache::thumbnailReady, &loop, count);
        QObject::connect(&cache, &ThumbnailCache::thumbnailUnavailable, &loop, count);
        cache.request(paths);
        loop.exec();
    }
}
BENCHMARK(thumbnailsForAScreenful)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
