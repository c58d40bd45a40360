#include "platform/ImageDataLayout.h"

#include "platform/BmffLayout.h"
#include "platform/JpegHeaderLayout.h"
#include "platform/JpegTrailer.h"
#include "platform/OpenablePhotoPath.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <map>
#include <set>

using namespace Qt::Literals::StringLiterals;

namespace ImageDataLayout {

namespace {

constexpr unsigned char kStartOfScan = 0xDA;
constexpr unsigned char kEndOfImage = 0xD9;

// A JPEG's scan data, from its first start of scan to the end of the image: the
// trailers after it are metadata (JpegTrailer), compared on their own.
std::optional<Pieces> jpegPieces(QByteArrayView file)
{
    const std::optional<qsizetype> scan = jpegScanStart(file);
    if (!scan)
        return std::nullopt;
    const qsizetype end = JpegTrailer::startOf(JpegTrailer::trailersOf(file, *scan), file);
    return Pieces { Piece { file.sliced(*scan, end - *scan) } };
}

constexpr QByteArrayView kPngSignature("\x89PNG\r\n\x1a\n", 8);

// The data of the IDAT chunks, and of an animation's fdAT chunks, as one stream:
// how it is cut into chunks does not matter to the picture.
std::optional<Pieces> pngPieces(QByteArrayView file)
{
    Piece stream;
    qsizetype at = kPngSignature.size();
    while (file.size() - at >= 12) {
        const quint32 length = qFromBigEndian<quint32>(file.data() + at);
        const QByteArrayView type = file.sliced(at + 4, 4);
        if (quint64(length) > quint64(file.size() - at - 12))
            break;
        if (type == "IDAT" || type == "fdAT")
            stream.push_back(file.sliced(at + 8, length));
        if (type == "IEND")
            break;
        at += 12 + qsizetype(length);
    }
    if (stream.empty())
        return std::nullopt;
    return Pieces { stream };
}

// The image chunks of a WebP file, each whole: the picture, its alpha and each
// frame of an animation.
std::optional<Pieces> webpPieces(QByteArrayView file)
{
    Pieces pieces;
    qsizetype at = 12;
    while (file.size() - at >= 8) {
        const QByteArrayView type = file.sliced(at, 4);
        const quint32 length = qFromLittleEndian<quint32>(file.data() + at + 4);
        if (quint64(length) > quint64(file.size() - at - 8))
            break;
        if (type == "VP8 " || type == "VP8L" || type == "ALPH" || type == "ANMF")
            pieces.push_back(Piece { file.sliced(at + 8, length) });
        at += 8 + qsizetype(length) + qsizetype(length & 1);
    }
    if (pieces.empty())
        return std::nullopt;
    return pieces;
}

std::optional<Pieces> tiffPieces(QByteArrayView file)
{
    const auto read = [file](std::uint64_t offset, std::uint64_t size) {
        const std::uint64_t total = std::uint64_t(file.size());
        if (offset >= total)
            return QByteArray();
        return file.sliced(qsizetype(offset), qsizetype(std::min(size, total - offset))).toByteArray();
    };
    const std::optional<std::vector<Range>> ranges = tiffImageRanges(read, std::uint64_t(file.size()));
    if (!ranges)
        return std::nullopt;
    Pieces pieces;
    pieces.reserve(ranges->size());
    const std::uint64_t total = std::uint64_t(file.size());
    for (const Range& range : *ranges) {
        // A strip cut short by the file's end is kept as far as it goes.
        const std::uint64_t start = std::min(range.offset, total);
        const std::uint64_t size = std::min(range.size, total - start);
        pieces.push_back(Piece { file.sliced(qsizetype(start), qsizetype(size)) });
    }
    return pieces;
}

// Whether two pieces hold the same bytes, however each is cut into parts.
bool sameStream(const Piece& a, const Piece& b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    qsizetype atA = 0;
    qsizetype atB = 0;
    while (true) {
        while (i < a.size() && atA == a[i].size()) {
            ++i;
            atA = 0;
        }
        while (j < b.size() && atB == b[j].size()) {
            ++j;
            atB = 0;
        }
        if (i == a.size() || j == b.size())
            return i == a.size() && j == b.size();
        const qsizetype length = std::min(a[i].size() - atA, b[j].size() - atB);
        if (std::memcmp(a[i].data() + atA, b[j].data() + atB, std::size_t(length)) != 0)
            return false;
        atA += length;
        atB += length;
    }
}

qsizetype sizeOf(const Piece& piece)
{
    qsizetype size = 0;
    for (const QByteArrayView part : piece)
        size += part.size();
    return size;
}

// ---- TIFF directories ----

constexpr std::uint16_t kStripOffsets = 0x0111;
constexpr std::uint16_t kStripByteCounts = 0x0117;
constexpr std::uint16_t kTileOffsets = 0x0144;
constexpr std::uint16_t kTileByteCounts = 0x0145;
constexpr std::uint16_t kSubIfds = 0x014a;
constexpr std::uint16_t kJpegOffset = 0x0201;
constexpr std::uint16_t kJpegLength = 0x0202;
// A directory of more entries than this is no directory a camera wrote, and more
// directories than this no photo has.
constexpr std::uint32_t kMaxEntries = 4096;
constexpr int kMaxDirectories = 256;

class TiffWalk {
public:
    TiffWalk(const ByteReader& read, std::uint64_t fileSize, bool bigEndian)
        : m_read(read)
        , m_fileSize(fileSize)
        , m_bigEndian(bigEndian)
    {
    }

