#include "platform/JpegTrailer.h"

#include "platform/ImageDataLayout.h"

#include <QtEndian>
#include <cstdint>

using namespace Qt::Literals::StringLiterals;

namespace JpegTrailer {

namespace {

constexpr qsizetype kAfcpHeader = 12;
constexpr qsizetype kAfcpEntry = 12;
constexpr qsizetype kAfcpFooter = 12;
// AFCP knows four kinds of entry; a directory of more than this is none. And a
// header is looked for in so many places at most, so that a file full of its
// marks costs no more than a few reads of its directory.
constexpr qsizetype kMaxAfcpEntries = 64;
constexpr int kMaxAfcpHeadersTried = 16;
constexpr qsizetype kFotoStationFooter = 10;
constexpr quint32 kFotoStationSignature = 0xA1B2C3D4;
constexpr quint16 kFotoStationIptc = 1;
constexpr QByteArrayView kPhotoMechanicEnd("cbipcbbl", 8);
constexpr qsizetype kPhotoMechanicFooter = 12;
// A MIE group ends with its terminator element ("zmie") and an element of the
// group's size in 4 or 8 bytes, then its byte order (0x10 big-endian, 0x18 little)
// and the size's length.
constexpr QByteArrayView kMieTerminator("~\0\x04\0zmie~\0\0", 11);
constexpr QByteArrayView kIptcName("IPTC", 4);

quint32 u32(QByteArrayView bytes, qsizetype at, bool bigEndian)
{
    const uchar* data = reinterpret_cast<const uchar*>(bytes.data()) + at;
    return bigEndian ? qFromBigEndian<quint32>(data) : qFromLittleEndian<quint32>(data);
}

quint16 u16(QByteArrayView bytes, qsizetype at, bool bigEndian)
{
    const uchar* data = reinterpret_cast<const uchar*>(bytes.data()) + at;
    return bigEndian ? qFromBigEndian<quint16>(data) : qFromLittleEndian<quint16>(data);
}

void append32(QByteArray& bytes, quint32 value, bool bigEndian)
{
    uchar data[4];
    bigEndian ? qToBigEndian(value, data) : qToLittleEndian(value, data);
    bytes.append(reinterpret_cast<const char*>(data), 4);
}

void put32(QByteArray& bytes, qsizetype at, quint32 value, bool bigEndian)
{
    uchar* data = reinterpret_cast<uchar*>(bytes.data()) + at;
    bigEndian ? qToBigEndian(value, data) : qToLittleEndian(value, data);
}

bool isAfcpMark(QByteArrayView bytes)
{
    return bytes.size() >= 4 && bytes.first(3) == "AXS" && (bytes[3] == '!' || bytes[3] == '*');
}

bool afcpIsBigEndian(QByteArrayView file, const Trailer& trailer)
{
    return file[trailer.start + 3] == '!';
}

// The AFCP directory of a header at start, its values read fix bytes from where
// the entries say; false when it does not fit between the header and the footer.
bool readAfcpDirectory(QByteArrayView file, qsizetype start, qsizetype footer, qint64 fix, Trailer& trailer)
{
    const bool big = file[start + 3] == '!';
    const qsizetype count = u16(file, start + 6, big);
    if (count > kMaxAfcpEntries)
        return false;
    const qsizetype values = start + kAfcpHeader + count * kAfcpEntry;
    if (values > footer)
        return false;
    trailer.entries.clear();
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype entry = start + kAfcpHeader + i * kAfcpEntry;
        const qint64 size = u32(file, entry + 4, big);
        const qint64 at = qint64(u32(file, entry + 8, big)) + fix;
        if (at < values || at + size > footer)
            return false;
        const QByteArray tag = file.sliced(entry, 4).toByteArray();
        trailer.entries.push_back({ tag, file.sliced(qsizetype(at), qsizetype(size)), tag == "IPTC" });
    }
    return true;
}

// The AFCP trailer that ends at end. Where its footer does not point at its header
// (the bytes before it changed length), the header is looked for as exiftool looks
// for it, and its directory must then fit.
std::optional<Trailer> afcpEndingAt(QByteArrayView file, qsizetype imageStart, qsizetype end)
{
    const qsizetype footer = end - kAfcpFooter;
    if (footer - kAfcpHeader < imageStart || !isAfcpMark(file.sliced(footer)))
        return std::nullopt;
    const QByteArrayView mark = file.sliced(footer, 4);
    Trailer trailer;
    trailer.kind = Trailer::Afcp;
    trailer.end = end;
    trailer.statedStart = qsizetype(u32(file, footer + 4, mark[3] == '!'));
    const auto readAt = [&](qsizetype start) {
        if (start < imageStart || start + kAfcpHeader > footer || file.sliced(start, 4) != mark)
            return false;
        trailer.start = start;
        return readAfcpDirectory(file, start, footer, qint64(start) - trailer.statedStart, trailer);
    };
    if (readAt(trailer.statedStart))
        return trailer;
    int tried = 0;
    for (qsizetype at = file.first(footer).lastIndexOf(mark);
         at >= imageStart && tried++<kMaxAfcpHeadersTried; at = at> 0 ? file.first(at).lastIndexOf(mark) : -1) {
        if (readAt(at))
            return trailer;
    }
    return std::nullopt;
}

// The FotoStation records that end at end, one before the other.
std::optional<Trailer> fotoStationEndingAt(QByteArrayView file, qsizetype imageStart, qsizetype end)
{
    Trailer trailer;
    trailer.kind = Trailer::FotoStation;
    trailer.end = end;
    qsizetype at = end;
    while (at - kFotoStationFooter >= imageStart && u32(file, at - 4, true) == kFotoStationSignature) {
        const qsizetype size = u32(file, at - 8, true);
        if (size < kFotoStationFooter || size > at - imageStart)
            break;
        const quint16 tag = u16(file, at - kFotoStationFooter, true);
        const qsizetype start = at - size;
        trailer.entries.insert(trailer.entries.begin(),
            { file.sliced(at - kFotoStationFooter, 2).toByteArray(), file.sliced(start, size - kFotoStationFooter),
                tag == kFotoStationIptc });
        at = start;
    }
    if (trailer.entries.empty())
        return std::nullopt;
    trailer.start = trailer.statedStart = at;
    return trailer;
}

std::optional<Trailer> photoMechanicEndingAt(QByteArrayView file, qsizetype imageStart, qsizetype end)
{
    if (end - kPhotoMechanicFooter < imageStart || file.sliced(end - 8, 8) != kPhotoMechanicEnd)
        return std::nullopt;
    const qint64 size = u32(file, end - kPhotoMechanicFooter, true);
    if (size > qint64(end - kPhotoMechanicFooter - imageStart))
        return std::nullopt;
    Trailer trailer;
    trailer.kind = Trailer::PhotoMechanic;
    trailer.start = trailer.statedStart = end - kPhotoMechanicFooter - qsizetype(size);
    trailer.end = end;
    trailer.entries.push_back({ {}, file.sliced(trailer.start, end - trailer.start), false });
    return trailer;
}

// The size the MIE group that ends the bytes gives itself, which may be more than
// they hold (their last bytes alone tell whether one ends them); nothing when they
// end with none.
std::optional<quint64> mieGroupSize(QByteArrayView bytes)
{
    const qsizetype size = bytes.size();
    for (const qsizetype length : { qsizetype(4), qsizetype(8) }) {
        const qsizetype element = kMieTerminator.size() + 1 + length + 2;
        if (size < element || bytes.sliced(size - element, kMieTerminator.size()) != kMieTerminator
            || bytes[size - element + kMieTerminator.size()] != char(length + 2) || bytes[size - 1] != char(length))
            continue;
        const char order = bytes[size - 2];
        if (order != '\x10' && order != '\x18')
            return std::nullopt;
        const bool big = order == '\x10';
        const qsizetype at = size - 2 - length;
        if (length == 4)
            return u32(bytes, at, big);
        return quint64(u32(bytes, big ? at : at + 4, big)) << 32 | u32(bytes, big ? at + 4 : at, big);
    }
    return std::nullopt;
}

std::vector<Entry> keptEntries(const Trailer& trailer, bool dropIptc)
{
    std::vector<Entry> kept;
    for (const Entry& entry : trailer.entries) {
        if (!(dropIptc && entry.holdsIptc))
            kept.push_back(entry);
    }
    return kept;
}

// The trailer as it is to stand at position in the new file; empty when it goes.
std::optional<QByteArray> rebuilt(QByteArrayView file, const Trailer& trailer, qint64 position, bool dropIptc)
{
    const std::vector<Entry> kept = keptEntries(trailer, dropIptc);
    if (kept.empty() && !trailer.entries.empty())
        return QByteArray();
    const QByteArrayView old = file.sliced(trailer.start, trailer.end - trailer.start);
    if (trailer.kind == Trailer::PhotoMechanic)
        return old.toByteArray();
    if (trailer.kind == Trailer::FotoStation) {
        QByteArray bytes;
        for (const Entry& entry : kept) {
            bytes.append(entry.value).append(entry.tag);
            append32(bytes, quint32(entry.value.size() + kFotoStationFooter), true);
            append32(bytes, kFotoStationSignature, true);
        }
        return bytes;
    }
    const bool big = afcpIsBigEndian(file, trailer);
    const qint64 count = qint64(kept.size());
    // Its offsets have 32 bits; a new layout is never longer than the old.
    if (position + old.size() > qint64(UINT32_MAX))
        return std::nullopt;
    QByteArray bytes;
    if (kept.size() == trailer.entries.size()) {
        // Moved whole: every offset shifts with it, the layout stays.
        bytes = old.toByteArray();
        const qint64 shift = position - trailer.statedStart;
        for (qsizetype i = 0; i < count; ++i) {
            const qsizetype entry = kAfcpHeader + i * kAfcpEntry + 8;
            put32(bytes, entry, quint32(qint64(u32(bytes, entry, big)) + shift), big);
        }
        put32(bytes, bytes.size() - kAfcpFooter + 4, quint32(position), big);
        return bytes;
    }
    // Laid out anew as exiftool lays it out: the values one after another behind
    // the directory, in its order.
    bytes.append(old.first(6));
    bytes.append(char(big ? count >> 8 : count & 0xff)).append(char(big ? count & 0xff : count >> 8));
    bytes.append(old.sliced(8, 4));
    quint32 valueAt = quint32(position + kAfcpHeader + count * kAfcpEntry);
    for (const Entry& entry : kept) {
        bytes.append(entry.tag);
        append32(bytes, quint32(entry.value.size()), big);
        append32(bytes, valueAt, big);
        valueAt += quint32(entry.value.size());
    }
    for (const Entry& entry : kept)
        bytes.append(entry.value);
    bytes.append(old.last(kAfcpFooter).first(4));
    append32(bytes, quint32(position), big);
    bytes.append(old.last(4));
    return bytes;
}

QString nameOf(Trailer::Kind kind)
{
    switch (kind) {
    case Trailer::Afcp:
        return u"AFCP"_s;
    case Trailer::FotoStation:
        return u"FotoStation"_s;
    case Trailer::PhotoMechanic:
        break;
    }
    return u"PhotoMechanic"_s;
}

std::vector<Trailer> trailersAfterImage(QByteArrayView file)
{
    const std::optional<qsizetype> scan = ImageDataLayout::jpegScanStart(file);
    return scan ? trailersOf(file, *scan) : std::vector<Trailer>();
}

} // namespace

