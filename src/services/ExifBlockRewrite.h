#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <exiv2/exiv2.hpp>
#include <functional>
#include <optional>
#include <set>
#include <string>

// The photo exiv2 wrote, with its Exif block replaced by the original block edited
// where it lies (TiffBlockPatcher): the entries of the edited keys take the values
// the edit left in the image (wanted), every other byte stays where it was, so
// that every maker note keeps its layout. In a JPEG the Exif segment is replaced;
// a TIFF file is its Exif block, and the XMP, IPTC and Photoshop entries that
// exiv2 wrote into its first directory are taken over from exiv2's file where the
// edit changed those containers (exiv2 encodes them anew whatever changed).
//
// Nothing where exiv2's own layout stands: the original has no Exif block to
// keep, exiv2 wrote none, an edited key lies outside the directories the Exif
// standard defines, the block cannot be read, or the edited block would not fit a
// JPEG segment. The verification then judges exiv2's layout.
//
// In a TIFF file the XMP packet and the IPTC data can be the photo's own as well:
// xmpPacket, when not empty, is written in place of exiv2's packet (exiv2's TIFF
// writer makes its own from the XMP data whatever packet it is given), and
// iptcBlock, when set, makes the IPTC data from the original's block (tag 33723,
// else the IPTC resource of the Photoshop data) in place of exiv2's encoding; the
// Photoshop data's IPTC resource takes the same block, and its digest is made
// current where it was.
struct EmbeddedEdits {
    bool iptc = false;
    bool xmp = false;
    std::string xmpPacket;
    std::function<QByteArray(QByteArrayView originalBlock)> iptcBlock;
};
std::optional<QByteArray> withExifBlockEditedInPlace(QByteArrayView written, QByteArrayView original,
    const Exiv2::ExifData& wanted, const std::set<std::string>& editedKeys, const EmbeddedEdits& embedded);

// The TIFF block of a JPEG's Exif segment edited where it lies, as above, known
// before exiv2 writes the file; nothing where that edit cannot be made.
std::optional<QByteArray> jpegExifBlockEditedInPlace(
    QByteArrayView original, const Exiv2::ExifData& wanted, const std::set<std::string>& editedKeys);

// A TIFF block alone (a HEIF file's Exif item) edited where it lies, as a JPEG's
// is above; nothing where that edit cannot be made.
std::optional<QByteArray> tiffBlockEditedInPlace(
    QByteArrayView block, const Exiv2::ExifData& wanted, const std::set<std::string>& editedKeys);

// Tests turn the edit in place off to see how exiv2's own layout is judged.
void setExifBlockEditingEnabledForTesting(bool on);
