#include "services/MetadataVerification.h"

#include "base/Logging.h"
#include "platform/BmffLayout.h"
#include "platform/Exiv2Adapter.h"
#include "platform/FLTImageMetadata.h"
#include "platform/ImageDataLayout.h"
#include "platform/JpegExifSegment.h"
#include "platform/JpegExtendedXmp.h"
#include "platform/JpegTrailer.h"
#include "platform/MakerNoteLayout.h"
#include "platform/PhotoExifBlock.h"
#include "platform/TiffBlock.h"

#include <QStringList>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

using Values = ComparableValues::Values;

// Pointers and layout: a new layout changes them without changing any datum.
// The image-structure tags of IFD0 that the Exif standard leaves out of
// compressed images are dropped by exiv2 from a JPEG's Exif block; they describe
// nothing a JPEG uses.
const std::set<std::string> kLayoutKeys
    = { "Exif.Image.ExifTag", "Exif.Image.GPSTag", "Exif.Photo.InteroperabilityTag", "Exif.Image.JPEGInterchangeFormat",
          "Exif.Image.JPEGInterchangeFormatLength", "Exif.Thumbnail.JPEGInterchangeFormat", "Exif.Image.StripOffsets",
          "Exif.Image.TileOffsets", "Exif.Thumbnail.StripOffsets", "Exif.Image.XMLPacket", "Exif.Image.IPTCNAA",
          "Exif.Image.ImageResources", "Exif.MakerNote.Offset", "Exif.Image.PhotometricInterpretation",
          "Exif.Image.RowsPerStrip", "Exif.Image.StripByteCounts", "Exif.Image.SubIFDs" };
constexpr const char* kMakerNoteKey = "Exif.Photo.MakerNote";

bool endsWith(const std::string& text, const char* suffix)
{
    const std::string end(suffix);
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A maker-note datum that holds the offset of data inside the maker note as a
// plain number: exiv2 copies the number, so it only stays right while the maker
// note keeps its layout.
bool isMakerNotePointer(const Exiv2::Exifdatum& datum)
{
    const std::string key = datum.key();
    if (datum.typeId() != Exiv2::unsignedLong || datum.count() != 1 || !isMakerNoteKey(key)
        || key.rfind("Exif.MakerNote.", 0) == 0)
        return false;
    const std::string name = datum.tagName();
    return endsWith(name, "IFD") || endsWith(name, "Offset") || endsWith(name, "Start") || name == "Preview";
}

std::string bytesOf(const Exiv2::Exifdatum& datum)
{
    std::string bytes(datum.size(), '\0');
    if (!bytes.empty())
        datum.copy(reinterpret_cast<Exiv2::byte*>(bytes.data()), Exiv2::littleEndian);
    return bytes;
}

// An entry numbered 0 that holds only zeros fills space in some maker notes;
// exiv2 leaves it out when it writes the maker note, and nothing is lost.
bool isMakerNotePadding(const Exiv2::Exifdatum& datum)
{
    if (datum.tag() != 0 || !isMakerNoteKey(datum.key()))
        return false;
    const std::string bytes = bytesOf(datum);
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == 0; });
}

std::string exifText(const Exiv2::Exifdatum& datum)
{
    switch (datum.typeId()) {
    case Exiv2::undefined:
    case Exiv2::unsignedByte:
    case Exiv2::signedByte:
        return bytesOf(datum);
    case Exiv2::asciiString: {
        // A count with or without the closing NUL is the same text.
        std::string text = datum.toString();
        while (!text.empty() && text.back() == '\0')
            text.pop_back();
        return text;
    }
    default:
        return datum.toString();
    }
}

// The entries that point at another directory. One of them stored in another form
// (an ASCII text of 154 bytes in place of one offset) points at nothing a writer
// can follow: whatever it holds is read only as its value, so it must be kept as
// such, like any datum, and is no pointer to leave out.
const std::set<std::string> kDirectoryPointerKeys
    = { "Exif.Image.ExifTag", "Exif.Image.GPSTag", "Exif.Photo.InteroperabilityTag" };

bool isReadablePointer(const Exiv2::Exifdatum& datum)
{
    return datum.count() == 1
        && (datum.typeId() == Exiv2::unsignedLong || datum.typeId() == Exiv2::tiffIfd);
}

