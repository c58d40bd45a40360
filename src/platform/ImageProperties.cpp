#include "platform/ImageProperties.h"

#include "base/Numbers.h"
#include "platform/Exiv2Adapter.h"
#include "platform/FLTImageMetadata.h"
#include "platform/HeifFile.h"
#include "platform/OpenablePhotoPath.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QStringDecoder>
#include <array>
#include <cmath>
#include <exiv2/exiv2.hpp>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

// How a dictionary value is held and how it maps onto exiv2's value.
enum class Kind {
    Text, // a text (UTF-8, Latin-1 fallback)
    Comment, // the Exif user comment: a text without its charset prefix
    Integer, // a whole number
    Real, // a rational or float as a double
    IntegerList, // every component as a whole number (ISO, components configuration)
    TextList, // a repeatable IPTC dataset: every datum as a text
    Degrees, // three rationals (degrees, minutes, seconds) as decimal degrees
};

struct KeyMapping {
    const char* group; // "" for the top level
    const char* key;
    const char* exiv2Key;
    Kind kind;
};

// The one table between dictionary keys and exiv2 keys, used for reading and writing.
// A dictionary key appears once; "Orientation" appears at the top level and in
// "{TIFF}" because the dictionary carries it in both places.
constexpr std::array kMappings {
    KeyMapping { "", "Orientation", "Exif.Image.Orientation", Kind::Integer },

    KeyMapping { "{TIFF}", "Orientation", "Exif.Image.Orientation", Kind::Integer },
    KeyMapping { "{TIFF}", "Artist", "Exif.Image.Artist", Kind::Text },
    KeyMapping { "{TIFF}", "ImageDescription", "Exif.Image.ImageDescription", Kind::Text },
    KeyMapping { "{TIFF}", "Copyright", "Exif.Image.Copyright", Kind::Text },
    KeyMapping { "{TIFF}", "Software", "Exif.Image.Software", Kind::Text },
    KeyMapping { "{TIFF}", "Make", "Exif.Image.Make", Kind::Text },
    KeyMapping { "{TIFF}", "Model", "Exif.Image.Model", Kind::Text },
    KeyMapping { "{TIFF}", "DateTime", "Exif.Image.DateTime", Kind::Text },
    KeyMapping { "{TIFF}", "XResolution", "Exif.Image.XResolution", Kind::Real },
    KeyMapping { "{TIFF}", "YResolution", "Exif.Image.YResolution", Kind::Real },
    KeyMapping { "{TIFF}", "ResolutionUnit", "Exif.Image.ResolutionUnit", Kind::Integer },

    KeyMapping { "{Exif}", "UserComment", "Exif.Photo.UserComment", Kind::Comment },
    KeyMapping { "{Exif}", "CameraOwnerName", "Exif.Photo.CameraOwnerName", Kind::Text },
    KeyMapping { "{Exif}", "BodySerialNumber", "Exif.Photo.BodySerialNumber", Kind::Text },
    KeyMapping { "{Exif}", "DateTimeOriginal", "Exif.Photo.DateTimeOriginal", Kind::Text },
    KeyMapping { "{Exif}", "DateTimeDigitized", "Exif.Photo.DateTimeDigitized", Kind::Text },
    KeyMapping { "{Exif}", "ISOSpeedRatings", "Exif.Photo.ISOSpeedRatings", Kind::IntegerList },
    KeyMapping { "{Exif}", "FNumber", "Exif.Photo.FNumber", Kind::Real },
    KeyMapping { "{Exif}", "ApertureValue", "Exif.Photo.ApertureValue", Kind::Real },
    KeyMapping { "{Exif}", "ShutterSpeedValue", "Exif.Photo.ShutterSpeedValue", Kind::Real },
    KeyMapping { "{Exif}", "ExposureTime", "Exif.Photo.ExposureTime", Kind::Real },
    KeyMapping { "{Exif}", "FocalLength", "Exif.Photo.FocalLength", Kind::Real },
    KeyMapping { "{Exif}", "FocalLenIn35mmFilm", "Exif.Photo.FocalLengthIn35mmFilm", Kind::Integer },
    KeyMapping { "{Exif}", "ExposureBiasValue", "Exif.Photo.ExposureBiasValue", Kind::Real },
    KeyMapping { "{Exif}", "DigitalZoomRatio", "Exif.Photo.DigitalZoomRatio", Kind::Real },
    KeyMapping { "{Exif}", "Flash", "Exif.Photo.Flash", Kind::Integer },
    KeyMapping { "{Exif}", "ColorSpace", "Exif.Photo.ColorSpace", Kind::Integer },
    KeyMapping { "{Exif}", "ComponentsConfiguration", "Exif.Photo.ComponentsConfiguration", Kind::IntegerList },
    KeyMapping { "{Exif}", "ExposureMode", "Exif.Photo.ExposureMode", Kind::Integer },
    KeyMapping { "{Exif}", "ExposureProgram", "Exif.Photo.ExposureProgram", Kind::Integer },
    KeyMapping { "{Exif}", "MeteringMode", "Exif.Photo.MeteringMode", Kind::Integer },
    KeyMapping { "{Exif}", "LightSource", "Exif.Photo.LightSource", Kind::Integer },
    KeyMapping { "{Exif}", "SceneCaptureType", "Exif.Photo.SceneCaptureType", Kind::Integer },
    KeyMapping { "{Exif}", "WhiteBalance", "Exif.Photo.WhiteBalance", Kind::Integer },
    KeyMapping { "{Exif}", "Saturation", "Exif.Photo.Saturation", Kind::Integer },
    KeyMapping { "{Exif}", "SensingMethod", "Exif.Photo.SensingMethod", Kind::Integer },
    KeyMapping { "{Exif}", "Sharpness", "Exif.Photo.Sharpness", Kind::Integer },
    KeyMapping { "{Exif}", "SubjectDistRange", "Exif.Photo.SubjectDistanceRange", Kind::Integer },
    KeyMapping { "{Exif}", "LensMake", "Exif.Photo.LensMake", Kind::Text },
    KeyMapping { "{Exif}", "LensModel", "Exif.Photo.LensModel", Kind::Text },
    KeyMapping { "{Exif}", "LensSerialNumber", "Exif.Photo.LensSerialNumber", Kind::Text },
    KeyMapping { "{Exif}", "PixelXDimension", "Exif.Photo.PixelXDimension", Kind::Integer },
    KeyMapping { "{Exif}", "PixelYDimension", "Exif.Photo.PixelYDimension", Kind::Integer },
    KeyMapping { "{Exif}", "Rating", "Xmp.xmp.Rating", Kind::Integer },

    KeyMapping { "{ExifAux}", "LensModel", "Xmp.aux.Lens", Kind::Text },
    KeyMapping { "{ExifAux}", "SerialNumber", "Xmp.aux.SerialNumber", Kind::Text },

    KeyMapping { "{GPS}", "Latitude", "Exif.GPSInfo.GPSLatitude", Kind::Degrees },
    KeyMapping { "{GPS}", "LatitudeRef", "Exif.GPSInfo.GPSLatitudeRef", Kind::Text },
    KeyMapping { "{GPS}", "Longitude", "Exif.GPSInfo.GPSLongitude", Kind::Degrees },
    KeyMapping { "{GPS}", "LongitudeRef", "Exif.GPSInfo.GPSLongitudeRef", Kind::Text },
    KeyMapping { "{GPS}", "Altitude", "Exif.GPSInfo.GPSAltitude", Kind::Real },
    KeyMapping { "{GPS}", "AltitudeRef", "Exif.GPSInfo.GPSAltitudeRef", Kind::Integer },
    KeyMapping { "{GPS}", "ImgDirection", "Exif.GPSInfo.GPSImgDirection", Kind::Real },
    KeyMapping { "{GPS}", "ImgDirectionRef", "Exif.GPSInfo.GPSImgDirectionRef", Kind::Text },
    KeyMapping { "{GPS}", "DateStamp", "Exif.GPSInfo.GPSDateStamp", Kind::Text },

    KeyMapping { "{IPTC}", "Byline", "Iptc.Application2.Byline", Kind::TextList },
    KeyMapping { "{IPTC}", "BylineTitle", "Iptc.Application2.BylineTitle", Kind::TextList },
    KeyMapping { "{IPTC}", "CopyrightNotice", "Iptc.Application2.Copyright", Kind::Text },
    KeyMapping { "{IPTC}", "Contact", "Iptc.Application2.Contact", Kind::TextList },
    KeyMapping { "{IPTC}", "Headline", "Iptc.Application2.Headline", Kind::Text },
    KeyMapping { "{IPTC}", "Caption/Abstract", "Iptc.Application2.Caption", Kind::Text },
    KeyMapping { "{IPTC}", "Writer/Editor", "Iptc.Application2.Writer", Kind::TextList },
    KeyMapping { "{IPTC}", "ObjectName", "Iptc.Application2.ObjectName", Kind::Text },
    KeyMapping { "{IPTC}", "Category", "Iptc.Application2.Category", Kind::Text },
    KeyMapping { "{IPTC}", "SupplementalCategory", "Iptc.Application2.SuppCategory", Kind::TextList },
    KeyMapping { "{IPTC}", "DateCreated", "Iptc.Application2.DateCreated", Kind::Text },
    KeyMapping { "{IPTC}", "Keywords", "Iptc.Application2.Keywords", Kind::TextList },
    KeyMapping { "{IPTC}", "SubLocation", "Iptc.Application2.SubLocation", Kind::Text },
    KeyMapping { "{IPTC}", "City", "Iptc.Application2.City", Kind::Text },
    KeyMapping { "{IPTC}", "Province/State", "Iptc.Application2.ProvinceState", Kind::Text },
    KeyMapping { "{IPTC}", "Country/PrimaryLocationName", "Iptc.Application2.CountryName", Kind::Text },
    KeyMapping { "{IPTC}", "Country/PrimaryLocationCode", "Iptc.Application2.CountryCode", Kind::Text },
    KeyMapping { "{IPTC}", "OriginalTransmissionReference", "Iptc.Application2.TransmissionReference", Kind::Text },
    KeyMapping { "{IPTC}", "SpecialInstructions", "Iptc.Application2.SpecialInstructions", Kind::Text },
    KeyMapping { "{IPTC}", "Credit", "Iptc.Application2.Credit", Kind::Text },
    KeyMapping { "{IPTC}", "Source", "Iptc.Application2.Source", Kind::Text },
};

