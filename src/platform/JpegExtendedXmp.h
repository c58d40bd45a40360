#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <optional>

// The part of a JPEG's XMP that does not fit in the segment of its main packet:
// APP1 segments that start with "http://ns.adobe.com/xmp/extension/\0", then the
// 32-character GUID of the whole extension (the MD5 digest of it, in hexadecimal
// digits), its full length and the offset of this piece in it, then the piece.
// The main packet names the GUID of the extension that belongs to it in its
// property xmpNote:HasExtendedXMP; readers ignore, with a warning, an extension
// that the packet does not name. exiv2 neither reads nor writes these segments:
// it copies them as they are, whatever it does to the main packet.
namespace JpegExtendedXmp {

// One extension segment, from its first byte (fill bytes before its marker
// included) to its end.
struct Segment {
    qsizetype offset = 0;
    qsizetype size = 0;
    QByteArrayView guid;

    friend bool operator==(const Segment&, const Segment&) = default;
};

// The extension segments before the image data, in file order; nothing when the
// file is no JPEG or its segments cannot be walked up to the image data.
std::optional<QList<Segment>> segmentsOf(QByteArrayView jpeg);

// The bytes of the extension segments that name guid, or of every one when guid is
// nothing, each whole, in file order; nothing when the segments cannot be walked.
std::optional<QList<QByteArrayView>> bytesOf(QByteArrayView jpeg, std::optional<QByteArrayView> guid = std::nullopt);

// The JPEG without the extension segments that do not name guid (without every
// one when guid is empty); nothing when every segment stays.
std::optional<QByteArray> keepingOnly(QByteArrayView jpeg, QByteArrayView guid);

} // namespace JpegExtendedXmp
