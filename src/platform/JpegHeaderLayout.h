#pragma once

#include <QByteArrayView>
#include <optional>

// Where a JPEG file's header segments end and its image data begins: the first
// start-of-scan marker, found by walking the segments from the start of the file
// as exiv2 walks them when it reads or writes metadata (a marker, its two-byte
// length, the next marker right after the segment). Everything exiv2 reads or
// rewrites lies before that marker; from it on, exiv2 copies the file unread.
//
// The walk accepts only the plain layout on which it and exiv2 cannot disagree:
// markers that follow each other directly (fill bytes 0xFF allowed), each with a
// length of at least 2. A marker without a length (a restart marker, TEM, a second
// start of image), an end of image before the scan, stray bytes between segments
// or a length that runs past the file make it answer Unsuitable: such a file keeps
// the path on which exiv2 reads it whole.
struct JpegHeaderLayout {
    enum class Status {
        Found, // the start of scan and its header lie in the bytes
        NeedMore, // so far so good, but the bytes end before the header does
        Unsuitable, // not a JPEG, or a layout the walk does not accept
    };

    // One segment of the header as the step below reads it.
    struct Segment {
        qsizetype start = 0; // its first byte, fill bytes before the marker included
        qsizetype marker = 0; // the 0xFF directly before its code
        unsigned char code = 0;
        qsizetype end = 0; // right after it; may lie past the bytes
    };
    enum class Step {
        Read, // segment is set
        Cut, // the bytes end before the marker, its code and two bytes more
        Broken, // no marker where one belongs, or a length below 2
    };

    // The offset of the 0xFF byte directly before the start-of-scan code (fill
    // bytes before it belong to the header).
    qsizetype scanStart = 0;
    // The offset right after the start-of-scan segment (marker, length, fields).
    qsizetype headerEnd = 0;

    // Walks the first bytes of a file; layout is set when the answer is Found.
    static Status find(QByteArrayView bytes, JpegHeaderLayout& layout);

    static bool startsAnImage(QByteArrayView bytes);
    // Reads the segment whose marker (or fill bytes) should stand at position. TEM
    // and the restart markers are read as two bytes without a length; every other
    // code is read with one, so each walker decides itself which codes it accepts.
    static Step readSegment(QByteArrayView bytes, qsizetype position, Segment& segment);
};
