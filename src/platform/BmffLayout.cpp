#include "platform/BmffLayout.h"

#include <QFile>
#include <QtEndian>

using namespace Qt::Literals::StringLiterals;

namespace {

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

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    bool m_failed = false;
};

// Calls visit(type, payload) for each box that fills bytes, one after another,
// until it answers true; stops quietly at the first box that does not fit.
template<typename Visit>
void forEachBox(QByteArrayView bytes, Visit visit)
{
    while (!bytes.isEmpty()) {
        Reader header(bytes);
        quint64 size = header.number(4);
        const QByteArrayView type = header.take(4);
        qsizetype headerSize = 8;
        if (size == 1) {
            size = header.number(8);
            headerSize = 16;
        } else if (size == 0) {
            size = quint64(bytes.size());
        }
        if (header.failed() || size < quint64(headerSize) || size > quint64(bytes.size()))
            return;
        if (visit(type, bytes.sliced(headerSize, qsizetype(size) - headerSize)))
            return;
        bytes = bytes.sliced(qsizetype(size));
    }
}

std::optional<QByteArrayView> payloadOf(QByteArrayView bytes, QByteArrayView wanted)
{
    std::optional<QByteArrayView> found;
    forEachBox(bytes, [&](QByteArrayView type, QByteArrayView payload) {
        if (type == wanted)
            found = payload;
        return found.has_value();
    });
    return found;
}

// The id of the first item of type that "iinf" lists; for a "mime" item, also of
// contentType.
std::optional<quint64> itemIdOf(QByteArrayView iinf, QByteArrayView itemType, QByteArrayView contentType)
{
    Reader list(iinf);
    const quint64 version = list.number(1);
    list.number(3);
    list.number(version == 0 ? 2 : 4); // the count: the boxes that follow tell
    std::optional<quint64> id;
    forEachBox(list.rest(), [&](QByteArrayView type, QByteArrayView payload) {
        if (type != "infe")
            return false;
        Reader entry(payload);
        const quint64 entryVersion = entry.number(1);
        entry.number(3);
        if (entryVersion < 2) // older entries name no item type
            return false;
        const quint64 itemId = entry.number(entryVersion == 2 ? 2 : 4);
        entry.number(2); // protection index
        if (entry.failed() || entry.take(4) != itemType)
            return false;
        // The item's name, then a mime item's content type, each ended by a zero.
        const QByteArrayView texts = entry.rest();
        const qsizetype nameEnd = texts.indexOf('\0');
        const QByteArrayView content = nameEnd < 0 ? QByteArrayView() : texts.sliced(nameEnd + 1);
        const bool namesContent = content == contentType
            || (content.startsWith(contentType) && content.size() > contentType.size()
                && content[contentType.size()] == '\0');
        if (contentType.isEmpty() || namesContent)
            id = itemId;
        return id.has_value();
    });
    return id;
}

// Where "iloc" places the item: its bytes within file, or within "idat" (meta's
// own data); nothing for more than one extent or another file.
std::optional<QByteArrayView> itemBytes(QByteArrayView iloc, quint64 wanted, QByteArrayView file, QByteArrayView meta)
{
    Reader at(iloc);
    const quint64 version = at.number(1);
    at.number(3);
    const quint64 sizes = at.number(1);
    const quint64 moreSizes = at.number(1);
    const unsigned offsetSize = unsigned(sizes >> 4), lengthSize = unsigned(sizes & 15);
    const unsigned baseSize = unsigned(moreSizes >> 4), indexSize = version >= 1 ? unsigned(moreSizes & 15) : 0;
    const auto valid = [](unsigned size) { return size == 0 || size == 4 || size == 8; };
    if (version > 2 || !valid(offsetSize) || !valid(lengthSize) || !valid(baseSize) || !valid(indexSize))
        return std::nullopt;
    const unsigned extentSize = indexSize + offsetSize + lengthSize;
    const quint64 count = at.number(version < 2 ? 2 : 4);
    for (quint64 item = 0; item < count && !at.failed(); ++item) {
        const quint64 id = at.number(version < 2 ? 2 : 4);
        const quint64 method = version >= 1 ? at.number(2) & 15 : 0;
        const quint64 dataReference = at.number(2);
        const quint64 base = at.number(baseSize);
        const quint64 extents = at.number(2);
        quint64 offset = 0;
        quint64 length = 0;
        // Extents of no bytes at all would cost a turn each and place nothing.
        for (quint64 extent = 0; extent < extents && extentSize > 0 && !at.failed(); ++extent) {
            at.number(indexSize);
            offset = at.number(offsetSize);
            length = at.number(lengthSize);
        }
        if (at.failed() || id != wanted)
            continue;
        if (extents != 1 || dataReference != 0 || method > 1)
            return std::nullopt;
        std::optional<QByteArrayView> source = method == 0 ? std::optional(file) : payloadOf(meta, "idat");
        if (!source)
            return std::nullopt;
        const quint64 size = quint64(source->size());
        if (base > size || offset > size - base)
            return std::nullopt;
        const quint64 start = base + offset;
        // A length of 0 may mean "to the end of the source", but exiftool leaves
        // the item it empties so: a metadata item of no length is taken as none.
        if (length == 0 || length > size - start)
            return std::nullopt;
        return source->sliced(qsizetype(start), qsizetype(length));
    }
    return std::nullopt;
}

