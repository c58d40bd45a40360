#pragma once

#include "model/MetadataFields.h"

#include <array>
#include <optional>
#include <string_view>

// Which file tag each of the 80 record fields reads and writes, in what form, and
// how the date, "Leave Blank" and comma rules treat it. The reader and the writer
// both walk this one table, so a key can never be read from one tag and written
// to another.
//
// Every text reaches the file as UTF-8: Exif Ascii tags as UTF-8 bytes, IPTC with
// the UTF-8 coded character set, XMP as it always is, and the user comment with
// the "Unicode" charset when it is not plain ASCII. No field is stored in an 8-bit
// character set that loses characters, so the table needs no encoding column.

enum class TagFamily : unsigned char { None, Exif, Iptc, Xmp };

// Whether the reader fills the field and whether the writer sets and erases its
// tag. A few fields only come from the file (pixel sizes, resolutions, the XMP
// keyword and coordinates); a few have no tag at all and only travel with the
// record (form, presets, archive).
enum class TagAccess : unsigned char { None, ReadOnly, ReadWrite };

// How the reader turns the datum into the field's text.
enum class ReadRule : unsigned char {
    None,
    // The datum's value by its type: texts as they stand, integers in decimal,
    // rationals as the "%f" text of their first component.
    Value,
    // The Exif user comment, without its charset header.
    UserComment,
    // Exif degrees, minutes, seconds as unsigned decimal degrees ("%f"); the
    // hemisphere stays in the reference field.
    GpsCoordinate,
    // Every IPTC keyword dataset, distinct, joined with ",".
    IptcKeywords,
    // The last item of an XMP array.
    XmpLastItem,
    // An XMP coordinate "DDD,MM.mmk" or "DDD,MM,SSk" as signed decimal degrees; a
    // plain decimal stays as it is.
    XmpCoordinate,
};

// How the writer stores the field's text in its tag.
enum class WriteForm : unsigned char {
    None,
    // The text assigned as a string; the library parses it by the tag's type (an
    // Ascii tag keeps the bytes, a numeric tag parses the digits).
    Text,
    // An unsigned rational read from a decimal text ("2.8" as 14/5) or a fraction
    // ("1/250"); a text that is no such number leaves the tag as it was.
    Rational,
    // The Exif user comment: a comment value with its charset.
    Comment,
    // The field's keywords, joined with ",", one dataset each in place of every
    // keywords dataset the file had.
    Keywords,
    // The Exif key as three unsigned rationals (degrees, minutes, seconds) of the
    // magnitude; the XMP key as the decimal text with one "-" in front when the
    // text is negative or the reference field, upper-cased, is the negative
    // hemisphere.
    GpsCoordinate,
};

// The date a date tag holds. Such a tag never takes a text that is not one.
enum class DateForm : unsigned char {
    None,
    // Exif's "yyyy:MM:dd HH:mm:ss".
    ExifDateTime,
    // XMP's ISO 8601 at any precision (base/IsoDate.h), or Exif's form, which is
    // written as ISO 8601.
    XmpDate,
    // The IPTC date: "yyyy-MM-dd", as the reader gives it and the form stores it,
    // or IPTC's own "yyyyMMdd".
    IptcDate,
    // The GPS date stamp: "yyyy:MM:dd".
    ExifDate,
};

struct FieldTagInfo {
    MetadataField field;
    TagAccess access = TagAccess::None;
    // The key read from and written to ("Exif.Image.Artist"), nullptr without a tag.
    const char* key = nullptr;
    ReadRule readRule = ReadRule::None;
    WriteForm writeForm = WriteForm::None;
    // A second key the writer sets and erases together with the first one.
    const char* xmpKey = nullptr;
    // The reference field that signs the XMP copy of a GPS coordinate, and the
    // hemisphere letter that makes it negative.
    std::optional<MetadataField> referenceField {};
    char negativeReference = 0;
    // A decimal comma in the field becomes a point before anything is written.
    bool commaToPoint = false;
    // The date setting whose answer finally stands in the tag.
    std::optional<DateSetting> dateSetting {};
    DateForm dateForm = DateForm::None;
    // The drop-down choice "Leave Blank" erases the tag.
    bool leaveBlankErases = false;
    // For raw files the writer only sets the tag when it equals the file's own
    // value, and never erases it in the "clear others" mode.
    bool keptForRawFiles = false;

    constexpr bool isRead() const { return access != TagAccess::None; }
    constexpr bool isWritten() const { return access == TagAccess::ReadWrite; }
};

// The family of a key text: "Exif.", "Iptc." or "Xmp." in front.
constexpr TagFamily tagFamily(const char* key)
{
    if (key == nullptr)
        return TagFamily::None;
    const std::string_view text(key);
    if (text.starts_with("Exif."))
        return TagFamily::Exif;
    if (text.starts_with("Iptc."))
        return TagFamily::Iptc;
    if (text.starts_with("Xmp."))
        return TagFamily::Xmp;
    return TagFamily::None;
}

// One row per field, in the order of kMetadataFields.
const std::array<FieldTagInfo, kMetadataFieldCount>& fieldTagTable();

inline const FieldTagInfo& fieldTagInfo(MetadataField field)
{
    return fieldTagTable()[fieldIndex(field)];
}

// The row whose key is exactly this text, if any.
const FieldTagInfo* fieldTagInfoForKey(std::string_view key);

// The camera make and model of a file with one of these extensions (upper case)
// are only ever written back unchanged.
inline constexpr std::array<std::string_view, 11> kRawCameraExtensions
    = { "NEF", "PEF", "SR2", "PPM", "NRW", "ORF", "DCR", "ARW", "SRF", "RAW", "CR3" };