bool isLayout(const std::string& key, const Exiv2::Exifdatum& datum)
{
    if (kLayoutKeys.count(key) == 0)
        return false;
    return kDirectoryPointerKeys.count(key) == 0 || isReadablePointer(datum);
}

Values exifValues(const Exiv2::ExifData& data)
{
    Values values;
    for (const Exiv2::Exifdatum& datum : data) {
        const std::string key = datum.key();
        if (isLayout(key, datum) || isMakerNotePadding(datum))
            continue;
        values[key].push_back(exifText(datum));
    }
    return values;
}

Values iptcValues(const Exiv2::IptcData& data)
{
    Values values;
    for (const Exiv2::Iptcdatum& datum : data) {
        // Texts compare as decoded, whichever character set the file declares.
        const std::string text = datum.typeId() == Exiv2::string
            ? FLTImageMetadata::textFromBytes(datum.toString()).toStdString()
            : datum.toString();
        values[datum.key()].push_back(text);
    }
    return values;
}

Values xmpValues(const Exiv2::XmpData& data)
{
    Values values;
    for (const Exiv2::Xmpdatum& datum : data)
        values[datum.key()].push_back(datum.toString());
    return values;
}

std::string shown(const std::vector<std::string>* values)
{
    if (values == nullptr)
        return "(absent)";
    std::string text;
    for (const std::string& value : *values)
        text += (text.empty() ? "" : " | ") + value.substr(0, 80);
    return text;
}

using KeyTest = std::function<bool(const std::string&)>;

// The first key whose written values differ from the reference: the expected
// ones for an edited key, the ones read before for any other. Keys left aside
// are not compared.
std::optional<std::string> firstDifference(const Values& before, const Values& expected, const Values& after,
    const KeyTest& isEdited, bool& edited, const KeyTest& leftAside = {})
{
    std::set<std::string> keys;
    for (const Values* values : { &before, &expected, &after }) {
        for (const auto& entry : *values)
            keys.insert(entry.first);
    }
    for (const std::string& key : keys) {
        if (leftAside && leftAside(key))
            continue;
        edited = isEdited(key);
        const Values& reference = edited ? expected : before;
        const auto wanted = reference.find(key);
        const auto written = after.find(key);
        const std::vector<std::string>* wantedValues = wanted == reference.end() ? nullptr : &wanted->second;
        const std::vector<std::string>* writtenValues = written == after.end() ? nullptr : &written->second;
        if ((wantedValues == nullptr) != (writtenValues == nullptr)
            || (wantedValues != nullptr && *wantedValues != *writtenValues)) {
            qCWarning(lcMetadata).noquote() << "Verification:" << QString::fromStdString(key) << "should be"
                                            << QString::fromStdString(shown(wantedValues)) << "but is"
                                            << QString::fromStdString(shown(writtenValues));
            return key;
        }
    }
    return std::nullopt;
}

QString notKept(const QString& what)
{
    return what + u" could not be kept, so the photo was not changed."_s;
}

QString notWritten(const std::string& key)
{
    return u"%1 could not be written as asked, so the photo was not changed."_s.arg(QString::fromStdString(key));
}

bool hasDecodedMakerNote(const Exiv2::ExifData& data)
{
    for (const Exiv2::Exifdatum& datum : data) {
        if (datum.key() != kMakerNoteKey && isMakerNoteKey(datum.key()))
            return true;
    }
    return false;
}

const Exiv2::Exifdatum* findExif(const Exiv2::ExifData& data, const char* key)
{
    const auto it = data.findKey(Exiv2::ExifKey(key));
    return it == data.end() ? nullptr : &*it;
}

// A maker note that exiv2 decoded and laid out anew is right only when no datum
// in it points at a place inside it that the new layout moved.
bool makerNotePointersHold(const Exiv2::ExifData& before, const Exiv2::ExifData& after)
{
    const Exiv2::Exifdatum* oldBlock = findExif(before, kMakerNoteKey);
    const Exiv2::Exifdatum* newBlock = findExif(after, kMakerNoteKey);
    if (oldBlock == nullptr || newBlock == nullptr || bytesOf(*oldBlock) == bytesOf(*newBlock))
        return true;
    for (const Exiv2::Exifdatum& datum : before) {
        // A pointer of 0 points nowhere (Canon's VRDOffset in a file without such a block).
        if (isMakerNotePointer(datum) && datum.toLong() != 0) {
            qCWarning(lcMetadata).noquote() << "Verification: the maker note was laid out anew and"
                                            << QString::fromStdString(datum.key()) << "points into it";
            return false;
        }
    }
    return true;
}

