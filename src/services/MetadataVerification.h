#pragma once

#include <QByteArrayView>
#include <QString>
#include <exiv2/exiv2.hpp>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// The keys whose values an edit changed, added or removed, by family.
struct EditedKeys {
    std::set<std::string> exif;
    std::set<std::string> iptc;
    std::set<std::string> xmp;
    // The whole Exif block goes, also what the reader could not read of it.
    bool exifBlockRemoved = false;
    // The IPTC data goes also where exiv2 does not read it: a JPEG's trailers.
    bool iptcInTrailers = false;
};

// A photo's metadata as exiv2 holds it at one moment: copies of its three
// containers and its raw XMP packet.
struct MetadataSnapshot {
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    Exiv2::XmpData xmp;
    std::string xmpPacket;

    static MetadataSnapshot of(Exiv2::Image& image);
};

// A snapshot's data as the verification compares them: every value of a key, in
// file order, as comparable text, by family. Made once per snapshot, as finding
// what an edit changed and checking what it wrote both compare them.
struct ComparableValues {
    using Values = std::map<std::string, std::vector<std::string>>;
    Values exif;
    Values iptc;
    Values xmp;

    static ComparableValues of(const MetadataSnapshot& snapshot);
};

// Whether the Exif key belongs to a maker note: the note as one block, its
// decoded entries, or exiv2's notes on where it lies.
bool isMakerNoteKey(const std::string& key);

// The GUID of the extended XMP that the XMP data names (xmpNote:HasExtendedXMP);
// empty when it names none.
QByteArray extendedXmpGuidOf(const Exiv2::XmpData& xmp);

// What changed between two snapshots, compared as the verification compares.
EditedKeys editedKeysBetween(const MetadataSnapshot& before, const MetadataSnapshot& after);
EditedKeys editedKeysBetween(const ComparableValues& before, const ComparableValues& after);

// Whether the photo's Exif block (PhotoExifBlock) cannot be read whole, read being
// what the reader found in it: its bytes cannot be placed, its directories or
// values run past its end, or the reader found nothing in directories that hold
// entries. A change to such a block cannot be seen to be made, nor a block made
// anew from what was read be trusted to hold the rest.
bool exifBlockUnread(const Exiv2::ExifData& read, QByteArrayView original);
// Why a photo with such a block is not written.
QString damagedExifRefusal();

// Reads the written bytes back and compares every Exif, IPTC and XMP datum, maker
// notes included, with what the photo held before the edit: a datum the edit did
// not target must be there with the same value, a targeted one must hold what the
// edit asked (expected). Values are compared as exiv2 reads them, so a mere
// re-encoding (an IPTC text converted to UTF-8, exiv2's own time form) is no
// difference; offsets that a new layout must change are not compared. An XMP
// packet that the edit did not touch must come back byte for byte.
//
// Given the original file's bytes, the image data must be theirs byte for byte
// (ImageDataLayout): a JPEG's scan data, a TIFF file's strips and tiles, a PNG's
// IDAT data, a base media file's items and media data. An original whose image
// data cannot be found is refused as well: nothing could vouch for it.
//
// Given the original file's bytes, a maker note the edit did not remove is also
// compared byte for byte in the Exif blocks of both files, with the values its
// entries point to (makerNoteDifference): exiv2 sees a maker note only as well as
// it decodes it. Where those bytes hold, a note that exiv2 no longer decodes (its
// make was cleared) is no difference.
//
// Given the original file's bytes, a JPEG's extended XMP segments (JpegExtendedXmp),
// which exiv2 does not read, are compared as bytes: all as they were while the
// main packet is, and where it was written anew or removed, those the written
// packet names and no others.
//
// Given the original file's bytes, a JPEG's trailers after its image (JpegTrailer)
// must hold what they held, byte for byte, moved with their offsets, without
// their IPTC data where the edit removes it everywhere.
//
// Given the original file's bytes, an Exif block the reader could not read whole
// (PhotoExifBlock, TiffBlock::readsWhole) must be in the written file byte for
// byte: the comparisons above know only what the reader found, and a block made
// anew from that would drop the rest unseen. Where the edit removed the block
// (EditedKeys::exifBlockRemoved), the written file must hold none.
//
// Answers nothing when the bytes are right, else the reason for the user, which
// ends in "so the photo was not changed."; the details go to the log.
std::optional<QString> verifyWrittenMetadata(const MetadataSnapshot& before, const MetadataSnapshot& expected,
    const EditedKeys& edited, const QString& path, QByteArrayView written, QByteArrayView original = {});
// The same with the comparable values of before and expected already made.
std::optional<QString> verifyWrittenMetadata(const MetadataSnapshot& before, const ComparableValues& beforeValues,
    const MetadataSnapshot& expected, const ComparableValues& expectedValues, const EditedKeys& edited,
    const QString& path, QByteArrayView written, QByteArrayView original = {});