std::vector<Trailer> trailersOf(QByteArrayView file, qsizetype imageStart)
{
    std::vector<Trailer> trailers;
    qsizetype end = file.size();
    while (end > imageStart) {
        std::optional<Trailer> trailer = afcpEndingAt(file, imageStart, end);
        if (!trailer)
            trailer = fotoStationEndingAt(file, imageStart, end);
        if (!trailer)
            trailer = photoMechanicEndingAt(file, imageStart, end);
        if (!trailer)
            break;
        end = trailer->start;
        trailers.insert(trailers.begin(), std::move(*trailer));
    }
    return trailers;
}

qsizetype startOf(const std::vector<Trailer>& trailers, QByteArrayView file)
{
    return trailers.empty() ? file.size() : trailers.front().start;
}

bool endsWithOne(QByteArrayView lastBytes)
{
    const qsizetype size = lastBytes.size();
    return (size >= kAfcpFooter && isAfcpMark(lastBytes.sliced(size - kAfcpFooter)))
        || (size >= kFotoStationFooter && u32(lastBytes, size - 4, true) == kFotoStationSignature)
        || lastBytes.endsWith(kPhotoMechanicEnd) || mieGroupSize(lastBytes);
}

std::optional<QByteArray> carriedOver(QByteArrayView written, QByteArrayView original, bool dropIptc)
{
    const std::vector<Trailer> trailers = trailersAfterImage(original);
    if (trailers.empty())
        return std::nullopt;
    const QByteArrayView tail = original.sliced(startOf(trailers, original));
    if (!written.endsWith(tail))
        return std::nullopt;
    const qsizetype start = written.size() - tail.size();
    QByteArray moved;
    for (const Trailer& trailer : trailers) {
        const std::optional<QByteArray> bytes = rebuilt(original, trailer, qint64(start + moved.size()), dropIptc);
        if (!bytes)
            return std::nullopt;
        moved.append(*bytes);
    }
    if (moved == tail)
        return std::nullopt;
    QByteArray file;
    file.reserve(start + moved.size());
    file.append(written.first(start)).append(moved);
    return file;
}

