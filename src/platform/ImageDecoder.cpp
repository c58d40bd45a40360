#include "platform/ImageDecoder.h"

#include "base/Logging.h"
#include "platform/ExifOrientation.h"
#include "platform/Exiv2Setup.h"
#include "platform/ImageProperties.h"
#include "platform/OpenablePhotoPath.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <cmath>
#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>
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
    try {
        std::unique_ptr<Exiv2::Image> image(
            Exiv2::ImageFactory::open(QFile::encodeName(openable).toStdString()).release());
        image->readMetadata();
        const double width = image->pixelWidth();
        const double height = image->pixelHeight();
        if (width <= 0 || height <= 0)
            return {};
        Exiv2::PreviewManager previews(*image);
        for (const Exiv2::PreviewProperties& properties : previews.getPreviewProperties()) {
            if (properties.width_ < uint32_t(storedBox.width()) || properties.height_ < uint32_t(storedBox.height()))
                continue;
            const double aspect = double(properties.width_) / double(properties.height_);
            if (std::abs(aspect / (width / height) - 1.0) > 0.02)
                continue;
            const Exiv2::PreviewImage preview = previews.getPreviewImage(properties);
            QByteArray bytes(reinterpret_cast<const char*>(preview.pData()), qsizetype(preview.size()));
            QBuffer buffer(&bytes);
            QImageReader reader(&buffer);
            QImage decoded = readScaled(reader, storedBox);
            if (!decoded.isNull())
                return decoded;
        }
    } catch (const Exiv2::AnyError& error) {
        qCDebug(lcMetadata) << "no embedded preview in" << path << ":" << error.what();
    } catch (const std::exception& error) {
        // Damaged metadata can make exiv2 fail outside its own error type.
        qCDebug(lcMetadata) << "no embedded preview in" << path << ":" << error.what();
    }
    return {};
}

// The primary HEIF image (or its thumbnail when big enough), decoded with its
// transforms applied and scaled into the box.
QImage heifImage(const QString& path, QSize box)
{
    std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(), heif_context_free);
    if (heif_context_read_from_file(context.get(), QFile::encodeName(path).constData(), nullptr).code != heif_error_Ok)
        return {};
    heif_image_handle* primary = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &primary).code != heif_error_Ok)
        return {};
    std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> handle(primary, heif_image_handle_release);
    heif_item_id thumbnailId = 0;
    if (heif_image_handle_get_list_of_thumbnail_IDs(handle.get(), &thumbnailId, 1) == 1) {
        heif_image_handle* thumbnail = nullptr;
        if (heif_image_handle_get_thumbnail(handle.get(), thumbnailId, &thumbnail).code == heif_error_Ok) {
            if (heif_image_handle_get_width(thumbnail) >= box.width()
                && heif_image_handle_get_height(thumbnail) >= box.height())
                handle.reset(thumbnail);
            else
                heif_image_handle_release(thumbnail);
        }
    }
    heif_image* decoded = nullptr;
    if (heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr).code
        != heif_error_Ok)
        return {};
    std::unique_ptr<heif_image, decltype(&heif_image_release)> pixels(decoded, heif_image_release);
    int stride = 0;
    const uint8_t* data = heif_image_get_plane_readonly(pixels.get(), heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(pixels.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(pixels.get(), heif_channel_interleaved);
    if (!data || width <= 0 || height <= 0)
        return {};
    const QImage view(data, width, height, stride, QImage::Format_RGBA8888);
    const QSize wanted = view.size().scaled(box, Qt::KeepAspectRatio).boundedTo(view.size());
    // scaled() and copy() both detach from the libheif buffer before it is released.
    return wanted == view.size() ? view.copy() : view.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

QImage ImageDecoder::uprightImage(const QString& path, QSize box, int orientation)
{
    const QString openable = openablePhotoPath(path);
    if (openable.isEmpty() || box.isEmpty())
        return {};
    initializeExiv2();
    const QSize storedBox = ExifOrientation::isQuarterTurn(orientation) ? box.transposed() : box;
    QImage image = embeddedPreview(path, openable, storedBox);
    if (image.isNull()) {
        QImageReader reader(path);
        image = readScaled(reader, storedBox);
    }
    if (!image.isNull())
        return ExifOrientation::upright(image, orientation);
    if (ImageProperties::isHeif(path))
        return heifImage(path, box);
    return {};
}
