#include "Helper/ExifWriter.h"
#include "Helper/FieldTagTable.h"
#include "Helper/Utils.h"
#include "base/DatePattern.h"
#include "base/Logging.h"
#include "base/Numbers.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "platform/Exiv2Adapter.h"
#include "platform/OpenablePhotoPath.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringEncoder>
#include <algorithm>
#include <array>
#include <exiv2/exiv2.hpp>
#include <functional>
#include <memory>

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
constexpr std::array<const char*, 9> kClearGpsKeyList
    = { "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLongitude", "Exif.GPSInfo.GPSLatitudeRef",
          "Exif.GPSInfo.GPSLongitudeRef", "Exif.GPSInfo.GPSAltitude", "Exif.GPSInfo.GPSAltitudeRef",
          "Exif.GPSInfo.GPSImgDirection", "Exif.GPSInfo.GPSImgDirectionRef", "Exif.GPSInfo.GPSDateStamp" };
constexpr std::array<const char*, 2> kXmpGpsKeys = { "Xmp.exif.GPSLatitude", "Xmp.exif.GPSLongitude" };
constexpr std::array<const char*, 2> kCameraKeys = { "Exif.Image.Make", "Exif.Image.Model" };

constexpr const char* kIptcCharsetKey = "Iptc.Envelope.CharacterSet";
// ESC % G: the ISO 2022 escape that declares the IPTC texts UTF-8.
const std::string kIptcUtf8Charset = "\x1b%G";
constexpr std::uint16_t kEndOfDataSets = 0xffff;

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
// first datum with that key, or as a new one.
template <typename Data, typename Key> void putValue(Data& data, const Key& key, Exiv2::Value& value)
{
    const auto it = data.findKey(key);
    if (it != data.end())
        it->setValue(&value);
    else
        data.add(key, &value);
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

// The UTF-8 bytes of the text, cut to at most maxBytes at a character boundary.
std::string utf8WithinBytes(const QString& text, std::uint32_t maxBytes)
{
    QByteArray bytes = text.toUtf8();
    if (maxBytes == 0 || bytes.size() <= qsizetype(maxBytes))
        return bytes.toStdString();
    qsizetype cut = maxBytes;
    // A continuation byte (10xxxxxx) at the cut belongs to a character that would be split.
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    bytes.truncate(cut);
    return bytes.toStdString();
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
// holds for every dataset.
void declareIptcUtf8(Exiv2::IptcData& iptcData)
{
    for (Exiv2::Iptcdatum& datum : iptcData) {
        if (datum.typeId() != Exiv2::string || datum.key() == kIptcCharsetKey)
            continue;
        const std::string bytes = datum.toString();
        const std::string text = utf8(FLTImageMetadata::textFromBytes(bytes));
        if (text != bytes)
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

// Removes what the clear flags name and answers the run status. setsFileDates
// tells whether the run still sets the file dates: not when a whole group went.
int clearMetadata(Exiv2::Image& image, const PhotoFile& photo, const MetaDataObject& settings, bool& setsFileDates)
{
    if (settings.clearComment)
        ExifWriter::deleteKeysValuesFormExifData(image.exifData(), u"Exif.Photo.UserComment"_s);
    if (settings.clearGpsInfo) {
        eraseExifKeys(image.exifData(), kClearGpsKeyList);
        eraseXmpGpsKeys(image.xmpData());
    }
    setsFileDates = !settings.clearExif && !settings.clearIPTC && !settings.clearXMP;
    int status = MetadataWriteResult::Processed;
    if (settings.clearExif) {
        eraseExifKeys(image.exifData(), kClearExifKeyList);
        eraseXmpGpsKeys(image.xmpData());
        if (hasRawExtension(photo))
            status = MetadataWriteResult::RawCameraKept;
        else
            eraseExifKeys(image.exifData(), kCameraKeys);
    }
    if (settings.clearIPTC)
        image.clearIptcData();
    if (settings.clearXMP)
        image.clearXmpData();
    return status;
}

// ---- One photo's bytes through exiv2 ----

struct EditedPhoto {
    int status = MetadataWriteResult::Processed;
    // exiv2's message when it failed; nothing was saved then.
    std::optional<QString> error;
    // The saver's message when the edited bytes could not be saved.
    std::optional<QString> saveError;
};

// Saves the edited bytes (and whether the file dates follow the record); answers
// the failure's text, or nothing. The bytes live only during the call.
using EditedBytesSaver = std::function<std::optional<QString>(QByteArrayView bytes, bool setsFileDates)>;

// The photo's bytes with the record applied, all in memory: exiv2 reads the bytes
// once, and the saver gets exiv2's own buffer of the new file, so that the photo
// is not copied once more on its way out.
EditedPhoto editedPhoto(const QByteArray& original, const PhotoFile& photo, const MetaDataObject& settings,
    const MetaDataObject& onlyUpdated, const EditedBytesSaver& save)
{
    EditedPhoto edited;
    bool setsFileDates = true;
    edited.error = Exiv2Adapter::editInMemory(
        original, photo.filePath,
        [&](Exiv2::Image& image) {
            if (settings.editingOption == MetaDataObject::CleanMetadataInfo)
                edited.status = clearMetadata(image, photo, settings, setsFileDates);
            else
                edited.status = FieldPasses(image, photo, settings, onlyUpdated).run();
            return true;
        },
        [&](QByteArrayView bytes) { edited.saveError = save(bytes, setsFileDates); });
    return edited;
}

// ---- Files ----

MetadataWriteResult failure(const QString& message)
{
    return { MetadataWriteResult::WriteFailed, message };
}

bool isSameFile(const QString& a, const QString& b)
{
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (first.exists() && second.exists())
        return first.canonicalFilePath() == second.canonicalFilePath();
    return first.absoluteFilePath() == second.absoluteFilePath();
}

// Writes the bytes to a temporary file beside the path, gives it the permissions
// and the modification time, flushes it to disk and renames it over the path. On
// failure only the temporary file goes; answers the failure's text, or nothing.
std::optional<QString> replaceFile(const QString& path, QByteArrayView bytes, QFileDevice::Permissions permissions,
    const std::optional<QDateTime>& modified)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(bytes.data(), bytes.size()) != bytes.size() || !file.flush()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return error;
    }
    if (permissions != QFileDevice::Permissions() && !file.setPermissions(permissions))
        qCWarning(lcMetadata).noquote() << "Cannot keep the permissions of" << path;
    if (modified && !file.setFileTime(*modified, QFileDevice::FileModificationTime))
        qCWarning(lcMetadata).noquote() << "Cannot set the modification time of" << path;
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
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
    if (openablePhotoPath(sourcePath).isEmpty())
        return { MetadataWriteResult::SourceMissing, u"This photo is not available at the Source location."_s };

    const QString outputPath = isForRestore ? photo.processedPath : newPath;
    if (outputPath.isEmpty()) {
        return failure(isForRestore ? u"This photo has no earlier output to restore."_s
                                    : u"No output path was given for this photo."_s);
    }

    // Both are asked, so that a locked file is always logged.
    const bool readOnly = checkForReadOnlyFilePath(sourcePath);
    const bool locked = checkForLockedFile(sourcePath);
    if (readOnly || locked)
        return { MetadataWriteResult::AccessDenied, u"Access denied to source file"_s };

    // A file already at the output path is edited; a restore starts from the
    // source again. An output file that may not be written stays as it is.
    const bool outputExists = QFileInfo::exists(outputPath);
    const bool editsOutput = outputExists && !isForRestore && !isSameFile(outputPath, sourcePath);
    if (outputExists && !isSameFile(outputPath, sourcePath)
        && (checkForReadOnlyFilePath(outputPath) || checkForLockedFile(outputPath)))
        return failure(u"The file at the output path \"%1\" cannot be replaced: it is read-only."_s.arg(outputPath));
    const QString basisPath = editsOutput ? outputPath : sourcePath;

    photo.processedPath = outputPath;

    QFile basis(basisPath);
    if (!basis.open(QIODevice::ReadOnly))
        return failure(u"Cannot read \"%1\": %2"_s.arg(basisPath, basis.errorString()));
    const QByteArray original = basis.readAll();
    if (basis.error() != QFileDevice::NoError)
        return failure(u"Cannot read \"%1\": %2"_s.arg(basisPath, basis.errorString()));
    basis.close();

    const QFileDevice::Permissions permissions = QFile::permissions(basisPath);
    const auto save = [&](QByteArrayView bytes, bool setsFileDates) {
        std::optional<QDateTime> modified;
        if (setsFileDates) {
            // The file dates follow the photo's dates as first read, through their
            // settings. Linux keeps no settable creation date, so only the
            // modification time is set.
            const std::shared_ptr<MetaDataObject> firstRead
                = photo.metadataObjectOriginal ? photo.metadataObjectOriginal : std::make_shared<MetaDataObject>();
            const QString modifyText = Utils::sharedUtils().getUpdatedOutputDateTimeStringWithConfig(
                *settings.dateTimeConfigModifyDate(), firstRead->Date_Modify());
            modified = fileDateFromText(modifyText);
        }
        return replaceFile(outputPath, bytes, permissions, modified);
    };
    const EditedPhoto edited = editedPhoto(original, photo, settings, onlyUpdated, save);
    if (edited.error)
        return failure(cleanedErrorMessage(*edited.error));
    if (edited.saveError)
        return failure(u"Cannot write \"%1\": %2"_s.arg(outputPath, *edited.saveError));
    return { edited.status, kProcessedMessage };
}
