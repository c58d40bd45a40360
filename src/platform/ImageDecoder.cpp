#include "platform/ImageDecoder.h"

#include "platform/ExifOrientation.h"
#include "platform/Exiv2Adapter.h"
#include "platform/HeifFile.h"
#include "platform/ImageProperties.h"
#include "platform/OpenablePhotoPath.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <cmath>
#include <exiv2/exiv2.hpp>
#include <memory>

namespace {

// Decodes through QImageReader at a size that fits the box (stored orientation).
// A truncated or corrupt stream gives a null image, not a grey half picture.
QImage readScaled(QImageReader& reader, QSize storedBox)
{
    reader.setAutoTransform(false);
    const QSize full = reader.size();
    if (full.isEmpty())
        return {};
    QSize wanted = full.scaled(storedBox, Qt::KeepAspectRatio).boundedTo(full);
    if (wanted.isEmpty())
        wanted = QSize(1, 1);
    if (wanted != full) {
        reader.setScaledSize(wanted);
        // A thumbnail is scaled down a lot: the fast DCT and plain upsampling lose nothing visible.
        reader.setQuality(25);
    }
    QImage image;
    if (!reader.read(&image))
        return {};
    return image;
}

// The smallest embedded preview at least as big as the box and of the photo's shape;
// previews of another shape carry black bars. `openable` is openablePhotoPath(path).
QImage embeddedPreview(const QString& path, const QString& openable, QSize storedBox)
{
    const std::unique_ptr<Exiv2::Image> image = Exiv2Adapter::openFile(openable, path, Exiv2Adapter::Severity::Debug);
    if (!image)
        return {};
    QImage decoded;
    Exiv2Adapter::run(
        QStringLiteral("read the previews of"), path,
        [&] {
            const double width = image->pixelWidth();
            const double height = image->pixelHeight();
            if (width <= 0 || height <= 0)
                return;
            Exiv2::PreviewManager previews(*image);
            for (const Exiv2::PreviewProperties& properties : previews.getPreviewProperties()) {
                if (properties.width_ < uint32_t(storedBox.width())
                    || properties.height_ < uint32_t(storedBox.height()))
                    continue;
                const double aspect = double(properties.width_) / double(properties.height_);
                if (std::abs(aspect / (width / height) - 1.0) > 0.02)
                    continue;
                const Exiv2::PreviewImage preview = previews.getPreviewImage(properties);
                QByteArray bytes(reinterpret_cast<const char*>(preview.pData()), qsizetype(preview.size()));
                QBuffer buffer(&bytes);
                QImageReader reader(&buffer);
                decoded = readScaled(reader, storedBox);
                if (!decoded.isNull())
                    return;
            }
        },
        Exiv2Adapter::Severity::Debug);
    return decoded;
}

} // namespace

QImage ImageDecoder::uprightImage(const QString& path, QSize box, int orientation)
{
    const QString openable = openablePhotoPath(path);
    if (openable.isEmpty() || box.isEmpty())
        return {};
    const QSize storedBox = ExifOrientation::isQuarterTurn(orientation) ? box.transposed() : box;
    QImage image = embeddedPreview(path, openable, storedBox);
    if (image.isNull()) {
        QFile file(path);
        if (openRegularFile(file)) {
            QImageReader reader(&file);
            image = readScaled(reader, storedBox);
        }
    }
    if (!image.isNull())
        return ExifOrientation::upright(image, orientation);
    if (ImageProperties::isHeif(path))
        return HeifFile(path).decoded(box);
    return {};
}
