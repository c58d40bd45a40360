// Reading photo libraries of 100,000 entries: a Photos library (database copy and
// one query) and an older library (three queries and its XML list). And crafted
// libraries whose masters are a view that never ends: the time from a stop to
// the reading's end (target: under 1 s), and the time a reading takes to reach
// the bound on temporary storage.
//
//     build/bench/velloran_bench --benchmark_filter=Library

#include "batch/intake/DBOperations.h"
#include "batch/intake/DataFiller.h"
#include "support/PhotoLibraryFixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <future>
#include <thread>

using namespace PhotoLibraryFixtures;

namespace {

constexpr int kEntries = 100000;

void buildPhotosLibrary(const QString& library)
{
    SqliteDatabase db = createPhotosDatabase(library + QStringLiteral("/database/photos.db"));
    run(db, QStringLiteral("BEGIN"));
    QList<int> inAlbum;
    for (int i = 1; i <= kEntries; ++i) {
        const QString master = QStringLiteral("MASTER-%1").arg(i);
        addPhotosMaster(db, master, QStringLiteral("2019/%1/IMG_%2.JPG").arg(i % 365).arg(i), 3000000 + i);
        addPhotosVersion(db, i, QStringLiteral("VERSION-%1").arg(i), master, QStringLiteral("IMG_%1.JPG").arg(i),
            i % 3 ? QVariant() : QVariant(QStringLiteral("  A photo described at some length  ")));
        if (i % 10 == 0)
            inAlbum.append(i);
    }
    addPhotosAlbum(db, 1, QStringLiteral("Holiday"), 0, inAlbum);
    run(db, QStringLiteral("COMMIT"));
}

void buildOlderLibrary(const QString& library)
{
    QDir().mkpath(library + QStringLiteral("/Masters"));
    SqliteDatabase db = createOlderLibraryDatabase(library);
    run(db, QStringLiteral("BEGIN"));
    for (int folder = 0; folder < 1000; ++folder)
        addOlderFolder(db, QStringLiteral("FOLDER-%1").arg(folder), QStringLiteral("Event %1").arg(folder));
    const QString archive = QStringLiteral("/Users/someone/Pictures/iPhoto Library.photolibrary");
    QList<XmlImage> images;
    images.reserve(kEntries);
    for (int i = 1; i <= kEntries; ++i) {
        const QString master = QStringLiteral("MASTER-%1").arg(i);
        const QString relative = QStringLiteral("2012/%1/IMG_%2.JPG").arg(i % 365).arg(i);
        addOlderMaster(db, master, relative);
        addOlderVersion(db, i, QStringLiteral("VERSION-%1").arg(i), master, QStringLiteral("FOLDER-%1").arg(i % 1000),
            QStringLiteral("IMG_%1").arg(i));
        images.append({ QString::number(i), archive + QStringLiteral("/Masters/") + relative,
            archive + QStringLiteral("/Thumbnails/") + relative });
    }
    run(db, QStringLiteral("COMMIT"));
    writeXmlList(library + QStringLiteral("/AlbumData.xml"), archive, images);
}

// The libraries are built once, on first use, so that a filter that skips
// these benchmarks costs nothing.
QTemporaryDir& libraryDir()
{
    static QTemporaryDir dir;
    return dir;
}

const QString& photosLibrary()
{
    static const QString path = [] {
        const QString library = libraryDir().filePath(QStringLiteral("Bench.photoslibrary"));
        buildPhotosLibrary(library);
        return library;
    }();
    return path;
}

const QString& olderLibrary()
{
    static const QString path = [] {
        const QString library = libraryDir().filePath(QStringLiteral("iPhoto Library.photolibrary"));
        buildOlderLibrary(library);
        return library;
    }();
    return path;
}

void readPhotosLibrary(benchmark::State& state)
{
    const QString& library = photosLibrary();
    for (auto _ : state) {
        const QList<PhotoLibraryEntry> entries = DBOperations::getPhotoslibraryPath(library);
        if (entries.size() != kEntries) {
            state.SkipWithError("wrong number of entries");
            break;
        }
        benchmark::DoNotOptimize(entries.data());
    }
}

void readOlderLibrary(benchmark::State& state)
{
    const QString& library = olderLibrary();
    for (auto _ : state) {
        DataFiller filler;
        filler.setLibPath(library);
        filler.fetchImagesFromLib(library);
        if (filler.arrImagePaths().size() != kEntries
            || !filler.arrImagePaths().first().startsWith(library + QStringLiteral("/Masters/"))) {
            state.SkipWithError("wrong image paths");
            break;
        }
        benchmark::DoNotOptimize(filler.arrImagePaths().data());
    }
}

// The two halves of an older library's read, to tell where its time goes.
void readOlderXmlList(benchmark::State& state)
{
    const QString xmlList = olderLibrary() + QStringLiteral("/AlbumData.xml");
    for (auto _ : state) {
        LibraryXmlList list;
        QString error;
        if (!LibraryXmlList::read(xmlList, &list, &error)) {
            state.SkipWithError(qPrintable(error));
            break;
        }
        benchmark::DoNotOptimize(list.masterImageList.size());
    }
}

void readOlderQueries(benchmark::State& state)
{
    const QString& library = olderLibrary();
    const QString dbPath = library + QStringLiteral("/Database/apdb/Library.apdb");
    for (auto _ : state) {
        QList<LibraryVersionRecord> versions;
        QHash<QString, LibraryMasterInfo> masters;
        QHash<QString, LibraryFolderInfo> folders;
        LibraryReading reading;
        if (!DBOperations::getAllVersionPhotos(dbPath, &versions, reading)
            || !DBOperations::getAllMasterPhotos(dbPath, library, &masters, reading)
            || !DBOperations::getAllFolders(dbPath, &folders, reading)) {
            state.SkipWithError(qPrintable(reading.error));
            break;
        }
        benchmark::DoNotOptimize(versions.data());
    }
}

// An older library whose masters never end and never list a row, and a Photos
// library whose masters pile up in temporary storage without end.
const QString& endlessOlderLibrary()
{
    static const QString path = [] {
        const QString library = libraryDir().filePath(QStringLiteral("Endless.photolibrary"));
        QDir().mkpath(library + QStringLiteral("/Masters"));
        SqliteDatabase db = createOlderLibraryDatabase(library);
        addOlderFolder(db, "F1", "Summer");
        addOlderVersion(db, 1, "V1", "M1", "F1", "a");
        run(db, QStringLiteral("DROP TABLE RKMaster"));
        run(db,
            QStringLiteral("CREATE VIEW RKMaster AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) "
                           "SELECT 'M' || n AS uuid, 'a.jpg' AS imagePath, min(n, 1) AS isInTrash FROM r"));
        writeXmlList(library + QStringLiteral("/AlbumData.xml"), library, {});
        return library;
    }();
    return path;
}

const QString& pilingPhotosLibrary()
{
    static const QString path = [] {
        const QString library = libraryDir().filePath(QStringLiteral("Piling.photoslibrary"));
        SqliteDatabase db = createPhotosDatabase(library + QStringLiteral("/database/photos.db"));
        addPhotosVersion(db, 1, "V1", "M1", "a.jpg", {});
        run(db, QStringLiteral("DROP TABLE RKMaster"));
        run(db,
            QStringLiteral("CREATE VIEW RKMaster AS WITH RECURSIVE r(n) AS (SELECT 1 UNION SELECT n + 1 FROM r) "
                           "SELECT 'M' || n AS uuid, 'p' || n || '.jpg' AS imagePath, n AS fileSize, "
                           "0 AS isInTrash FROM r"));
        return library;
    }();
    return path;
}

// The reading runs 100 ms before the stop; the time measured is the stop's.
void stopEndlessLibrary(benchmark::State& state)
{
    const QString& library = endlessOlderLibrary();
    for (auto _ : state) {
        std::atomic<bool> stop { false };
        std::promise<void> ended;
        std::future<void> end = ended.get_future();
        std::thread reader([&] {
            DataFiller filler({}, &stop);
            filler.setLibPath(library);
            filler.fetchImagesFromLib(library);
            ended.set_value();
        });
        if (end.wait_for(std::chrono::milliseconds(100)) == std::future_status::ready) {
            reader.join();
            state.SkipWithError("the reading ended before the stop");
            break;
        }
        const auto stopped = std::chrono::steady_clock::now();
        stop = true;
        end.wait();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - stopped).count());
        reader.join();
    }
}

void readPilingLibraryToTheBound(benchmark::State& state)
{
    const QString& library = pilingPhotosLibrary();
    for (auto _ : state) {
        bool bounded = false;
        const QList<PhotoLibraryEntry> entries = DBOperations::getPhotoslibraryPath(library,
            [&](const PhotoLibraryAlert& alert) { bounded = alert.informativeText.contains(u"temporary storage"); });
        if (!entries.isEmpty() || !bounded) {
            state.SkipWithError("the reading did not end at the bound");
            break;
        }
    }
}

} // namespace

BENCHMARK(stopEndlessLibrary)->Name("CraftedLibrary/stop")->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(readPilingLibraryToTheBound)
    ->Name("CraftedLibrary/to-the-temporary-storage-bound")
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(readOlderXmlList)->Name("OlderLibrary/100000/xml-list")->Unit(benchmark::kMillisecond);
BENCHMARK(readOlderQueries)->Name("OlderLibrary/100000/queries")->Unit(benchmark::kMillisecond);
BENCHMARK(readPhotosLibrary)->Name("PhotosLibrary/100000")->Unit(benchmark::kMillisecond);
BENCHMARK(readOlderLibrary)->Name("OlderLibrary/100000")->Unit(benchmark::kMillisecond);