// Metadata text without the NUL bytes that pad some fixed-size fields.
QString decodeText(std::string_view bytes)
{
    while (!bytes.empty() && bytes.back() == '\0')
        bytes.remove_suffix(1);
    return FLTImageMetadata::textFromBytes(bytes);
}

// A rational as a double; a zero denominator or a non-finite result gives no value.
std::optional<double> rationalAt(const Exiv2::Value& value, long n)
{
    if (n >= value.count())
        return std::nullopt;
    if (value.typeId() == Exiv2::unsignedRational || value.typeId() == Exiv2::signedRational) {
        const Exiv2::Rational rational = value.toRational(n);
        if (rational.second == 0)
            return std::nullopt;
        return double(rational.first) / double(rational.second);
    }
    const double real = value.toFloat(n);
    if (!std::isfinite(real))
        return std::nullopt;
    return real;
}

QVariant readValue(const Exiv2::Value& value, Kind kind)
{
    switch (kind) {
    case Kind::Text:
    case Kind::TextList:
        return decodeText(value.toString());
    case Kind::Comment: {
        if (const auto* comment = dynamic_cast<const Exiv2::CommentValue*>(&value))
            return decodeText(comment->comment());
        return decodeText(value.toString());
    }
    case Kind::Integer:
        if (value.count() == 0)
            return {};
        return qlonglong(value.toLong(0));
    case Kind::Real: {
        const std::optional<double> real = rationalAt(value, 0);
        return real ? QVariant(*real) : QVariant();
    }
    case Kind::IntegerList: {
        QVariantList list;
        for (long i = 0; i < value.count(); ++i)
            list.append(qlonglong(value.toLong(i)));
        return list;
    }
    case Kind::Degrees: {
        // The magnitude, also of a position stored as signed rationals; the
        // hemisphere is the reference letter's.
        QList<double> parts;
        for (long i = 0; i < 3 && i < value.count(); ++i) {
            const std::optional<double> part = rationalAt(value, i);
            if (!part)
                return {};
            parts.append(*part);
        }
        const std::optional<double> degrees = Numbers::decimalDegrees(parts);
        return degrees ? QVariant(std::abs(*degrees)) : QVariant();
    }
    }
    return {};
}

