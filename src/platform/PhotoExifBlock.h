#pragma once

#include <QByteArrayView>

// Where a photo keeps its Exif block, as a writer must know it so as never to
// replace a block it could not read whole: a JPEG's first Exif segment, a TIFF
// file itself, a PNG's eXIf chunk, a WebP's EXIF chunk, a HEIF file's Exif item.
struct PhotoExifBlock {
    enum State {
        None, // the photo declares no Exif block
        Found, // tiff holds its TIFF block
        Damaged, // declared, but its bytes cannot be placed (they run past the end)
        Elsewhere, // a HEIF item laid out as only the library may read it
    };
    State state = None;
    QByteArrayView tiff;

    static PhotoExifBlock of(QByteArrayView photo);
};