std::set<std::string> changedKeys(const Values& before, const Values& after)
{
    std::set<std::string> keys;
    for (const auto& [key, values] : before) {
        const auto it = after.find(key);
        if (it == after.end() || it->second != values)
            keys.insert(key);
    }
    for (const auto& entry : after) {
        if (before.count(entry.first) == 0)
            keys.insert(entry.first);
    }
    return keys;
}

// Whether the maker note the photo had is still there byte for byte, with the
// values its entries point to: nothing when it is or when there is no Exif block
// to compare, else what differs. Only JPEG and TIFF files show their blocks.
std::optional<QString> makerNoteBytesDiffer(QByteArrayView original, QByteArrayView written)
{
    const std::optional<QByteArrayView> before = JpegExifSegment::exifBlockOf(original);
    if (!before)
        return std::nullopt;
    const std::optional<QByteArrayView> after = JpegExifSegment::exifBlockOf(written);
    return makerNoteDifference(*before, after.value_or(QByteArrayView()));
}

bool targetsMakerNote(const EditedKeys& edited, const Exiv2::ExifData& expected)
{
    const auto isNote = [](const auto& item) { return isMakerNoteKey(item); };
    const bool edits = std::any_of(edited.exif.begin(), edited.exif.end(), isNote);
    const bool keeps = std::any_of(
        expected.begin(), expected.end(), [](const Exiv2::Exifdatum& datum) { return isMakerNoteKey(datum.key()); });
    return edits && !keeps;
}

// Extended XMP is no datum exiv2 reads, so its segments are compared as bytes: as
// they were while the main packet is, and where the packet was written anew (or
// removed) those it names and no others. Nothing when they hold, else the reason.
// A JPEG whose segments cannot be walked to its image data shows none.
std::optional<QString> extendedXmpDiffers(
    QByteArrayView original, QByteArrayView written, bool packetLeft, const Exiv2::XmpData& writtenXmp)
{
    const QByteArray named = packetLeft ? QByteArray() : extendedXmpGuidOf(writtenXmp);
    const std::optional<QList<QByteArrayView>> wanted
        = JpegExtendedXmp::bytesOf(original, packetLeft ? std::nullopt : std::optional<QByteArrayView>(named));
    if (!wanted || *wanted == JpegExtendedXmp::bytesOf(written))
        return std::nullopt;
    qCWarning(lcMetadata) << "Verification: the extended XMP segments differ from the" << wanted->size() << "wanted";
    if (packetLeft)
        return notKept(u"The extended XMP"_s);
    return u"The extended XMP could not be made to agree with the XMP packet, so the photo was not changed."_s;
}

// Whether the photo's Exif block is lost or replaced although the reader could
// not read it whole (exifBlockUnread): then what it missed would go unseen by
// every comparison below, which knows only what the reader found. Such a block
// must come back byte for byte, or be gone where the edit removed it whole.
bool unreadExifBlockLost(const Exiv2::ExifData& read, QByteArrayView original, QByteArrayView written, bool removed)
{
    if (!exifBlockUnread(read, original))
        return false;
    const PhotoExifBlock is = PhotoExifBlock::of(written);
    if (removed) {
        if (is.state == PhotoExifBlock::None)
            return false;
        qCWarning(lcMetadata) << "Verification: an Exif block that cannot be read whole was to go and is still there";
        return true;
    }
    const PhotoExifBlock was = PhotoExifBlock::of(original);
    if (was.state == PhotoExifBlock::Found && is.state == PhotoExifBlock::Found && is.tiff == was.tiff)
        return false;
    qCWarning(lcMetadata) << "Verification: an Exif block of" << was.tiff.size()
                          << "bytes that cannot be read whole was not kept as it was";
    return true;
}

} // namespace

QByteArray extendedXmpGuidOf(const Exiv2::XmpData& xmp)
{
    // Looked up by its text: a key made of a prefix could throw.
    for (const Exiv2::Xmpdatum& datum : xmp) {
        if (datum.key() == "Xmp.xmpNote.HasExtendedXMP")
            return QByteArray::fromStdString(datum.toString());
    }
    return {};
}