// The colour model and the pixel size as QImageReader sees them from the header.
struct ReaderFacts {
    QSize size;
    QString colorModel;
};

ReaderFacts readerFacts(const QString& path)
{
    // The reader opens only a descriptor checked to be a regular file's; the file's
    // name still gives it the format's hint.
    QFile file(path);
    ReaderFacts facts;
    if (!openRegularFile(file))
        return facts;
    QImageReader reader(&file);
    reader.setAutoTransform(false);
    facts.size = reader.size();
    switch (reader.imageFormat()) {
    case QImage::Format_Invalid:
        break;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
    case QImage::Format_Alpha8:
        facts.colorModel = QStringLiteral("Gray");
        break;
    default:
        facts.colorModel = QStringLiteral("RGB");
        break;
    }
    return facts;
}

// The colour model of a JPEG from its frame header, as QImageReader reports it (one
// component is grey, any other count RGB), without loading a decoder plugin: the
// segments before the frame are skipped by their lengths. Nothing when no frame
// header is found.
std::optional<QString> jpegColorModel(const QString& path)
{
    QFile file(path);
    if (!openRegularFile(file) || file.read(2) != QByteArrayLiteral("\xFF\xD8"))
        return std::nullopt;
    for (int segments = 0; segments < 1000; ++segments) {
        const QByteArray marker = file.read(4);
        if (marker.size() < 4 || quint8(marker[0]) != 0xFF)
            return std::nullopt;
        const quint8 type = quint8(marker[1]);
        const qint64 length = (qint64(quint8(marker[2])) << 8) | quint8(marker[3]);
        if (length < 2)
            return std::nullopt;
        const bool isFrame = type >= 0xC0 && type <= 0xCF && type != 0xC4 && type != 0xC8 && type != 0xCC;
        if (isFrame) {
            const QByteArray frame = file.read(6); // precision, height, width, components
            if (frame.size() < 6)
                return std::nullopt;
            return quint8(frame[5]) == 1 ? QStringLiteral("Gray") : QStringLiteral("RGB");
        }
        if (type == 0xDA || type == 0xD9 || !file.seek(file.pos() + length - 2))
            return std::nullopt;
    }
    return std::nullopt;
}

