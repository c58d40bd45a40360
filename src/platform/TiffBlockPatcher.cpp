#include "platform/TiffBlockPatcher.h"

#include "platform/MakerNoteLayout.h"

#include <algorithm>
#include <cstring>

namespace {

using Range = MakerNoteLayout::Range;
using Directory = TiffBlock::Directory;

constexpr std::uint16_t kLongType = 4;

// One entry of a directory as it is written: the original's 12 bytes as they
// were, or a new value.
struct OutEntry {
    std::uint16_t tag = 0;
    const TiffBlock::Entry* original = nullptr;
    TiffBlockPatcher::Value value;
};

class Writer {
public:
    Writer(QByteArrayView block, bool bigEndian)
        : m_out(block.toByteArray())
        , m_bigEndian(bigEndian)
    {
    }

    QByteArray& bytes() { return m_out; }

    void put16(std::uint64_t position, std::uint16_t value)
    {
        char* p = m_out.data() + position;
        p[m_bigEndian ? 0 : 1] = char(value >> 8);
        p[m_bigEndian ? 1 : 0] = char(value);
    }
    void put32(std::uint64_t position, std::uint32_t value)
    {
        char* p = m_out.data() + position;
        for (int i = 0; i < 4; ++i)
            p[m_bigEndian ? i : 3 - i] = char(value >> (8 * (3 - i)));
    }
    QByteArray u32Bytes(std::uint32_t value) const
    {
        QByteArray bytes(4, '\0');
        for (int i = 0; i < 4; ++i)
            bytes[m_bigEndian ? i : 3 - i] = char(value >> (8 * (3 - i)));
        return bytes;
    }
    // Appends room for size bytes on a word boundary and answers where it starts.
    std::uint64_t append(std::uint64_t size)
    {
        if (m_out.size() % 2 != 0)
            m_out.append('\0');
        const std::uint64_t at = std::uint64_t(m_out.size());
        m_out.append(qsizetype(size), '\0');
        return at;
    }

private:
    QByteArray m_out;
    bool m_bigEndian;
};

// The children whose pointers a directory holds.
std::vector<Directory> childrenOf(Directory directory)
{
    if (directory == TiffBlock::Ifd0)
        return { TiffBlock::Exif, TiffBlock::Gps };
    if (directory == TiffBlock::Exif)
        return { TiffBlock::Interop };
    return {};
}

bool isChildPointer(Directory directory, std::uint16_t tag)
{
    for (Directory child : childrenOf(directory)) {
        if (TiffBlock::pointerTag(child) == tag)
            return true;
    }
    return false;
}

// Zeros every byte of the ranges that no kept range covers.
void zeroUncovered(QByteArray& out, std::uint64_t originalSize, std::vector<Range> ranges, std::vector<Range> kept)
{
    std::sort(kept.begin(), kept.end(), [](const Range& a, const Range& b) { return a.offset < b.offset; });
    for (Range range : ranges) {
        if (range.offset >= originalSize)
            continue;
        std::uint64_t end = std::min(originalSize, range.offset + std::min(range.size, originalSize));
        std::uint64_t position = range.offset;
        for (const Range& keep : kept) {
            if (position >= end)
                break;
            const std::uint64_t keepEnd = keep.offset + std::min(keep.size, originalSize);
            if (keepEnd <= position || keep.offset >= end)
                continue;
            if (keep.offset > position)
                std::memset(out.data() + position, 0, keep.offset - position);
            position = std::max(position, keepEnd);
        }
        if (position < end)
            std::memset(out.data() + position, 0, end - position);
    }
}

// Appends the entries a directory keeps and those the edit gives it, but the
// pointers to its children, which are set apart. The values of entries that go
// are removed, those of entries that stay kept. Answers whether an entry went or
// came.
bool collectEntries(Directory directory, const TiffBlock::Ifd& ifd, const TiffBlockPatcher::Edit& edit,
    std::vector<OutEntry>& entries, std::vector<Range>& removed, std::vector<Range>& kept)
{
    const auto& editedTags = edit.tags[directory];
    bool changed = false;
    for (const TiffBlock::Entry& entry : ifd.entries) {
        if (isChildPointer(directory, entry.tag))
            continue;
        const bool removesNote
            = directory == TiffBlock::Exif && entry.tag == TiffBlock::kMakerNote && edit.removesMakerNote;
        if (editedTags.count(entry.tag) != 0 || removesNote) {
            changed = true;
            if (entry.isOutOfLine())
                removed.push_back({ entry.valueOffset, entry.size });
            continue;
        }
        entries.push_back({ entry.tag, &entry, {} });
        if (entry.isOutOfLine())
            kept.push_back({ entry.valueOffset, entry.size });
    }
    for (const auto& [tag, values] : editedTags) {
        if (isChildPointer(directory, tag))
            continue;
        for (const TiffBlockPatcher::Value& value : values) {
            if (!value.bytes.isEmpty() && value.count > 0) {
                entries.push_back({ tag, nullptr, value });
                changed = true;
            }
        }
    }
    return changed;
}

// Writes a directory anew, the entries in the order of their tags: over the old
// directory where it fits (nothing else points there), else at the end; new
// values at the end. Answers where it starts; nothing when it cannot be
// addressed or the block would pass maxSize bytes.
std::optional<std::uint32_t> writeDirectory(Writer& writer, QByteArrayView block, const TiffBlock::Ifd& ifd,
    std::vector<OutEntry> entries, std::uint32_t next, std::uint64_t maxSize, std::vector<Range>& kept)
{
    std::stable_sort(
        entries.begin(), entries.end(), [](const OutEntry& a, const OutEntry& b) { return a.tag < b.tag; });
    if (entries.size() > 0xffff)
        return std::nullopt;
    const std::uint64_t tableSize = 2 + 12 * std::uint64_t(entries.size()) + 4;
    const bool overOld = ifd.present && tableSize <= ifd.tableSize();
    const std::uint64_t at = overOld ? ifd.offset : writer.append(tableSize);
    if (overOld) {
        std::memset(writer.bytes().data() + at, 0, std::size_t(tableSize));
        kept.push_back({ at, tableSize });
    }
    writer.put16(at, std::uint16_t(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::uint64_t position = at + 2 + 12 * i;
        const OutEntry& entry = entries[i];
        if (entry.original != nullptr) {
            std::memcpy(writer.bytes().data() + position, block.data() + entry.original->position, 12);
            continue;
        }
        writer.put16(position, entry.tag);
        writer.put16(position + 2, entry.value.type);
        writer.put32(position + 4, entry.value.count);
        if (entry.value.bytes.size() <= 4) {
            std::memcpy(writer.bytes().data() + position + 8, entry.value.bytes.constData(),
                std::size_t(entry.value.bytes.size()));
            continue;
        }
        const std::uint64_t valueAt = writer.append(std::uint64_t(entry.value.bytes.size()));
        std::memcpy(
            writer.bytes().data() + valueAt, entry.value.bytes.constData(), std::size_t(entry.value.bytes.size()));
        if (valueAt > UINT32_MAX)
            return std::nullopt;
        writer.put32(position + 8, std::uint32_t(valueAt));
    }
    writer.put32(at + 2 + 12 * std::uint64_t(entries.size()), next);
    if (at > UINT32_MAX || std::uint64_t(writer.bytes().size()) > maxSize)
        return std::nullopt;
    return std::uint32_t(at);
}

} // namespace

bool TiffBlockPatcher::Edit::isEmpty() const
{
    return !removesMakerNote && std::all_of(tags.begin(), tags.end(), [](const auto& map) { return map.empty(); });
}

std::optional<QByteArray> TiffBlockPatcher::patched(QByteArrayView block, const Edit& edit, std::uint64_t maxSize)
{
    const std::optional<TiffBlock> tiff = TiffBlock::parse(block);
    if (!tiff)
        return std::nullopt;
    Writer writer(block, tiff->bigEndian());
    std::vector<Range> removed;
    std::vector<Range> kept;
    std::array<std::optional<std::uint32_t>, TiffBlock::DirectoryCount> finalOffset;
    std::array<std::uint64_t, TiffBlock::DirectoryCount> entryCount {};

    for (int index = 0; index < TiffBlock::DirectoryCount; ++index) {
        const auto directory = Directory(index);
        const TiffBlock::Ifd& ifd = tiff->ifd(directory);
        std::vector<OutEntry> entries;
        const bool entriesChanged = collectEntries(directory, ifd, edit, entries, removed, kept);
        bool changed = !ifd.present || entriesChanged;
        // A child keeps its pointer entry where it stays; a moved one has its
        // pointer set in place unless this directory is written anew anyway.
        std::vector<std::pair<const TiffBlock::Entry*, std::uint32_t>> movedPointers;
        for (Directory child : childrenOf(directory)) {
            const TiffBlock::Entry* pointer = tiff->find(directory, TiffBlock::pointerTag(child));
            if (!finalOffset[child]) {
                changed = changed || pointer != nullptr;
                continue;
            }
            if (pointer == nullptr) {
                changed = true;
            } else if (*finalOffset[child] != tiff->u32(block, pointer->position + 8)) {
                movedPointers.push_back({ pointer, *finalOffset[child] });
            }
            entries.push_back(
                { TiffBlock::pointerTag(child), nullptr, { kLongType, 1, writer.u32Bytes(*finalOffset[child]) } });
        }
        const std::uint32_t next = directory == TiffBlock::Ifd0 ? finalOffset[TiffBlock::Ifd1].value_or(0)
                                                                : (directory == TiffBlock::Ifd1 ? ifd.next : 0);
        if (directory == TiffBlock::Ifd0 && next != ifd.next && !ifd.hasNext)
            changed = true;

        if (entries.empty() && directory != TiffBlock::Ifd0) {
            if (ifd.present)
                removed.push_back({ ifd.offset, ifd.tableSize() });
            continue;
        }
        if (!changed) {
            finalOffset[directory] = ifd.offset;
            entryCount[directory] = ifd.entries.size();
            kept.push_back({ ifd.offset, ifd.tableSize() });
            for (const auto& [pointer, offset] : movedPointers)
                writer.put32(pointer->position + 8, offset);
            if (directory == TiffBlock::Ifd0 && next != ifd.next)
                writer.put32(ifd.offset + 2 + 12ULL * ifd.entries.size(), next);
            continue;
        }

        entryCount[directory] = entries.size();
        const std::optional<std::uint32_t> at
            = writeDirectory(writer, block, ifd, std::move(entries), next, maxSize, kept);
        if (!at)
            return std::nullopt;
        if (ifd.present)
            removed.push_back({ ifd.offset, ifd.tableSize() });
        finalOffset[directory] = *at;
    }
    // Some readers take the room left after IFD0 for the room of IFD1 as well; a
    // moved IFD0 near the end is followed by enough zeros for IFD1's directory.
    if (finalOffset[TiffBlock::Ifd1] && *finalOffset[TiffBlock::Ifd0] >= block.size()) {
        const std::uint64_t room = std::uint64_t(writer.bytes().size()) - *finalOffset[TiffBlock::Ifd0];
        const std::uint64_t needed = 2 + 12 * entryCount[TiffBlock::Ifd1] + 4;
        if (room < needed)
            writer.append(needed - room);
    }
    if (*finalOffset[TiffBlock::Ifd0] != tiff->ifd(TiffBlock::Ifd0).offset)
        writer.put32(4, *finalOffset[TiffBlock::Ifd0]);

    // The maker note's values, wherever they may lie, and the thumbnail stay.
    if (!edit.removesMakerNote) {
        if (const std::optional<MakerNoteLayout> note = MakerNoteLayout::of(block, *tiff)) {
            kept.push_back({ note->start, note->size });
            for (const MakerNoteLayout::Value& value : note->values) {
                kept.push_back(value.fromNote);
                kept.push_back(value.fromHeader);
            }
        }
    } else if (const TiffBlock::Entry* note = tiff->makerNote(); note != nullptr && note->isOutOfLine()) {
        removed.push_back({ note->valueOffset, note->size });
    }
    if (const std::optional<Range> thumbnail = tiffThumbnailRange(block, *tiff);
        thumbnail && finalOffset[TiffBlock::Ifd1])
        kept.push_back(*thumbnail);
    zeroUncovered(writer.bytes(), std::uint64_t(block.size()), removed, kept);
    if (std::uint64_t(writer.bytes().size()) > maxSize)
        return std::nullopt;
    return writer.bytes();
}
