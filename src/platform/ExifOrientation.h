#pragma once

#include <QImage>

// The Exif orientation values 1 to 8: how the camera stored the picture relative
// to how it is shown. The image services and the decoders below them share these
// two answers, so that a photo is turned the same way everywhere.
namespace ExifOrientation {

// Orientations 5 to 8 turn the picture a quarter: its width and height change places.
constexpr bool isQuarterTurn(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

// The image turned upright from orientation 1 to 8; any other value gives it back.
QImage upright(const QImage& image, int orientation);

} // namespace ExifOrientation
