#include "services/ExifWriterEditing.h"
#include "services/FieldTagTable.h"
#include "services/MetadataVerification.h"
#include "base/Logging.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "platform/Exiv2Adapter.h"

#include <algorithm>
#include <array>
#include <exiv2/exiv2.hpp>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

using namespace Qt::Literals::StringLiterals;
using namespace ExifWriterEditing;

namespace {

// What the "Clean Metadata info" mode erases for each flag. The Exif clear takes
// the Exif tag of every field (so a field added to the tag table is cleared with
// the others), except make and model, which follow it unless the photo is a raw
// file, and besides them the entries that restate a field in other units or
// describe the image's resolution and colour.
constexpr std::array<const char*, 9> kClearExifExtraKeys = { "Exif.Photo.ApertureValue",
    "Exif.Photo.ShutterSpeedValue", "Exif.Photo.ExposureBiasValue", "Exif.Image.ResolutionUnit",
    "Exif.Image2.XResolution", "Exif.Image2.YResolution", "Exif.Image2.ResolutionUnit", "Exif.Photo.ColorSpace",
    "Exif.Photo.ComponentsConfiguration" };
constexpr std::array<const char*, 2> kCameraKeys = { "Exif.Image.Make", "Exif.Image.Model" };

constexpr std::array<std::string_view, 7> kRequiredExifKeys
    = { "Exif.Image.XResolution", "Exif.Image.YResolution", "Exif.Image.ResolutionUnit", "Exif.Photo.ColorSpace",
          "Exif.Photo.ComponentsConfiguration", "Exif.Photo.PixelXDimension", "Exif.Photo.PixelYDimension" };
// The GPS clear takes every tag that tells where the photo was taken or what it
// shows: the position, the altitude, the direction of view, the destination and
// the area's name. The time, the datum, the satellites and the version say
// nothing about the place and stay.
constexpr std::array<const char*, 18> kClearGpsKeyList
    = { "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLongitude", "Exif.GPSInfo.GPSLatitudeRef",
          "Exif.GPSInfo.GPSLongitudeRef", "Exif.GPSInfo.GPSAltitude", "Exif.GPSInfo.GPSAltitudeRef",
          "Exif.GPSInfo.GPSImgDirection", "Exif.GPSInfo.GPSImgDirectionRef", "Exif.GPSInfo.GPSDateStamp",
          "Exif.GPSInfo.GPSDestLatitude", "Exif.GPSInfo.GPSDestLatitudeRef", "Exif.GPSInfo.GPSDestLongitude",
          "Exif.GPSInfo.GPSDestLongitudeRef", "Exif.GPSInfo.GPSDestBearing", "Exif.GPSInfo.GPSDestBearingRef",
          "Exif.GPSInfo.GPSDestDistance", "Exif.GPSInfo.GPSDestDistanceRef", "Exif.GPSInfo.GPSAreaInformation" };
constexpr std::array<const char*, 2> kXmpGpsKeys = { "Xmp.exif.GPSLatitude", "Xmp.exif.GPSLongitude" };
// The XMP copies of the Exif GPS tags above; XMP coordinates carry their own
// hemisphere, so there are no reference tags for them.
constexpr std::array<const char*, 11> kClearXmpGpsKeyList = { "Xmp.exif.GPSAltitude", "Xmp.exif.GPSAltitudeRef",
    "Xmp.exif.GPSImgDirection", "Xmp.exif.GPSImgDirectionRef", "Xmp.exif.GPSDestLatitude", "Xmp.exif.GPSDestLongitude",
    "Xmp.exif.GPSDestBearing", "Xmp.exif.GPSDestBearingRef", "Xmp.exif.GPSDestDistance", "Xmp.exif.GPSDestDistanceRef",
    "Xmp.exif.GPSAreaInformation" };
// Names that hold a position in any XMP schema: the IPTC location structures and
// the schemas of drones and phones use them too.
constexpr std::array<std::string_view, 3> kXmpPositionNames = { "GPSLatitude", "GPSLongitude", "GPSAltitude" };

// ---- The clear mode (2) ----

template <std::size_t N> void eraseExifKeys(Exiv2::ExifData& exifData, const std::array<const char*, N>& keys)
{
    for (const char* key : keys)
        ExifWriter::deleteKeysValuesFormExifData(exifData, QString::fromLatin1(key));
}

void eraseXmpGpsKeys(Exiv2::XmpData& xmpData)
{
    for (const char* key : kXmpGpsKeys)
        ExifWriter::deleteKeysValuesFormXmpData(xmpData, QString::fromLatin1(key));
}

// Whether a step of an XMP property path ("Iptc4xmpExt:GPSLatitude",
// "LocationShown[2]") names a position, whatever its schema.
bool isPositionStep(std::string_view step)
{
    if (const auto bracket = step.find('['); bracket != std::string_view::npos)
        step = step.substr(0, bracket);
    if (const auto colon = step.rfind(':'); colon != std::string_view::npos)
        step = step.substr(colon + 1);
    return std::find(kXmpPositionNames.begin(), kXmpPositionNames.end(), step) != kXmpPositionNames.end();
}

// A property named as a position, or anything inside one.
bool isXmpPosition(const Exiv2::Xmpdatum& datum)
{
    const std::string path = datum.tagName();
    std::string_view rest(path);
    while (true) {
        const auto slash = rest.find('/');
        if (isPositionStep(rest.substr(0, slash)))
            return true;
        if (slash == std::string_view::npos)
            return false;
        rest.remove_prefix(slash + 1);
    }
}

// Whether a datum lies inside the property or array item at path.
bool isInside(const std::string& key, const std::string& path)
{
    return key.size() > path.size() && key.compare(0, path.size(), path) == 0
        && (key[path.size()] == '/' || key[path.size()] == '[');
}

bool holdsAnything(const Exiv2::XmpData& xmpData, const std::string& path)
{
    return std::any_of(xmpData.begin(), xmpData.end(),
        [&path](const Exiv2::Xmpdatum& datum) { return datum.size() != 0 && isInside(datum.key(), path); });
}

void eraseWithContents(Exiv2::XmpData& xmpData, const std::string& path)
{
    for (auto it = xmpData.begin(); it != xmpData.end();)
        it = it->key() == path || isInside(it->key(), path) ? xmpData.erase(it) : std::next(it);
}

// Takes every property named as a position, in any schema, and what holds
// nothing once they went: a structure left empty, and an array whose items all
// are. An emptied item of an array that keeps others stays, empty, so that the
// items keep their numbers.
void eraseXmpPositions(Exiv2::XmpData& xmpData)
{
    for (const char* key : kXmpGpsKeys)
        ExifWriter::deleteKeysValuesFormXmpData(xmpData, QString::fromLatin1(key));
    for (const char* key : kClearXmpGpsKeyList)
        ExifWriter::deleteKeysValuesFormXmpData(xmpData, QString::fromLatin1(key));
    std::set<std::string> parents;
    for (auto it = xmpData.begin(); it != xmpData.end();) {
        if (!isXmpPosition(*it)) {
            ++it;
            continue;
        }
        const std::string key = it->key();
        qCDebug(lcMetadata).noquote() << "deleted key =" << QString::fromStdString(key);
        for (auto slash = key.find('/'); slash != std::string::npos; slash = key.find('/', slash + 1))
            parents.insert(key.substr(0, slash));
        it = xmpData.erase(it);
    }
    // Innermost first: a path sorts after the paths that hold it.
    for (auto parent = parents.rbegin(); parent != parents.rend(); ++parent) {
        std::string path = *parent;
        // "LocationShown[2]" is an item of the array "LocationShown".
        if (path.back() == ']')
            path.resize(path.rfind('['));
        if (!holdsAnything(xmpData, path))
            eraseWithContents(xmpData, path);
    }
}

// The maker note goes with the rest of the camera's Exif data: its decoded
// entries, its block and exiv2's notes on where it lay. A raw file keeps it as it
// keeps its make and model: raw converters read it.
void eraseMakerNote(Exiv2::ExifData& exifData)
{
    for (auto it = exifData.begin(); it != exifData.end();)
        it = isMakerNoteKey(it->key()) ? exifData.erase(it) : std::next(it);
}

} // namespace

