#include "platform/Exiv2Adapter.h"

#include "base/Logging.h"
#include "platform/BmffLayout.h"
#include "platform/Exiv2Setup.h"
#include "platform/FLTImageMetadata.h"
#include "platform/JpegHeaderLayout.h"
#include "platform/OpenablePhotoPath.h"
#include "platform/XmpWorkers.h"

#include <QFile>
#include <exiv2/exiv2.hpp>
#include <limits>
#include <stdexcept>

namespace {

void report(const QString& what, const QString& path, const QString& message, Exiv2Adapter::Severity severity)
{
    const QString line = QStringLiteral("Cannot %1 %2: %3").arg(what, path, message);
    if (severity == Exiv2Adapter::Severity::Warning)
        qCWarning(lcMetadata).noquote() << line;
    else
        qCDebug(lcMetadata).noquote() << line;
}

// The bytes of an image's file, mapped while the object lives; empty when they
// cannot be.
class MappedFile {
public:
    explicit MappedFile(Exiv2::BasicIo& io)
        : m_io(io)
        , m_open(io.open() == 0)
    {
        if (!m_open)
            return;
        const long size = io.size();
        const Exiv2::byte* data = size > 0 ? io.mmap() : nullptr;
        if (data)
            m_bytes = QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size));
    }
    ~MappedFile()
    {
        if (!m_bytes.isEmpty())
            m_io.munmap();
        if (m_open)
            m_io.close();
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    QByteArrayView bytes() const { return m_bytes; }
    bool isOpen() const { return m_open; }

private:
    Exiv2::BasicIo& m_io;
    bool m_open;
    QByteArrayView m_bytes;
};

// The XMP data of a packet, as exiv2 decodes a HEIF file's own (without keeping
// the packet text); false when the packet cannot be read.
bool decodeItemXmp(Exiv2::XmpData& xmpData, QByteArrayView packet)
{
    return Exiv2::XmpParser::decode(xmpData, std::string(packet.data(), std::size_t(packet.size()))) == 0;
}

void decodeItemExif(Exiv2::Image& image, QByteArrayView tiff)
{
    Exiv2::ExifData exifData;
    if (tiff.size() <= std::numeric_limits<uint32_t>::max()) {
        const Exiv2::ByteOrder byteOrder = Exiv2::ExifParser::decode(
            exifData, reinterpret_cast<const Exiv2::byte*>(tiff.data()), uint32_t(tiff.size()));
        if (!exifData.empty())
            image.setByteOrder(byteOrder);
    }
    image.setExifData(exifData);
}

// The metadata of a HEIF file is the primary image's. exiv2 places a HEIF file's
// items by their base offset alone and misses those that lie at a base plus an
// extent offset, as exiftool writes the Exif and XMP items it adds to a photo
// that had none; and of several XMP items (an iPhone's gain map carries its own)
// it takes the last it lists, whichever image that describes. Where exiv2 found
// no Exif or no XMP data, or the file's other images hold items of that kind, the
// primary image's item is looked up in the file's boxes and decoded here (the
// XMP without its packet text, as exiv2 decodes a HEIF file's own); a file
// without one has none. Called with the XMP toolkit's lock held.
void readPrimaryItems(Exiv2::Image& image)
{
    if (image.imageType() != Exiv2::ImageType::bmff)
        return;
    MappedFile file(image.io());
    if (!file.isOpen())
        return;
    bool ownExif = false;
    bool ownXmp = false;
    try {
        const BmffLayout::MetadataItems items = BmffLayout::metadataItems(file.bytes());
        ownExif = image.exifData().empty() || items.othersHoldExif;
        ownXmp = image.xmpData().empty() || items.othersHoldXmp;
        if (ownExif && (items.exif || items.othersHoldExif))
            decodeItemExif(image, items.exif.value_or(QByteArrayView()));
        if (ownXmp && (items.xmp || items.othersHoldXmp)) {
            image.clearXmpData();
            if (items.xmp && !decodeItemXmp(image.xmpData(), *items.xmp))
                image.clearXmpData();
        }
    } catch (const std::exception& error) {
        // A damaged item: the photo reads as exiv2 read it, with what exiv2
        // itself found kept.
        qCDebug(lcMetadata).noquote() << "Cannot read an item missed by exiv2:" << Exiv2Adapter::messageText(error.what());
        if (ownExif)
            image.clearExifData();
        if (ownXmp)
            image.clearXmpData();
    }
}

