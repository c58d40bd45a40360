#pragma once

#include <QSizeF>
#include <QString>

// The size in points of EPS and PICT files, which no bitmap decoder measures: the
// "%%BoundingBox" comment of an EPS file (also inside a DOS EPS binary header, and
// at the end of the file for "(atend)") and the picture frame of a PICT file.
// An unreadable file answers an empty size.
class VectorImageSize {
public:
    static QSizeF epsBoundingBoxSize(const QString& path);
    static QSizeF pictFrameSize(const QString& path);
    // By the extension as written: "eps"/"EPS", "pict"/"PICT"/"pct"/"PCT"; any other
    // spelling (such as "Eps") answers an empty size.
    static QSizeF sizeForExtension(const QString& path);
};
