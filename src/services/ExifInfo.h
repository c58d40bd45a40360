#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <cstdint>

// A summary of a photo's image-property dictionary: pixel size, orientation, colour
// model, resolution, capture date, exposure values, camera, GPS and keywords. A plain
// value made and read by one thread. Fields marked "raw" hold the dictionary's value
// unchanged (a number, a text or a list) and are invalid when the key is absent.
class ExifInfo {
public:
    ExifInfo() = default;
    // The summary of the file's first image; a file without properties gives a summary
    // with every field at its initial value.
    explicit ExifInfo(const QString& path);
    explicit ExifInfo(const QVariantMap& dict);

    static QVariantMap exifForFile(const QString& path);
    // Fills the fields that the dictionary has; an empty dictionary changes nothing.
    void resetAllWithDict(const QVariantMap& dict);
    // "yyyy:MM:dd HH:mm:ss" as a wall-clock time (UTC); invalid for any other text.
    static QDateTime getDateFromString(const QString& text);
    void commmonInit();

    QString fileName;
    QString fileType;
    QString fileLabel;
    QString folderName;
    QVariant rating; // raw
    QString keywords;
    QString imageSize; // "4000 x 3000", width first whatever the orientation
    QString imageDPI;
    int orientation = 0;
    QVariant editingSoftware; // raw
    QString exposure;
    QString folcalLength;
    QString exposureBias;
    QString isoSpeedRating;
    QVariant exposureMode; // raw
    QVariant exposureProgram; // raw
    QVariant meteringMode; // raw
    QVariant lightSource; // raw
    QVariant sensingMethod; // raw
    QVariant sceneCaptureType; // raw
    QVariant cameraMaker; // raw
    QVariant cameraModel; // raw
    QVariant cameraLensModel; // raw
    QString cameraFirmware;
    QVariant colorModel; // raw
    QVariant colorSpace; // raw
    QVariant profileName; // raw
    QDateTime fileCreated;
    QDateTime fileModified;
    QDateTime captureDate;
    std::uint64_t fileSize = 0;
    QVariant digitalZoomRatio; // raw
    signed char flashFired = 0;
    double gpsAltitude = 0;
    double gpsLatitude = 0;
    double gpsLongitude = 0;
    int pixelWidth = 0;
    int pixelHeight = 0;
    double dpiWidth = 0;
    double dpiHeight = 0;
    QVariant gpsLatitudeRef; // raw
    QVariant gpsLongitudeRef; // raw
    float imgWidth = 0;
    float imgHeight = 0;
    QString imageSizeToDisplay; // turned for orientations 5 to 8
    QVariant userComment; // raw
};
