#include "platform/MakerNoteLayout.h"

#include <array>

using namespace Qt::Literals::StringLiterals;

namespace {

using Range = MakerNoteLayout::Range;

constexpr std::uint16_t kThumbnailOffset = 0x0201;
constexpr std::uint16_t kThumbnailLength = 0x0202;
constexpr std::uint32_t kMaxNoteEntries = 512;

// Where the note's directory starts, in which byte order, and the base its own
// offsets are counted from.
struct NoteDirectory {
    std::uint64_t offset = 0;
    bool bigEndian = false;
    std::uint64_t base = 0;
};

// A directory whose every entry has a type TIFF knows and which lies within the
// note is taken for the note's directory; random bytes rarely pass for one.
bool isDirectory(QByteArrayView block, std::uint64_t offset, bool bigEndian, std::uint64_t noteEnd)
{
    const std::uint32_t count = tiffU16(block, offset, bigEndian);
    if (count == 0 || count > kMaxNoteEntries || !tiffRangeFits(offset, 2 + 12ULL * count, noteEnd))
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (TiffBlock::typeSize(tiffU16(block, offset + 2 + 12ULL * i + 2, bigEndian)) == 0)
            return false;
    }
    return true;
}

std::optional<NoteDirectory> findDirectory(QByteArrayView block, std::uint32_t start, std::uint32_t size, bool blockBig)
{
    const std::uint64_t end = std::uint64_t(start) + size;
    const QByteArrayView note = block.sliced(start, size);
    // A note with a TIFF header of its own (Nikon's second layout) counts its
    // offsets from that header.
    if (note.startsWith(QByteArrayView("Nikon\0\2", 7)) && size >= 18) {
        const bool big = note.sliced(10, 2) == QByteArrayView("MM");
        const std::uint64_t header = start + 10ULL;
        const std::uint64_t offset = header + tiffU32(block, header + 4, big);
        if (isDirectory(block, offset, big, end))
            return NoteDirectory { offset, big, header };
        return std::nullopt;
    }
    // Fujifilm's and GE's notes give their directory's offset after an eight-byte
    // name, always in Intel order.
    if ((note.startsWith("FUJIFILM") || note.startsWith("GENERALE")) && size >= 12) {
        const std::uint64_t offset = start + std::uint64_t(tiffU32(block, start + 8ULL, false));
        if (isDirectory(block, offset, false, end))
            return NoteDirectory { offset, false, start };
        return std::nullopt;
    }
    // Otherwise the directory follows a header of a few bytes, in the block's
    // byte order or one the header names.
    constexpr std::array<std::uint32_t, 12> kHeaderSizes = { 0, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26 };
    for (std::uint32_t header : kHeaderSizes) {
        for (bool big : { blockBig, !blockBig }) {
            if (header < size && isDirectory(block, start + std::uint64_t(header), big, end))
                return NoteDirectory { start + std::uint64_t(header), big, start };
        }
    }
    return std::nullopt;
}

bool overlaps(const Range& a, const Range& b)
{
    return a.size != 0 && b.size != 0 && a.offset < b.offset + b.size && b.offset < a.offset + a.size;
}

bool overlapsAny(const Range& range, const std::vector<Range>& ranges)
{
    for (const Range& other : ranges) {
        if (overlaps(range, other))
            return true;
    }
    return false;
}

QByteArrayView bytesAt(QByteArrayView block, const Range& range)
{
    return block.sliced(qsizetype(range.offset), qsizetype(range.size));
}

QString hex(std::uint64_t value)
{
    return u"0x"_s + QString::number(value, 16);
}

} // namespace