// The profile's description from its "desc" tag (ICC v2 text or v4 multi-language).
QString iccDescription(const Exiv2::DataBuf& icc)
{
    const auto* data = icc.pData_;
    const long size = icc.size_;
    auto be32 = [&](long at) -> quint32 {
        if (at < 0 || at + 4 > size)
            return 0;
        return quint32(data[at]) << 24 | quint32(data[at + 1]) << 16 | quint32(data[at + 2]) << 8 | data[at + 3];
    };
    const quint32 tagCount = be32(128);
    for (quint32 i = 0; i < tagCount && 132 + long(i) * 12 + 12 <= size; ++i) {
        const long entry = 132 + long(i) * 12;
        if (be32(entry) != 0x64657363) // 'desc'
            continue;
        const long offset = long(be32(entry + 4));
        const long length = long(be32(entry + 8));
        if (offset < 0 || length < 12 || offset + length > size)
            return {};
        const quint32 type = be32(offset);
        if (type == 0x64657363) { // 'desc': ASCII count then text
            const long count = long(be32(offset + 8));
            if (count <= 0 || 12 + count > length)
                return {};
            return QString::fromLatin1(reinterpret_cast<const char*>(data + offset + 12), count - 1).trimmed();
        }
        if (type == 0x6D6C7563) { // 'mluc': first record, UTF-16BE
            if (be32(offset + 8) == 0 || length < 28)
                return {};
            const long textLength = long(be32(offset + 20));
            const long textOffset = long(be32(offset + 24));
            if (textOffset + textLength > length)
                return {};
            QStringDecoder utf16(QStringDecoder::Utf16BE);
            return QString(utf16.decode(QByteArrayView(data + offset + textOffset, textLength))).trimmed();
        }
        return {};
    }
    return {};
}

