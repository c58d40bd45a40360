// Naming a batch: the output path of every photo with every renaming option on,
// place names from the offline geocoder.
//
//   build/bench/velloran_bench --benchmark_filter=Naming

#include "batch/naming/GeoNamesGeocoder.h"
#include "batch/naming/LocationNamer.h"
#include "batch/naming/OutputPathBuilder.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <random>
#include <vector>

namespace {

constexpr int kPhotoCount = 10000;

// Photos spread over Europe (most within reach of a known place, some not), each
// at its own position and second, from a handful of folders.
std::vector<PhotoFile> makePhotos(bool allAlike)
{
    std::mt19937 random(10000);
    std::uniform_real_distribution<double> latitude(36.0, 60.0);
    std::uniform_real_distribution<double> longitude(-10.0, 30.0);
    std::vector<PhotoFile> photos;
    photos.reserve(kPhotoCount);
    for (int i = 0; i < kPhotoCount; ++i) {
        PhotoFile photo;
        photo.fileName = QStringLiteral("IMG_%1.JPG").arg(i % 1000, 4, 10, QLatin1Char('0'));
        photo.filePath = QStringLiteral("/media/card/DCIM/%1/").arg(100 + i / 1000) + photo.fileName;
        photo.fileExtension = QStringLiteral("JPG");
        photo.width = 4032;
        photo.height = 3024;
        auto record = std::make_shared<MetaDataObject>();
        const int second = allAlike ? 0 : i;
        record->setDate_Original(QStringLiteral("2019:07:%1 %2:%3:%4")
                                     .arg(4 + second / 86400, 2, 10, QLatin1Char('0'))
                                     .arg(second / 3600 % 24, 2, 10, QLatin1Char('0'))
                                     .arg(second / 60 % 60, 2, 10, QLatin1Char('0'))
                                     .arg(second % 60, 2, 10, QLatin1Char('0')));
        const double lat = allAlike ? 48.85 : latitude(random);
        const double lon = allAlike ? 2.35 : longitude(random);
        record->setGPS_Lattitude(QString::number(lat, 'f', 6));
        record->setGPS_LattitudeRef(QStringLiteral("N"));
        record->setGPS_Longitude(QString::number(std::abs(lon), 'f', 6));
        record->setGPS_LongitudeRef(lon < 0 ? QStringLiteral("W") : QStringLiteral("E"));
        photo.metadataObjectOriginal = std::move(record);
        photos.push_back(std::move(photo));
    }
    return photos;
}

OutputRenamingOptions everyOptionOn()
{
    OutputRenamingOptions options;
    options.renamingOptionIndex = 1;
    options.ouptputFolderPathName = QStringLiteral("/home/ann/Pictures/Velloran");
    options.replaceFilenameCheck = options.addStringCheck = options.addEXIFDateTimeCheck = 1;
    options.addEXIFLocationCheck = options.appendWidthHeightCheck = 1;
    options.replaceFilename.customNameValue = QStringLiteral("Holiday");
    options.addString.addStringPrefixValue = QStringLiteral("A_");
    options.addString.addStringSuffixValue = QStringLiteral("_B");
    options.addEXIFDateTime.asValue = 1;
    options.addEXIFDateTime.formatValue = 19;
    return options;
}

// One whole run: a fresh builder and an empty location cache, as a first batch has.
void nameBatch(benchmark::State& state, bool allAlike)
{
    GeoNamesGeocoder::prepare();
    const std::vector<PhotoFile> photos = makePhotos(allAlike);
    QStringList sources;
    for (const PhotoFile& photo : photos)
        sources.append(photo.filePath);
    const MetaDataObject settings;
    const OutputRenamingOptions options = everyOptionOn();

    for (auto _ : state) {
        auto namer = std::make_shared<LocationNamer>(std::make_shared<GeoNamesGeocoder>());
        OutputPathBuilder builder(options, namer, sources);
        qsizetype warnings = 0;
        for (const PhotoFile& photo : photos) {
            const OutputPath output = builder.updatedPathWithSelectedSetting(photo, settings);
            warnings += output.warnings.size();
            benchmark::DoNotOptimize(output.path.constData());
        }
        state.counters["warnings"] = static_cast<double>(warnings);
    }
    state.SetItemsProcessed(state.iterations() * kPhotoCount);
}

void BM_Naming10000PhotosEveryOptionOfflineGeocoder(benchmark::State& state)
{
    nameBatch(state, false);
}
BENCHMARK(BM_Naming10000PhotosEveryOptionOfflineGeocoder)->Unit(benchmark::kMillisecond);

// Every photo at one place and second: every name collides with the one before.
void BM_Naming10000AlikePhotosEveryOptionOfflineGeocoder(benchmark::State& state)
{
    nameBatch(state, true);
}
BENCHMARK(BM_Naming10000AlikePhotosEveryOptionOfflineGeocoder)->Unit(benchmark::kMillisecond);

} // namespace