namespace ExifWriterEditing {

const std::vector<std::string>& clearedExifKeys()
{
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> list;
        for (const FieldTagInfo& row : fieldTagTable()) {
            if (row.key != nullptr && tagFamily(row.key) == TagFamily::Exif
                && std::find_if(kCameraKeys.begin(), kCameraKeys.end(),
                       [&row](const char* camera) { return std::string_view(camera) == row.key; })
                    == kCameraKeys.end()
                && std::find(list.begin(), list.end(), row.key) == list.end())
                list.emplace_back(row.key);
        }
        list.insert(list.end(), kClearExifExtraKeys.begin(), kClearExifExtraKeys.end());
        return list;
    }();
    return keys;
}

// Removes what the clear flags name and answers the run status. setsFileDates
// tells whether the run still sets the file dates: not when a whole group went.
int clearMetadata(Exiv2::Image& image, const PhotoFile& photo, const MetaDataObject& settings, bool& setsFileDates)
{
    if (settings.clearComment)
        ExifWriter::deleteKeysValuesFormExifData(image.exifData(), u"Exif.Photo.UserComment"_s);
    if (settings.clearGpsInfo) {
        eraseExifKeys(image.exifData(), kClearGpsKeyList);
        eraseXmpPositions(image.xmpData());
    }
    setsFileDates = !settings.clearExif && !settings.clearIPTC && !settings.clearXMP;
    int status = MetadataWriteResult::Processed;
    if (settings.clearExif) {
        // The entries the Exif standard requires in a directory describe the
        // image, not the photographer; without them the photo is no longer valid
        // Exif, so they stay.
        for (const std::string& key : clearedExifKeys()) {
            if (std::find(kRequiredExifKeys.begin(), kRequiredExifKeys.end(), key) == kRequiredExifKeys.end())
                ExifWriter::deleteKeysValuesFormExifData(image.exifData(), QString::fromStdString(key));
        }
        eraseXmpGpsKeys(image.xmpData());
        if (hasRawExtension(photo)) {
            status = MetadataWriteResult::RawCameraKept;
        } else {
            eraseExifKeys(image.exifData(), kCameraKeys);
            eraseMakerNote(image.exifData());
        }
    }
    if (settings.clearIPTC)
        image.clearIptcData();
    if (settings.clearXMP) {
        image.clearXmpData();
        // Also a packet that exiv2 could not parse goes.
        image.clearXmpPacket();
    }
    return status;
}

} // namespace ExifWriterEditing