std::optional<MakerNoteLayout> MakerNoteLayout::of(QByteArrayView block, const TiffBlock& tiff)
{
    const TiffBlock::Entry* entry = tiff.makerNote();
    if (entry == nullptr || entry->size == 0 || !tiffRangeFits(entry->valueOffset, entry->size, block.size()))
        return std::nullopt;
    MakerNoteLayout layout;
    layout.start = entry->valueOffset;
    layout.size = std::uint32_t(entry->size);
    const std::optional<NoteDirectory> directory = findDirectory(block, layout.start, layout.size, tiff.bigEndian());
    if (!directory)
        return layout;
    layout.hasDirectory = true;
    const std::uint32_t count = tiffU16(block, directory->offset, directory->bigEndian);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t position = directory->offset + 2 + 12ULL * i;
        const std::uint64_t size
            = std::uint64_t(TiffBlock::typeSize(tiffU16(block, position + 2, directory->bigEndian)))
            * tiffU32(block, position + 4, directory->bigEndian);
        if (size <= 4)
            continue;
        const std::uint32_t stored = tiffU32(block, position + 8, directory->bigEndian);
        layout.values.push_back({ tiffU16(block, position, directory->bigEndian), size,
            { directory->base + stored, size }, { stored, size } });
    }
    return layout;
}

std::vector<Range> tiffStructureRanges(QByteArrayView block, const TiffBlock& tiff)
{
    std::vector<Range> ranges;
    for (int directory = 0; directory < TiffBlock::DirectoryCount; ++directory) {
        const TiffBlock::Ifd& ifd = tiff.ifd(TiffBlock::Directory(directory));
        if (!ifd.present)
            continue;
        ranges.push_back({ ifd.offset, ifd.tableSize() });
        for (const TiffBlock::Entry& entry : ifd.entries) {
            if (entry.isOutOfLine() && entry.tag != TiffBlock::kMakerNote)
                ranges.push_back({ entry.valueOffset, entry.size });
        }
    }
    if (const std::optional<Range> thumbnail = tiffThumbnailRange(block, tiff))
        ranges.push_back(*thumbnail);
    return ranges;
}

std::optional<Range> tiffThumbnailRange(QByteArrayView block, const TiffBlock& tiff)
{
    const TiffBlock::Entry* thumbnail = tiff.find(TiffBlock::Ifd1, kThumbnailOffset);
    const TiffBlock::Entry* length = tiff.find(TiffBlock::Ifd1, kThumbnailLength);
    if (thumbnail == nullptr || length == nullptr || thumbnail->count != 1 || length->count != 1)
        return std::nullopt;
    const std::uint32_t offset = tiff.u32(block, thumbnail->position + 8);
    const std::uint32_t size
        = length->type == 3 ? tiff.u16(block, length->position + 8) : tiff.u32(block, length->position + 8);
    return Range { offset, size };
}

std::optional<QString> makerNoteDifference(QByteArrayView before, QByteArrayView after)
{
    const std::optional<TiffBlock> old = TiffBlock::parse(before);
    const std::optional<MakerNoteLayout> note = old ? MakerNoteLayout::of(before, *old) : std::nullopt;
    if (!note)
        return std::nullopt;
    const std::optional<TiffBlock> written = TiffBlock::parse(after);
    const std::optional<MakerNoteLayout> kept = written ? MakerNoteLayout::of(after, *written) : std::nullopt;
    if (!kept)
        return u"the maker note is gone"_s;
    const Range oldBytes { note->start, note->size };
    const Range newBytes { kept->start, kept->size };
    if (note->size != kept->size || bytesAt(before, oldBytes) != bytesAt(after, newBytes))
        return u"the maker note's %1 bytes at %2 differ"_s.arg(note->size).arg(hex(note->start));

    // The note's bytes are the same, so are its stored offsets: each value must be
    // found in every place it may lie, the place that moved with the note too.
    const std::vector<Range> structure = tiffStructureRanges(before, *old);
    for (std::size_t i = 0; i < note->values.size() && i < kept->values.size(); ++i) {
        const MakerNoteLayout::Value& value = note->values[i];
        const std::array<std::pair<Range, Range>, 2> places = { {
            { value.fromNote, kept->values[i].fromNote },
            { value.fromHeader, value.fromHeader },
        } };
        for (const auto& [was, is] : places) {
            if (!tiffRangeFits(was.offset, was.size, before.size()) || overlapsAny(was, structure))
                continue;
            if (!tiffRangeFits(is.offset, is.size, after.size()) || bytesAt(before, was) != bytesAt(after, is)) {
                return u"the value of the maker note's tag %1 at %2 differs"_s.arg(hex(value.tag), hex(was.offset));
            }
        }
    }
    return std::nullopt;
}
