#include "services/ExifWriter.h"
#include "services/MetadataVerification.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "platform/Exiv2Adapter.h"
#include "platform/ImageDataLayout.h"
#include "platform/JpegExifSegment.h"
#include "platform/JpegSplice.h"
#include "platform/MakerNoteLayout.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <exiv2/exiv2.hpp>
#include <memory>

namespace {

// A folder on a tmpfs when there is one, so that disk write-back does not blur
// the write's figure.
QTemporaryDir& workDir()
{
    static QTemporaryDir dir(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/velloran-bench-XXXXXX")
                                                       : QDir::tempPath() + QStringLiteral("/velloran-bench-XXXXXX"));
    return dir;
}

// A 12-megapixel JPEG of grain (quality 90, about 10 MB) carrying the Exif (with its
// maker note), IPTC and XMP of the Pentax K10D sample, as a camera photo would.
const QString& cameraPhoto()
{
    static const QString path = [] {
        QImage image(4000, 3000, QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                line[x] = random.generate() | 0xff000000;
        }
        const QString file = workDir().filePath(QStringLiteral("camera.jpg"));
        image.save(file, "jpeg", 90);
        const std::string sample = VELLORAN_SAMPLES_DIR "/camera/Pentax_K10D.jpg";
        std::unique_ptr<Exiv2::Image> from(Exiv2::ImageFactory::open(sample).release());
        from->readMetadata();
        std::unique_ptr<Exiv2::Image> to(Exiv2::ImageFactory::open(QFile::encodeName(file).toStdString()).release());
        to->setExifData(from->exifData());
        to->setIptcData(from->iptcData());
        to->setXmpData(from->xmpData());
        to->writeMetadata();
        return file;
    }();
    return path;
}

void artistEdit(MetaDataObject& settings)
{
    settings.setField(MetadataField::Artist, QStringLiteral("Bench Artist"));
    settings.setUpdated(MetadataField::Artist, true);
}

// The whole write of one photo (read, edit in memory, verification, temporary
// file, flush, rename) into a new file of the folder.
void writeOnePhoto(benchmark::State& state)
{
    PhotoFile photo(cameraPhoto(), false);
    const QString output = workDir().filePath(QStringLiteral("written.jpg"));
    for (auto _ : state) {
        // A file already at the output would be edited instead of the source.
        state.PauseTiming();
        QFile::remove(output);
        state.ResumeTiming();
        MetaDataObject settings;
        MetaDataObject onlyUpdated;
        artistEdit(settings);
        artistEdit(onlyUpdated);
        const MetadataWriteResult result
            = ExifWriter::sharedInstance().writeMetaDataToFilePath(photo, settings, output, onlyUpdated, false);
        if (result.errorFlag != 0)
            state.SkipWithError(result.errorMsg.toUtf8().constData());
    }
}
BENCHMARK(writeOnePhoto)->Unit(benchmark::kMillisecond)->UseRealTime();

// The verification alone: the written bytes read back and compared datum by datum.
void verifyOnePhoto(benchmark::State& state)
{
    QFile file(cameraPhoto());
    file.open(QIODevice::ReadOnly);
    const QByteArray original = file.readAll();
    MetadataSnapshot before;
    MetadataSnapshot expected;
    EditedKeys edited;
    QByteArray written;
    Exiv2Adapter::editInMemory(
        original, cameraPhoto(),
        [&](Exiv2::Image& image) {
            before = MetadataSnapshot::of(image);
            image.exifData()["Exif.Image.Artist"] = "Bench Artist";
            expected = MetadataSnapshot::of(image);
            edited = editedKeysBetween(before, expected);
            image.writeXmpFromPacket(true);
            return true;
        },
        [&](QByteArrayView bytes) { written = bytes.toByteArray(); });
    for (auto _ : state) {
        const auto refusal = verifyWrittenMetadata(before, expected, edited, cameraPhoto(), written);
        if (refusal)
            state.SkipWithError(refusal->toUtf8().constData());
        benchmark::DoNotOptimize(refusal);
    }
}
BENCHMARK(verifyOnePhoto)->Unit(benchmark::kMillisecond)->UseRealTime();

// The byte-level check of the maker note alone: both Exif blocks read, the note
// and every value its entries point to compared in each place it may lie.
void compareMakerNoteBytes(benchmark::State& state)
{
    QFile file(cameraPhoto());
    file.open(QIODevice::ReadOnly);
    const QByteArray header = file.read(256 * 1024);
    const QByteArray copy = header;
    for (auto _ : state) {
        const auto difference = makerNoteDifference(JpegExifSegment::exifBlockOf(header).value_or(QByteArrayView()),
            JpegExifSegment::exifBlockOf(copy).value_or(QByteArrayView()));
        if (difference)
            state.SkipWithError(difference->toUtf8().constData());
        benchmark::DoNotOptimize(difference);
    }
}
BENCHMARK(compareMakerNoteBytes)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

namespace {

// The image data check alone: the whole 10 MB camera photo against a copy (as on
// the path that reads a JPEG whole, where the written file holds all its scan
// data), and the stub the header-only path hands exiv2 (the path of nearly every
// JPEG, where the scan data is copied by the kernel and only the stub's is held).
void compareImageData(benchmark::State& state)
{
    QFile file(cameraPhoto());
    file.open(QIODevice::ReadOnly);
    QByteArray original = file.readAll();
    if (state.range(0) == 0) {
        const std::unique_ptr<JpegSplice> splice = JpegSplice::open(cameraPhoto());
        original = splice->stub().toByteArray();
    }
    // A copy of its own, so that the bytes are compared and not only their address.
    const QByteArray copy(original.constData(), original.size());
    for (auto _ : state) {
        const ImageDataLayout::Comparison comparison = ImageDataLayout::compare(original, copy);
        if (comparison.outcome != ImageDataLayout::Comparison::Same)
            state.SkipWithError(comparison.detail.toUtf8().constData());
        benchmark::DoNotOptimize(comparison);
    }
}
BENCHMARK(compareImageData)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