// exiv2 reads a CR3 file's Exif data and maker note from Canon's metadata box well,
// but trips over other boxes (an XMP box that exiftool wrote, without a C string's
// end, reads as corrupted): the whole photo then cannot be read. Its metadata is
// then read from a small file that holds Canon's box alone, and its XMP packet
// decoded here. False when the file is no CR3 file; throws what exiv2 throws on
// that small file, and for an XMP packet that cannot be read.
bool readCanonRawBoxes(Exiv2::Image& image)
{
    MappedFile file(image.io());
    const std::optional<QByteArray> boxes = BmffLayout::canonRawMetadataFile(file.bytes());
    if (!boxes)
        return false;
    const std::unique_ptr<Exiv2::Image> alone(Exiv2::ImageFactory::open(
        reinterpret_cast<const Exiv2::byte*>(boxes->constData()), long(boxes->size())).release());
    if (!alone)
        return false;
    alone->readMetadata();
    image.clearMetadata();
    image.setExifData(alone->exifData());
    if (!alone->exifData().empty())
        image.setByteOrder(alone->byteOrder());
    if (const std::optional<QByteArrayView> packet = BmffLayout::canonRawXmp(file.bytes());
        packet && !decodeItemXmp(image.xmpData(), *packet))
        throw std::runtime_error("the XMP packet cannot be read");
    return true;
}

void readMetadataHoldingLock(Exiv2::Image& image)
{
    try {
        image.readMetadata();
    } catch (const Exiv2::AnyError&) {
        if (image.imageType() != Exiv2::ImageType::bmff || !readCanonRawBoxes(image))
            throw;
        return;
    }
    readPrimaryItems(image);
}

// Every format's readMetadata parses the photo's XMP packet, when it has one. A
// packet that names another namespace with a standard prefix cannot be read
// faithfully (see keepStandardXmpPrefixes): the photo is not read.
void readMetadataOf(Exiv2::Image& image)
{
    const auto lock = lockXmpToolkit();
    try {
        readMetadataHoldingLock(image);
    } catch (...) {
        static_cast<void>(keepStandardXmpPrefixes());
        throw;
    }
    if (!keepStandardXmpPrefixes())
        throw std::runtime_error("its XMP packet names another namespace with a standard prefix");
}

unsigned byteAt(QByteArrayView bytes, qsizetype index)
{
    return static_cast<unsigned char>(bytes[index]);
}

unsigned numberAt(QByteArrayView bytes, qsizetype index, int size, bool bigEndian)
{
    unsigned value = 0;
    for (int i = 0; i < size; ++i)
        value |= byteAt(bytes, index + i) << (8 * (bigEndian ? size - 1 - i : i));
    return value;
}

// Whether the first IFD of an Exif block (from its TIFF header on) holds tag 700,
// whose text exiv2 parses as XMP; also when the IFD cannot be walked.
bool exifMayHoldXmp(QByteArrayView tiff)
{
    constexpr unsigned kXmlPacketTag = 0x02BC;
    if (tiff.size() < 8 || (!tiff.startsWith("MM") && !tiff.startsWith("II")))
        return true;
    const bool bigEndian = tiff.startsWith("MM");
    const qsizetype ifd = numberAt(tiff, 4, 4, bigEndian);
    if (ifd + 2 > tiff.size())
        return true;
    const qsizetype count = numberAt(tiff, ifd, 2, bigEndian);
    if (ifd + 2 + 12 * count > tiff.size())
        return true;
    for (qsizetype entry = 0; entry < count; ++entry) {
        if (numberAt(tiff, ifd + 2 + 12 * entry, 2, bigEndian) == kXmlPacketTag)
            return true;
    }
    return false;
}

