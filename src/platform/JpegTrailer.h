#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <vector>

// Metadata that other programs append to a JPEG after its image, which exiv2
// neither reads nor writes: it copies the file from the start of scan on unread,
// so such a trailer comes through every write as it was. Trailers are found from
// the file's end backwards, each by its footer, one before the other, as exiftool
// finds them:
//
// - AFCP: a header ("AXS!" big-endian, "AXS*" little-endian, a 2-byte version,
//   a 2-byte entry count and 4 bytes more), a directory of 12-byte entries (a
//   4-character tag, the size and the absolute file offset of its value), the
//   values, and a 12-byte footer (the header's 4 characters, the absolute offset
//   of the header, 4 bytes more). Its offsets count from the file's start, so a
//   header that grows or shrinks leaves them pointing beside their values unless
//   they are moved with them. The entry "IPTC" holds IPTC data.
// - FotoStation: records, each its data and a 10-byte footer (a 2-byte tag, the
//   record's size with the footer, 0xA1B2C3D4), big-endian. Record 1 holds IPTC
//   data.
// - PhotoMechanic: its data, then its size (4 bytes, big-endian) and "cbipcbbl";
//   it holds no IPTC dataset and is only passed over.
//
// A MIE trailer (groups of elements, the last one giving the group's size) is
// known by its end only: it is never rewritten.
namespace JpegTrailer {

// One value of a trailer: an AFCP entry or a FotoStation record.
struct Entry {
    QByteArray tag; // "IPTC"; a FotoStation record's tag as its two bytes
    QByteArrayView value;
    bool holdsIptc = false;
};

struct Trailer {
    enum Kind { Afcp, FotoStation, PhotoMechanic } kind = Afcp;
    qsizetype start = 0;
    qsizetype end = 0;
    // AFCP: where its own footer says its header lies; where it lies when they differ
    // (the bytes before it changed length since it was written).
    qsizetype statedStart = 0;
    std::vector<Entry> entries;
};

// The trailers at the end of the file, in file order; empty when it ends with none
// that can be read whole. Only bytes after imageStart (the start of scan) are taken
// for one: a trailer never lies in the header.
std::vector<Trailer> trailersOf(QByteArrayView file, qsizetype imageStart);

// Where the trailers begin: the end of the JPEG image itself.
qsizetype startOf(const std::vector<Trailer>& trailers, QByteArrayView file);

// Whether the file's last bytes (up to 64) end with the footer of a trailer above
// or of a MIE trailer.
bool endsWithOne(QByteArrayView lastBytes);

// The written file with its trailers made right, when it ends with the original's
// trailers copied unchanged after its image data (as exiv2 copies them): an AFCP
// trailer's offsets moved by the shift of its new place, and, with dropIptc, the IPTC
// entries and records gone (a trailer left empty goes whole). Nothing when nothing is
// to change, or written does not end with the original's trailers.
std::optional<QByteArray> carriedOver(QByteArrayView written, QByteArrayView original, bool dropIptc);

// Whether the written file's trailers are the original's, value for value and byte
// for byte, with the IPTC values gone when iptcDropped and kept otherwise, and every
// AFCP trailer's offsets pointing where its values lie. Nothing when they are, else
// the difference for the log.
std::optional<QString> difference(QByteArrayView original, QByteArrayView written, bool iptcDropped);

// A trailer from which a clear of IPTC cannot take the IPTC data that exiftool
// finds in it.
struct KeptIptc {
    QString trailer; // "AFCP", "FotoStation", "MIE"
    // Its directory cannot be read (the trailer is kept as it is); else trailers
    // of its kind are not rewritten here.
    bool unreadable = false;
};

// The trailer at the end of the file whose IPTC data stays after a clear: one
// known by its footer whose directory cannot be read, or a MIE trailer, where
// their bytes name IPTC data; with rewritten false (a file whose trailers are
// copied as they are), also one read whole that holds an IPTC value. Nothing when
// no such trailer ends the file.
std::optional<KeptIptc> iptcKeptIn(QByteArrayView file, qsizetype imageStart, bool rewritten);

} // namespace JpegTrailer
