// Conversion between a metadata record and an image-property dictionary.

#include "platform/MetaDataObjectDictionary.h"

#include "base/Numbers.h"
#include "model/MetaDataObject.h"
#include "platform/ImageProperties.h"

#include <array>
#include <climits>
#include <cmath>
#include <optional>

namespace {

// "{PNG}" is only ever written here (the PNG software key), so the property layer
// has no constant for it.
const QString kPNG = QStringLiteral("{PNG}");
const QString kLeaveBlank = QStringLiteral("Leave Blank");

enum class Group { None, Top, TIFF, Exif, GPS, IPTC, PNG };

const QString& groupName(Group group)
{
    static const QString none;
    switch (group) {
    case Group::TIFF:
        return ImageProperties::kTIFF;
    case Group::Exif:
        return ImageProperties::kExif;
    case Group::GPS:
        return ImageProperties::kGPS;
    case Group::IPTC:
        return ImageProperties::kIPTC;
    case Group::PNG:
        return kPNG;
    case Group::None:
    case Group::Top:
        break;
    }
    return none;
}

// How a field is read from its key.
enum class Read {
    None,
    Text, // the value's text form, trimmed; a missing key empties the field
    Joined, // the list's elements joined by ",", untrimmed; a missing key keeps the field
    Untrimmed, // the value's text form as it stands; a missing key keeps the field
};

// How a field is written to its key.
enum class Write {
    None,
    Text,
    Integer,
    Real,
    TextInList, // a list of one text
    IntegerInList, // a list of one whole number
    Split, // the text cut at each ","
    ComponentNumbers, // the parts "0" to "6" of the text cut at each ","
    ApertureApex, // an F-number as an APEX aperture value
    ShutterApex, // an exposure time ("1/N" or seconds) as an APEX speed value
};

enum RowFlag : unsigned {
    LeaveBlank = 1, // the key goes when the field holds "Leave Blank"
    Cleared = 2, // the field's clear flag removes the key in the clean mode
    Mode1 = 4, // mode 1 removes the key when the edited-fields record has the field empty
};
// Most rows: removed by their clear flag and by mode 1.
constexpr unsigned kClearedAndMode1 = Cleared | Mode1;

struct Row {
    MetadataField field;
    Group group;
    const char* key;
    Read read;
    Write write;
    Group alsoGroup; // a second group written under the same key name, or None
    unsigned flags;
};

using F = MetadataField;
using G = Group;
using R = Read;
using W = Write;

// One row per field that has a dictionary key, in the record's order. The XMP fields
// have none.
constexpr std::array kRows {
    Row { F::Artist, G::TIFF, "Artist", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::ImageDescription, G::TIFF, "ImageDescription", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::Copyright, G::TIFF, "Copyright", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::Software, G::TIFF, "Software", R::Text, W::Text, G::PNG, kClearedAndMode1 },
    Row { F::UserComment, G::Exif, "UserComment", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::Cam_Make, G::TIFF, "Make", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::Cam_ModelName, G::TIFF, "Model", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::Cam_OwnerName, G::Exif, "CameraOwnerName", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::Cam_SerialNumber, G::Exif, "BodySerialNumber", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::Date_Original, G::Exif, "DateTimeOriginal", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::Date_Creation, G::Exif, "DateTimeDigitized", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::Date_Modify, G::TIFF, "DateTime", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::CamSetting_ISO, G::Exif, "ISOSpeedRatings", R::Joined, W::IntegerInList, G::None, kClearedAndMode1 },
    Row { F::CamSetting_FNumber, G::Exif, "FNumber", R::Text, W::Real, G::None, kClearedAndMode1 },
    Row { F::CamSetting_Aperture, G::Exif, "ApertureValue", R::Text, W::ApertureApex, G::None, kClearedAndMode1 },
    Row {
        F::CamSetting_ShutterSpeed, G::Exif, "ShutterSpeedValue", R::Text, W::ShutterApex, G::None, kClearedAndMode1 },
    Row { F::CamSetting_FocalLength, G::Exif, "FocalLength", R::Text, W::Real, G::None, kClearedAndMode1 },
    Row { F::CamSetting_FocalLengthIn35mmFormat, G::Exif, "FocalLenIn35mmFilm", R::Text, W::Integer, G::None,
        kClearedAndMode1 },
    Row {
        F::CamSetting_ExposureCompensation, G::Exif, "ExposureBiasValue", R::Text, W::Real, G::None, kClearedAndMode1 },
    Row { F::CamSetting_Flash, G::Exif, "Flash", R::Text, W::Integer, G::None, kClearedAndMode1 | LeaveBlank },
    Row {
        F::CamSetting_Orientation, G::TIFF, "Orientation", R::Text, W::Integer, G::Top, kClearedAndMode1 | LeaveBlank },
    Row {
        F::AdvCamSetting_ColorSpace, G::Exif, "ColorSpace", R::Text, W::Text, G::None, kClearedAndMode1 | LeaveBlank },
    Row { F::AdvCamSetting_ComponentsConfiguration, G::Exif, "ComponentsConfiguration", R::Text, W::ComponentNumbers,
        G::None, kClearedAndMode1 },
    Row { F::AdvCamSetting_ExposureMode, G::Exif, "ExposureMode", R::Text, W::Integer, G::None,
        kClearedAndMode1 | LeaveBlank },
    Row { F::AdvCamSetting_ExposureProgram, G::Exif, "ExposureProgram", R::Text, W::Integer, G::None,
        kClearedAndMode1 | LeaveBlank },
    Row { F::AdvCamSetting_ExposureTime, G::Exif, "ExposureTime", R::Text, W::Real, G::None, kClearedAndMode1 },
    Row { F::AdvCamSetting_MateringMode, G::Exif, "MeteringMode", R::Text, W::Integer, G::None,
        kClearedAndMode1 | LeaveBlank },
    Row { F::AdvCamSetting_SceneCaptureType, G::Exif, "SceneCaptureType", R::Text, W::Integer, G::None,
        kClearedAndMode1 | LeaveBlank },
    Row { F::AdvCamSetting_WhiteBalance, G::Exif, "WhiteBalance", R::Text, W::Integer, G::None, kClearedAndMode1 },
    Row { F::AdvCamSetting_Saturation, G::Exif, "Saturation", R::Text, W::Integer, G::None, kClearedAndMode1 },
    Row { F::AdvCamSetting_SensingMethod, G::Exif, "SensingMethod", R::Text, W::Integer, G::None,
        kClearedAndMode1 | LeaveBlank },
    Row { F::AdvCamSetting_Sharpness, G::Exif, "Sharpness", R::Text, W::Integer, G::None, kClearedAndMode1 },
    Row { F::AdvCamSetting_SubjectDistanceRange, G::Exif, "SubjectDistRange", R::Text, W::Integer, G::None,
        kClearedAndMode1 | LeaveBlank },
    Row { F::Lens_LensMake, G::Exif, "LensMake", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::Lens_Lens, G::Exif, "Lens", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::Lens_LensModel, G::Exif, "LensModel", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::Lens_LensSerialNumber, G::Exif, "LensSerialNumber", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::DimResolution_ExifImageWidth, G::Exif, "PixelXDimension", R::Text, W::None, G::None, 0 },
    Row { F::DimResolution_ExifImageHeight, G::Exif, "PixelYDimension", R::Text, W::None, G::None, 0 },
    Row { F::DimResolution_XResolution, G::TIFF, "XResolution", R::Text, W::Real, G::None, 0 },
    Row { F::DimResolution_YResolution, G::TIFF, "YResolution", R::Text, W::Real, G::None, 0 },
    Row { F::DimResolution_ResolutionUnit, G::TIFF, "ResolutionUnit", R::Text, W::Integer, G::None, 0 },
    Row { F::GPS_Lattitude, G::GPS, "Latitude", R::Text, W::Real, G::None, kClearedAndMode1 },
    Row { F::GPS_LattitudeRef, G::GPS, "LatitudeRef", R::Text, W::Text, G::None, kClearedAndMode1 | LeaveBlank },
    Row { F::GPS_Longitude, G::GPS, "Longitude", R::Text, W::Real, G::None, kClearedAndMode1 },
    Row { F::GPS_LongitudeRef, G::GPS, "LongitudeRef", R::Text, W::Text, G::None, kClearedAndMode1 | LeaveBlank },
    Row { F::GPS_Altitude, G::GPS, "Altitude", R::Text, W::Real, G::None, kClearedAndMode1 },
    Row { F::GPS_AltitudeRef, G::GPS, "AltitudeRef", R::Text, W::Integer, G::None, kClearedAndMode1 | LeaveBlank },
    Row { F::GPS_ImgDirection, G::GPS, "ImgDirection", R::Text, W::Real, G::None, Cleared },
    Row { F::GPS_ImgDirectionRef, G::GPS, "ImgDirectionRef", R::Text, W::Text, G::None, Cleared },
    Row { F::GPS_DateStamp, G::GPS, "DateStamp", R::Untrimmed, W::TextInList, G::None, Cleared },
    Row { F::IPTC_ByLine, G::IPTC, "Byline", R::Joined, W::TextInList, G::None, kClearedAndMode1 },
    Row { F::IPTC_ByLineTitle, G::IPTC, "BylineTitle", R::Joined, W::TextInList, G::None, kClearedAndMode1 },
    Row { F::IPTC_CopyrightNotice, G::IPTC, "CopyrightNotice", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::IPTC_Contact, G::IPTC, "Contact", R::Joined, W::None, G::None, 0 },
    Row { F::IPTC_Headline, G::IPTC, "Headline", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::IPTC_CaptionAbstract, G::IPTC, "Caption/Abstract", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::IPTC_WriterEditor, G::IPTC, "Writer/Editor", R::Joined, W::TextInList, G::None, kClearedAndMode1 },
    Row { F::IPTC_ObjectName, G::IPTC, "ObjectName", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::IPTC_Category, G::IPTC, "Category", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::IPTC_SupplementalCategories, G::IPTC, "SupplementalCategory", R::Joined, W::TextInList, G::None,
        kClearedAndMode1 },
    Row { F::IPTC_DateCreated, G::IPTC, "DateCreated", R::Text, W::None, G::None, 0 },
    Row { F::IPTC_Keywords, G::IPTC, "Keywords", R::Joined, W::Split, G::None, kClearedAndMode1 },
    Row { F::IPTC_SubLocation, G::IPTC, "SubLocation", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::IPTC_City, G::IPTC, "City", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::IPTC_ProvinceState, G::IPTC, "Province/State", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::IPTC_CountryPrimaryLocationName, G::IPTC, "Country/PrimaryLocationName", R::Text, W::Text, G::None,
        kClearedAndMode1 },
    Row { F::IPTC_CountryPrimaryLocationCode, G::IPTC, "Country/PrimaryLocationCode", R::Text, W::Text, G::None,
        kClearedAndMode1 | LeaveBlank },
    Row { F::IPTC_OriginalTransmissionRef, G::IPTC, "OriginalTransmissionReference", R::Text, W::Text, G::None,
        kClearedAndMode1 },
    Row { F::IPTC_SpecialInstructions, G::IPTC, "SpecialInstructions", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::IPTC_Credit, G::IPTC, "Credit", R::Text, W::Text, G::None, kClearedAndMode1 },
    Row { F::IPTC_Source, G::IPTC, "Source", R::Text, W::Text, G::None, kClearedAndMode1 },
};

// Reading a dictionary empties these; it has nothing to put in them. XMP_Keyword is
// left alone.
constexpr std::array kXmpFieldsEmptiedOnRead {
    F::XMP_SerialNumber,
    F::XMP_Lens,
    F::XMP_CreationDate,
    F::XMP_ModifyDate,
    F::XMP_Latitude,
    F::XMP_Longitude,
    F::XMP_PhotoshopDateCreated,
};

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// ---- Reading ----

// A value as text: a text as it stands, a number in its shortest exact decimal form,
// a list as its elements' texts joined by "," (so that a list such as the components
// configuration reads back into the field it came from). A missing value is "(null)".
QString textForm(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return QStringLiteral("(null)");
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Double:
    case QMetaType::Float:
        return Numbers::shortest(value.toDouble());
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::SChar:
        return QString::number(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return QString::number(value.toULongLong());
    case QMetaType::QByteArray:
        return QString::fromUtf8(value.toByteArray());
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        QStringList parts;
        for (const QVariant& element : value.toList())
            parts.append(textForm(element));
        return parts.join(QLatin1Char(','));
    }
    default:
        return value.toString();
    }
}

