#include "services/ExifBlockRewrite.h"

#include "services/MetadataVerification.h"
#include "base/Logging.h"
#include "platform/Exiv2Adapter.h"
#include "platform/JpegExifSegment.h"
#include "platform/PhotoshopIptcDigest.h"
#include "platform/TiffBlockPatcher.h"

#include <QString>
#include <algorithm>
#include <array>
#include <atomic>
#include <map>

using namespace Qt::Literals::StringLiterals;

namespace {

std::atomic<bool> editingEnabled { true };

// The entries of a TIFF file's first directory that carry its XMP, IPTC and
// Photoshop data; exiv2 writes them from its other containers.
constexpr std::uint16_t kXmpTag = 0x02bc;
constexpr std::uint16_t kIptcTag = 0x83bb;
constexpr std::uint16_t kPhotoshopTag = 0x8649;
constexpr std::array<std::uint16_t, 3> kEmbeddedMetadataTags = { kXmpTag, kIptcTag, kPhotoshopTag };

std::optional<TiffBlock::Directory> directoryOf(const std::string& group)
{
    static const std::map<std::string, TiffBlock::Directory> directories
        = { { "Image", TiffBlock::Ifd0 }, { "Photo", TiffBlock::Exif }, { "GPSInfo", TiffBlock::Gps },
              { "Iop", TiffBlock::Interop }, { "Thumbnail", TiffBlock::Ifd1 } };
    const auto it = directories.find(group);
    if (it == directories.end())
        return std::nullopt;
    return it->second;
}

std::optional<TiffBlockPatcher::Value> valueOf(const Exiv2::Exifdatum& datum, Exiv2::ByteOrder byteOrder)
{
    const auto type = std::uint16_t(datum.typeId());
    const std::uint32_t unit = TiffBlock::typeSize(type);
    if (datum.typeId() > Exiv2::tiffIfd || unit == 0)
        return std::nullopt;
    QByteArray bytes(qsizetype(datum.size()), '\0');
    if (!bytes.isEmpty())
        datum.copy(reinterpret_cast<Exiv2::byte*>(bytes.data()), byteOrder);
    return TiffBlockPatcher::Value { type, std::uint32_t(bytes.size() / unit), bytes };
}

// What the edit changed, as the patcher takes it; nothing for an edit it cannot make.
std::optional<TiffBlockPatcher::Edit> blockEditOf(
    const Exiv2::ExifData& wanted, const std::set<std::string>& editedKeys, Exiv2::ByteOrder byteOrder)
{
    TiffBlockPatcher::Edit edit;
    bool ok = true;
    Exiv2Adapter::check(u"prepare the Exif block of"_s, u"the photo"_s, [&] {
        bool makerNoteEdited = false;
        for (const std::string& key : editedKeys) {
            if (isMakerNoteKey(key)) {
                makerNoteEdited = true;
                continue;
            }
            const Exiv2::ExifKey exifKey(key);
            const std::optional<TiffBlock::Directory> directory = directoryOf(exifKey.groupName());
            if (!directory) {
                ok = false;
                return false;
            }
            std::vector<TiffBlockPatcher::Value>& values = edit.tags[*directory][exifKey.tag()];
            for (auto it = wanted.findKey(exifKey); it != wanted.end(); ++it) {
                if (it->key() != key)
                    continue;
                const std::optional<TiffBlockPatcher::Value> value = valueOf(*it, byteOrder);
                if (!value) {
                    ok = false;
                    return false;
                }
                values.push_back(*value);
            }
        }
        // A maker note that the edit removed goes whole; one it changed cannot be
        // written where it lies.
        if (makerNoteEdited) {
            for (const Exiv2::Exifdatum& datum : wanted) {
                if (isMakerNoteKey(datum.key())) {
                    ok = false;
                    return false;
                }
            }
            edit.removesMakerNote = true;
        }
        return true;
    });
    if (!ok)
        return std::nullopt;
    return edit;
}

QByteArrayView valueBytes(QByteArrayView block, const TiffBlock::Entry& entry)
{
    return block.sliced(entry.valueOffset, qsizetype(entry.size));
}

// The value of an embedded entry: bytes of the type's size, padded with zeros to
// a whole number of them.
TiffBlockPatcher::Value embeddedValue(std::uint16_t type, QByteArray bytes)
{
    const std::uint32_t unit = std::max<std::uint32_t>(1, TiffBlock::typeSize(type));
    if (bytes.size() % unit != 0)
        bytes.append(QByteArray(unit - bytes.size() % unit, '\0'));
    return { type, std::uint32_t(bytes.size() / unit), bytes };
}

// The entry's value where it lies within the block; nothing for no entry.
std::optional<QByteArrayView> readableValue(QByteArrayView block, const TiffBlock::Entry* entry)
{
    if (entry == nullptr || !tiffRangeFits(entry->valueOffset, entry->size, std::uint64_t(block.size())))
        return std::nullopt;
    return valueBytes(block, *entry);
}

// The photo's own IPTC data edited, and Photoshop's resources following it, in
// place of exiv2's encoding of both. exiv2 reads a TIFF file's IPTC data from tag
// 33723, else from the IPTC resource of the Photoshop data; the block made from
// it goes into each place that held IPTC data, and the digest, where it was
// current, is made of what it covered (tag 33723's value, else the resource's).
struct OwnIptc {
    std::optional<TiffBlockPatcher::Value> iptcEntry;
    std::optional<QByteArray> resources;
};

OwnIptc ownIptcOf(QByteArrayView original, const TiffBlock& tiff, const EmbeddedEdits& embedded)
{
    OwnIptc own;
    const TiffBlock::Entry* iptcEntry = tiff.find(TiffBlock::Ifd0, kIptcTag);
    const std::optional<QByteArrayView> iptcValue = readableValue(original, iptcEntry);
    const std::optional<QByteArrayView> resources = readableValue(original, tiff.find(TiffBlock::Ifd0, kPhotoshopTag));
    const std::optional<QByteArrayView> resourceIptc
        = resources ? PhotoshopIptcDigest::iptcDataOfResources(*resources) : std::nullopt;
    const std::optional<QByteArrayView> read = iptcValue && !iptcValue->isEmpty() ? iptcValue : resourceIptc;
    if (!read)
        return own;
    const QByteArray block = embedded.iptcBlock(*read);
    if (iptcValue)
        own.iptcEntry = embeddedValue(iptcEntry->type, block);
    if (resources) {
        QByteArray edited = resources->toByteArray();
        if (resourceIptc)
            edited = PhotoshopIptcDigest::resourcesWithIptcData(edited, block).value_or(edited);
        const QByteArrayView digestedBefore = iptcValue ? *iptcValue : resourceIptc.value_or(QByteArrayView());
        const QByteArray digestedNow = own.iptcEntry ? own.iptcEntry->bytes : block;
        edited = PhotoshopIptcDigest::resourcesWithDigestOf(edited, digestedBefore, digestedNow).value_or(edited);
        own.resources = edited;
    }
    return own;
}

// The XMP, IPTC and Photoshop entries of a TIFF file's first directory where the
// edit changed those containers: exiv2's, or the photo's own data edited where
// the embedded edits allow it.
bool takeEmbeddedMetadata(QByteArrayView written, QByteArrayView original, const TiffBlock& mine,
    const EmbeddedEdits& embedded, TiffBlockPatcher::Edit& edit)
{
    const std::optional<TiffBlock> theirs = TiffBlock::parse(written);
    if (!theirs || theirs->bigEndian() != mine.bigEndian())
        return false;
    const OwnIptc ownIptc = embedded.iptc && embedded.iptcBlock ? ownIptcOf(original, mine, embedded) : OwnIptc {};
    for (std::uint16_t tag : kEmbeddedMetadataTags) {
        if (!(tag == kXmpTag ? embedded.xmp : embedded.iptc))
            continue;
        const TiffBlock::Entry* was = mine.find(TiffBlock::Ifd0, tag);
        const TiffBlock::Entry* is = theirs->find(TiffBlock::Ifd0, tag);
        if (is == nullptr && was == nullptr)
            continue;
        if (is == nullptr) {
            edit.tags[TiffBlock::Ifd0][tag] = {}; // exiv2 removed it
            continue;
        }
        if (!tiffRangeFits(is->valueOffset, is->size, std::uint64_t(written.size())) || is->size == 0)
            return false;
        const std::optional<QByteArrayView> wasValue = readableValue(original, was);
        std::optional<TiffBlockPatcher::Value> value;
        if (tag == kXmpTag && !embedded.xmpPacket.empty())
            value = embeddedValue(wasValue ? was->type : is->type, QByteArray::fromStdString(embedded.xmpPacket));
        else if (tag == kIptcTag)
            value = ownIptc.iptcEntry;
        else if (tag == kPhotoshopTag && ownIptc.resources)
            value = embeddedValue(was->type, *ownIptc.resources);
        if (!value)
            value = TiffBlockPatcher::Value { is->type, is->count, valueBytes(written, *is).toByteArray() };
        if (wasValue && value->type == was->type && value->count == was->count && value->bytes == *wasValue)
            continue;
        edit.tags[TiffBlock::Ifd0][tag] = { *value };
    }
    return true;
}

Exiv2::ByteOrder byteOrderOf(const TiffBlock& block)
{
    return block.bigEndian() ? Exiv2::bigEndian : Exiv2::littleEndian;
}

std::optional<QByteArray> patchedBlock(QByteArrayView block, const Exiv2::ExifData& wanted,
    const std::set<std::string>& editedKeys, std::uint64_t maxSize)
{
    const std::optional<TiffBlock> tiff = TiffBlock::parse(block);
    if (!tiff)
        return std::nullopt;
    const std::optional<TiffBlockPatcher::Edit> edit = blockEditOf(wanted, editedKeys, byteOrderOf(*tiff));
    if (!edit)
        return std::nullopt;
    return TiffBlockPatcher::patched(block, *edit, maxSize);
}

std::optional<QByteArray> patchedJpegBlock(
    QByteArrayView original, const Exiv2::ExifData& wanted, const std::set<std::string>& editedKeys)
{
    const std::optional<JpegExifSegment> was = JpegExifSegment::find(original);
    if (!was)
        return std::nullopt;
    return patchedBlock(JpegExifSegment::tiffBlockOf(original, *was), wanted, editedKeys,
        std::uint64_t(JpegExifSegment::kMaxTiffBlock));
}

std::optional<QByteArray> editedJpeg(QByteArrayView written, QByteArrayView original, const Exiv2::ExifData& wanted,
    const std::set<std::string>& editedKeys)
{
    const std::optional<JpegExifSegment> is = JpegExifSegment::find(written);
    if (!is)
        return std::nullopt;
    const std::optional<QByteArray> patched = patchedJpegBlock(original, wanted, editedKeys);
    if (!patched)
        return std::nullopt;
    return JpegExifSegment::withTiffBlock(written, *is, *patched);
}

std::optional<QByteArray> editedTiff(QByteArrayView written, QByteArrayView original, const Exiv2::ExifData& wanted,
    const std::set<std::string>& editedKeys, const EmbeddedEdits& embedded)
{
    const std::optional<TiffBlock> tiff = TiffBlock::parse(original);
    if (!tiff)
        return std::nullopt;
    std::optional<TiffBlockPatcher::Edit> edit = blockEditOf(wanted, editedKeys, byteOrderOf(*tiff));
    if (!edit || !takeEmbeddedMetadata(written, original, *tiff, embedded, *edit))
        return std::nullopt;
    return TiffBlockPatcher::patched(original, *edit, UINT32_MAX);
}

} // namespace

