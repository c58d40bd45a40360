#pragma once

#include <QByteArrayView>
#include <optional>
#include <vector>

// What BmffLayout and the item rewrite read an ISO base media file with: numbers
// from untrusted bytes, boxes, and the boxes of "meta" that list and place items.
// Every read is checked against the bytes it is given; what does not fit answers
// nothing.
namespace BmffReading {

// Big-endian numbers read one after another from untrusted bytes. A read past the
// end answers 0 and marks the reader failed for good, so a walk checks once at the end.
class Reader {
public:
    explicit Reader(QByteArrayView bytes)
        : m_bytes(bytes)
    {
    }

    // size is 0 (nothing, as an absent field), 1, 2, 3, 4 or 8 bytes.
    quint64 number(unsigned size)
    {
        if (m_failed || size > 8 || size > quint64(m_bytes.size() - m_at)) {
            m_failed = true;
            return 0;
        }
        quint64 value = 0;
        for (unsigned i = 0; i < size; ++i)
            value = (value << 8) | static_cast<unsigned char>(m_bytes[m_at++]);
        return value;
    }

    QByteArrayView take(qsizetype size)
    {
        if (m_failed || size > m_bytes.size() - m_at) {
            m_failed = true;
            return {};
        }
        m_at += size;
        return m_bytes.sliced(m_at - size, size);
    }

    QByteArrayView rest() const { return m_failed ? QByteArrayView() : m_bytes.sliced(m_at); }
    bool failed() const { return m_failed; }
    qsizetype position() const { return m_at; }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    bool m_failed = false;
};

// The header of the box that starts bytes: its size (a size of 0, "to the end",
// answered as the rest of bytes), type and header size; nothing when it does not fit.
struct BoxHeader {
    quint64 size = 0;
    QByteArrayView type;
    qsizetype headerSize = 8;
    bool toEnd = false;
};

std::optional<BoxHeader> boxHeaderOf(QByteArrayView bytes);

// Calls visit(type, payload) for each box that fills bytes, one after another,
// until it answers true; stops quietly at the first box that does not fit.
template<typename Visit>
void forEachBox(QByteArrayView bytes, Visit visit)
{
    while (!bytes.isEmpty()) {
        const std::optional<BoxHeader> box = boxHeaderOf(bytes);
        if (!box)
            return;
        if (visit(box->type, bytes.sliced(box->headerSize, qsizetype(box->size) - box->headerSize)))
            return;
        bytes = bytes.sliced(qsizetype(box->size));
    }
}

// The payload of the first box among bytes' boxes of type wanted.
std::optional<QByteArrayView> payloadOf(QByteArrayView bytes, QByteArrayView wanted);

// Calls visit(version, entry) for each entry ("infe") of "iinf", entry read up to
// its item's id, until it answers true.
template<typename Visit>
void forEachItemEntry(QByteArrayView iinf, Visit visit)
{
    Reader list(iinf);
    const quint64 version = list.number(1);
    list.number(3);
    list.number(version == 0 ? 2 : 4); // the count: the boxes that follow tell
    forEachBox(list.rest(), [&](QByteArrayView type, QByteArrayView payload) {
        if (type != "infe")
            return false;
        Reader entry(payload);
        const quint64 entryVersion = entry.number(1);
        entry.number(3);
        return visit(entryVersion, entry);
    });
}

// Calls visit(id, type, content) for each entry of "iinf" that names its item's
// type (content: a mime item's content type, else what follows the name), until
// it answers true.
template<typename Visit>
void forEachItemInfo(QByteArrayView iinf, Visit visit)
{
    forEachItemEntry(iinf, [&](quint64 entryVersion, Reader& entry) {
        if (entryVersion < 2) // older entries name no item type
            return false;
        const quint64 itemId = entry.number(entryVersion == 2 ? 2 : 4);
        entry.number(2); // protection index
        const QByteArrayView itemType = entry.take(4);
        if (entry.failed())
            return false;
        // The item's name, then a mime item's content type, each ended by a zero.
        const QByteArrayView texts = entry.rest();
        const qsizetype nameEnd = texts.indexOf('\0');
        return visit(itemId, itemType, nameEnd < 0 ? QByteArrayView() : texts.sliced(nameEnd + 1));
    });
}

// Whether a "mime" item's content (its content type, ended by a zero) is contentType.
bool namesContent(QByteArrayView content, QByteArrayView contentType);

// One entry of "iloc": where an item's bytes lie.
struct ItemLocation {
    quint64 id = 0;
    quint64 method = 0; // 0: in the file, 1: in "idat", 2: made of other items
    quint64 dataReference = 0; // 0: this file
    quint64 base = 0;
    qsizetype baseAt = 0; // where the field lies in the box's payload
    struct Extent {
        quint64 offset = 0;
        quint64 length = 0;
        qsizetype offsetAt = 0;
        qsizetype lengthAt = 0;
    };
    std::vector<Extent> extents;
};

// The sizes of the fields of "iloc", in bytes (0: the field is absent).
struct ItemLocationSizes {
    unsigned offset = 0;
    unsigned length = 0;
    unsigned base = 0;
};

// The entries of "iloc" in its order, as far as they can be read (complete tells
// whether that is all of them); nothing when the box's sizes are not valid.
std::optional<std::vector<ItemLocation>> itemLocations(
    QByteArrayView iloc, bool* complete = nullptr, ItemLocationSizes* fieldSizes = nullptr);

// The bytes of one extent within source; nothing when they do not lie in it. A
// length of 0 stands for the rest of the source.
std::optional<QByteArrayView> extentBytes(QByteArrayView source, quint64 base, const ItemLocation::Extent& extent);

// The boxes of "meta" that list and place items.
struct ItemBoxes {
    QByteArrayView meta; // after its version and flags
    QByteArrayView iinf;
    QByteArrayView iloc;
};
std::optional<ItemBoxes> itemBoxesOf(QByteArrayView file);

// The metadata items of one kind: the primary image's, and every other image's.
struct ItemsOfKind {
    std::optional<QByteArrayView> primary;
    std::optional<quint64> primaryId;
    std::vector<QByteArrayView> others;
    bool hasOthers = false;
};

// The items of type (and contentType): the first that describes the primary image,
// or the file as a whole (it describes no item), is the primary image's; one that
// describes only other images (a gain map, a depth map) is theirs. A file that
// names no primary image has only the first item, as the primary image's.
ItemsOfKind itemsOf(QByteArrayView file, QByteArrayView itemType, QByteArrayView contentType);

// The TIFF block of an Exif item, after the offset of its header and "Exif\0\0";
// nothing when no TIFF header lies where the item says.
std::optional<QByteArrayView> tiffOfExifItem(std::optional<QByteArrayView> item);

// A part of the file's bytes, from start to end.
struct Span {
    qsizetype start = 0;
    qsizetype end = 0;
};

// Where part, a view into file, starts in it.
inline qsizetype offsetIn(QByteArrayView file, QByteArrayView part)
{
    return qsizetype(part.data() - file.data());
}

// One of the file's top-level boxes, as a writer that moves bytes sees it.
struct TopBox {
    QByteArrayView type;
    qsizetype start = 0;
    qsizetype payloadStart = 0;
    qsizetype end = 0;
    BoxHeader header;
};

// The top-level boxes, when they fill the file exactly.
std::optional<std::vector<TopBox>> topBoxesOf(QByteArrayView file);

} // namespace BmffReading