// writeMetadata serialises the XMP data into a new packet, unless the packet is
// written as it stands or there is no XMP data; only then is the lock needed,
// and the standard prefixes are entered again first.
void writeMetadataOf(Exiv2::Image& image)
{
    std::unique_lock<std::recursive_mutex> lock;
    if (!image.writeXmpFromPacket() && !image.xmpData().empty()) {
        lock = lockXmpToolkit();
        useStandardXmpPrefixes();
    }
    image.writeMetadata();
}

// The one XMP packet of a JPEG whose header exiv2 reads as JpegHeaderLayout walks
// it, and where that packet's segment lies.
struct XmpSegment {
    qsizetype start = 0; // the segment, fill bytes before its marker included
    qsizetype end = 0;
    qsizetype packetStart = 0;
};

// The JPEG's XMP segment when exiv2 takes its XMP from that segment alone and reads
// the other segments alike without it: a single APP1 segment that starts as an XMP
// one, no Exif tag 700, at most one comment (exiv2's read stops once it found one of
// each kind, and reads a second comment only after an empty first). Nothing else.
std::optional<XmpSegment> soleXmpSegment(QByteArrayView bytes)
{
    constexpr unsigned kApp1 = 0xE1;
    constexpr unsigned kComment = 0xFE;
    static constexpr QByteArrayView kXmpId("http://ns.adobe.com/xap/1.0/\0", 29);
    JpegHeaderLayout layout;
    if (JpegHeaderLayout::find(bytes, layout) != JpegHeaderLayout::Status::Found)
        return std::nullopt;
    std::optional<XmpSegment> found;
    int comments = 0;
    JpegHeaderLayout::Segment segment;
    for (qsizetype position = 2; position < layout.scanStart; position = segment.end) {
        if (JpegHeaderLayout::readSegment(bytes, position, segment) != JpegHeaderLayout::Step::Read)
            return std::nullopt;
        const QByteArrayView payload = bytes.sliced(segment.marker + 4, segment.end - segment.marker - 4);
        if (segment.code == kComment && ++comments > 1)
            return std::nullopt;
        if (segment.code != kApp1)
            continue;
        if (payload.startsWith(kXmpId.first(28))) {
            if (found || !payload.startsWith(kXmpId))
                return std::nullopt;
            found = XmpSegment { segment.start, segment.end, segment.marker + 4 + kXmpId.size() };
        } else if (payload.startsWith(QByteArrayView("Exif\0\0", 6)) && exifMayHoldXmp(payload.sliced(6))) {
            return std::nullopt;
        }
    }
    return found;
}

// Bytes of a JPEG this large are copied without their XMP segment rather than read
// under the toolkit's lock; a write passes the header alone (JpegSplice).
constexpr qsizetype kLargestCopiedJpeg = 4 << 20;

