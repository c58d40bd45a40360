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

// Sets one Exif tag of an existing file through exiv2 (e.g. the orientation).
void setExifTag(const QString& path, const char* key, const char* value);

} // namespace ImageFixtures
