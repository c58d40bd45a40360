#pragma once

#include "services/MetadataVerification.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

// The changes an edit made to a photo, as exiftool arguments: the photo is edited
// by our field passes in exiv2's memory exactly as a JPEG is, and exiftool only
// applies what changed (the keys editedKeysBetween names) to a container exiv2
// cannot write. Exif goes tag by tag, group-qualified and as numbers where a print
// conversion would round ("-GPS:GPSLatitude#=48/1 51/1 2999/100"); the XMP packet
// and the IPTC data, each one block in the file, go whole when they changed, as
// exiv2 itself writes them.
struct ExifToolEdit {
    // The arguments before "-o" and the photo's path.
    QStringList arguments;
    // Why exiftool cannot make the change asked for; nothing is written then.
    std::optional<QString> refusal;
    // The XMP packet and the IPTC block, read by exiftool from the files that the
    // arguments' placeholders (kXmpFile, kIptcFile) stand for.
    std::string xmpPacket;
    QByteArray iptcBlock;
    bool writesXmp = false;
    bool writesIptc = false;
};

namespace ExifToolArguments {

// Placeholders in arguments for the files that carry the XMP packet and IPTC block.
inline constexpr const char* kXmpFile = "<xmp-file>";
inline constexpr const char* kIptcFile = "<iptc-file>";

// The arguments that apply the change from before to expected. holdsIptc: whether
// the container keeps IPTC data at all (a PNG does; HEIF, AVIF and CR3 do not).
// xmpAsPacket: the edit set the packet text itself (expected.xmpPacket goes as it is).
// Runs exiv2's encoders: call it where exiv2 may throw (Exiv2Adapter::run).
ExifToolEdit editArguments(const MetadataSnapshot& before, const MetadataSnapshot& expected,
    const EditedKeys& edited, bool holdsIptc, bool xmpAsPacket);

// exiftool's name for an exiv2 Exif key, group-qualified ("Exif.Photo.DateTimeDigitized"
// is "ExifIFD:CreateDate"); nothing for a key exiftool cannot write by itself.
std::optional<QString> exifToolTag(const std::string& exiv2Key);

// The definitions exiftool reads first ("-config"): the tags whose usual conversion
// passes through a decimal number take their rationals as given.
QByteArray configText();

// exiftool's reply in our words: its errors (nothing when there are none), and the
// warnings to log.
struct ReplyText {
    std::optional<QString> error;
    QStringList warnings;
};
ReplyText replyText(const QString& errors, const QString& path);

} // namespace ExifToolArguments