void putInGroup(QVariantMap& map, const QString& group, const QString& key, const QVariant& value)
{
    if (group.isEmpty()) {
        map.insert(key, value);
        return;
    }
    // Taken out rather than copied, so that the insert does not copy the whole group.
    QVariantMap sub = map.take(group).toMap();
    sub.insert(key, value);
    map.insert(group, sub);
}

// Reads every mapping of one family from its container. Building a datum's key
// text is the costly part of a lookup, so each datum's key is built once and
// matched against all the mappings; the values then go into the result in the
// table's order, as one lookup per mapping would put them.
template <typename Data>
void readGroup(const Data& data, const std::vector<const KeyMapping*>& mappings, QVariantMap& result)
{
    std::unordered_map<std::string_view, std::vector<std::size_t>> byKey;
    for (std::size_t i = 0; i < mappings.size(); ++i)
        byKey[mappings[i]->exiv2Key].push_back(i);

    std::vector<QVariant> values(mappings.size());
    std::vector<QVariantList> lists(mappings.size());
    for (const auto& datum : data) {
        const auto found = byKey.find(datum.key());
        if (found == byKey.end())
            continue;
        for (const std::size_t i : found->second) {
            const KeyMapping& mapping = *mappings[i];
            if (values[i].isValid())
                continue; // the first readable datum of a single value counts
            QVariant value = readValue(datum.value(), mapping.kind);
            if (!value.isValid())
                continue;
            if (mapping.kind == Kind::TextList)
                lists[i].append(value);
            else
                values[i] = value;
        }
    }
    for (std::size_t i = 0; i < mappings.size(); ++i) {
        const KeyMapping& mapping = *mappings[i];
        if (mapping.kind == Kind::TextList && !lists[i].isEmpty())
            putInGroup(result, QString::fromLatin1(mapping.group), QString::fromLatin1(mapping.key), lists[i]);
        else if (values[i].isValid())
            putInGroup(result, QString::fromLatin1(mapping.group), QString::fromLatin1(mapping.key), values[i]);
    }
}

void addResolution(QVariantMap& result)
{
    const QVariantMap tiff = result.value(ImageProperties::kTIFF).toMap();
    if (!tiff.contains(QStringLiteral("XResolution")) || !tiff.contains(QStringLiteral("YResolution")))
        return;
    // Dots per inch: unit 3 is centimetres, 1 means no unit (taken as inches, like 2).
    const double factor = tiff.value(QStringLiteral("ResolutionUnit")).toInt() == 3 ? 2.54 : 1.0;
    result.insert(QStringLiteral("DPIWidth"), tiff.value(QStringLiteral("XResolution")).toDouble() * factor);
    result.insert(QStringLiteral("DPIHeight"), tiff.value(QStringLiteral("YResolution")).toDouble() * factor);
}

// The exiv2 text for a dictionary value, ready for Exiv2::Value::read.
std::string exiv2Text(const QVariant& value, Kind kind)
{
    switch (kind) {
    case Kind::Text:
    case Kind::Comment:
    case Kind::TextList:
        return value.toString().toStdString();
    case Kind::Integer:
        return QString::number(value.toLongLong()).toStdString();
    case Kind::Real:
        return Numbers::rationalText(value.toDouble()).toStdString();
    case Kind::IntegerList: {
        QStringList parts;
        const QVariantList list = value.canConvert<QVariantList>() && value.typeId() != QMetaType::QString
            ? value.toList()
            : QVariantList { value };
        for (const QVariant& part : list)
            parts.append(QString::number(part.toLongLong()));
        return parts.join(QLatin1Char(' ')).toStdString();
    }
    case Kind::Degrees:
        return Numbers::degreesText(value.toDouble()).toStdString();
    }
    return {};
}