bool isMap(const QVariant& value)
{
    return value.typeId() == QMetaType::QVariantMap || value.typeId() == QMetaType::QVariantHash;
}

// The APEX aperture value as an F-number; nothing when it isn't one.
std::optional<QString> fNumberFromApex(const QString& apex)
{
    const double apexValue = Numbers::doubleValue(apex);
    if (!(apexValue > 0))
        return std::nullopt;
    const double fNumber = std::pow(2.0, apexValue / 2);
    if (!std::isfinite(fNumber))
        return std::nullopt;
    return Numbers::fixed(fNumber, 2);
}

// The APEX speed value as an exposure time: "1/N" for fractions, seconds otherwise.
std::optional<QString> exposureTimeFromApex(const QString& apex)
{
    const double apexValue = Numbers::doubleValue(apex);
    if (apexValue == 0)
        return QStringLiteral("1");
    if (apexValue > 0) {
        const double denominator = std::round(std::pow(2.0, apexValue));
        if (!std::isfinite(denominator) || denominator > INT_MAX)
            return std::nullopt;
        return QStringLiteral("1/") + QString::number(qlonglong(denominator));
    }
    const double seconds = std::pow(2.0, -apexValue);
    if (!std::isfinite(seconds))
        return std::nullopt;
    return Numbers::fixed(seconds, 2);
}

