#include "Helper/ExifWriter.h"
#include "Helper/FieldTagTable.h"
#include "Helper/MetadataVerification.h"
#include "Helper/Utils.h"
#include "base/DatePattern.h"
#include "base/Logging.h"
#include "base/Numbers.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "platform/Exiv2Adapter.h"
#include "platform/FileReplacer.h"
#include "platform/JpegExifSegment.h"
#include "platform/JpegSplice.h"
#include "platform/KeptSourceFile.h"
#include "platform/OpenablePhotoPath.h"
#include "platform/PhotoshopIptcDigest.h"
#include "platform/UndecodableFileName.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <array>
#include <exiv2/exiv2.hpp>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string_view>

using namespace Qt::Literals::StringLiterals;

namespace {

using F = MetadataField;

const QString kProcessedMessage = u"Processed Successfully"_s;
const QString kLeaveBlank = u"Leave Blank"_s;

// What the "Clean Metadata info" mode erases for each flag. Make and model follow
// the Exif list unless the photo is a raw file.
constexpr std::array<const char*, 51> kClearExifKeyList = { "Exif.Image.Artist", "Exif.Image.Copyright",
    "Exif.Image.ImageDescription", "Exif.Image.Software", "Exif.Photo.UserComment", "Exif.Photo.CameraOwnerName",
    "Exif.Photo.BodySerialNumber", "Exif.Photo.DateTimeOriginal", "Exif.Photo.DateTimeDigitized", "Exif.Image.DateTime",
    "Exif.Photo.ISOSpeedRatings", "Exif.Photo.FNumber", "Exif.Photo.FocalLength", "Exif.Photo.FocalLengthIn35mmFilm",
    "Exif.Photo.Flash", "Exif.Image.Orientation", "Exif.Photo.ExposureMode", "Exif.Photo.ExposureProgram",
    "Exif.Photo.ExposureTime", "Exif.Photo.MeteringMode", "Exif.Photo.SceneCaptureType", "Exif.Photo.WhiteBalance",
    "Exif.Photo.Saturation", "Exif.Photo.SensingMethod", "Exif.Photo.Sharpness", "Exif.Photo.SubjectDistanceRange",
    "Exif.Photo.LensMake", "Exif.Photo.LensModel", "Exif.Photo.LensSerialNumber", "Exif.GPSInfo.GPSLatitude",
    "Exif.GPSInfo.GPSLongitude", "Exif.GPSInfo.GPSLatitudeRef", "Exif.GPSInfo.GPSLongitudeRef",
    "Exif.GPSInfo.GPSAltitude", "Exif.GPSInfo.GPSAltitudeRef", "Exif.GPSInfo.GPSImgDirection",
    "Exif.GPSInfo.GPSImgDirectionRef", "Exif.GPSInfo.GPSDateStamp", "Exif.Photo.PixelXDimension",
    "Exif.Photo.PixelYDimension", "Exif.Image.XResolution", "Exif.Image.YResolution", "Exif.Photo.ColorSpace",
    "Exif.Photo.ComponentsConfiguration", "Exif.Photo.ApertureValue", "Exif.Photo.ShutterSpeedValue",
    "Exif.Photo.ExposureBiasValue", "Exif.Image.ResolutionUnit", "Exif.Image2.XResolution", "Exif.Image2.YResolution",
    "Exif.Image2.ResolutionUnit" };
constexpr std::array<std::string_view, 7> kRequiredExifKeys
    = { "Exif.Image.XResolution", "Exif.Image.YResolution", "Exif.Image.ResolutionUnit", "Exif.Photo.ColorSpace",
          "Exif.Photo.ComponentsConfiguration", "Exif.Photo.PixelXDimension", "Exif.Photo.PixelYDimension" };
// The GPS clear takes every tag that tells where the photo was taken or what it
// shows: the position, the altitude, the direction of view, the destination and
// the area's name. The time, the datum, the satellites and the version say
// nothing about the place and stay.
constexpr std::array<const char*, 18> kClearGpsKeyList
    = { "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLongitude", "Exif.GPSInfo.GPSLatitudeRef",
          "Exif.GPSInfo.GPSLongitudeRef", "Exif.GPSInfo.GPSAltitude", "Exif.GPSInfo.GPSAltitudeRef",
          "Exif.GPSInfo.GPSImgDirection", "Exif.GPSInfo.GPSImgDirectionRef", "Exif.GPSInfo.GPSDateStamp",
          "Exif.GPSInfo.GPSDestLatitude", "Exif.GPSInfo.GPSDestLatitudeRef", "Exif.GPSInfo.GPSDestLongitude",
          "Exif.GPSInfo.GPSDestLongitudeRef", "Exif.GPSInfo.GPSDestBearing", "Exif.GPSInfo.GPSDestBearingRef",
          "Exif.GPSInfo.GPSDestDistance", "Exif.GPSInfo.GPSDestDistanceRef", "Exif.GPSInfo.GPSAreaInformation" };
constexpr std::array<const char*, 2> kXmpGpsKeys = { "Xmp.exif.GPSLatitude", "Xmp.exif.GPSLongitude" };
// The XMP copies of the Exif GPS tags above; XMP coordinates carry their own
// hemisphere, so there are no reference tags for them.
constexpr std::array<const char*, 11> kClearXmpGpsKeyList = { "Xmp.exif.GPSAltitude", "Xmp.exif.GPSAltitudeRef",
    "Xmp.exif.GPSImgDirection", "Xmp.exif.GPSImgDirectionRef", "Xmp.exif.GPSDestLatitude", "Xmp.exif.GPSDestLongitude",
    "Xmp.exif.GPSDestBearing", "Xmp.exif.GPSDestBearingRef", "Xmp.exif.GPSDestDistance", "Xmp.exif.GPSDestDistanceRef",
    "Xmp.exif.GPSAreaInformation" };
// Names that hold a position in any XMP schema: the IPTC location structures and
// the schemas of drones and phones use them too.
constexpr std::array<std::string_view, 3> kXmpPositionNames = { "GPSLatitude", "GPSLongitude", "GPSAltitude" };
constexpr std::array<const char*, 2> kCameraKeys = { "Exif.Image.Make", "Exif.Image.Model" };

constexpr const char* kIptcCharsetKey = "Iptc.Envelope.CharacterSet";
// ESC % G: the ISO 2022 escape that declares the IPTC texts UTF-8.
const std::string kIptcUtf8Charset = "\x1b%G";
constexpr std::uint16_t kEndOfDataSets = 0xffff;

// Texts of two values, with or without the NUL that closes an Ascii value.
bool sameValueText(std::string a, std::string b)
{
    while (!a.empty() && a.back() == '\0')
        a.pop_back();
    while (!b.empty() && b.back() == '\0')
        b.pop_back();
    return a == b;
}

bool hasRawExtension(const PhotoFile& photo)
{
    const std::string extension = photo.fileExtension.toUpper().toStdString();
    return std::find(kRawCameraExtensions.begin(), kRawCameraExtensions.end(), extension) != kRawCameraExtensions.end();
}

std::string utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

bool isAscii(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// Reads the text into the value; only a complete read with at least one component
// counts, so that a text the tag's type cannot hold never leaves an empty tag.
bool readInto(Exiv2::Value& value, const std::string& text)
{
    return value.read(text) == 0 && value.count() > 0;
}

void warnUnwritable(const char* key, const QString& text)
{
    qCWarning(lcMetadata).noquote() << "Not written:" << key << "cannot hold" << text << "- the tag stays as it was";
}

// Puts the value under the key of an Exif, IPTC or XMP container: in place of the
// first datum with that key, or as a new one. A datum that already holds the same
// value stays untouched, so that writing a photo's own value back (a date kept as
// it was) changes nothing and lets exiv2 keep the Exif block as it is.
template <typename Data, typename Key> void putValue(Data& data, const Key& key, Exiv2::Value& value)
{
    const auto it = data.findKey(key);
    if (it == data.end()) {
        data.add(key, &value);
        return;
    }
    if (it->typeId() == value.typeId() && sameValueText(it->toString(), value.toString()))
        return;
    it->setValue(&value);
}

// ---- Exif ----

// The text in the tag's own type: Ascii tags take the UTF-8 bytes, numeric tags
// parse the number.
void setExifText(Exiv2::ExifData& exifData, const char* keyText, const QString& text)
{
    const Exiv2::ExifKey key(keyText);
    std::unique_ptr<Exiv2::Value> value(Exiv2::Value::create(key.defaultTypeId()).release());
    if (!readInto(*value, utf8(value->typeId() == Exiv2::asciiString ? text : text.trimmed()))) {
        warnUnwritable(keyText, text);
        return;
    }
    putValue(exifData, key, *value);
}

// "2.8", "0.004" or "1/250" as the exiv2 text of one unsigned rational.
std::optional<std::string> rationalInput(const QString& text)
{
    static const QRegularExpression fraction(u"^\\d{1,9}/[1-9]\\d{0,8}$"_s);
    const QString trimmed = text.trimmed();
    if (fraction.match(trimmed).hasMatch())
        return utf8(trimmed);
    const std::optional<double> number = Numbers::exactDouble(trimmed);
    if (!number || *number < 0 || *number > 2e9)
        return std::nullopt;
    return utf8(Numbers::rationalText(*number));
}

void setExifRational(Exiv2::ExifData& exifData, const char* keyText, const QString& text)
{
    Exiv2::URationalValue value;
    const std::optional<std::string> input = rationalInput(text);
    if (!input || !readInto(value, *input)) {
        warnUnwritable(keyText, text);
        return;
    }
    putValue(exifData, Exiv2::ExifKey(keyText), value);
}

// Plain ASCII goes as an Ascii comment; anything else as a Unicode comment in
// UTF-16 of the Exif data's own byte order, which holds every character (exiv2's
// own conversion to UCS-2 would refuse emoji).
void setUserComment(Exiv2::ExifData& exifData, Exiv2::ByteOrder byteOrder, const char* keyText, const QString& text)
{
    Exiv2::CommentValue value;
    if (isAscii(text)) {
        if (!readInto(value, "charset=Ascii " + utf8(text))) {
            warnUnwritable(keyText, text);
            return;
        }
    } else {
        const bool bigEndian = byteOrder == Exiv2::bigEndian;
        QStringEncoder utf16(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE);
        const QByteArray bytes = QByteArray("UNICODE\0", 8) + QByteArray(utf16.encode(text));
        value.read(reinterpret_cast<const Exiv2::byte*>(bytes.constData()), long(bytes.size()),
            bigEndian ? Exiv2::bigEndian : Exiv2::littleEndian);
    }
    putValue(exifData, Exiv2::ExifKey(keyText), value);
}

// ---- IPTC ----

// The largest number of bytes the dataset may hold; 0 when exiv2 gives no limit.
std::uint32_t iptcMaxBytes(const Exiv2::IptcKey& key)
{
    const Exiv2::DataSet* dataSet = key.record() == Exiv2::IptcDataSets::envelope
        ? Exiv2::IptcDataSets::envelopeRecordList()
        : Exiv2::IptcDataSets::application2RecordList();
    for (; dataSet->number_ != kEndOfDataSets; ++dataSet) {
        if (dataSet->number_ == key.tag())
            return dataSet->maxbytes_;
    }
    return 0;
}

// The UTF-8 bytes of the text, cut to at most maxBytes where a user-perceived
// character ends: a family emoji joined by zero-width joiners or a letter with its
// combining marks goes whole or not at all.
std::string utf8WithinBytes(const QString& text, std::uint32_t maxBytes)
{
    const QByteArray bytes = text.toUtf8();
    if (maxBytes == 0 || bytes.size() <= qsizetype(maxBytes))
        return bytes.toStdString();
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype kept = 0;
    for (qsizetype boundary = graphemes.toNextBoundary(); boundary > 0; boundary = graphemes.toNextBoundary()) {
        if (text.first(boundary).toUtf8().size() > qsizetype(maxBytes))
            break;
        kept = boundary;
    }
    return text.first(kept).toUtf8().toStdString();
}

void setIptcText(Exiv2::IptcData& iptcData, const char* keyText, const QString& text)
{
    const Exiv2::IptcKey key(keyText);
    std::unique_ptr<Exiv2::Value> value(
        Exiv2::Value::create(Exiv2::IptcDataSets::dataSetType(key.tag(), key.record())).release());
    if (!readInto(*value, utf8WithinBytes(text, iptcMaxBytes(key)))) {
        warnUnwritable(keyText, text);
        return;
    }
    putValue(iptcData, key, *value);
}

// Each keyword once, trimmed, in the order given.
QStringList keywordsOf(const QString& text)
{
    QStringList keywords;
    for (const QString& part : text.split(u',')) {
        const QString keyword = part.trimmed();
        if (!keyword.isEmpty() && !keywords.contains(keyword))
            keywords.append(keyword);
    }
    return keywords;
}

void setKeywords(Exiv2::IptcData& iptcData, const char* keyText, const QString& text)
{
    ExifWriter::deleteKeysValuesFormIptcData(iptcData, QString::fromLatin1(keyText));
    const Exiv2::IptcKey key(keyText);
    const std::uint32_t maxBytes = iptcMaxBytes(key);
    for (const QString& keyword : keywordsOf(text)) {
        Exiv2::StringValue value(utf8WithinBytes(keyword, maxBytes));
        iptcData.add(key, &value);
    }
}

// Declares the IPTC texts UTF-8, turning any dataset that is not valid UTF-8
// (Latin-1, as older programs wrote) into UTF-8 first, so that the declaration
// holds for every dataset. A converted text can outgrow its dataset's limit; it
// is then cut where a character ends.
void declareIptcUtf8(Exiv2::IptcData& iptcData)
{
    for (Exiv2::Iptcdatum& datum : iptcData) {
        if (datum.typeId() != Exiv2::string || datum.key() == kIptcCharsetKey)
            continue;
        const std::string bytes = datum.toString();
        const QString decoded = FLTImageMetadata::textFromBytes(bytes);
        const std::string text = utf8WithinBytes(decoded, iptcMaxBytes(Exiv2::IptcKey(datum.key())));
        if (text == bytes)
            continue;
        if (text != utf8(decoded)) {
            qCInfo(lcMetadata).noquote() << "The IPTC dataset" << QString::fromStdString(datum.key())
                                         << "is cut to its limit after its conversion to UTF-8";
        }
        datum.setValue(text);
    }
    const Exiv2::IptcKey key(kIptcCharsetKey);
    Exiv2::StringValue charset(kIptcUtf8Charset);
    putValue(iptcData, key, charset);
}

// ---- XMP ----

void setXmpText(Exiv2::XmpData& xmpData, const char* keyText, const QString& text)
{
    Exiv2::XmpTextValue value(utf8(text));
    putValue(xmpData, Exiv2::XmpKey(keyText), value);
}

// XMP dates are ISO 8601: a record date in the Exif form becomes "yyyy-MM-ddTHH:mm:ss";
// any other text (an ISO date as read, with or without offset) stays.
QString xmpDateText(const QString& text)
{
    static const DatePattern exifForm(u"yyyy:MM:dd HH:mm:ss"_s);
    static const DatePattern isoForm(u"yyyy-MM-dd'T'HH:mm:ss"_s);
    if (const std::optional<QDateTime> date = exifForm.read(text))
        return isoForm.print(*date);
    return text;
}

// ---- The field passes of the editing modes 0 and 1 ----

class FieldPasses {
public:
    FieldPasses(
        Exiv2::Image& image, const PhotoFile& photo, const MetaDataObject& settings, const MetaDataObject& onlyUpdated)
        : m_exif(image.exifData())
        , m_iptc(image.iptcData())
        , m_xmp(image.xmpData())
        , m_settings(settings)
        , m_onlyUpdated(onlyUpdated)
        , m_original(photo.metadataObjectOriginal ? photo.metadataObjectOriginal : std::make_shared<MetaDataObject>())
        , m_isRaw(hasRawExtension(photo))
        // A file without Exif data gets it in little-endian order when written.
        , m_byteOrder(image.byteOrder() == Exiv2::invalidByteOrder ? Exiv2::littleEndian : image.byteOrder())
    {
    }

    // Runs the passes and answers the run status: 0, or 7 when a raw file's
    // make or model was kept.
    int run()
    {
        passOverSettings();
        datePass();
        leaveBlankPass();
        if (m_settings.editingOption == MetaDataObject::ModifyEditedClearOthers)
            passOverOnlyUpdated();
        if (m_iptcWritten)
            declareIptcUtf8(m_iptc);
        return m_status;
    }

private:
    // Pass A: every written field with text is set; an emptied, edited one is erased.
    void passOverSettings()
    {
        for (const FieldTagInfo& row : fieldTagTable()) {
            if (!row.isWritten())
                continue;
            const QString& text = m_settings.field(row.field);
            if (row.keptForRawFiles && m_isRaw && !text.isEmpty()) {
                setRawCameraField(row, text);
            } else if (!text.isEmpty()) {
                // The "Leave Blank" pass erases these tags; they never hold the label.
                if (!(row.leaveBlankErases && text == kLeaveBlank))
                    setField(row, text);
            } else if (m_settings.isUpdated(row.field)) {
                eraseField(row);
            }
        }
    }

    // A raw file's make and model are only ever written back unchanged; any other
    // text leaves the file's own value and makes the status 7.
    void setRawCameraField(const FieldTagInfo& row, const QString& text)
    {
        QString fileValue;
        const auto it = m_exif.findKey(Exiv2::ExifKey(row.key));
        if (it != m_exif.end())
            fileValue = m_formatter.valueForExifMetadata(*it).valueText();
        if (fileValue == text)
            setField(row, text);
        else
            m_status = MetadataWriteResult::RawCameraKept;
    }

    // The date settings applied to the dates as first read decide what the six
    // date tags finally hold; an empty answer erases an edited field's tag.
    void datePass()
    {
        const Utils& utils = Utils::sharedUtils();
        for (const DateSettingInfo& info : kDateSettings) {
            const FieldTagInfo& row = fieldTagInfo(info.field);
            QString& text = m_dates[static_cast<std::size_t>(info.setting)];
            text = utils.getUpdatedOutputDateTimeStringWithConfig(
                *m_settings.dateTimeConfig(info.setting), m_original->field(info.field));
            if (!text.isEmpty())
                setField(row, text);
            else if (m_settings.isUpdated(info.field))
                eraseField(row);
        }
    }

    void leaveBlankPass()
    {
        for (const FieldTagInfo& row : fieldTagTable()) {
            if (row.leaveBlankErases && m_settings.field(row.field) == kLeaveBlank)
                eraseField(row);
        }
    }

    // Pass B of mode 1: what the edited-fields-only record leaves empty goes, except
    // a raw file's make and model and a date its setting has just produced.
    void passOverOnlyUpdated()
    {
        for (const FieldTagInfo& row : fieldTagTable()) {
            if (!row.isWritten())
                continue;
            if (row.keptForRawFiles && m_isRaw) {
                m_status = MetadataWriteResult::RawCameraKept;
                continue;
            }
            if (row.dateSetting && !m_dates[static_cast<std::size_t>(*row.dateSetting)].isEmpty())
                continue;
            if (m_onlyUpdated.field(row.field).isEmpty())
                eraseField(row);
        }
    }

    void setField(const FieldTagInfo& row, const QString& text)
    {
        switch (row.writeForm) {
        case WriteForm::None:
            return;
        case WriteForm::Text:
            switch (tagFamily(row.key)) {
            case TagFamily::Exif:
                setExifText(m_exif, row.key, text);
                return;
            case TagFamily::Iptc:
                setIptcText(m_iptc, row.key, text);
                m_iptcWritten = true;
                return;
            case TagFamily::Xmp:
                setXmpText(m_xmp, row.key, row.dateSetting ? xmpDateText(text) : text);
                return;
            case TagFamily::None:
                return;
            }
            return;
        case WriteForm::Rational:
            setExifRational(m_exif, row.key, text);
            return;
        case WriteForm::Comment:
            setUserComment(m_exif, m_byteOrder, row.key, text);
            return;
        case WriteForm::Keywords:
            setKeywords(m_iptc, row.key, text);
            m_iptcWritten = true;
            return;
        case WriteForm::GpsCoordinate:
            setGpsCoordinate(row, text);
            return;
        }
    }

    // The Exif tag holds the magnitude as degrees, minutes and seconds (the
    // hemisphere is the reference field's); the XMP copy carries one sign.
    void setGpsCoordinate(const FieldTagInfo& row, const QString& text)
    {
        const std::optional<double> number = Numbers::exactDouble(text);
        Exiv2::URationalValue value;
        if (!number || std::abs(*number) > 180.0 || !readInto(value, utf8(Numbers::degreesText(*number)))) {
            warnUnwritable(row.key, text);
            return;
        }
        putValue(m_exif, Exiv2::ExifKey(row.key), value);

        const double magnitude = std::abs(*number);
        const QString reference = row.referenceField ? m_settings.field(*row.referenceField).toUpper() : QString();
        const bool negative = *number < 0 || reference == QChar::fromLatin1(row.negativeReference);
        const QString xmpText = (negative && magnitude > 0 ? u"-"_s : QString()) + Numbers::shortest(magnitude);
        setXmpText(m_xmp, row.xmpKey, xmpText);
    }

    void eraseField(const FieldTagInfo& row)
    {
        const QString key = QString::fromLatin1(row.key);
        switch (tagFamily(row.key)) {
        case TagFamily::Exif:
            ExifWriter::deleteKeysValuesFormExifData(m_exif, key);
            break;
        case TagFamily::Iptc:
            ExifWriter::deleteKeysValuesFormIptcData(m_iptc, key);
            break;
        case TagFamily::Xmp:
            ExifWriter::deleteKeysValuesFormXmpData(m_xmp, key);
            break;
        case TagFamily::None:
            break;
        }
        if (row.xmpKey != nullptr)
            ExifWriter::deleteKeysValuesFormXmpData(m_xmp, QString::fromLatin1(row.xmpKey));
    }

    Exiv2::ExifData& m_exif;
    Exiv2::IptcData& m_iptc;
    Exiv2::XmpData& m_xmp;
    const MetaDataObject& m_settings;
    const MetaDataObject& m_onlyUpdated;
    std::shared_ptr<MetaDataObject> m_original;
    const bool m_isRaw;
    const Exiv2::ByteOrder m_byteOrder;
    FLTImageMetadata m_formatter;
    int m_status = MetadataWriteResult::Processed;
    bool m_iptcWritten = false;
    // The date pass's answer for each date setting.
    std::array<QString, kDateSettingCount> m_dates;
};

// ---- The clear mode (2) ----

template <std::size_t N> void eraseExifKeys(Exiv2::ExifData& exifData, const std::array<const char*, N>& keys)
{
    for (const char* key : keys)
        ExifWriter::deleteKeysValuesFormExifData(exifData, QString::fromLatin1(key));
}

void eraseXmpGpsKeys(Exiv2::XmpData& xmpData)
{
    for (const char* key : kXmpGpsKeys)
        ExifWriter::deleteKeysValuesFormXmpData(xmpData, QString::fromLatin1(key));
}

// Whether a step of an XMP property path ("Iptc4xmpExt:GPSLatitude",
// "LocationShown[2]") names a position, whatever its schema.
bool isPositionStep(std::string_view step)
{
    if (const auto bracket = step.find('['); bracket != std::string_view::npos)
        step = step.substr(0, bracket);
    if (const auto colon = step.rfind(':'); colon != std::string_view::npos)
        step = step.substr(colon + 1);
    return std::find(kXmpPositionNames.begin(), kXmpPositionNames.end(), step) != kXmpPositionNames.end();
}

// A property named as a position, or anything inside one.
bool isXmpPosition(const Exiv2::Xmpdatum& datum)
{
    const std::string path = datum.tagName();
    std::string_view rest(path);
    while (true) {
        const auto slash = rest.find('/');
        if (isPositionStep(rest.substr(0, slash)))
            return true;
        if (slash == std::string_view::npos)
            return false;
        rest.remove_prefix(slash + 1);
    }
}

// Whether a datum lies inside the property or array item at path.
bool isInside(const std::string& key, const std::string& path)
{
    return key.size() > path.size() && key.compare(0, path.size(), path) == 0
        && (key[path.size()] == '/' || key[path.size()] == '[');
}

bool holdsAnything(const Exiv2::XmpData& xmpData, const std::string& path)
{
    return std::any_of(xmpData.begin(), xmpData.end(),
        [&path](const Exiv2::Xmpdatum& datum) { return datum.size() != 0 && isInside(datum.key(), path); });
}

void eraseWithContents(Exiv2::XmpData& xmpData, const std::string& path)
{
    for (auto it = xmpData.begin(); it != xmpData.end();)
        it = it->key() == path || isInside(it->key(), path) ? xmpData.erase(it) : std::next(it);
}

// Takes every property named as a position, in any schema, and what holds
// nothing once they went: a structure left empty, and an array whose items all
// are. An emptied item of an array that keeps others stays, empty, so that the
// items keep their numbers.
void eraseXmpPositions(Exiv2::XmpData& xmpData)
{
    for (const char* key : kXmpGpsKeys)
        ExifWriter::deleteKeysValuesFormXmpData(xmpData, QString::fromLatin1(key));
    for (const char* key : kClearXmpGpsKeyList)
        ExifWriter::deleteKeysValuesFormXmpData(xmpData, QString::fromLatin1(key));
    std::set<std::string> parents;
    for (auto it = xmpData.begin(); it != xmpData.end();) {
        if (!isXmpPosition(*it)) {
            ++it;
            continue;
        }
        const std::string key = it->key();
        qCDebug(lcMetadata).noquote() << "deleted key =" << QString::fromStdString(key);
        for (auto slash = key.find('/'); slash != std::string::npos; slash = key.find('/', slash + 1))
            parents.insert(key.substr(0, slash));
        it = xmpData.erase(it);
    }
    // Innermost first: a path sorts after the paths that hold it.
    for (auto parent = parents.rbegin(); parent != parents.rend(); ++parent) {
        std::string path = *parent;
        // "LocationShown[2]" is an item of the array "LocationShown".
        if (path.back() == ']')
            path.resize(path.rfind('['));
        if (!holdsAnything(xmpData, path))
            eraseWithContents(xmpData, path);
    }
}

// Removes what the clear flags name and answers the run status. setsFileDates
// tells whether the run still sets the file dates: not when a whole group went.
int clearMetadata(Exiv2::Image& image, const PhotoFile& photo, const MetaDataObject& settings, bool& setsFileDates)
{
    if (settings.clearComment)
        ExifWriter::deleteKeysValuesFormExifData(image.exifData(), u"Exif.Photo.UserComment"_s);
    if (settings.clearGpsInfo) {
        eraseExifKeys(image.exifData(), kClearGpsKeyList);
        eraseXmpPositions(image.xmpData());
    }
    setsFileDates = !settings.clearExif && !settings.clearIPTC && !settings.clearXMP;
    int status = MetadataWriteResult::Processed;
    if (settings.clearExif) {
        // The entries the Exif standard requires in a directory describe the
        // image, not the photographer; without them the photo is no longer valid
        // Exif, so they stay.
        for (const char* key : kClearExifKeyList) {
            if (std::find(kRequiredExifKeys.begin(), kRequiredExifKeys.end(), std::string_view(key))
                == kRequiredExifKeys.end())
                ExifWriter::deleteKeysValuesFormExifData(image.exifData(), QString::fromLatin1(key));
        }
        eraseXmpGpsKeys(image.xmpData());
        if (hasRawExtension(photo))
            status = MetadataWriteResult::RawCameraKept;
        else
            eraseExifKeys(image.exifData(), kCameraKeys);
    }
    if (settings.clearIPTC)
        image.clearIptcData();
    if (settings.clearXMP) {
        image.clearXmpData();
        // Also a packet that exiv2 could not parse goes.
        image.clearXmpPacket();
    }
    return status;
}

// ---- Entries a new directory needs ----

bool hasExifGroup(const Exiv2::ExifData& data, const char* group)
{
    return std::any_of(data.begin(), data.end(), [group](const Exiv2::Exifdatum& datum) {
        return datum.groupName() == group && datum.key() != "Exif.Image.ExifTag" && datum.key() != "Exif.Image.GPSTag";
    });
}

void addIfMissing(Exiv2::ExifData& exifData, const char* keyText, Exiv2::TypeId type, const std::string& text)
{
    const Exiv2::ExifKey key(keyText);
    if (exifData.findKey(key) != exifData.end())
        return;
    std::unique_ptr<Exiv2::Value> value(Exiv2::Value::create(type).release());
    if (value->read(text) == 0)
        exifData.add(key, value.get());
}

// A directory that the edit creates gets the entries the Exif standard requires
// in it, with their standard defaults (the GPS directory its version and, in a
// TIFF, "MANUAL" as its processing method), so that the photo stays valid. A JPEG's
// main directory and Exif directory need more than a TIFF's, whose main
// directory describes the image itself.
void addRequiredEntries(Exiv2::Image& image, const Exiv2::ExifData& before)
{
    Exiv2::ExifData& exifData = image.exifData();
    if (exifData.empty())
        return;
    const bool jpeg = image.mimeType() == "image/jpeg";
    if (jpeg && !hasExifGroup(before, "Image")) {
        addIfMissing(exifData, "Exif.Image.XResolution", Exiv2::unsignedRational, "72/1");
        addIfMissing(exifData, "Exif.Image.YResolution", Exiv2::unsignedRational, "72/1");
        addIfMissing(exifData, "Exif.Image.ResolutionUnit", Exiv2::unsignedShort, "2");
        addIfMissing(exifData, "Exif.Image.YCbCrPositioning", Exiv2::unsignedShort, "1");
    }
    if (!hasExifGroup(before, "GPSInfo") && hasExifGroup(exifData, "GPSInfo")) {
        addIfMissing(exifData, "Exif.GPSInfo.GPSVersionID", Exiv2::unsignedByte, "2 3 0 0");
        // A TIFF's GPS directory also names how the position was found: the user
        // typed or picked it.
        if (!jpeg)
            addIfMissing(exifData, "Exif.GPSInfo.GPSProcessingMethod", Exiv2::undefined,
                "65 83 67 73 73 0 0 0 77 65 78 85 65 76");
    }
    if (!hasExifGroup(before, "Photo") && hasExifGroup(exifData, "Photo")) {
        addIfMissing(exifData, "Exif.Photo.ExifVersion", Exiv2::undefined, "48 50 51 50");
        addIfMissing(exifData, "Exif.Photo.FlashpixVersion", Exiv2::undefined, "48 49 48 48");
        addIfMissing(exifData, "Exif.Photo.ColorSpace", Exiv2::unsignedShort, "1");
        if (jpeg) {
            addIfMissing(exifData, "Exif.Photo.ComponentsConfiguration", Exiv2::undefined, "1 2 3 0");
            if (image.pixelWidth() > 0 && image.pixelHeight() > 0) {
                addIfMissing(
                    exifData, "Exif.Photo.PixelXDimension", Exiv2::unsignedLong, std::to_string(image.pixelWidth()));
                addIfMissing(
                    exifData, "Exif.Photo.PixelYDimension", Exiv2::unsignedLong, std::to_string(image.pixelHeight()));
            }
        }
    }
}

// ---- Restore points ----

QByteArray valueBytes(const Exiv2::Value& value, Exiv2::ByteOrder byteOrder)
{
    QByteArray bytes(qsizetype(value.size()), '\0');
    if (!bytes.isEmpty())
        value.copy(reinterpret_cast<Exiv2::byte*>(bytes.data()), byteOrder);
    return bytes;
}

std::unique_ptr<Exiv2::Value> valueFrom(const MetadataRestorePoint::Datum& datum, Exiv2::ByteOrder byteOrder)
{
    std::unique_ptr<Exiv2::Value> value(Exiv2::Value::create(Exiv2::TypeId(datum.typeId)).release());
    value->read(reinterpret_cast<const Exiv2::byte*>(datum.bytes.constData()), long(datum.bytes.size()), byteOrder);
    return value;
}

// Adds to the photo's restore point what this write changed and no earlier write
// had: the values as the photo held them before, so a restore after several runs
// goes back to the photo as first read.
void extendRestorePoint(MetadataRestorePoint& point, const MetadataSnapshot& before, Exiv2::ByteOrder byteOrder,
    const EditedKeys& edited, bool xmpPacketChanged, const QDateTime& modified)
{
    if (!point.modified)
        point.modified = modified;
    if (point.exifKeys.isEmpty())
        point.exifByteOrder = int(byteOrder);
    for (const std::string& key : edited.exif) {
        const QByteArray keyBytes = QByteArray::fromStdString(key);
        if (point.exifKeys.contains(keyBytes))
            continue;
        point.exifKeys.append(keyBytes);
        for (const Exiv2::Exifdatum& datum : before.exif) {
            if (datum.key() == key) {
                point.exifData.append({ keyBytes, int(datum.typeId()),
                    valueBytes(datum.value(), Exiv2::ByteOrder(point.exifByteOrder)) });
            }
        }
    }
    if (!edited.iptc.empty() && !point.keepsIptc) {
        point.keepsIptc = true;
        for (const Exiv2::Iptcdatum& datum : before.iptc) {
            point.iptcData.append({ QByteArray::fromStdString(datum.key()), int(datum.typeId()),
                valueBytes(datum.value(), Exiv2::bigEndian) });
        }
    }
    if ((!edited.xmp.empty() || xmpPacketChanged) && !point.keepsXmp) {
        point.keepsXmp = true;
        point.xmpPacket = QByteArray::fromStdString(before.xmpPacket);
    }
}

// Puts the restore point's values back into the image; its XMP packet goes back
// as it was, byte for byte.
void applyRestorePoint(Exiv2::Image& image, const MetadataRestorePoint& point)
{
    Exiv2::ExifData& exifData = image.exifData();
    for (const QByteArray& key : point.exifKeys) {
        const Exiv2::ExifKey exifKey(key.toStdString());
        for (auto it = exifData.findKey(exifKey); it != exifData.end(); it = exifData.findKey(exifKey))
            exifData.erase(it);
    }
    for (const MetadataRestorePoint::Datum& datum : point.exifData) {
        const auto value = valueFrom(datum, Exiv2::ByteOrder(point.exifByteOrder));
        exifData.add(Exiv2::ExifKey(datum.key.toStdString()), value.get());
    }
    if (point.keepsIptc) {
        Exiv2::IptcData& iptcData = image.iptcData();
        iptcData.clear();
        for (const MetadataRestorePoint::Datum& datum : point.iptcData) {
            const auto value = valueFrom(datum, Exiv2::bigEndian);
            iptcData.add(Exiv2::IptcKey(datum.key.toStdString()), value.get());
        }
    }
    if (point.keepsXmp) {
        image.xmpPacket() = point.xmpPacket.toStdString();
        image.xmpData().clear();
        if (!point.xmpPacket.isEmpty() && Exiv2Adapter::decodeXmp(image.xmpData(), image.xmpPacket()) != 0)
            image.xmpData().clear();
    }
}

// ---- One photo's bytes through exiv2 ----

// What an edit did to the opened photo: the run status, and whether the photo's
// XMP packet text is to be written as the edit left it.
struct EditOutcome {
    int status = MetadataWriteResult::Processed;
    bool writesXmpPacket = false;
};

using MetadataEdit = std::function<EditOutcome(Exiv2::Image& image)>;

struct EditedPhoto {
    int status = MetadataWriteResult::Processed;
    // exiv2's message when it failed; nothing was saved then.
    std::optional<QString> error;
    // Why the edited bytes were not saved: the edit cannot be made, or they did
    // not hold what they must.
    std::optional<QString> refusal;
    // The saver's message when the edited bytes could not be saved.
    std::optional<QString> saveError;
    // What the edit changed, and the photo's own values of it before.
    MetadataSnapshot before;
    EditedKeys edited;
    Exiv2::ByteOrder byteOrder = Exiv2::littleEndian;
    bool xmpPacketChanged = false;
};

// Saves the edited bytes; answers the failure's text, or nothing. The bytes live
// only during the call.
using EditedBytesSaver = std::function<std::optional<QString>(QByteArrayView bytes)>;

bool isParsableXmp(const std::string& packet)
{
    if (packet.empty())
        return true;
    Exiv2::XmpData parsed;
    return Exiv2Adapter::decodeXmp(parsed, packet) == 0;
}

// The photo's bytes with the edit applied, all in memory: exiv2 reads the bytes
// once, writes the new file into its own buffer, and that buffer is read back and
// verified before the saver gets it, so that the photo is not copied once more on
// its way out. An XMP packet that the edit leaves alone is written back as it was
// read, byte for byte, also when exiv2 cannot parse it.
EditedPhoto editedPhoto(
    QByteArrayView original, const QString& path, const MetadataEdit& edit, const EditedBytesSaver& save)
{
    EditedPhoto result;
    MetadataSnapshot expected;
    bool isJpeg = false;
    const auto editImage = [&](Exiv2::Image& image) {
        result.before = MetadataSnapshot::of(image);
        if (image.byteOrder() != Exiv2::invalidByteOrder)
            result.byteOrder = image.byteOrder();
        isJpeg = image.mimeType() == "image/jpeg";

        const EditOutcome outcome = edit(image);
        result.status = outcome.status;
        addRequiredEntries(image, result.before.exif);
        expected = MetadataSnapshot::of(image);
        result.edited = editedKeysBetween(result.before, expected);
        result.xmpPacketChanged = expected.xmpPacket != result.before.xmpPacket;
        const bool keepsPacket = outcome.writesXmpPacket || (result.edited.xmp.empty() && !result.xmpPacketChanged);
        image.writeXmpFromPacket(keepsPacket);
        if (!keepsPacket && !result.edited.xmp.empty() && !isParsableXmp(result.before.xmpPacket)) {
            result.refusal = u"The photo's XMP data cannot be read, so its XMP fields cannot be changed; the photo "
                             u"was not changed."_s;
            return false;
        }
        return true;
    };
    const auto saveBytes = [&](QByteArrayView written) {
        // exiv2 lays some Exif blocks out anew even when no Exif datum changed, and
        // a maker note can lose its inner offsets that way; an untouched block goes
        // back as it was.
        std::optional<QByteArray> spliced;
        if (result.edited.exif.empty() && isJpeg) {
            spliced = JpegExifSegment::withExifSegmentOf(written, original);
            if (spliced)
                written = *spliced;
        }
        std::optional<QByteArray> digested;
        if (!result.edited.iptc.empty() && isJpeg) {
            digested = PhotoshopIptcDigest::updated(written, original);
            if (digested)
                written = *digested;
        }
        result.refusal = verifyWrittenMetadata(result.before, expected, result.edited, path, written);
        if (!result.refusal)
            result.saveError = save(written);
    };
    result.error = Exiv2Adapter::editInMemory(original, path, editImage, saveBytes);
    if (result.refusal)
        qCWarning(lcMetadata).noquote() << "Not written:" << path << "-" << *result.refusal;
    return result;
}

// The edit of a JPEG of which only the header passes through memory (see
// JpegSplice): exiv2 edits and the verification reads the header, and the new
// file is the edited header followed by the basis file's image data, copied by
// the kernel into the replacer's temporary file. Nothing when the photo is to be
// read whole instead: it is no JPEG whose layout allows the split, or exiv2's
// output cannot be split as expected (nothing was written then).
std::optional<EditedPhoto> editedHeaderOnly(const QString& basisPath, const QString& path, const MetadataEdit& edit,
    const QString& target, FileReplacer::Options options)
{
    const std::unique_ptr<JpegSplice> splice = JpegSplice::open(basisPath);
    if (!splice)
        return std::nullopt;
    bool splits = true;
    const auto save = [&](QByteArrayView bytes) -> std::optional<QString> {
        const std::optional<QByteArrayView> header = splice->headerOf(bytes);
        if (!header) {
            splits = false;
            return std::nullopt;
        }
        options.append = [&](int fd) { return splice->writeTo(fd, *header); };
        return FileReplacer::replace(target, {}, options);
    };
    EditedPhoto edited = editedPhoto(splice->stub(), path, edit, save);
    if (!splits) {
        qCInfo(lcMetadata).noquote() << "Read whole:" << basisPath << "- its edited header cannot be split off";
        return std::nullopt;
    }
    return edited;
}

// ---- Files ----

MetadataWriteResult failure(const QString& message)
{
    return { MetadataWriteResult::WriteFailed, message };
}

const QString kSourceDenied = u"Access denied to source file"_s;
const QString kOutputDenied = u"Access denied to the file at the output path"_s;

bool isSameFile(const QString& a, const QString& b)
{
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (first.exists() && second.exists())
        return first.canonicalFilePath() == second.canonicalFilePath();
    return first.absoluteFilePath() == second.absoluteFilePath();
}

std::optional<QByteArray> readAll(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = u"Cannot read \"%1\": %2"_s.arg(path, file.errorString());
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = u"Cannot read \"%1\": %2"_s.arg(path, file.errorString());
        return std::nullopt;
    }
    return bytes;
}

// The edit of the photo at basisPath, saved at target: through its header alone
// where the photo allows it, else with the photo read whole. Nothing when the
// photo cannot be read; readError says why.
std::optional<EditedPhoto> writtenEdit(const QString& basisPath, const QString& path, const MetadataEdit& edit,
    const QString& target, const FileReplacer::Options& options, QString& readError)
{
    if (std::optional<EditedPhoto> edited = editedHeaderOnly(basisPath, path, edit, target, options))
        return edited;
    const std::optional<QByteArray> original = readAll(basisPath, readError);
    if (!original)
        return std::nullopt;
    const auto save = [&](QByteArrayView bytes) { return FileReplacer::replace(target, bytes, options); };
    return editedPhoto(*original, path, edit, save);
}

MetadataWriteResult outcomeOf(const EditedPhoto& edited, const QString& outputPath)
{
    if (edited.error)
        return failure(ExifWriter::cleanedErrorMessage(*edited.error));
    if (edited.refusal)
        return failure(*edited.refusal);
    if (edited.saveError)
        return failure(u"Cannot write \"%1\": %2"_s.arg(outputPath, *edited.saveError));
    return { edited.status, kProcessedMessage };
}

} // namespace

