#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <exiv2/exiv2.hpp>
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
struct EmbeddedEdits {
    bool iptc = false;
    bool xmp = false;
};
std::optional<QByteArray> withExifBlockEditedInPlace(QByteArrayView written, QByteArrayView original,
    const Exiv2::ExifData& wanted, const std::set<std::string>& editedKeys, EmbeddedEdits embedded);

// Tests turn the edit in place off to see how exiv2's own layout is judged.
void setExifBlockEditingEnabledForTesting(bool on);