std::optional<QString> difference(QByteArrayView original, QByteArrayView written, bool iptcDropped)
{
    std::vector<Trailer> wanted = trailersAfterImage(original);
    const std::vector<Trailer> found = trailersAfterImage(written);
    for (auto it = wanted.begin(); it != wanted.end();) {
        const bool hadEntries = !it->entries.empty();
        it->entries = keptEntries(*it, iptcDropped);
        it = hadEntries && it->entries.empty() ? wanted.erase(it) : std::next(it);
    }
    if (wanted.size() != found.size())
        return u"the file had %1 trailers to keep after its image and has %2"_s.arg(wanted.size()).arg(found.size());
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        const Trailer& was = wanted[i];
        const Trailer& is = found[i];
        const QString name = nameOf(was.kind);
        if (is.kind != was.kind)
            return u"the %1 trailer is now a %2 trailer"_s.arg(name, nameOf(is.kind));
        if (is.start != is.statedStart)
            return u"the %1 trailer's offsets point %2 bytes beside its values"_s.arg(name).arg(
                qint64(is.statedStart) - qint64(is.start));
        if (is.entries.size() != was.entries.size())
            return u"the %1 trailer held %2 values to keep and holds %3"_s.arg(name)
                .arg(was.entries.size())
                .arg(is.entries.size());
        for (std::size_t k = 0; k < was.entries.size(); ++k) {
            if (is.entries[k].tag != was.entries[k].tag || is.entries[k].value != was.entries[k].value)
                return u"value %1 of the %2 trailer is not the same"_s.arg(k + 1).arg(name);
        }
    }
    return std::nullopt;
}