namespace {

// Erases the first datum of the key; Exif and XMP hold each key once. A key exiv2
// does not know is logged and answers false.
template <class Data, class Key> bool eraseFirstDatum(Data& data, const QString& key)
{
    return Exiv2Adapter::check(QStringLiteral("delete the key"), key, [&] {
        const auto it = data.findKey(Key(key.toStdString()));
        if (it == data.end())
            return false;
        data.erase(it);
        qCDebug(lcMetadata).noquote() << "deleted key =" << key;
        return true;
    });
}

} // namespace

bool ExifWriter::deleteKeysValuesFormExifData(Exiv2::ExifData& exifData, const QString& key)
{
    return eraseFirstDatum<Exiv2::ExifData, Exiv2::ExifKey>(exifData, key);
}

bool ExifWriter::deleteKeysValuesFormIptcData(Exiv2::IptcData& iptcData, const QString& key)
{
    // IPTC datasets repeat (keywords): every one of the key goes.
    return Exiv2Adapter::check(QStringLiteral("delete the key"), key, [&] {
        const Exiv2::IptcKey iptcKey(key.toStdString());
        bool erased = false;
        for (auto it = iptcData.findKey(iptcKey); it != iptcData.end(); it = iptcData.findKey(iptcKey)) {
            iptcData.erase(it);
            erased = true;
        }
        return erased;
    });
}

