#include "platform/TiffBlock.h"

namespace {

// A directory of more entries than this is no directory a camera wrote.
constexpr std::uint32_t kMaxEntries = 4096;

} // namespace

std::uint16_t tiffU16(QByteArrayView bytes, std::uint64_t position, bool bigEndian)
{
    if (!tiffRangeFits(position, 2, std::uint64_t(bytes.size())))
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + position;
    return bigEndian ? std::uint16_t(p[0] << 8 | p[1]) : std::uint16_t(p[1] << 8 | p[0]);
}

std::uint32_t tiffU32(QByteArrayView bytes, std::uint64_t position, bool bigEndian)
{
    if (!tiffRangeFits(position, 4, std::uint64_t(bytes.size())))
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + position;
    return bigEndian ? std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3]
                     : std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
}

std::uint16_t TiffBlock::u16(QByteArrayView bytes, std::uint64_t position) const
{
    return tiffU16(bytes, position, m_bigEndian);
}

std::uint32_t TiffBlock::u32(QByteArrayView bytes, std::uint64_t position) const
{
    return tiffU32(bytes, position, m_bigEndian);
}

std::uint32_t TiffBlock::typeSize(std::uint16_t type)
{
    switch (type) {
    case 1: // byte
    case 2: // ascii
    case 6: // signed byte
    case 7: // undefined
        return 1;
    case 3: // short
    case 8: // signed short
        return 2;
    case 4: // long
    case 9: // signed long
    case 11: // float
    case 13: // ifd
        return 4;
    case 5: // rational
    case 10: // signed rational
    case 12: // double
        return 8;
    default:
        return 0;
    }
}

std::uint16_t TiffBlock::pointerTag(Directory directory)
{
    switch (directory) {
    case Exif:
        return kExifPointer;
    case Gps:
        return kGpsPointer;
    case Interop:
        return kInteropPointer;
    default:
        return 0;
    }
}

TiffBlock::Directory TiffBlock::parentOf(Directory directory)
{
    return directory == Interop ? Exif : Ifd0;
}

bool TiffBlock::readIfd(QByteArrayView bytes, std::uint32_t offset, Ifd& ifd) const
{
    const std::uint64_t total = std::uint64_t(bytes.size());
    if (offset < 8 || !tiffRangeFits(offset, 2, total))
        return false;
    const std::uint32_t count = u16(bytes, offset);
    if (count > kMaxEntries || !tiffRangeFits(offset + 2ULL, 12ULL * count, total))
        return false;
    ifd.present = true;
    ifd.offset = offset;
    ifd.entries.clear();
    ifd.entries.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t position = offset + 2 + 12 * i;
        Entry entry;
        entry.tag = u16(bytes, position);
        entry.type = u16(bytes, position + 2);
        entry.count = u32(bytes, position + 4);
        entry.position = position;
        entry.size = std::uint64_t(typeSize(entry.type)) * entry.count;
        entry.valueOffset = entry.size > 4 ? u32(bytes, position + 8) : position + 8;
        ifd.entries.push_back(entry);
    }
    const std::uint64_t nextField = offset + 2ULL + 12ULL * count;
    ifd.hasNext = tiffRangeFits(nextField, 4, total);
    ifd.next = ifd.hasNext ? u32(bytes, nextField) : 0;
    return true;
}

std::optional<TiffBlock> TiffBlock::parse(QByteArrayView bytes)
{
    if (bytes.size() < 8 || bytes.size() > qsizetype(UINT32_MAX))
        return std::nullopt;
    TiffBlock block;
    if (bytes.first(4) == QByteArrayView("MM\0*", 4))
        block.m_bigEndian = true;
    else if (bytes.first(4) != QByteArrayView("II*\0", 4))
        return std::nullopt;
    if (!block.readIfd(bytes, block.u32(bytes, 4), block.m_ifds[Ifd0]))
        return std::nullopt;

    // A pointer that leads nowhere, or to a directory already read, leaves the
    // block unreadable: writing it anew could only lose what it points at.
    std::vector<std::uint32_t> seen { block.m_ifds[Ifd0].offset };
    const auto follow = [&](Directory directory, std::uint32_t offset) {
        for (std::uint32_t other : seen) {
            if (other == offset)
                return false;
        }
        seen.push_back(offset);
        return block.readIfd(bytes, offset, block.m_ifds[directory]);
    };
    for (Directory directory : { Exif, Gps, Interop }) {
        const Entry* pointer = block.find(parentOf(directory), pointerTag(directory));
        if (pointer == nullptr)
            continue;
        if (pointer->count != 1 || (pointer->type != 4 && pointer->type != 13)
            || !follow(directory, block.u32(bytes, pointer->position + 8)))
            return std::nullopt;
    }
    const Ifd& ifd0 = block.m_ifds[Ifd0];
    if (ifd0.next != 0 && !follow(Ifd1, ifd0.next))
        return std::nullopt;
    return block;
}

bool TiffBlock::readsWhole(QByteArrayView bytes)
{
    const std::optional<TiffBlock> block = parse(bytes);
    if (!block)
        return false;
    for (const Ifd& ifd : block->m_ifds) {
        for (const Entry& entry : ifd.entries) {
            if (entry.isOutOfLine() && !tiffRangeFits(entry.valueOffset, entry.size, std::uint64_t(bytes.size())))
                return false;
        }
    }
    return true;
}

const TiffBlock::Entry* TiffBlock::find(Directory directory, std::uint16_t tag) const
{
    for (const Entry& entry : m_ifds[directory].entries) {
        if (entry.tag == tag)
            return &entry;
    }
    return nullptr;
}

const TiffBlock::Entry* TiffBlock::makerNote() const
{
    return find(Exif, kMakerNote);
}