bool exifBlockUnread(const Exiv2::ExifData& read, QByteArrayView original)
{
    const PhotoExifBlock was = PhotoExifBlock::of(original);
    switch (was.state) {
    case PhotoExifBlock::None:
        return false;
    case PhotoExifBlock::Damaged:
        qCWarning(lcMetadata) << "The Exif block's bytes cannot be placed in the file";
        return true;
    case PhotoExifBlock::Elsewhere:
        if (read.empty())
            qCWarning(lcMetadata) << "An Exif item was read as empty";
        return read.empty();
    case PhotoExifBlock::Found:
        break;
    }
    return !TiffBlock::readsWhole(was.tiff)
        || (read.empty() && !TiffBlock::parse(was.tiff)->ifd(TiffBlock::Ifd0).entries.empty());
}

QString damagedExifRefusal()
{
    return u"The photo's Exif data is damaged and cannot be read whole, and a new block would have replaced it, so "
           u"the photo was not changed."_s;
}

bool isMakerNoteKey(const std::string& key)
{
    if (key == kMakerNoteKey || key.rfind("Exif.MakerNote.", 0) == 0)
        return true;
    const std::string::size_type dot = key.find('.', 5);
    return dot != std::string::npos && Exiv2::ExifTags::isMakerGroup(key.substr(5, dot - 5));
}

ComparableValues ComparableValues::of(const MetadataSnapshot& snapshot)
{
    return { exifValues(snapshot.exif), iptcValues(snapshot.iptc), xmpValues(snapshot.xmp) };
}

EditedKeys editedKeysBetween(const ComparableValues& before, const ComparableValues& after)
{
    return { changedKeys(before.exif, after.exif), changedKeys(before.iptc, after.iptc),
        changedKeys(before.xmp, after.xmp) };
}

EditedKeys editedKeysBetween(const MetadataSnapshot& before, const MetadataSnapshot& after)
{
    return editedKeysBetween(ComparableValues::of(before), ComparableValues::of(after));
}

MetadataSnapshot MetadataSnapshot::of(Exiv2::Image& image)
{
    // Asked for its packet, exiv2 serializes its XMP data anew unless it is told
    // to write from the packet; the packet as the file holds it is wanted here.
    const bool fromPacket = image.writeXmpFromPacket();
    image.writeXmpFromPacket(true);
    MetadataSnapshot snapshot { image.exifData(), image.iptcData(), image.xmpData(), image.xmpPacket() };
    image.writeXmpFromPacket(fromPacket);
    return snapshot;
}

std::optional<QString> verifyWrittenMetadata(const MetadataSnapshot& before, const MetadataSnapshot& expected,
    const EditedKeys& edited, const QString& path, QByteArrayView written, QByteArrayView original)
{
    return verifyWrittenMetadata(before, ComparableValues::of(before), expected, ComparableValues::of(expected),
        edited, path, written, original);
}