bool ExifWriter::deleteKeysValuesFormXmpData(Exiv2::XmpData& xmpData, const QString& key)
{
    return eraseFirstDatum<Exiv2::XmpData, Exiv2::XmpKey>(xmpData, key);
}

QString ExifWriter::cleanedErrorMessage(const QString& message)
{
    static const QRegularExpression errnoSuffix(u" \\(errno = -?\\d+\\)"_s);
    QString cleaned = message;
    cleaned.remove(u"Failed to open the data source: "_s);
    cleaned.replace(errnoSuffix, u"."_s);
    cleaned.remove(u"Failed to open file (w+b):"_s);
    return cleaned;
}

MetaDataObject& ExifWriter::replaceCommaValueToDot(MetaDataObject& record) const
{
    for (const FieldTagInfo& row : fieldTagTable()) {
        const QString& text = record.field(row.field);
        if (row.commaToPoint && text.contains(u','))
            record.setField(row.field, QString(text).replace(u',', u'.'));
    }
    return record;
}

MetadataWriteResult ExifWriter::writeMetaDataToFilePath(PhotoFile& photo, MetaDataObject& settings,
    const QString& newPath, MetaDataObject& onlyUpdated, bool isForRestore) const
{
    replaceCommaValueToDot(settings);
    replaceCommaValueToDot(onlyUpdated);

    const QString sourcePath = photo.filePath;
    if (isUndecodableFileName(sourcePath)) {
        qCWarning(lcMetadata).noquote() << "Not written:" << sourcePath << "- its file name is not valid UTF-8";
        return failure(undecodableFileNameMessage(sourcePath));
    }
    if (openablePhotoPath(sourcePath).isEmpty())
        return { MetadataWriteResult::SourceMissing, u"This photo is not available at the Source location."_s };
    if (isForRestore)
        return restorePhoto(photo);
    if (newPath.isEmpty())
        return failure(u"No output path was given for this photo."_s);

    // The write-access checks concern the file the run replaces: the source when
    // it is edited in place, else a file already at the output path. A source that
    // is only read may be read-only or immutable. Both checks are asked, so that a
    // locked file is always logged.
    const bool inPlace = isSameFile(newPath, sourcePath);
    const bool outputExists = QFileInfo::exists(newPath);
    if (inPlace || outputExists) {
        const bool readOnly = checkForReadOnlyFilePath(newPath);
        const bool locked = checkForLockedFile(newPath);
        if (readOnly || locked)
            return { MetadataWriteResult::AccessDenied, inPlace ? kSourceDenied : kOutputDenied };
    }

    // A file already at the output path is edited, its other metadata kept.
    const QString basisPath = outputExists && !inPlace ? newPath : sourcePath;
    photo.processedPath = newPath;
    const QDateTime modifiedBefore = QFileInfo(sourcePath).lastModified();

    const MetadataEdit edit = [&](Exiv2::Image& image) {
        EditOutcome outcome;
        bool unused = true;
        if (settings.editingOption == MetaDataObject::CleanMetadataInfo)
            outcome.status = clearMetadata(image, photo, settings, unused);
        else
            outcome.status = FieldPasses(image, photo, settings, onlyUpdated).run();
        return outcome;
    };
    // The file dates follow the photo's dates as first read, through their
    // settings, unless a clear run removed a whole group. Linux keeps no settable
    // creation date, so only the modification time is set.
    std::optional<QDateTime> modified;
    const bool removesGroup = settings.editingOption == MetaDataObject::CleanMetadataInfo
        && (settings.clearExif || settings.clearIPTC || settings.clearXMP);
    if (!removesGroup) {
        const std::shared_ptr<MetaDataObject> firstRead
            = photo.metadataObjectOriginal ? photo.metadataObjectOriginal : std::make_shared<MetaDataObject>();
        modified = fileDateFromText(Utils::sharedUtils().getUpdatedOutputDateTimeStringWithConfig(
            *settings.dateTimeConfigModifyDate(), firstRead->Date_Modify()));
    }
    const FileReplacer::Options options { basisPath, modified };
    QString readError;
    const std::optional<EditedPhoto> edited = writtenEdit(basisPath, sourcePath, edit, newPath, options, readError);
    if (!edited)
        return failure(readError);
    const MetadataWriteResult result = outcomeOf(*edited, newPath);
    if (inPlace
        && (result.errorFlag == MetadataWriteResult::Processed
            || result.errorFlag == MetadataWriteResult::RawCameraKept)) {
        if (!photo.restorePoint)
            photo.restorePoint = std::make_shared<MetadataRestorePoint>();
        extendRestorePoint(*photo.restorePoint, edited->before, edited->byteOrder, edited->edited,
            edited->xmpPacketChanged, modifiedBefore);
    }
    return result;
}

