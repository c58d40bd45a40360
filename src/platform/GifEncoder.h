#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Encodes a picture as a GIF file in memory through giflib. A GIF holds at most 256
// colours: a picture with no more keeps every pixel exactly; one with more is reduced
// to 256 by giflib's median-cut quantiser. Pixels less than half opaque become the
// one transparent colour a GIF has. The format keeps a resolution-free, metadata-free
// picture: no Exif, IPTC, orientation or pixel density.
class GifEncoder {
public:
    // The encoded file, or an empty array with errorMessage set.
    static QByteArray encode(const QImage& image, QString* errorMessage);
};