// ---- Building ----

// The APEX aperture value of an F-number text; nothing when it has none.
std::optional<double> apertureApex(const QString& text)
{
    const double apex = 2 * std::log2(Numbers::doubleValue(text));
    return std::isfinite(apex) ? std::optional<double>(apex) : std::nullopt;
}

// The APEX speed value of an exposure-time text: "1/N" with N in digits, or seconds
// written as a plain number; nothing for any other text or a time of 0.
std::optional<double> shutterApex(const QString& text)
{
    double apex = 0;
    if (text.contains(QLatin1String("1/"))) {
        const QString denominator = text.mid(2);
        for (QChar c : denominator) {
            if (!isAsciiDigit(c))
                return std::nullopt;
        }
        apex = std::log2(Numbers::doubleValue(denominator));
    } else {
        // The whole text must be a number in the C notation: no group separators.
        const std::optional<double> seconds = Numbers::exactDouble(text);
        if (!seconds)
            return std::nullopt;
        apex = -std::log2(*seconds);
    }
    return std::isfinite(apex) ? std::optional<double>(apex) : std::nullopt;
}

QVariantList splitAtCommas(const QString& text)
{
    QVariantList parts;
    for (const QString& part : text.split(QLatin1Char(',')))
        parts.append(part);
    return parts;
}

