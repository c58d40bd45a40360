#pragma once

#include "platform/TiffBlock.h"

#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// Where a maker note's values may lie, whatever camera wrote it and whether or
// not exiv2 decodes it. Most maker notes are a TIFF directory behind a short
// header, but makers address the values of its entries from different places:
// the maker note's start, a TIFF header of its own, or the Exif block's TIFF
// header. Each value is therefore placed both ways; a reader cannot tell which
// is meant, so a writer that keeps the note must keep both.
struct MakerNoteLayout {
    struct Range {
        std::uint64_t offset = 0;
        std::uint64_t size = 0;
    };

    std::uint32_t start = 0; // of the note's bytes in the block
    std::uint32_t size = 0;
    // The note's directory was found; without it only the note's bytes are known.
    bool hasDirectory = false;
    // The note's entries' values that lie outside the entries, each with its
    // stored offset resolved from the note's own base and from the TIFF header.
    struct Value {
        std::uint16_t tag = 0;
        std::uint64_t size = 0;
        Range fromNote;
        Range fromHeader;
    };
    std::vector<Value> values;

    // The layout of the block's maker note; nothing when it has none that lies
    // within the block.
    static std::optional<MakerNoteLayout> of(QByteArrayView block, const TiffBlock& tiff);
};

// Compares the maker note of a block before and after a write at the byte level:
// its bytes and the bytes of every value its entries point to, in each place the
// value may lie. A place that holds another tag's value or a directory of the
// original block cannot be the note's and is not compared; a value the note
// moved along with itself is found where the note now lies. Answers what differs
// (for the log), or nothing when the note was kept. A block without a maker note
// before has nothing to keep.
std::optional<QString> makerNoteDifference(QByteArrayView before, QByteArrayView after);

// The ranges of a block that hold its directories and the values of their
// entries (the maker note's own bytes aside), and the thumbnail's data.
std::vector<MakerNoteLayout::Range> tiffStructureRanges(QByteArrayView block, const TiffBlock& tiff);
// The thumbnail's data, as IFD1 gives it.
std::optional<MakerNoteLayout::Range> tiffThumbnailRange(QByteArrayView block, const TiffBlock& tiff);