// exiv2's image of a small JPEG with one XMP packet, read as exiv2 reads it, but
// with the packet parsed by an XMP worker: exiv2 reads a copy of the bytes without
// the packet's segment (it drops that segment when it writes, and places the new
// one where it places a packet the file did not have), and the packet and its data
// are set as its read would have set them. Null when the bytes are not such a JPEG
// or no worker takes the packet; throws what exiv2 throws.
std::unique_ptr<Exiv2::Image> imageWithXmpParsedApart(QByteArrayView bytes, Exiv2Adapter::XmpParse parse)
{
    if (bytes.size() > kLargestCopiedJpeg || !XmpWorkers::running())
        return nullptr;
    const std::optional<XmpSegment> segment = soleXmpSegment(bytes);
    if (!segment)
        return nullptr;
    const std::string packet(bytes.data() + segment->packetStart, std::size_t(segment->end - segment->packetStart));
    // The worker parses the packet while exiv2 reads the rest here.
    std::optional<XmpWorkers::PendingDecode> pending;
    if (!packet.empty())
        pending.emplace(packet, parse == Exiv2Adapter::XmpParse::KeptForLaterReads);
    Exiv2::XmpData xmpData;
    const auto decodedPacket = [&]() -> std::optional<int> { return pending ? pending->finish(xmpData) : 0; };
    auto* io = new Exiv2::MemIo;
    // exiv2 0.27 takes an io only as its std::auto_ptr typedef; clang warns on naming it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Exiv2::BasicIo::AutoPtr owned(io);
#pragma GCC diagnostic pop
    const auto* data = reinterpret_cast<const Exiv2::byte*>(bytes.data());
    if (io->write(data, long(segment->start)) != long(segment->start)
        || io->write(data + segment->end, long(bytes.size() - segment->end)) != long(bytes.size() - segment->end))
        throw std::runtime_error("the photo cannot be held in memory");
    std::unique_ptr<Exiv2::Image> image(Exiv2::ImageFactory::open(owned).release());
    // The packet's answer goes first, as when it was parsed before the rest: what its
    // parse threw, or this process's own read where no worker took it.
    try {
        if (!image)
            throw std::runtime_error("unknown image type");
        image->readMetadata();
    } catch (...) {
        if (!decodedPacket())
            return nullptr;
        throw;
    }
    const std::optional<int> decoded = decodedPacket();
    if (!decoded)
        return nullptr;
    if (*decoded != 0)
        Exiv2::LogMsg(Exiv2::LogMsg::warn).os() << "Failed to decode XMP metadata.\n";
    // Its data is still empty, so exiv2 hands the packet out without serialising.
    image->xmpPacket() = packet;
    image->xmpData() = std::move(xmpData);
    return image;
}

// exiv2's image of bytes in memory, its metadata read; throws what exiv2 throws.
std::unique_ptr<Exiv2::Image> imageOfBytes(QByteArrayView bytes, Exiv2Adapter::XmpParse parse)
{
    if (std::unique_ptr<Exiv2::Image> image = imageWithXmpParsedApart(bytes, parse))
        return image;
    std::unique_ptr<Exiv2::Image> image(
        Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.data()), long(bytes.size())).release());
    if (!image)
        throw std::runtime_error("unknown image type");
    if (Exiv2Adapter::mayParseXmp(bytes)) {
        readMetadataOf(*image);
    } else {
        image->readMetadata();
    }
    return image;
}

} // namespace

QString Exiv2Adapter::messageText(const char* what)
{
    return FLTImageMetadata::textFromBytes(what ? std::string_view(what) : std::string_view()).trimmed();
}

std::optional<QString> Exiv2Adapter::run(
    const QString& what, const QString& path, const std::function<void()>& work, Severity severity)
{
    QString message;
    try {
        work();
        return std::nullopt;
    } catch (const Exiv2::AnyError& error) {
        message = messageText(error.what());
    } catch (const std::exception& error) {
        message = messageText(error.what());
    }
    report(what, path, message, severity);
    return message;
}

bool Exiv2Adapter::check(const QString& what, const QString& path, const std::function<bool()>& work, Severity severity)
{
    bool answer = false;
    run(
        what, path, [&] { answer = work(); }, severity);
    return answer;
}

bool Exiv2Adapter::mayParseXmp(QByteArrayView bytes)
{
    constexpr unsigned kApp1 = 0xE1;
    JpegHeaderLayout layout;
    if (JpegHeaderLayout::find(bytes, layout) != JpegHeaderLayout::Status::Found)
        return true;
    // The walk found plain segments up to the start of scan, exiv2's end of reading;
    // the same step reads them again.
    JpegHeaderLayout::Segment segment;
    for (qsizetype position = 2; position < layout.scanStart; position = segment.end) {
        if (JpegHeaderLayout::readSegment(bytes, position, segment) != JpegHeaderLayout::Step::Read)
            return true;
        const QByteArrayView payload = bytes.sliced(segment.marker + 4, segment.end - segment.marker - 4);
        if (segment.code == kApp1
            && (payload.startsWith("http://ns.adobe.com/xap/1.0/")
                || (payload.startsWith(QByteArrayView("Exif\0\0", 6)) && exifMayHoldXmp(payload.sliced(6)))))
            return true;
    }
    return false;
}

