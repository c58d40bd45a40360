#pragma once

#include <QByteArrayView>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// The directories of a TIFF block (the Exif block of a JPEG, or a whole TIFF
// file) as they lie in its bytes: where each directory and each entry's value is.
// Nothing is trusted: a directory or value that runs past the block, a directory
// reached twice or one that overlaps the header makes the block unreadable.
class TiffBlock {
public:
    // The directories the Exif standard defines, in the order they are written
    // back: children before their parents.
    enum Directory { Interop, Exif, Gps, Ifd1, Ifd0, DirectoryCount };

    struct Entry {
        std::uint16_t tag = 0;
        std::uint16_t type = 0;
        std::uint32_t count = 0;
        std::uint32_t position = 0; // of the 12-byte entry
        std::uint64_t size = 0; // of the value; 0 for a type that has no known size
        std::uint32_t valueOffset = 0; // where the value lies: position + 8 when it fits the entry

        bool isOutOfLine() const { return size > 4; }
    };
    struct Ifd {
        bool present = false;
        std::uint32_t offset = 0;
        std::vector<Entry> entries;
        std::uint32_t next = 0;
        bool hasNext = false; // the next-directory field lies in the block

        // The directory's own bytes: count, entries and the next-directory field.
        std::uint64_t tableSize() const { return 2 + 12 * std::uint64_t(entries.size()) + (hasNext ? 4 : 0); }
    };

    static constexpr std::uint16_t kExifPointer = 0x8769;
    static constexpr std::uint16_t kGpsPointer = 0x8825;
    static constexpr std::uint16_t kInteropPointer = 0xa005;
    static constexpr std::uint16_t kMakerNote = 0x927c;

    static std::optional<TiffBlock> parse(QByteArrayView bytes);
    // Whether a reader finds every directory and every value of the block within
    // it: it parses, and no entry's value runs past its end (a reader drops such a
    // value, and a writer that lays the block out anew loses it).
    static bool readsWhole(QByteArrayView bytes);
    // The bytes of a value's size, or 0 for a type this reader does not know.
    static std::uint32_t typeSize(std::uint16_t type);

    bool bigEndian() const { return m_bigEndian; }
    const Ifd& ifd(Directory directory) const { return m_ifds[directory]; }
    // The tag that points from a directory's parent at it (0 for IFD0 and IFD1,
    // which the header and IFD0's next field point at), and that parent.
    static std::uint16_t pointerTag(Directory directory);
    static Directory parentOf(Directory directory);

    const Entry* find(Directory directory, std::uint16_t tag) const;
    // The maker note's entry in the Exif directory, if there is one.
    const Entry* makerNote() const;

    std::uint16_t u16(QByteArrayView bytes, std::uint64_t position) const;
    std::uint32_t u32(QByteArrayView bytes, std::uint64_t position) const;

private:
    bool readIfd(QByteArrayView bytes, std::uint32_t offset, Ifd& ifd) const;

    bool m_bigEndian = false;
    std::array<Ifd, DirectoryCount> m_ifds;
};

// Bytes in a TIFF block's byte order.
std::uint16_t tiffU16(QByteArrayView bytes, std::uint64_t position, bool bigEndian);
std::uint32_t tiffU32(QByteArrayView bytes, std::uint64_t position, bool bigEndian);

// Whether [offset, offset + size) lies within bytes of that size.
inline bool tiffRangeFits(std::uint64_t offset, std::uint64_t size, std::uint64_t total)
{
    return offset <= total && size <= total - offset;
}