namespace {

// ---- Entries a new directory needs ----

bool hasExifGroup(const Exiv2::ExifData& data, const char* group)
{
    return std::any_of(data.begin(), data.end(), [group](const Exiv2::Exifdatum& datum) {
        return datum.groupName() == group && datum.key() != "Exif.Image.ExifTag" && datum.key() != "Exif.Image.GPSTag";
    });
}

void addIfMissing(Exiv2::ExifData& exifData, const char* keyText, Exiv2::TypeId type, const std::string& text)
{
    const Exiv2::ExifKey key(keyText);
    if (exifData.findKey(key) != exifData.end())
        return;
    std::unique_ptr<Exiv2::Value> value(Exiv2::Value::create(type).release());
    if (value->read(text) == 0)
        exifData.add(key, value.get());
}

} // namespace

namespace ExifWriterEditing {

// A directory that the edit creates gets the entries the Exif standard requires
// in it, with their standard defaults (the GPS directory its version and, in a
// TIFF, "MANUAL" as its processing method), so that the photo stays valid. A JPEG's
// main directory and Exif directory need more than a TIFF's, whose main
// directory describes the image itself.
void addRequiredEntries(Exiv2::Image& image, const Exiv2::ExifData& before)
{
    Exiv2::ExifData& exifData = image.exifData();
    if (exifData.empty())
        return;
    const bool jpeg = image.mimeType() == "image/jpeg";
    if (jpeg && !hasExifGroup(before, "Image")) {
        addIfMissing(exifData, "Exif.Image.XResolution", Exiv2::unsignedRational, "72/1");
        addIfMissing(exifData, "Exif.Image.YResolution", Exiv2::unsignedRational, "72/1");
        addIfMissing(exifData, "Exif.Image.ResolutionUnit", Exiv2::unsignedShort, "2");
        addIfMissing(exifData, "Exif.Image.YCbCrPositioning", Exiv2::unsignedShort, "1");
    }
    if (!hasExifGroup(before, "GPSInfo") && hasExifGroup(exifData, "GPSInfo")) {
        addIfMissing(exifData, "Exif.GPSInfo.GPSVersionID", Exiv2::unsignedByte, "2 3 0 0");
        // A TIFF's GPS directory also names how the position was found: the user
        // typed or picked it.
        if (!jpeg)
            addIfMissing(exifData, "Exif.GPSInfo.GPSProcessingMethod", Exiv2::undefined,
                "65 83 67 73 73 0 0 0 77 65 78 85 65 76");
    }
    if (!hasExifGroup(before, "Photo") && hasExifGroup(exifData, "Photo")) {
        addIfMissing(exifData, "Exif.Photo.ExifVersion", Exiv2::undefined, "48 50 51 50");
        addIfMissing(exifData, "Exif.Photo.FlashpixVersion", Exiv2::undefined, "48 49 48 48");
        addIfMissing(exifData, "Exif.Photo.ColorSpace", Exiv2::unsignedShort, "1");
        if (jpeg) {
            addIfMissing(exifData, "Exif.Photo.ComponentsConfiguration", Exiv2::undefined, "1 2 3 0");
            if (image.pixelWidth() > 0 && image.pixelHeight() > 0) {
                addIfMissing(
                    exifData, "Exif.Photo.PixelXDimension", Exiv2::unsignedLong, std::to_string(image.pixelWidth()));
                addIfMissing(
                    exifData, "Exif.Photo.PixelYDimension", Exiv2::unsignedLong, std::to_string(image.pixelHeight()));
            }
        }
    }
}

} // namespace ExifWriterEditing