std::optional<QString> verifyWrittenMetadata(const MetadataSnapshot& before, const ComparableValues& beforeValues,
    const MetadataSnapshot& expected, const ComparableValues& expectedValues, const EditedKeys& edited,
    const QString& path, QByteArrayView written, QByteArrayView original)
{
    // The image data first: no metadata is worth a picture, and a writer that
    // misread the file's structure shows here whatever it reads back.
    if (!original.isEmpty()) {
        const ImageDataLayout::Comparison pixels = ImageDataLayout::compare(original, written);
        if (pixels.outcome != ImageDataLayout::Comparison::Same)
            qCWarning(lcMetadata).noquote() << "Verification:" << pixels.detail;
        if (pixels.outcome == ImageDataLayout::Comparison::NotFound)
            return u"The photo's image data cannot be found (its file structure is damaged), so the photo was not "
                   u"changed."_s;
        if (pixels.outcome == ImageDataLayout::Comparison::Differs)
            return notKept(u"The photo's image data"_s);
        // The image data leaves every Exif and XMP item aside; the edit is the primary
        // image's, so another image's own metadata (an iPhone's gain map has its XMP)
        // must stay as it was.
        if (BmffLayout::isBmff(original)
            && BmffLayout::metadataItems(original).othersItems != BmffLayout::metadataItems(written).othersItems)
            return u"The metadata of the photo's other images could not be kept, so the photo was not changed."_s;
        if (ImageDataLayout::kindOf(original) == ImageDataLayout::Kind::Jpeg) {
            if (const std::optional<QString> difference
                = JpegTrailer::difference(original, written, edited.iptcInTrailers)) {
                qCWarning(lcMetadata).noquote() << "Verification:" << *difference;
                return u"The metadata stored after the photo's image could not be written as asked, so the photo "
                       u"was not changed."_s;
            }
        }
    }

    const std::unique_ptr<Exiv2::Image> image
        = Exiv2Adapter::openBuffer(written, u"read back the written metadata of"_s, path);
    if (!image)
        return u"The written photo could not be read back, so the photo was not changed."_s;
    const MetadataSnapshot after = MetadataSnapshot::of(*image);

    // The maker note's bytes first: exiv2 reads a note it does not decode, or one
    // whose values now point elsewhere, as if nothing had changed.
    bool heldByBytes = false;
    if (!original.isEmpty() && !targetsMakerNote(edited, expected.exif)) {
        if (const std::optional<QString> difference = makerNoteBytesDiffer(original, written)) {
            qCWarning(lcMetadata).noquote() << "Verification:" << *difference;
            return notKept(u"The maker note"_s);
        }
        heldByBytes = JpegExifSegment::exifBlockOf(original).has_value();
    }

    // The maker note is compared datum by datum where exiv2 decodes it, and as a
    // block of bytes where it does not. A note whose bytes held but that exiv2 no
    // longer decodes (it chooses the decoder by the camera's make) is left to the
    // byte comparison.
    const bool decoded = hasDecodedMakerNote(before.exif);
    const bool undecodedNow = decoded && heldByBytes && !hasDecodedMakerNote(after.exif);
    const auto exifLeftAside = [&](const std::string& key) {
        return (decoded && key == kMakerNoteKey) || (undecodedNow && isMakerNoteKey(key));
    };
    bool isEdited = false;
    const auto exifEdited = [&](const std::string& key) { return edited.exif.count(key) != 0; };
    if (const auto key = firstDifference(
            beforeValues.exif, expectedValues.exif, exifValues(after.exif), exifEdited, isEdited, exifLeftAside)) {
        if (isEdited)
            return notWritten(*key);
        if (isMakerNoteKey(*key))
            return notKept(u"The maker note"_s);
        if (kDirectoryPointerKeys.count(*key) != 0)
            return u"The Exif tag %1 is stored in a form that cannot be read as a directory, and it could not be "
                   u"kept with what it holds, so the photo was not changed."_s.arg(QString::fromStdString(*key));
        return notKept(u"The Exif tag %1"_s.arg(QString::fromStdString(*key)));
    }
    if (decoded && !undecodedNow && !makerNotePointersHold(before.exif, after.exif))
        return notKept(u"The maker note"_s);
    // What the reader missed of a damaged Exif block, no comparison above can see.
    if (!original.isEmpty() && unreadExifBlockLost(before.exif, original, written, edited.exifBlockRemoved))
        return damagedExifRefusal();

    const auto iptcEdited = [&](const std::string& key) { return edited.iptc.count(key) != 0; };
    if (const auto key
        = firstDifference(beforeValues.iptc, expectedValues.iptc, iptcValues(after.iptc), iptcEdited, isEdited))
        return isEdited ? notWritten(*key) : notKept(u"The IPTC dataset %1"_s.arg(QString::fromStdString(*key)));

    // A packet the edit left alone comes back byte for byte; a cleared one is
    // compared by its data.
    const bool packetLeft = edited.xmp.empty() && expected.xmpPacket == before.xmpPacket;
    if (!original.isEmpty()) {
        if (const std::optional<QString> difference = extendedXmpDiffers(original, written, packetLeft, after.xmp))
            return difference;
    }
    if (packetLeft) {
        if (after.xmpPacket != before.xmpPacket) {
            qCWarning(lcMetadata) << "Verification: the XMP packet changed from" << before.xmpPacket.size() << "to"
                                  << after.xmpPacket.size() << "bytes";
            return notKept(u"The XMP packet"_s);
        }
        return std::nullopt;
    }
    const auto xmpEdited = [&](const std::string& key) { return edited.xmp.count(key) != 0; };
    if (const auto key
        = firstDifference(beforeValues.xmp, expectedValues.xmp, xmpValues(after.xmp), xmpEdited, isEdited))
        return isEdited ? notWritten(*key) : notKept(u"The XMP property %1"_s.arg(QString::fromStdString(*key)));
    return std::nullopt;
}
