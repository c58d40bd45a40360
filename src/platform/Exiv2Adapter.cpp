#include "platform/Exiv2Adapter.h"

#include "base/Logging.h"
#include "platform/BmffLayout.h"
#include "platform/Exiv2Setup.h"
#include "platform/FLTImageMetadata.h"
#include "platform/JpegHeaderLayout.h"

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

// exiv2 places a HEIF file's items by their base offset alone and misses those
// that lie at a base plus an extent offset, as exiftool writes the Exif and XMP
// items it adds to a photo that had none. Where exiv2 found no Exif or no XMP
// data, the item is looked up in the file's boxes and decoded here (the XMP, as
// exiv2 decodes a HEIF file's own, without keeping its packet text); a file
// without one stays as exiv2 read it. Called with the XMP toolkit's lock held.
void readMissedItems(Exiv2::Image& image)
{
    if (image.imageType() != Exiv2::ImageType::bmff || (!image.exifData().empty() && !image.xmpData().empty()))
        return;
    Exiv2::BasicIo& io = image.io();
    if (io.open() != 0)
        return;
    const bool missedExif = image.exifData().empty();
    const bool missedXmp = image.xmpData().empty();
    try {
        const long size = io.size();
        const Exiv2::byte* data = size > 0 ? io.mmap() : nullptr;
        const QByteArrayView file = data ? QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)) : QByteArrayView();
        const std::optional<QByteArrayView> tiff = missedExif ? BmffLayout::exifItem(file) : std::nullopt;
        if (tiff && tiff->size() <= std::numeric_limits<uint32_t>::max()) {
            Exiv2::ExifData exifData;
            const Exiv2::ByteOrder byteOrder = Exiv2::ExifParser::decode(
                exifData, reinterpret_cast<const Exiv2::byte*>(tiff->data()), uint32_t(tiff->size()));
            image.setExifData(exifData);
            if (!exifData.empty())
                image.setByteOrder(byteOrder);
        }
        const std::optional<QByteArrayView> packet = missedXmp ? BmffLayout::xmpItem(file) : std::nullopt;
        if (packet
            && Exiv2::XmpParser::decode(image.xmpData(), std::string(packet->data(), std::size_t(packet->size()))) != 0)
            image.clearXmpData();
    } catch (const std::exception& error) {
        // A damaged item: the photo reads as exiv2 read it, with what exiv2
        // itself found kept.
        qCDebug(lcMetadata).noquote() << "Cannot read an item missed by exiv2:" << Exiv2Adapter::messageText(error.what());
        if (missedExif)
            image.clearExifData();
        if (missedXmp)
            image.clearXmpData();
    }
    io.munmap();
    io.close();
}

// Every format's readMetadata parses the photo's XMP packet, when it has one.
void readMetadataOf(Exiv2::Image& image)
{
    const auto lock = lockXmpToolkit();
    image.readMetadata();
    readMissedItems(image);
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
// written as it stands or there is no XMP data; only then is the lock needed.
void writeMetadataOf(Exiv2::Image& image)
{
    std::unique_lock<std::recursive_mutex> lock;
    if (!image.writeXmpFromPacket() && !image.xmpData().empty())
        lock = lockXmpToolkit();
    image.writeMetadata();
}

// exiv2's image of bytes in memory, its metadata read; throws what exiv2 throws.
std::unique_ptr<Exiv2::Image> imageOfBytes(QByteArrayView bytes)
{
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
    const auto lock = lockXmpToolkit();
    return Exiv2::XmpParser::decode(xmpData, packet);
}

int Exiv2Adapter::encodeXmp(std::string& packet, const Exiv2::XmpData& xmpData)
{
    initializeExiv2();
    const auto lock = lockXmpToolkit();
    return Exiv2::XmpParser::encode(packet, xmpData);
}

std::unique_ptr<Exiv2::Image> Exiv2Adapter::openFile(const QString& openable, const QString& path, Severity severity)
{
    initializeExiv2();
    std::unique_ptr<Exiv2::Image> image;
    const auto failure = run(
        QStringLiteral("read metadata of"), path,
        [&] {
            image.reset(Exiv2::ImageFactory::open(QFile::encodeName(openable).toStdString()).release());
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
    QByteArrayView bytes, const QString& what, const QString& path, Severity severity)
{
    initializeExiv2();
    std::unique_ptr<Exiv2::Image> image;
    const auto failure = run(
        what, path, [&] { image = imageOfBytes(bytes); }, severity);
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
            const std::unique_ptr<Exiv2::Image> image = imageOfBytes(bytes);
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