std::optional<KeptIptc> iptcKeptIn(QByteArrayView file, qsizetype imageStart, bool rewritten)
{
    const std::vector<Trailer> trailers = trailersOf(file, imageStart);
    for (const Trailer& trailer : trailers) {
        for (const Entry& entry : trailer.entries) {
            if (!rewritten && entry.holdsIptc)
                return KeptIptc { nameOf(trailer.kind), false };
        }
    }
    // Before the trailers read whole: an AFCP trailer whose directory does not fit
    // is read as exiftool reads it, entry by entry up to the first that cannot be.
    const qsizetype end = startOf(trailers, file);
    if (end - kAfcpFooter >= imageStart && isAfcpMark(file.sliced(end - kAfcpFooter))) {
        const QByteArrayView mark = file.sliced(end - kAfcpFooter, 4);
        const bool big = mark[3] == '!';
        const qsizetype stated = qsizetype(u32(file, end - kAfcpFooter + 4, big));
        const qsizetype start
            = stated >= imageStart && stated + kAfcpHeader <= file.size() && file.sliced(stated, 4) == mark
            ? stated
            : file.indexOf(mark, imageStart);
        if (start < 0 || start + kAfcpHeader > file.size())
            return std::nullopt;
        const qint64 fix = qint64(start) - stated;
        const qsizetype count = u16(file, start + 6, big);
        if (start + kAfcpHeader + count * kAfcpEntry > file.size())
            return std::nullopt;
        for (qsizetype i = 0; i < count; ++i) {
            const qsizetype entry = start + kAfcpHeader + i * kAfcpEntry;
            const qint64 at = qint64(u32(file, entry + 8, big)) + fix;
            const qint64 size = u32(file, entry + 4, big);
            if (size >= 0x80000000LL || at < 0 || at + size > file.size())
                break;
            if (file.sliced(entry, 4) == kIptcName)
                return KeptIptc { nameOf(Trailer::Afcp), true };
        }
        return std::nullopt;
    }
    // A MIE trailer is taken to hold IPTC data where its last group names it.
    const std::optional<quint64> mie = mieGroupSize(file.first(end).sliced(imageStart));
    if (mie && *mie <= quint64(end - imageStart)
        && file.sliced(end - qsizetype(*mie), qsizetype(*mie)).contains(kIptcName))
        return KeptIptc { u"MIE"_s, false };
    return std::nullopt;
}

} // namespace JpegTrailer