    // Walks the directory at offset, then its SubIFDs, then the next one; false
    // when the directory at offset cannot be read. A later directory that cannot
    // be read ends its branch: the same walk over the written file meets it too.
    bool walk(std::uint32_t offset)
    {
        bool first = true;
        while (offset != 0) {
            if (m_seen.count(offset) != 0 || int(m_seen.size()) >= kMaxDirectories)
                return true;
            m_seen.insert(offset);
            std::uint32_t next = 0;
            std::vector<std::uint64_t> children;
            if (!readDirectory(offset, next, children))
                return !first;
            first = false;
            for (const std::uint64_t child : children) {
                if (child <= UINT32_MAX)
                    walk(std::uint32_t(child));
            }
            offset = next;
        }
        return true;
    }

    std::vector<Range> ranges;

private:
    struct Entry {
        std::uint16_t type = 0;
        std::uint32_t count = 0;
        QByteArray field; // the entry's last four bytes
    };

    std::uint32_t u16(const QByteArray& bytes, qsizetype at) const
    {
        const auto* p = reinterpret_cast<const uchar*>(bytes.constData()) + at;
        return m_bigEndian ? qFromBigEndian<quint16>(p) : qFromLittleEndian<quint16>(p);
    }
    std::uint32_t u32(const QByteArray& bytes, qsizetype at) const
    {
        const auto* p = reinterpret_cast<const uchar*>(bytes.constData()) + at;
        return m_bigEndian ? qFromBigEndian<quint32>(p) : qFromLittleEndian<quint32>(p);
    }

    // The entry's numbers (a short, long or IFD array); nothing when they do not
    // lie in the file.
    std::optional<std::vector<std::uint64_t>> numbers(const Entry& entry) const
    {
        const std::uint32_t unit = entry.type == 3 ? 2 : (entry.type == 4 || entry.type == 13) ? 4 : 0;
        if (unit == 0 || entry.count == 0 || std::uint64_t(entry.count) * unit > m_fileSize)
            return std::nullopt;
        const std::uint64_t size = std::uint64_t(entry.count) * unit;
        QByteArray bytes = size <= 4 ? entry.field.first(qsizetype(size)) : m_read(u32(entry.field, 0), size);
        if (std::uint64_t(bytes.size()) != size)
            return std::nullopt;
        std::vector<std::uint64_t> values(entry.count);
        for (std::uint32_t i = 0; i < entry.count; ++i)
            values[i] = unit == 2 ? u16(bytes, qsizetype(i) * 2) : u32(bytes, qsizetype(i) * 4);
        return values;
    }

