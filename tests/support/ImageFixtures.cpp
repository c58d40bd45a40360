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

namespace {

using HeifContext = std::unique_ptr<heif_context, decltype(&heif_context_free)>;
using HeifHandle = std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)>;

// Encodes source into context as a new image; null when it cannot.
HeifHandle encodeInto(heif_context* context, const QImage& source)
{
    HeifHandle handle(nullptr, heif_image_handle_release);
    heif_encoder* encoder = nullptr;
    if (heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code != heif_error_Ok)
        return handle;
    const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
    heif_image* image = nullptr;
    heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, rgb.width(), rgb.height(), 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y)
        memcpy(plane + y * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
    heif_image_handle* encoded = nullptr;
    if (heif_context_encode_image(context, image, encoder, nullptr, &encoded).code == heif_error_Ok)
        handle.reset(encoded);
    heif_encoder_release(encoder);
    heif_image_release(image);
    return handle;
}

bool addXmp(heif_context* context, heif_image_handle* image, const QByteArray& packet)
{
    return packet.isEmpty()
        || heif_context_add_XMP_metadata(context, image, packet.constData(), int(packet.size())).code == heif_error_Ok;
}

} // namespace

bool writeHeic(const QImage& source, const QString& path)
{
    if (!heif_have_encoder_for_format(heif_compression_HEVC))
        return false;
    HeifContext context(heif_context_alloc(), heif_context_free);
    return encodeInto(context.get(), source)
        && heif_context_write_to_file(context.get(), QFile::encodeName(path).constData()).code == heif_error_Ok;
}

bool writeHeicWithSecondImage(
    const QString& path, const QByteArray& primaryXmp, const QByteArray& secondXmp, bool secondListedFirst)
{
    if (!heif_have_encoder_for_format(heif_compression_HEVC))
        return false;
    HeifContext context(heif_context_alloc(), heif_context_free);
    const HeifHandle primary = encodeInto(context.get(), quadrants(64, 48));
    const HeifHandle second = encodeInto(context.get(), quadrants(32, 24));
    if (!primary || !second
        || heif_context_set_primary_image(context.get(), primary.get()).code != heif_error_Ok)
        return false;
    const bool added = secondListedFirst
        ? addXmp(context.get(), second.get(), secondXmp) && addXmp(context.get(), primary.get(), primaryXmp)
        : addXmp(context.get(), primary.get(), primaryXmp) && addXmp(context.get(), second.get(), secondXmp);
    return added
        && heif_context_write_to_file(context.get(), QFile::encodeName(path).constData()).code == heif_error_Ok;
}

QByteArray xmpPacket(const QString& property, const QString& namespaceUri, const QString& value)
{
    const QString prefix = property.section(u':', 0, 0);
    return QStringLiteral("<?xpacket begin=\"\xfeff\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
                          "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
                          "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
                          "rdf:about=\"\" xmlns:%1=\"%2\" %3=\"%4\"/></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>")
        .arg(prefix, namespaceUri, property, value)
        .toUtf8();
}

void setExifTag(const QString& path, const char* key, const char* value)
{
    std::unique_ptr<Exiv2::Image> image(Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString()).release());
    image->readMetadata();
    image->exifData()[key] = std::string(value);
    image->writeMetadata();
}

} // namespace ImageFixtures
