#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// Decodes a photo at a reduced size, never at full size when a smaller one is asked:
// exiv2's smallest embedded preview that is big enough and has the photo's shape,
// else a scaled decode through QImageReader (JPEG decodes at 1/2, 1/4 or 1/8 in
// libjpeg), else libheif for HEIC. The result is upright: the Exif orientation is
// applied exactly once (libheif applies the HEIF transforms itself).
class ImageDecoder {
public:
    // box is the wanted size as the photo is shown; the answer fits inside it with
    // its aspect kept (it may be smaller when the photo is). Null when nothing decodes.
    static QImage uprightImage(const QString& path, QSize box, int orientation);
};