MetadataWriteResult ExifWriter::restorePhoto(PhotoFile& photo) const
{
    const QString sourcePath = photo.filePath;
    const QString outputPath = photo.processedPath;
    if (outputPath.isEmpty())
        return failure(u"This photo has no earlier output to restore."_s);
    const bool inPlace = isSameFile(outputPath, sourcePath);
    if (!QFileInfo::exists(outputPath) || (inPlace && !photo.restorePoint)) {
        // The earlier run made no file, or did not change the source: there is
        // nothing to put back.
        return { MetadataWriteResult::Processed, kProcessedMessage };
    }
    const bool readOnly = checkForReadOnlyFilePath(outputPath);
    const bool locked = checkForLockedFile(outputPath);
    if (readOnly || locked)
        return { MetadataWriteResult::AccessDenied, inPlace ? kSourceDenied : kOutputDenied };

    QString readError;
    if (!inPlace) {
        // The output becomes a fresh copy of the source: nothing is written into
        // it, so its metadata is the source's. The kernel copies it where the
        // source can be kept open, else it is read whole.
        const std::unique_ptr<KeptSourceFile> kept = KeptSourceFile::open(sourcePath);
        std::optional<QByteArray> source;
        if (!kept && !(source = readAll(sourcePath, readError)))
            return failure(readError);
        FileReplacer::Options options { sourcePath, QFileInfo(sourcePath).lastModified() };
        if (kept)
            options.append = [&](int fd) { return kept->copyTo(fd, 0); };
        const std::optional<QString> error
            = FileReplacer::replace(outputPath, source ? QByteArrayView(*source) : QByteArrayView(), options);
        if (error)
            return failure(u"Cannot write \"%1\": %2"_s.arg(outputPath, *error));
        return { MetadataWriteResult::Processed, kProcessedMessage };
    }

    // The run changed the source itself: its own values before the run go back.
    const MetadataRestorePoint& point = *photo.restorePoint;
    const MetadataEdit edit = [&](Exiv2::Image& image) {
        applyRestorePoint(image, point);
        return EditOutcome { MetadataWriteResult::Processed, point.keepsXmp };
    };
    const FileReplacer::Options options { sourcePath, point.modified };
    const std::optional<EditedPhoto> edited = writtenEdit(sourcePath, sourcePath, edit, outputPath, options, readError);
    if (!edited)
        return failure(readError);
    const MetadataWriteResult result = outcomeOf(*edited, outputPath);
    if (result.errorFlag == MetadataWriteResult::Processed)
        photo.restorePoint.reset();
    return result;
}
