#pragma once

#include "platform/TiffBlock.h"

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// Edits a TIFF block without moving any byte of it. A maker note addresses its
// values in ways no general writer can know (from its own start, from the TIFF
// header, through a header of its own), so the only layout that keeps every maker
// note is the one it was written in. Each directory that changes is written anew
// in space appended to the block, with its new values; the header or the parent's
// pointer is set to it (in place where the parent itself does not change). The old
// directory and the values the edit replaced or removed are overwritten with
// zeros, so that a cleared value is really gone; bytes that something kept still
// points at (the maker note's values too, wherever they may lie) stay.
class TiffBlockPatcher {
public:
    // One value of an entry, its bytes in the block's byte order.
    struct Value {
        std::uint16_t type = 0;
        std::uint32_t count = 0;
        QByteArray bytes;
    };
    // What changes: per directory, the tags whose entries are replaced by the
    // values given (none: the tag goes). A directory left without entries goes.
    struct Edit {
        std::array<std::map<std::uint16_t, std::vector<Value>>, TiffBlock::DirectoryCount> tags;
        bool removesMakerNote = false;

        bool isEmpty() const;
    };

    // The edited block; nothing when the block cannot be read as TIFF or the
    // result would pass maxSize bytes.
    static std::optional<QByteArray> patched(QByteArrayView block, const Edit& edit, std::uint64_t maxSize);
};
