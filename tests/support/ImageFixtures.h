#pragma once

#include <QColor>
#include <QImage>
#include <QString>

// Small images written by the tests themselves.
namespace ImageFixtures {

// A picture whose four quadrants are red (top left), green (top right), blue
// (bottom left) and yellow (bottom right), so any turn or flip shows.
QImage quadrants(int width, int height);

// The colour of the quadrant around a point given in fractions of the size.
QColor colourNear(const QImage& image, double fx, double fy);

// Encodes a HEIC file through libheif; false when no HEVC encoder is available.
bool writeHeic(const QImage& image, const QString& path);

// Encodes a HEIC file of two images through libheif, each with its own XMP
// packet (an empty one adds none): the primary image, and a second, smaller one
// as a gain map would be. secondListedFirst puts the second image's packet first
// among the file's items. False when no HEVC encoder is available.
bool writeHeicWithSecondImage(
    const QString& path, const QByteArray& primaryXmp, const QByteArray& secondXmp, bool secondListedFirst = false);

// An XMP packet holding one simple property ("xmp:Rating" with its namespace's URI).
QByteArray xmpPacket(const QString& property, const QString& namespaceUri, const QString& value);

// Sets one Exif tag of an existing file through exiv2 (e.g. the orientation).
void setExifTag(const QString& path, const char* key, const char* value);

} // namespace ImageFixtures
