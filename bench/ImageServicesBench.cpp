#include "services/Utils.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <exiv2/exiv2.hpp>
#include <memory>

namespace {

// A 12-megapixel photo-like JPEG (4000 x 3000, quality 90): gradients under grain, so the
// entropy decoder has real work. It has no embedded preview: the thumbnail takes the
// scaled-decode path. A copy carries a 160 x 120 Exif thumbnail, as cameras write one.
const QString& twelveMegapixelJpeg()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        QImage image(4000, 3000, QImage::Format_RGB32);
        QRandomGenerator random(42);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int noise = int(random.bounded(16));
                line[x] = qRgb((x / 16 + noise) & 0xff, (y / 12 + noise) & 0xff, ((x + y) / 28 + noise) & 0xff);
            }
        }
        const QString file = dir.filePath(QStringLiteral("twelve.jpg"));
        image.save(file, "jpeg", 90);
        qInfo("fixture: %lld bytes", QFileInfo(file).size());
        return file;
    }();
    return path;
}

const QString& withCameraThumbnail()
{
    static const QString path = [] {
        const QString file = twelveMegapixelJpeg() + QStringLiteral(".camera.jpg");
        QFile::copy(twelveMegapixelJpeg(), file);
        QByteArray thumbnail;
        QBuffer buffer(&thumbnail);
        buffer.open(QIODevice::WriteOnly);
        QImage(file).scaled(160, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(&buffer, "jpeg", 80);
        std::unique_ptr<Exiv2::Image> image(Exiv2::ImageFactory::open(QFile::encodeName(file).toStdString()).release());
        image->readMetadata();
        Exiv2::ExifThumb(image->exifData())
            .setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(thumbnail.constData()), long(thumbnail.size()));
        image->writeMetadata();
        return file;
    }();
    return path;
}

void thumbnail96x70(benchmark::State& state)
{
    const QString& path = twelveMegapixelJpeg();
    for (auto _ : state) {
        QImage thumbnail = Utils::sharedUtils().getThumbnailImageAtFilePath(path, QSizeF(96, 70));
        benchmark::DoNotOptimize(thumbnail);
    }
}
BENCHMARK(thumbnail96x70)->Unit(benchmark::kMillisecond);

void thumbnail96x70FromCameraPreview(benchmark::State& state)
{
    const QString& path = withCameraThumbnail();
    for (auto _ : state) {
        QImage thumbnail = Utils::sharedUtils().getThumbnailImageAtFilePath(path, QSizeF(96, 70));
        benchmark::DoNotOptimize(thumbnail);
    }
}
BENCHMARK(thumbnail96x70FromCameraPreview)->Unit(benchmark::kMillisecond);

void pixelSizeRead(benchmark::State& state)
{
    const QString& path = twelveMegapixelJpeg();
    for (auto _ : state) {
        QSizeF size = Utils::sharedUtils().getImageOriginalSizeAtFilePathUrl(path);
        benchmark::DoNotOptimize(size);
    }
}
BENCHMARK(pixelSizeRead)->Unit(benchmark::kMicrosecond);

} // namespace
