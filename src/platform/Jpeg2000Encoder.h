#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Encodes a picture as a JPEG 2000 file (the JP2 container) in memory through
// OpenJPEG, losslessly (the reversible wavelet): every pixel reads back as it was.
// A grey picture keeps one component, a picture with transparency four (RGB and
// alpha), any other three. The container's metadata boxes are left to exiv2.
class Jpeg2000Encoder {
public:
    // The encoded file, or an empty array with errorMessage set.
    static QByteArray encode(const QImage& image, QString* errorMessage);
};