// The bytes of the file's first item of type (and contentType), see itemIdOf.
std::optional<QByteArrayView> itemOf(QByteArrayView file, QByteArrayView itemType, QByteArrayView contentType)
{
    if (!BmffLayout::isBmff(file))
        return std::nullopt;
    const std::optional<QByteArrayView> metaBox = payloadOf(file, "meta");
    if (!metaBox || metaBox->size() < 4)
        return std::nullopt;
    const QByteArrayView meta = metaBox->sliced(4); // after its version and flags
    const std::optional<QByteArrayView> iinf = payloadOf(meta, "iinf");
    const std::optional<QByteArrayView> iloc = payloadOf(meta, "iloc");
    const std::optional<quint64> id = iinf ? itemIdOf(*iinf, itemType, contentType) : std::nullopt;
    return id && iloc ? itemBytes(*iloc, *id, file, meta) : std::nullopt;
}

} // namespace

namespace BmffLayout {

bool isBmff(QByteArrayView head)
{
    return head.size() >= 12 && head.sliced(4, 4) == "ftyp";
}

std::optional<QString> missingPart(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !isBmff(file.peek(12)))
        return std::nullopt;
    const qint64 size = file.size();
    qint64 at = 0;
    bool mediaData = false;
    while (at < size) {
        if (!file.seek(at))
            return std::nullopt;
        const QByteArray header = file.read(16);
        if (header.size() < 8)
            return u"The photo's file ends inside its structure, so it cannot be written."_s;
        quint64 boxSize = qFromBigEndian<quint32>(header.constData());
        const QByteArray type = header.mid(4, 4);
        if (boxSize == 1) {
            if (header.size() < 16)
                return u"The photo's file ends inside its structure, so it cannot be written."_s;
            boxSize = qFromBigEndian<quint64>(header.constData() + 8);
        } else if (boxSize == 0) {
            boxSize = quint64(size - at);
        }
        if (boxSize < 8 || boxSize > quint64(size - at))
            return u"The photo's file ends inside its structure, so it cannot be written."_s;
        if (type == "mdat")
            mediaData = true;
        if (type == "meta" && boxSize < (64u << 20)) {
            const QByteArray meta = file.read(qint64(boxSize) - 16);
            mediaData = mediaData || meta.contains("idat");
        }
        at += qint64(boxSize);
    }
    if (!mediaData)
        return u"The photo's image data is not in its file (it was cut away), so it cannot be written."_s;
    return std::nullopt;
}

std::optional<QByteArrayView> exifItem(QByteArrayView file)
{
    const std::optional<QByteArrayView> item = itemOf(file, "Exif", {});
    if (!item || item->size() < 4)
        return std::nullopt;

    // The item starts with the offset of the TIFF header past its own four bytes,
    // usually over an "Exif\0\0" prefix; some writers give the prefix alone.
    constexpr QByteArrayView kPrefix("Exif\0\0", 6);
    QByteArrayView tiff;
    if (item->startsWith(kPrefix)) {
        tiff = item->sliced(6);
    } else {
        const quint64 headerOffset = qFromBigEndian<quint32>(item->data());
        if (headerOffset > quint64(item->size() - 4))
            return std::nullopt;
        tiff = item->sliced(4 + qsizetype(headerOffset));
        if (tiff.startsWith(kPrefix))
            tiff = tiff.sliced(6);
    }
    if (!tiff.startsWith(QByteArrayView("II*\0", 4)) && !tiff.startsWith(QByteArrayView("MM\0*", 4)))
        return std::nullopt;
    return tiff;
}

std::optional<QByteArrayView> xmpItem(QByteArrayView file)
{
    std::optional<QByteArrayView> packet = itemOf(file, "mime", "application/rdf+xml");
    // A packet may be stored with its C string's end.
    while (packet && packet->endsWith('\0'))
        packet->chop(1);
    if (!packet || packet->isEmpty())
        return std::nullopt;
    return packet;
}

} // namespace BmffLayout