QVariantList componentNumbers(const QString& text)
{
    QVariantList numbers;
    for (const QString& part : text.split(QLatin1Char(','))) {
        if (part.size() == 1 && part[0] >= QLatin1Char('0') && part[0] <= QLatin1Char('6'))
            numbers.append(qlonglong(part[0].unicode() - '0'));
    }
    return numbers;
}

// The value a row stores for a field text; nothing when it has none to store.
std::optional<QVariant> writtenValue(const Row& row, const QString& text)
{
    switch (row.write) {
    case Write::None:
        return std::nullopt;
    case Write::Text:
        return QVariant(text);
    case Write::Integer:
        return QVariant(Numbers::longLongValue(text));
    case Write::Real:
        return QVariant(Numbers::doubleValue(text));
    case Write::TextInList:
        return QVariant(QVariantList { text });
    case Write::IntegerInList:
        return QVariant(QVariantList { Numbers::longLongValue(text) });
    case Write::Split:
        return QVariant(splitAtCommas(text));
    case Write::ComponentNumbers:
        return QVariant(componentNumbers(text));
    case Write::ApertureApex:
        if (auto apex = apertureApex(text))
            return QVariant(*apex);
        return std::nullopt;
    case Write::ShutterApex:
        if (auto apex = shutterApex(text))
            return QVariant(*apex);
        return std::nullopt;
    }
    return std::nullopt;
}

// The dictionaries being built: the top level and its six groups.
struct WorkingDict {
    QVariantMap top;
    QVariantMap tiff, exif, gps, iptc, png, exifAux;

    QVariantMap& map(Group group)
    {
        switch (group) {
        case Group::TIFF:
            return tiff;
        case Group::Exif:
            return exif;
        case Group::GPS:
            return gps;
        case Group::IPTC:
            return iptc;
        case Group::PNG:
            return png;
        case Group::None:
        case Group::Top:
            break;
        }
        return top;
    }

    void remove(const Row& row)
    {
        const QString key = QString::fromLatin1(row.key);
        map(row.group).remove(key);
        if (row.alsoGroup != Group::None)
            map(row.alsoGroup).remove(key);
    }

    void insert(const Row& row, const QVariant& value)
    {
        const QString key = QString::fromLatin1(row.key);
        map(row.group).insert(key, value);
        if (row.alsoGroup != Group::None)
            map(row.alsoGroup).insert(key, value);
    }
};

} // namespace

std::shared_ptr<MetaDataObject> MetaDataObject::initWithDict(const QVariantMap& dict)
{
    auto record = std::make_shared<MetaDataObject>();
    record->resetAllWithDict(dict);
    return record;
}

