#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

// Where a JPEG file keeps its Exif block: the APP1 segment that starts with
// "Exif\0\0", from its marker to its end. Only the segments before the image
// data are looked at; a file that is no JPEG, or whose segments run past its
// end, has none.
struct JpegExifSegment {
    qsizetype offset = 0;
    qsizetype size = 0;

    static std::optional<JpegExifSegment> find(QByteArrayView jpeg);
    // The same when it is the file's only Exif segment; nothing also when there are more.
    static std::optional<JpegExifSegment> findSole(QByteArrayView jpeg);
    // The segment's TIFF block: what follows its marker, length and "Exif\0\0".
    static QByteArrayView tiffBlockOf(QByteArrayView jpeg, const JpegExifSegment& segment);
    // The JPEG with the segment's TIFF block replaced by block; nothing when the
    // block does not fit a segment.
    static std::optional<QByteArray> withTiffBlock(
        QByteArrayView jpeg, const JpegExifSegment& segment, QByteArrayView block);
    // A segment's TIFF block holds at most this many bytes.
    static constexpr qsizetype kMaxTiffBlock = 0xffff - 2 - 6;
    // The Exif block of a JPEG (its segment's TIFF block) or of a TIFF file (the
    // file); nothing for other files.
    static std::optional<QByteArrayView> exifBlockOf(QByteArrayView photo);

    // The JPEG edited with the Exif segment of original in place of its own, so
    // that an Exif block the edit did not touch stays byte for byte as it was;
    // nothing when either file has no Exif segment or they are already alike.
    static std::optional<QByteArray> withExifSegmentOf(QByteArrayView edited, QByteArrayView original);

    // The same for the APP13 segment that starts with "Photoshop 3.0\0" (the IPTC
    // data and Photoshop's other resources), so that IPTC data the edit did not
    // touch is not encoded anew; nothing also when the original holds more than
    // one such segment.
    static std::optional<QByteArray> withPhotoshopSegmentOf(QByteArrayView edited, QByteArrayView original);
};
