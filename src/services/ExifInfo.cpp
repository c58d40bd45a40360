#include "services/ExifInfo.h"

#include "services/Utils.h"
#include "base/DatePattern.h"
#include "base/Numbers.h"
#include "platform/ImageProperties.h"

namespace {

// A list's elements, or a single value, as texts joined by ",".
QString joined(const QVariant& value)
{
    if (value.typeId() != QMetaType::QVariantList && value.typeId() != QMetaType::QStringList)
        return value.toString();
    QStringList parts;
    for (const QVariant& item : value.toList())
        parts.append(item.toString());
    return parts.join(QLatin1Char(','));
}

QString textOrNull(const QVariant& value)
{
    return value.isValid() ? value.toString() : QStringLiteral("(null)");
}

} // namespace

ExifInfo::ExifInfo(const QString& path)
{
    resetAllWithDict(exifForFile(path));
}

ExifInfo::ExifInfo(const QVariantMap& dict)
{
    resetAllWithDict(dict);
}

QVariantMap ExifInfo::exifForFile(const QString& path)
{
    return ImageProperties::propertiesForFile(path);
}

void ExifInfo::resetAllWithDict(const QVariantMap& dict)
{
    if (dict.isEmpty())
        return;
    const QVariant width = dict.value(QStringLiteral("PixelWidth"));
    const QVariant height = dict.value(QStringLiteral("PixelHeight"));
    profileName = dict.value(QStringLiteral("ProfileName"));
    pixelWidth = width.toInt();
    pixelHeight = height.toInt();
    imageSize = textOrNull(width) + QStringLiteral(" x ") + textOrNull(height);
    colorModel = dict.value(QStringLiteral("ColorModel"));
    dpiHeight = 0.0;
    dpiWidth = 0.0;
    int shownWidth = int(width.toDouble());
    int shownHeight = int(height.toDouble());
    if (Utils::isQuarterTurn(dict.value(QStringLiteral("Orientation")).toInt()))
        std::swap(shownWidth, shownHeight);
    imageSizeToDisplay = QString::number(shownWidth) + QStringLiteral(" x ") + QString::number(shownHeight);
    if (dict.contains(QStringLiteral("DPIWidth")) && dict.contains(QStringLiteral("DPIHeight"))) {
        dpiWidth = dict.value(QStringLiteral("DPIWidth")).toDouble();
        dpiHeight = dict.value(QStringLiteral("DPIHeight")).toDouble();
        imageDPI = Numbers::format("%.1f x %.1f", dpiWidth, dpiHeight);
    }

    if (dict.contains(ImageProperties::kExif)) {
        const QVariantMap exif = dict.value(ImageProperties::kExif).toMap();
        captureDate = getDateFromString(exif.value(QStringLiteral("DateTimeOriginal")).toString());
        rating = exif.value(QStringLiteral("Rating"));
        const QVariant focal = exif.value(QStringLiteral("FocalLength"));
        folcalLength = focal.isValid() ? focal.toString() + QStringLiteral(" mm") : QString();
        const QVariant bias = exif.value(QStringLiteral("ExposureBiasValue"));
        exposureBias = bias.isValid() ? Numbers::format("%.2f EV", bias.toDouble()) : QString();
        if (exif.contains(QStringLiteral("ISOSpeedRatings")))
            isoSpeedRating = joined(exif.value(QStringLiteral("ISOSpeedRatings")));
        exposureMode = exif.value(QStringLiteral("ExposureMode"));
        exposureProgram = exif.value(QStringLiteral("ExposureProgram"));
        meteringMode = exif.value(QStringLiteral("MeteringMode"));
        lightSource = exif.value(QStringLiteral("LightSource"));
        sensingMethod = exif.value(QStringLiteral("SensingMethod"));
        sceneCaptureType = exif.value(QStringLiteral("SceneCaptureType"));
        digitalZoomRatio = exif.value(QStringLiteral("DigitalZoomRatio"));
        colorSpace = exif.value(QStringLiteral("ColorSpace"));
        flashFired = exif.value(QStringLiteral("Flash")).toLongLong() != 0 ? 1 : 0;
        userComment = exif.value(QStringLiteral("UserComment"));
    }
    if (dict.contains(ImageProperties::kTIFF)) {
        const QVariantMap tiff = dict.value(ImageProperties::kTIFF).toMap();
        cameraMaker = tiff.value(QStringLiteral("Make"));
        cameraModel = tiff.value(QStringLiteral("Model"));
        orientation = tiff.value(QStringLiteral("Orientation")).toInt();
        editingSoftware = tiff.value(QStringLiteral("Software"));
    }
    if (dict.contains(ImageProperties::kGPS)) {
        const QVariantMap gps = dict.value(ImageProperties::kGPS).toMap();
        gpsLatitude = gps.value(QStringLiteral("Latitude")).toDouble();
        gpsLongitude = gps.value(QStringLiteral("Longitude")).toDouble();
        gpsLatitudeRef = gps.value(QStringLiteral("LatitudeRef"));
        gpsLongitudeRef = gps.value(QStringLiteral("LongitudeRef"));
        gpsAltitude = gps.value(QStringLiteral("Altitude")).toDouble();
    }
    const QVariantMap iptc = dict.value(ImageProperties::kIPTC).toMap();
    if (iptc.contains(QStringLiteral("Keywords")))
        keywords = joined(iptc.value(QStringLiteral("Keywords")));
    if (dict.contains(ImageProperties::kExifAux))
        cameraLensModel = dict.value(ImageProperties::kExifAux).toMap().value(QStringLiteral("LensModel"));
}

QDateTime ExifInfo::getDateFromString(const QString& text)
{
    // Read as a wall-clock time so that a time in a daylight-saving gap still exists.
    // Only the Exif form itself: every field exactly as wide as its letters.
    static const DatePattern exifPattern(QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    const QString& form = exifPattern.pattern();
    if (text.size() != form.size())
        return {};
    for (const qsizetype separator : { 4, 7, 10, 13, 16 }) {
        if (text.at(separator) != form.at(separator))
            return {};
    }
    return exifPattern.read(text).value_or(QDateTime());
}

void ExifInfo::commmonInit()
{
    for (QString* text :
        { &imageSize, &imageDPI, &folcalLength, &exposureBias, &isoSpeedRating, &keywords, &imageSizeToDisplay })
        text->clear();
    const QVariant empty = QString();
    for (QVariant* raw : { &profileName, &colorModel, &rating, &exposureMode, &exposureProgram, &lightSource,
             &sensingMethod, &sceneCaptureType, &digitalZoomRatio, &colorSpace, &cameraMaker, &cameraModel,
             &editingSoftware, &gpsLatitudeRef, &gpsLongitudeRef, &cameraLensModel, &userComment })
        *raw = empty;
    captureDate = QDateTime();
    meteringMode = QVariant();
    pixelWidth = 0;
    pixelHeight = 0;
    dpiHeight = 0.0;
    dpiWidth = 0.0;
    flashFired = -1;
    orientation = -1;
}