    // Adds the ranges of one offsets and sizes pair; false when either cannot be
    // read or they do not pair up.
    bool addRanges(const std::map<std::uint16_t, Entry>& entries, std::uint16_t offsetsTag, std::uint16_t sizesTag)
    {
        const auto offsetsEntry = entries.find(offsetsTag);
        if (offsetsEntry == entries.end())
            return true;
        const auto sizesEntry = entries.find(sizesTag);
        if (sizesEntry == entries.end())
            return false;
        const std::optional<std::vector<std::uint64_t>> offsets = numbers(offsetsEntry->second);
        const std::optional<std::vector<std::uint64_t>> sizes = numbers(sizesEntry->second);
        if (!offsets || !sizes || offsets->size() != sizes->size())
            return false;
        for (std::size_t i = 0; i < offsets->size(); ++i)
            ranges.push_back({ (*offsets)[i], (*sizes)[i] });
        return true;
    }

    bool readDirectory(std::uint32_t offset, std::uint32_t& next, std::vector<std::uint64_t>& children)
    {
        const QByteArray countBytes = m_read(offset, 2);
        if (offset < 8 || countBytes.size() != 2)
            return false;
        const std::uint32_t count = u16(countBytes, 0);
        const std::uint64_t tableSize = 12ULL * count;
        if (count == 0 || count > kMaxEntries || !(offset + 2ULL + tableSize <= m_fileSize))
            return false;
        const QByteArray table = m_read(offset + 2ULL, tableSize + 4);
        if (std::uint64_t(table.size()) < tableSize)
            return false;
        std::map<std::uint16_t, Entry> entries;
        for (std::uint32_t i = 0; i < count; ++i) {
            const qsizetype at = qsizetype(i) * 12;
            // The first entry of a tag counts, as for exiv2.
            entries.emplace(std::uint16_t(u16(table, at)),
                Entry { std::uint16_t(u16(table, at + 2)), u32(table, at + 4), table.sliced(at + 8, 4) });
        }
        next = std::uint64_t(table.size()) >= tableSize + 4 ? u32(table, qsizetype(tableSize)) : 0;
        const std::size_t before = ranges.size();
        if (!addRanges(entries, kStripOffsets, kStripByteCounts) || !addRanges(entries, kTileOffsets, kTileByteCounts)
            || !addRanges(entries, kJpegOffset, kJpegLength)) {
            ranges.resize(before);
            return false;
        }
        if (const auto sub = entries.find(kSubIfds); sub != entries.end()) {
            if (const std::optional<std::vector<std::uint64_t>> offsets = numbers(sub->second))
                children = *offsets;
        }
        return true;
    }

