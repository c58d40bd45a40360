#include "Helper/ExifBlockRewrite.h"

#include "Helper/MetadataVerification.h"
#include "base/Logging.h"
#include "platform/Exiv2Adapter.h"
#include "platform/JpegExifSegment.h"
#include "platform/TiffBlockPatcher.h"

#include <QString>
#include <array>
#include <atomic>
#include <map>

using namespace Qt::Literals::StringLiterals;

namespace {

std::atomic<bool> editingEnabled { true };

// The entries of a TIFF file's first directory that carry its XMP, IPTC and
// Photoshop data; exiv2 writes them from its other containers.
constexpr std::uint16_t kXmpTag = 0x02bc;
constexpr std::array<std::uint16_t, 3> kEmbeddedMetadataTags = { kXmpTag, 0x83bb, 0x8649 };

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

// An entry's type, count and value bytes as they lie in the block; empty when
// the value does not.
QByteArray entryBytes(QByteArrayView block, const TiffBlock::Entry& entry)
{
    if (!tiffRangeFits(entry.valueOffset, entry.size, std::uint64_t(block.size())))
        return {};
    return block.sliced(entry.position + 2, 6).toByteArray()
        + block.sliced(entry.valueOffset, qsizetype(entry.size)).toByteArray();
}

// exiv2's XMP, IPTC and Photoshop entries of a TIFF file's first directory, where
// they differ from the original's.
bool takeEmbeddedMetadata(QByteArrayView written, QByteArrayView original, const TiffBlock& mine,
    EmbeddedEdits embedded, TiffBlockPatcher::Edit& edit)
{
    const std::optional<TiffBlock> theirs = TiffBlock::parse(written);
    if (!theirs || theirs->bigEndian() != mine.bigEndian())
        return false;
    for (std::uint16_t tag : kEmbeddedMetadataTags) {
        if (!(tag == kXmpTag ? embedded.xmp : embedded.iptc))
            continue;
        const TiffBlock::Entry* was = mine.find(TiffBlock::Ifd0, tag);
        const TiffBlock::Entry* is = theirs->find(TiffBlock::Ifd0, tag);
        if (is == nullptr && was == nullptr)
            continue;
        if (is != nullptr && was != nullptr && entryBytes(written, *is) == entryBytes(original, *was))
            continue;
        std::vector<TiffBlockPatcher::Value>& values = edit.tags[TiffBlock::Ifd0][tag];
        if (is == nullptr)
            continue;
        if (!tiffRangeFits(is->valueOffset, is->size, std::uint64_t(written.size())) || is->size == 0)
            return false;
        values.push_back({ is->type, is->count, written.sliced(is->valueOffset, qsizetype(is->size)).toByteArray() });
    }
    return true;
}

Exiv2::ByteOrder byteOrderOf(const TiffBlock& block)
{
    return block.bigEndian() ? Exiv2::bigEndian : Exiv2::littleEndian;
}

std::optional<QByteArray> editedJpeg(QByteArrayView written, QByteArrayView original, const Exiv2::ExifData& wanted,
    const std::set<std::string>& editedKeys)
{
    const std::optional<JpegExifSegment> was = JpegExifSegment::find(original);
    const std::optional<JpegExifSegment> is = JpegExifSegment::find(written);
    if (!was || !is)
        return std::nullopt;
    const QByteArrayView block = JpegExifSegment::tiffBlockOf(original, *was);
    const std::optional<TiffBlock> tiff = TiffBlock::parse(block);
    if (!tiff)
        return std::nullopt;
    const std::optional<TiffBlockPatcher::Edit> edit = blockEditOf(wanted, editedKeys, byteOrderOf(*tiff));
    if (!edit)
        return std::nullopt;
    const std::optional<QByteArray> patched
        = TiffBlockPatcher::patched(block, *edit, std::uint64_t(JpegExifSegment::kMaxTiffBlock));
    if (!patched)
        return std::nullopt;
    return JpegExifSegment::withTiffBlock(written, *is, *patched);
}

std::optional<QByteArray> editedTiff(QByteArrayView written, QByteArrayView original, const Exiv2::ExifData& wanted,
    const std::set<std::string>& editedKeys, EmbeddedEdits embedded)
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
    const Exiv2::ExifData& wanted, const std::set<std::string>& editedKeys, EmbeddedEdits embedded)
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

void setExifBlockEditingEnabledForTesting(bool on)
{
    editingEnabled.store(on, std::memory_order_relaxed);
}