void writeMapping(Exiv2::Image& image, const KeyMapping& mapping, const QVariant& value)
{
    const std::string key = mapping.exiv2Key;
    if (key.rfind("Iptc.", 0) == 0) {
        Exiv2::IptcData& iptc = image.iptcData();
        const Exiv2::IptcKey iptcKey(key);
        for (auto it = iptc.findKey(iptcKey); it != iptc.end(); it = iptc.findKey(iptcKey))
            iptc.erase(it);
        const QVariantList list = value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList
            ? value.toList()
            : QVariantList { value };
        for (const QVariant& item : list) {
            auto iptcValue = Exiv2::Value::create(Exiv2::string);
            iptcValue->read(item.toString().toStdString());
            iptc.add(iptcKey, iptcValue.get());
        }
        // The texts are UTF-8: say so in the envelope.
        iptc["Iptc.Envelope.CharacterSet"] = std::string("\x1b%G");
        return;
    }
    if (key.rfind("Xmp.", 0) == 0) {
        image.xmpData()[key] = value.toString().toStdString();
        return;
    }
    const Exiv2::ExifKey exifKey(key);
    std::string text = exiv2Text(value, mapping.kind);
    if (mapping.kind == Kind::Comment) {
        bool ascii = true;
        for (unsigned char c : text)
            ascii = ascii && c < 0x80;
        text = (ascii ? "charset=Ascii " : "charset=Unicode ") + text;
    }
    auto exifValue = Exiv2::Value::create(exifKey.defaultTypeId());
    if (exifValue->read(text) != 0)
        throw Exiv2::Error(Exiv2::kerInvalidKey, key);
    image.exifData()[key].setValue(exifValue.get());
}

} // namespace

QVariantMap ImageProperties::propertiesForFile(const QString& path)
{
    const QString openable = openablePhotoPath(path);
    if (openable.isEmpty())
        return {};
    const std::unique_ptr<Exiv2::Image> image = Exiv2Adapter::openFile(openable, path, Exiv2Adapter::Severity::Debug);
    return propertiesForImage(path, image.get());
}

QVariantMap ImageProperties::propertiesForImage(const QString& path, Exiv2::Image* image)
{
    QVariantMap result;
    QSize size;
    if (image) {
        Exiv2Adapter::run(
            QStringLiteral("read the properties of"), path,
            [&] {
                size = QSize(image->pixelWidth(), image->pixelHeight());
                std::vector<const KeyMapping*> exifMappings;
                std::vector<const KeyMapping*> iptcMappings;
                std::vector<const KeyMapping*> xmpMappings;
                for (const KeyMapping& mapping : kMappings) {
                    const std::string_view key = mapping.exiv2Key;
                    if (key.starts_with("Exif."))
                        exifMappings.push_back(&mapping);
                    else if (key.starts_with("Iptc."))
                        iptcMappings.push_back(&mapping);
                    else
                        xmpMappings.push_back(&mapping);
                }
                // The families fill different groups of the result, so their order does not matter.
                readGroup(image->exifData(), exifMappings, result);
                readGroup(image->iptcData(), iptcMappings, result);
                readGroup(image->xmpData(), xmpMappings, result);
                if (image->iccProfileDefined()) {
                    const QString profile = iccDescription(*image->iccProfile());
                    if (!profile.isEmpty())
                        result.insert(QStringLiteral("ProfileName"), profile);
                }
            },
            Exiv2Adapter::Severity::Debug);
    }
    // A JPEG whose size exiv2 found needs only its colour model: read from the frame
    // header, it costs a fraction of QImageReader's header read.
    std::optional<QString> jpegModel;
    if (image && image->imageType() == Exiv2::ImageType::jpeg && !size.isEmpty())
        jpegModel = jpegColorModel(path);
    const ReaderFacts facts = jpegModel ? ReaderFacts { QSize(), *jpegModel } : readerFacts(path);
    if (size.isEmpty())
        size = facts.size;
    // A photo exiv2 read as another kind than a base media file has no HEIF
    // signature: its file is not opened once more to look.
    const bool mayBeHeif = !image || image->imageType() == Exiv2::ImageType::bmff;
    if (mayBeHeif && isHeif(path)) {
        // HEIF carries its own crop and turn, which libheif applies when it measures and
        // decodes; an Exif orientation inside must not turn the picture a second time.
        size = HeifFile(path).primarySize();
        putInGroup(result, QString(), QStringLiteral("Orientation"), 1);
        putInGroup(result, kTIFF, QStringLiteral("Orientation"), 1);
    }
    if (!facts.colorModel.isEmpty())
        result.insert(QStringLiteral("ColorModel"), facts.colorModel);
    if (size.isEmpty() && result.isEmpty())
        return {};
    if (!size.isEmpty()) {
        result.insert(QStringLiteral("PixelWidth"), size.width());
        result.insert(QStringLiteral("PixelHeight"), size.height());
    }
    addResolution(result);
    return result;
}

