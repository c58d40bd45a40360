#include "support/ImageFixtures.h"

#include <QFile>
#include <QPainter>
#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>
#include <memory>

namespace ImageFixtures {

QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    const int halfW = width / 2;
    const int halfH = height / 2;
    painter.fillRect(0, 0, halfW, halfH, Qt::red);
    painter.fillRect(halfW, 0, width - halfW, halfH, Qt::green);
    painter.fillRect(0, halfH, halfW, height - halfH, Qt::blue);
    painter.fillRect(halfW, halfH, width - halfW, height - halfH, Qt::yellow);
    return image;
}

QColor colourNear(const QImage& image, double fx, double fy)
{
    return image.pixelColor(int(fx * (image.width() - 1)), int(fy * (image.height() - 1)));
}

bool writeHeic(const QImage& source, const QString& path)
{
    if (!heif_have_encoder_for_format(heif_compression_HEVC))
        return false;
    const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
    std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(), heif_context_free);
    heif_encoder* encoder = nullptr;
    if (heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &encoder).code != heif_error_Ok)
        return false;
    heif_image* image = nullptr;
    heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, rgb.width(), rgb.height(), 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y)
        memcpy(plane + y * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
    const bool encoded
        = heif_context_encode_image(context.get(), image, encoder, nullptr, nullptr).code == heif_error_Ok;
    heif_encoder_release(encoder);
    heif_image_release(image);
    return encoded
        && heif_context_write_to_file(context.get(), QFile::encodeName(path).constData()).code == heif_error_Ok;
}

void setExifTag(const QString& path, const char* key, const char* value)
{
    std::unique_ptr<Exiv2::Image> image(Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString()).release());
    image->readMetadata();
    image->exifData()[key] = std::string(value);
    image->writeMetadata();
}

} // namespace ImageFixtures