void MetaDataObject::resetAllWithDict(const QVariantMap& dict)
{
    // An empty map is what the property layer answers when it can read nothing: it
    // stands for no dictionary at all.
    if (dict.isEmpty())
        return;

    for (const Row& row : kRows) {
        if (row.read == Read::None)
            continue;
        const QVariant groupValue = dict.value(groupName(row.group));
        if (!isMap(groupValue))
            continue;
        const QVariantMap group = groupValue.toMap();
        const QString key = QString::fromLatin1(row.key);
        switch (row.read) {
        case Read::None:
            break;
        case Read::Text:
            setField(row.field, textForm(group.value(key)).trimmed());
            break;
        case Read::Joined:
            if (group.contains(key))
                setField(row.field, textForm(group.value(key))); // a lone value reads as a list of one
            break;
        case Read::Untrimmed:
            if (group.contains(key))
                setField(row.field, textForm(group.value(key)));
            break;
        }
    }
    for (MetadataField f : kXmpFieldsEmptiedOnRead)
        setField(f, QStringLiteral(""));

    const QString missing = QStringLiteral("(null)");
    for (const MetadataFieldInfo& info : kMetadataFields) {
        if (info.field == MetadataField::XMP_Keyword)
            continue;
        if (field(info.field).isNull() || field(info.field) == missing)
            setField(info.field, QStringLiteral(""));
    }

    // The dictionary holds APEX values; the record holds an F-number and an exposure
    // time. A value that can't be turned (or would give no finite number) stays as read.
    if (!CamSetting_Aperture().isEmpty()) {
        if (auto fNumber = fNumberFromApex(CamSetting_Aperture()))
            setCamSetting_Aperture(*fNumber);
    }
    if (!CamSetting_ShutterSpeed().isEmpty()) {
        if (auto time = exposureTimeFromApex(CamSetting_ShutterSpeed()))
            setCamSetting_ShutterSpeed(*time);
    }
}

QVariantMap MetaDataObject::metadataDictFromObject(
    const MetaDataObject& record, const QVariantMap& oldDict, const MetaDataObject& updated)
{
    WorkingDict dict;
    dict.top = oldDict;
    dict.tiff = oldDict.value(ImageProperties::kTIFF).toMap();
    dict.exif = oldDict.value(ImageProperties::kExif).toMap();
    dict.gps = oldDict.value(ImageProperties::kGPS).toMap();
    dict.iptc = oldDict.value(ImageProperties::kIPTC).toMap();
    dict.png = oldDict.value(kPNG).toMap();
    dict.exifAux = oldDict.value(ImageProperties::kExifAux).toMap();

    if (record.editingOption == CleanMetadataInfo) {
        for (ClearFlag flag : { ClearFlag::Exif, ClearFlag::IPTC, ClearFlag::Comment, ClearFlag::GpsInfo }) {
            if (!record.clearFlag(flag))
                continue;
            for (const Row& row : kRows) {
                if ((row.flags & Cleared) && fieldInfo(row.field).clearFlag == flag)
                    dict.remove(row);
            }
        }
    } else {
        for (const Row& row : kRows) {
            const QString& text = record.field(row.field);
            if (text.isEmpty())
                continue;
            // A value that has no number to store (an APEX value of "1/0", say) leaves
            // whatever the old dictionary held under the key.
            if (auto value = writtenValue(row, text))
                dict.insert(row, *value);
        }
        for (const Row& row : kRows) {
            if ((row.flags & LeaveBlank) && record.field(row.field) == kLeaveBlank)
                dict.remove(row);
        }
        if (record.editingOption == ModifyEditedClearOthers) {
            for (const Row& row : kRows) {
                if ((row.flags & Mode1) && updated.field(row.field).isEmpty())
                    dict.remove(row);
            }
        }
    }

    dict.top.insert(ImageProperties::kExif, dict.exif);
    dict.top.insert(ImageProperties::kExifAux, dict.exifAux);
    dict.top.insert(ImageProperties::kGPS, dict.gps);
    dict.top.insert(ImageProperties::kIPTC, dict.iptc);
    dict.top.insert(ImageProperties::kTIFF, dict.tiff);
    dict.top.insert(kPNG, dict.png);
    return dict.top;
}

std::optional<std::pair<QString, QString>> dictionaryEntryOfField(MetadataField field)
{
    for (const Row& row : kRows) {
        if (row.field == field)
            return std::pair { groupName(row.group), QString::fromLatin1(row.key) };
    }
    return std::nullopt;
}
