#include "services/ExifInfo.h"
#include "services/Utils.h"
#include "platform/ExifOrientation.h"
#include "platform/GifEncoder.h"
#include "platform/ImageDecoder.h"
#include "platform/ImageProperties.h"
#include "platform/Jpeg2000Encoder.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

namespace {

// The QImageWriter format of an output format code; empty for a code outside 0 to 6.
QByteArray writerFormat(int format)
{
    switch (format) {
    case 0:
        return "tiff";
    case 1:
        return "bmp";
    case 2:
        return "gif";
    case 3:
    case 4:
        return "jpeg";
    case 5:
        return "png";
    case 6:
        return "jp2";
    default:
        return {};
    }
}

bool fail(QString* errorMessage, const QString& message)
{
    if (errorMessage)
        *errorMessage = message;
    return false;
}

// The picture encoded in the format. GIF and JPEG 2000 have encoders of their own,
// the others come from Qt's image writers.
QByteArray encode(const QByteArray& format, const QImage& image, float quality, QString* errorMessage)
{
    if (format == "gif")
        return GifEncoder::encode(image, errorMessage);
    if (format == "jp2")
        return Jpeg2000Encoder::encode(image, errorMessage);
    if (!QImageWriter::supportedImageFormats().contains(format)) {
        fail(errorMessage,
            QStringLiteral("Saving in the %1 format is not supported.").arg(QString::fromLatin1(format).toUpper()));
        return {};
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (format == "jpeg")
        writer.setQuality(qBound(0, qRound(quality * 100.0f), 100));
    if (!writer.write(image)) {
        fail(errorMessage, writer.errorString());
        return {};
    }
    return bytes;
}

// The pixel density of the properties ("DPIWidth", "DPIHeight"), in the picture's own
// header where the format has a place for it: a BMP's, a PNG's pHYs, a JPEG's JFIF
// density, a TIFF's resolution. A "{TIFF}" resolution in the properties is written by
// exiv2 afterwards, as every other group.
QImage withDensity(QImage image, const QVariantMap& properties)
{
    constexpr double kInchesPerMetre = 1.0 / 0.0254;
    const double dpiWidth = properties.value(QStringLiteral("DPIWidth")).toDouble();
    const double dpiHeight = properties.value(QStringLiteral("DPIHeight")).toDouble();
    if (dpiWidth > 0)
        image.setDotsPerMeterX(qRound(dpiWidth * kInchesPerMetre));
    if (dpiHeight > 0)
        image.setDotsPerMeterY(qRound(dpiHeight * kInchesPerMetre));
    return image;
}

// Encodes the pixels in memory, adds the metadata there, and only then replaces the
// target through a temporary file in its folder: a failure leaves the target as it was.
// What a format cannot hold is left out: a BMP keeps the pixel density alone (no Exif,
// IPTC, XMP or orientation), a GIF nothing of the properties.
bool writeImage(const QString& path, const QByteArray& format, const QImage& image, const QVariantMap& properties,
    float quality, QString* errorMessage)
{
    if (image.isNull())
        return fail(errorMessage, QStringLiteral("There is no image to save."));
    QByteArray bytes = encode(format, withDensity(image, properties), quality, errorMessage);
    if (bytes.isEmpty())
        return false;
    QString metadataError;
    // A GIF has no place for any of the properties: exiv2 is not asked (it takes some
    // GIF89a files for no image at all).
    if (format != "gif" && !ImageProperties::writeProperties(bytes, properties, &metadataError))
        return fail(errorMessage, QStringLiteral("The metadata could not be written: %1").arg(metadataError));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return fail(errorMessage, file.errorString());
    return true;
}

} // namespace

bool Utils::saveImageInSelectedFormat(int format, const QString& filePath, const QImage& image,
    const QVariantMap& exifDict, float qualityFactor, QString* errorMessage) const
{
    const QByteArray name = writerFormat(format);
    if (name.isEmpty())
        return fail(errorMessage, QStringLiteral("Unknown output format %1.").arg(format));
    return writeImage(filePath, name, image, setImageExifInfo({}, exifDict), qualityFactor, errorMessage);
}

bool Utils::updateImageExifDataAtPath(const QString& path, const QVariantMap& exifDict, float qualityFactor,
    const QImage& image, QString* errorMessage) const
{
    QByteArray format = QImageReader::imageFormat(path);
    QString target = path;
    if (format.isEmpty()) {
        // Not an image: write a JPEG beside it rather than over it.
        const QFileInfo info(path);
        target = info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".jpeg");
        format = "jpeg";
        // The name beside may belong to another photo (a raw file's own JPEG): never replace it.
        if (target != path && QFileInfo::exists(target))
            return fail(errorMessage,
                QStringLiteral("\"%1\" holds no image, and \"%2\" beside it already exists: nothing was written.")
                    .arg(path, target));
    }
    return writeImage(target, format, image, exifDict, qualityFactor, errorMessage);
}

QVariantMap Utils::setImageExifInfo(QVariantMap options, const QVariantMap& exifDict) const
{
    static const QStringList keys { ImageProperties::kTIFF, ImageProperties::kGPS, ImageProperties::kExif,
        ImageProperties::kIPTC, QStringLiteral("{JFIF}"), QStringLiteral("ColorModel"), QStringLiteral("DPIHeight"),
        QStringLiteral("DPIWidth"), QStringLiteral("Depth"), QStringLiteral("Orientation"),
        QStringLiteral("PixelHeight"), QStringLiteral("PixelWidth"), QStringLiteral("ProfileName") };
    for (const QString& key : keys) {
        const auto it = exifDict.constFind(key);
        if (it != exifDict.constEnd())
            options.insert(key, it.value());
    }
    return options;
}

QImage Utils::fixOrientation(const QString& imageUrl, QSizeF size) const
{
    const QVariantMap properties = exifForFile(imageUrl);
    const int orientation = properties.value(QStringLiteral("Orientation")).toInt();
    QSize box(properties.value(QStringLiteral("PixelWidth")).toInt(),
        properties.value(QStringLiteral("PixelHeight")).toInt());
    if (isQuarterTurn(orientation))
        box.transpose();
    if (size.width() > 0 && size.height() > 0)
        box = size.toSize().expandedTo(QSize(1, 1));
    return scaleImage(ImageDecoder::uprightImage(imageUrl, box, orientation), size);
}

QImage Utils::RotateWithEXIF(const QImage& image, int orientation)
{
    return ExifOrientation::upright(image, orientation);
}

QImage Utils::getImageWithFixedOrientionFromUrl(const QString& path) const
{
    const ExifInfo info(path);
    const QSizeF size = getImageOriginalSizeAtFilePathUrl(path);
    const QImage image = getImageFromFile(path, float(size.width()), float(size.height()));
    if (info.colorModel.toString() == QLatin1String("Gray"))
        return convertGraycolorModelToRgb(image);
    return image;
}

QImage Utils::convertGraycolorModelToRgb(const QImage& image) const
{
    if (image.isNull())
        return image;
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

QImage Utils::getTransparentImageFromImage(const QImage& image, float factor) const
{
    if (image.width() <= 0 || image.height() <= 0)
        return image;
    QImage result(image.size(), QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setOpacity(double(factor));
    painter.drawImage(0, 0, image);
    painter.end();
    return result;
}