int Exiv2Adapter::decodeXmp(Exiv2::XmpData& xmpData, const std::string& packet)
{
    initializeExiv2();
    if (const std::optional<int> code = XmpWorkers::decode(xmpData, packet))
        return *code;
    const auto lock = lockXmpToolkit();
    int code = 0;
    try {
        code = Exiv2::XmpParser::decode(xmpData, packet);
    } catch (...) {
        static_cast<void>(keepStandardXmpPrefixes());
        throw;
    }
    if (!keepStandardXmpPrefixes()) {
        xmpData.clear();
        return kForeignStandardPrefix;
    }
    return code;
}

int Exiv2Adapter::encodeXmp(std::string& packet, const Exiv2::XmpData& xmpData, bool willReadBack)
{
    initializeExiv2();
    if (const std::optional<int> code
        = XmpWorkers::encode(packet, xmpData, Exiv2::XmpParser::useCompactFormat, willReadBack))
        return *code;
    const auto lock = lockXmpToolkit();
    useStandardXmpPrefixes();
    return Exiv2::XmpParser::encode(packet, xmpData);
}

namespace {

// exiv2 opens its files by name, with a blocking open. It is given the name of a
// descriptor of ours instead, checked to be a regular file and held for the
// image's life: a FIFO put in the photo's place meanwhile is never opened.
class HeldFileIo : public Exiv2::FileIo {
public:
    explicit HeldFileIo(std::unique_ptr<RegularFileForReading> file)
        : Exiv2::FileIo(file->reopenableName().toStdString())
        , m_file(std::move(file))
    {
    }

private:
    std::unique_ptr<RegularFileForReading> m_file;
};

// exiv2 0.27 takes an io only as its std::auto_ptr typedef; clang warns on naming it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
Exiv2::Image* openHeldFile(const QString& path)
{
    auto file = std::make_unique<RegularFileForReading>(path);
    if (!file->isOpen())
        throw std::runtime_error(file->problem().toStdString());
    Exiv2::BasicIo::AutoPtr io(new HeldFileIo(std::move(file)));
    return Exiv2::ImageFactory::open(io).release();
}
#pragma GCC diagnostic pop

} // namespace

std::unique_ptr<Exiv2::Image> Exiv2Adapter::openFile(const QString& openable, const QString& path, Severity severity)
{
    initializeExiv2();
    std::unique_ptr<Exiv2::Image> image;
    const auto failure = run(
        QStringLiteral("read metadata of"), path,
        [&] {
            image.reset(openHeldFile(openable));
            if (!image)
                throw std::runtime_error("unknown image type");
            readMetadataOf(*image);
        },
        severity);
    if (failure)
        image.reset();
    return image;
}

std::unique_ptr<Exiv2::Image> Exiv2Adapter::openBuffer(
    QByteArrayView bytes, const QString& what, const QString& path, Severity severity, XmpParse parse)
{
    initializeExiv2();
    std::unique_ptr<Exiv2::Image> image;
    const auto failure = run(
        what, path, [&] { image = imageOfBytes(bytes, parse); }, severity);
    if (failure)
        image.reset();
    return image;
}

std::optional<QString> Exiv2Adapter::editInMemory(
    QByteArrayView bytes, const QString& path, const Editor& edit, const Saver& save)
{
    initializeExiv2();
    return run(
        QStringLiteral("write metadata of"), path,
        [&] {
            const std::unique_ptr<Exiv2::Image> image = imageOfBytes(bytes, XmpParse::ForThisRead);
            if (!edit(*image))
                return;
            writeMetadataOf(*image);

            Exiv2::BasicIo& io = image->io();
            if (io.open() != 0)
                throw std::runtime_error("the written photo cannot be read back");
            const long size = io.size();
            const Exiv2::byte* data = io.mmap();
            save(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
            io.munmap();
            io.close();
        },
        Severity::Warning);
}