std::optional<QByteArray> withExifBlockEditedInPlace(QByteArrayView written, QByteArrayView original,
    const Exiv2::ExifData& wanted, const std::set<std::string>& editedKeys, const EmbeddedEdits& embedded)
{
    std::optional<QByteArray> result;
    if (!editingEnabled.load(std::memory_order_relaxed))
        return std::nullopt;
    if (JpegExifSegment::find(original))
        result = editedJpeg(written, original, wanted, editedKeys);
    else if (TiffBlock::parse(original) && TiffBlock::parse(written))
        result = editedTiff(written, original, wanted, editedKeys, embedded);
    else
        return std::nullopt;
    if (!result)
        qCInfo(lcMetadata) << "The Exif block is written in exiv2's layout: it cannot be edited where it lies";
    return result;
}

std::optional<QByteArray> jpegExifBlockEditedInPlace(
    QByteArrayView original, const Exiv2::ExifData& wanted, const std::set<std::string>& editedKeys)
{
    if (!editingEnabled.load(std::memory_order_relaxed))
        return std::nullopt;
    return patchedJpegBlock(original, wanted, editedKeys);
}

std::optional<QByteArray> tiffBlockEditedInPlace(
    QByteArrayView block, const Exiv2::ExifData& wanted, const std::set<std::string>& editedKeys)
{
    if (!editingEnabled.load(std::memory_order_relaxed))
        return std::nullopt;
    return patchedBlock(block, wanted, editedKeys, UINT32_MAX);
}

void setExifBlockEditingEnabledForTesting(bool on)
{
    editingEnabled.store(on, std::memory_order_relaxed);
}