    const ByteReader& m_read;
    std::uint64_t m_fileSize;
    bool m_bigEndian;
    std::set<std::uint32_t> m_seen;
};

bool isTiff(QByteArrayView head)
{
    return head.startsWith(QByteArrayView("II*\0", 4)) || head.startsWith(QByteArrayView("MM\0*", 4));
}

} // namespace

// The first start of scan, found as exiv2 finds it when it writes: stray bytes
// between segments are passed over, every marker but the standalone ones has a
// length. Its scan data, and everything after it, is copied unread.
std::optional<qsizetype> jpegScanStart(QByteArrayView file)
{
    JpegHeaderLayout::Segment segment;
    qsizetype position = 2;
    while (position < file.size()) {
        if (static_cast<unsigned char>(file[position]) != 0xFF) {
            const qsizetype marker = file.indexOf('\xFF', position);
            if (marker < 0)
                return std::nullopt;
            position = marker;
        }
        if (JpegHeaderLayout::readSegment(file, position, segment) != JpegHeaderLayout::Step::Read
            || segment.code == kEndOfImage)
            return std::nullopt;
        if (segment.code == kStartOfScan)
            return segment.marker;
        position = segment.end;
    }
    return std::nullopt;
}

Kind kindOf(QByteArrayView head)
{
    if (JpegHeaderLayout::startsAnImage(head))
        return Kind::Jpeg;
    if (isTiff(head))
        return Kind::Tiff;
    if (head.startsWith(kPngSignature))
        return Kind::Png;
    if (head.size() >= 12 && head.startsWith("RIFF") && head.sliced(8, 4) == "WEBP")
        return Kind::Webp;
    if (BmffLayout::isBmff(head))
        return Kind::Bmff;
    return Kind::Other;
}

std::optional<Pieces> piecesOf(QByteArrayView file)
{
    switch (kindOf(file)) {
    case Kind::Jpeg:
        return jpegPieces(file);
    case Kind::Tiff:
        return tiffPieces(file);
    case Kind::Png:
        return pngPieces(file);
    case Kind::Webp:
        return webpPieces(file);
    case Kind::Bmff:
        return BmffLayout::imageDataOf(file);
    case Kind::Other:
        break;
    }
    return std::nullopt;
}

Comparison compare(QByteArrayView original, QByteArrayView written)
{
    const Kind kind = kindOf(original);
    if (kind == Kind::Other)
        return {};
    const std::optional<Pieces> before = piecesOf(original);
    if (!before)
        return { Comparison::NotFound, u"the original's image data cannot be found"_s };
    const std::optional<Pieces> after = kindOf(written) == kind ? piecesOf(written) : std::nullopt;
    if (!after)
        return { Comparison::Differs, u"the written file's image data cannot be found"_s };
    // Bytes past a box that was made too short may be a metadata item's alone,
    // which the pieces leave aside; a reader may stop at them all the same.
    if (kind == Kind::Bmff && BmffLayout::boxesFillFile(original) && !BmffLayout::boxesFillFile(written))
        return { Comparison::Differs, u"the written file's boxes do not fill it"_s };
    if (after->size() != before->size())
        return { Comparison::Differs,
            u"the image data was in %1 pieces and is in %2"_s.arg(before->size()).arg(after->size()) };
    for (std::size_t i = 0; i < before->size(); ++i) {
        if (!sameStream((*before)[i], (*after)[i]))
            return { Comparison::Differs,
                u"piece %1 of the image data (%2 bytes) is not the same (%3 bytes)"_s.arg(i + 1)
                    .arg(sizeOf((*before)[i]))
                    .arg(sizeOf((*after)[i])) };
    }
    return {};
}

std::optional<std::vector<Range>> tiffImageRanges(const ByteReader& read, std::uint64_t fileSize)
{
    const QByteArray header = read(0, 8);
    if (header.size() != 8 || !isTiff(header))
        return std::nullopt;
    const bool bigEndian = header.startsWith("MM");
    const auto* first = reinterpret_cast<const uchar*>(header.constData()) + 4;
    const std::uint32_t ifd0 = bigEndian ? qFromBigEndian<quint32>(first) : qFromLittleEndian<quint32>(first);
    TiffWalk walk(read, fileSize, bigEndian);
    if (!walk.walk(ifd0) || walk.ranges.empty())
        return std::nullopt;
    return std::move(walk.ranges);
}

std::optional<QString> tiffDamage(const QString& path)
{
    QFile file(path);
    if (!openRegularFile(file) || !isTiff(file.peek(4)))
        return std::nullopt;
    const auto read = [&file](std::uint64_t offset, std::uint64_t size) {
        if (offset > std::uint64_t(file.size()) || !file.seek(qint64(offset)))
            return QByteArray();
        return file.read(qint64(std::min<std::uint64_t>(size, std::uint64_t(file.size()) - offset)));
    };
    if (tiffImageRanges(read, std::uint64_t(file.size())))
        return std::nullopt;
    return u"Its metadata cannot be written: its TIFF directories are damaged, so its image data cannot be found."_s;
}

} // namespace ImageDataLayout