ImageProperties::Shape ImageProperties::shapeOfImage(const QString& path, Exiv2::Image* image)
{
    Shape shape;
    if (image) {
        Exiv2Adapter::run(
            QStringLiteral("read the properties of"), path,
            [&] {
                shape.size = QSize(image->pixelWidth(), image->pixelHeight());
                // Exif.Image.Orientation: the first such datum that holds a value.
                constexpr std::uint16_t kOrientationTag = 0x0112;
                for (const Exiv2::Exifdatum& datum : image->exifData()) {
                    if (datum.tag() == kOrientationTag && datum.groupName() == "Image") {
                        if (const QVariant value = readValue(datum.value(), Kind::Integer); value.isValid()) {
                            shape.orientation = value.toInt();
                            break;
                        }
                    }
                }
            },
            Exiv2Adapter::Severity::Debug);
    }
    if (shape.size.isEmpty())
        shape.size = readerFacts(path).size;
    const bool mayBeHeif = !image || image->imageType() == Exiv2::ImageType::bmff;
    if (mayBeHeif && isHeif(path)) {
        shape.size = HeifFile(path).primarySize();
        shape.orientation = 1;
    }
    if (shape.size.isEmpty())
        shape.size = QSize();
    return shape;
}

bool ImageProperties::isHeif(const QString& path)
{
    return HeifFile::hasHeifSignature(path);
}

bool ImageProperties::writeProperties(QByteArray& encodedImage, const QVariantMap& properties, QString* errorMessage)
{
    QByteArray written;
    const std::optional<QString> failure = Exiv2Adapter::editInMemory(
        encodedImage, QStringLiteral("an encoded image"),
        [&](Exiv2::Image& image) {
            const int type = image.imageType();
            if (type != Exiv2::ImageType::jpeg && type != Exiv2::ImageType::png && type != Exiv2::ImageType::tiff
                && type != Exiv2::ImageType::jp2)
                return false;
            for (const KeyMapping& mapping : kMappings) {
                const QVariantMap group
                    = *mapping.group ? properties.value(QString::fromLatin1(mapping.group)).toMap() : properties;
                const QVariant value = group.value(QString::fromLatin1(mapping.key));
                if (value.isValid())
                    writeMapping(image, mapping, value);
            }
            return true;
        },
        [&](QByteArrayView bytes) { written = bytes.toByteArray(); });
    if (failure) {
        if (errorMessage)
            *errorMessage = *failure;
        return false;
    }
    if (!written.isNull())
        encodedImage = written;
    return true;
}

QString ImageProperties::exiv2KeyFor(const QString& group, const QString& key)
{
    for (const KeyMapping& mapping : kMappings) {
        if (group == QLatin1String(mapping.group) && key == QLatin1String(mapping.key))
            return QString::fromLatin1(mapping.exiv2Key);
    }
    return {};
}

QPair<QString, QString> ImageProperties::dictionaryKeyFor(const QString& exiv2Key)
{
    // The "{TIFF}" entry of the orientation wins over the top-level one.
    for (auto it = kMappings.rbegin(); it != kMappings.rend(); ++it) {
        if (exiv2Key == QLatin1String(it->exiv2Key))
            return { QString::fromLatin1(it->group), QString::fromLatin1(it->key) };
    }
    return {};
}
