#include "services/FieldTagTable.h"

namespace {

using F = MetadataField;

// Row builders: a field read from and written to one key, read-only, or without a
// tag; the modifiers below add what a few rows need.
constexpr FieldTagInfo tag(F field, const char* key, WriteForm form = WriteForm::Text, ReadRule rule = ReadRule::Value)
{
    FieldTagInfo info { field };
    info.access = TagAccess::ReadWrite;
    info.key = key;
    info.readRule = rule;
    info.writeForm = form;
    return info;
}

constexpr FieldTagInfo readOnly(F field, const char* key, ReadRule rule = ReadRule::Value)
{
    FieldTagInfo info { field };
    info.access = TagAccess::ReadOnly;
    info.key = key;
    info.readRule = rule;
    return info;
}

constexpr FieldTagInfo noTag(F field)
{
    return FieldTagInfo { field };
}

constexpr FieldTagInfo comma(FieldTagInfo info)
{
    info.commaToPoint = true;
    return info;
}

constexpr FieldTagInfo leaveBlank(FieldTagInfo info)
{
    info.leaveBlankErases = true;
    return info;
}

constexpr FieldTagInfo dateOf(FieldTagInfo info, DateForm form)
{
    info.dateForm = form;
    return info;
}

constexpr FieldTagInfo dated(FieldTagInfo info, DateSetting setting)
{
    info.dateSetting = setting;
    return dateOf(info, tagFamily(info.key) == TagFamily::Xmp ? DateForm::XmpDate : DateForm::ExifDateTime);
}

constexpr FieldTagInfo rawKept(FieldTagInfo info)
{
    info.keptForRawFiles = true;
    return info;
}

constexpr FieldTagInfo gpsCoordinate(F field, const char* key, const char* xmpKey, F reference, char negative)
{
    FieldTagInfo info = comma(tag(field, key, WriteForm::GpsCoordinate, ReadRule::GpsCoordinate));
    info.xmpKey = xmpKey;
    info.referenceField = reference;
    info.negativeReference = negative;
    return info;
}

constexpr std::array<FieldTagInfo, kMetadataFieldCount> kTable = {
    tag(F::Artist, "Exif.Image.Artist"),
    tag(F::ImageDescription, "Exif.Image.ImageDescription"),
    tag(F::Copyright, "Exif.Image.Copyright"),
    tag(F::Software, "Exif.Image.Software"),
    tag(F::UserComment, "Exif.Photo.UserComment", WriteForm::Comment, ReadRule::UserComment),
    rawKept(tag(F::Cam_Make, "Exif.Image.Make")),
    rawKept(tag(F::Cam_ModelName, "Exif.Image.Model")),
    tag(F::Cam_OwnerName, "Exif.Photo.CameraOwnerName"),
    tag(F::Cam_SerialNumber, "Exif.Photo.BodySerialNumber"),
    dated(tag(F::Date_Original, "Exif.Photo.DateTimeOriginal"), DateSetting::OriginalDate),
    dated(tag(F::Date_Creation, "Exif.Photo.DateTimeDigitized"), DateSetting::CreationDate),
    dated(tag(F::Date_Modify, "Exif.Image.DateTime"), DateSetting::ModifyDate),
    comma(tag(F::CamSetting_ISO, "Exif.Photo.ISOSpeedRatings")),
    comma(tag(F::CamSetting_FNumber, "Exif.Photo.FNumber", WriteForm::Rational)),
    noTag(F::CamSetting_Aperture),
    noTag(F::CamSetting_ShutterSpeed),
    comma(tag(F::CamSetting_FocalLength, "Exif.Photo.FocalLength", WriteForm::Rational)),
    comma(tag(F::CamSetting_FocalLengthIn35mmFormat, "Exif.Photo.FocalLengthIn35mmFilm")),
    noTag(F::CamSetting_ExposureCompensation),
    leaveBlank(tag(F::CamSetting_Flash, "Exif.Photo.Flash")),
    leaveBlank(tag(F::CamSetting_Orientation, "Exif.Image.Orientation")),
    noTag(F::AdvCamSetting_ColorSpace),
    noTag(F::AdvCamSetting_ComponentsConfiguration),
    leaveBlank(tag(F::AdvCamSetting_ExposureMode, "Exif.Photo.ExposureMode")),
    leaveBlank(tag(F::AdvCamSetting_ExposureProgram, "Exif.Photo.ExposureProgram")),
    comma(tag(F::AdvCamSetting_ExposureTime, "Exif.Photo.ExposureTime", WriteForm::Rational)),
    leaveBlank(tag(F::AdvCamSetting_MateringMode, "Exif.Photo.MeteringMode")),
    leaveBlank(tag(F::AdvCamSetting_SceneCaptureType, "Exif.Photo.SceneCaptureType")),
    comma(tag(F::AdvCamSetting_WhiteBalance, "Exif.Photo.WhiteBalance")),
    comma(tag(F::AdvCamSetting_Saturation, "Exif.Photo.Saturation")),
    leaveBlank(tag(F::AdvCamSetting_SensingMethod, "Exif.Photo.SensingMethod")),
    comma(tag(F::AdvCamSetting_Sharpness, "Exif.Photo.Sharpness")),
    leaveBlank(tag(F::AdvCamSetting_SubjectDistanceRange, "Exif.Photo.SubjectDistanceRange")),
    tag(F::Lens_LensMake, "Exif.Photo.LensMake"),
    noTag(F::Lens_Lens),
    tag(F::Lens_LensModel, "Exif.Photo.LensModel"),
    tag(F::Lens_LensSerialNumber, "Exif.Photo.LensSerialNumber"),
    readOnly(F::DimResolution_ExifImageWidth, "Exif.Photo.PixelXDimension"),
    readOnly(F::DimResolution_ExifImageHeight, "Exif.Photo.PixelYDimension"),
    readOnly(F::DimResolution_XResolution, "Exif.Image.XResolution"),
    readOnly(F::DimResolution_YResolution, "Exif.Image.YResolution"),
    noTag(F::DimResolution_ResolutionUnit),
    gpsCoordinate(F::GPS_Lattitude, "Exif.GPSInfo.GPSLatitude", "Xmp.exif.GPSLatitude", F::GPS_LattitudeRef, 'S'),
    leaveBlank(tag(F::GPS_LattitudeRef, "Exif.GPSInfo.GPSLatitudeRef")),
    gpsCoordinate(F::GPS_Longitude, "Exif.GPSInfo.GPSLongitude", "Xmp.exif.GPSLongitude", F::GPS_LongitudeRef, 'W'),
    leaveBlank(tag(F::GPS_LongitudeRef, "Exif.GPSInfo.GPSLongitudeRef")),
    comma(tag(F::GPS_Altitude, "Exif.GPSInfo.GPSAltitude", WriteForm::Rational)),
    leaveBlank(tag(F::GPS_AltitudeRef, "Exif.GPSInfo.GPSAltitudeRef")),
    tag(F::GPS_ImgDirection, "Exif.GPSInfo.GPSImgDirection", WriteForm::Rational),
    leaveBlank(tag(F::GPS_ImgDirectionRef, "Exif.GPSInfo.GPSImgDirectionRef")),
    dateOf(tag(F::GPS_DateStamp, "Exif.GPSInfo.GPSDateStamp"), DateForm::ExifDate),
    tag(F::IPTC_ByLine, "Iptc.Application2.Byline"),
    tag(F::IPTC_ByLineTitle, "Iptc.Application2.BylineTitle"),
    tag(F::IPTC_CopyrightNotice, "Iptc.Application2.Copyright"),
    tag(F::IPTC_Contact, "Iptc.Application2.Contact"),
    tag(F::IPTC_Headline, "Iptc.Application2.Headline"),
    tag(F::IPTC_CaptionAbstract, "Iptc.Application2.Caption"),
    tag(F::IPTC_WriterEditor, "Iptc.Application2.Writer"),
    tag(F::IPTC_ObjectName, "Iptc.Application2.ObjectName"),
    tag(F::IPTC_Category, "Iptc.Application2.Category"),
    tag(F::IPTC_SupplementalCategories, "Iptc.Application2.SuppCategory"),
    dateOf(tag(F::IPTC_DateCreated, "Iptc.Application2.DateCreated"), DateForm::IptcDate),
    tag(F::IPTC_Keywords, "Iptc.Application2.Keywords", WriteForm::Keywords, ReadRule::IptcKeywords),
    tag(F::IPTC_SubLocation, "Iptc.Application2.SubLocation"),
    tag(F::IPTC_City, "Iptc.Application2.City"),
    tag(F::IPTC_ProvinceState, "Iptc.Application2.ProvinceState"),
    tag(F::IPTC_CountryPrimaryLocationName, "Iptc.Application2.CountryName"),
    leaveBlank(tag(F::IPTC_CountryPrimaryLocationCode, "Iptc.Application2.CountryCode")),
    tag(F::IPTC_OriginalTransmissionRef, "Iptc.Application2.TransmissionReference"),
    tag(F::IPTC_SpecialInstructions, "Iptc.Application2.SpecialInstructions"),
    tag(F::IPTC_Credit, "Iptc.Application2.Credit"),
    tag(F::IPTC_Source, "Iptc.Application2.Source"),
    tag(F::XMP_SerialNumber, "Xmp.aux.SerialNumber"),
    tag(F::XMP_Lens, "Xmp.aux.Lens"),
    readOnly(F::XMP_Keyword, "Xmp.prism.keyword", ReadRule::XmpLastItem),
    dated(tag(F::XMP_CreationDate, "Xmp.xmp.CreateDate"), DateSetting::XMPCreationDate),
    dated(tag(F::XMP_ModifyDate, "Xmp.xmp.ModifyDate"), DateSetting::XMPModifyDate),
    // The XMP coordinates are written from the GPS fields, signed by their
    // references; these two fields only show what the file holds.
    comma(readOnly(F::XMP_Latitude, "Xmp.exif.GPSLatitude", ReadRule::XmpCoordinate)),
    comma(readOnly(F::XMP_Longitude, "Xmp.exif.GPSLongitude", ReadRule::XmpCoordinate)),
    dated(tag(F::XMP_PhotoshopDateCreated, "Xmp.photoshop.DateCreated"), DateSetting::PhotoshopCreationDate),
};

constexpr bool rowsFollowTheFieldTable()
{
    for (std::size_t i = 0; i < kTable.size(); ++i) {
        if (fieldIndex(kTable[i].field) != i)
            return false;
        // Each date setting names the field whose row carries it.
        if (kTable[i].dateSetting
            && kDateSettings[static_cast<std::size_t>(*kTable[i].dateSetting)].field != kTable[i].field)
            return false;
        // A raw file's kept make and model are no dates: the date passes never meet them.
        if (kTable[i].dateSetting && kTable[i].keptForRawFiles)
            return false;
        // Only drop-down fields offer "Leave Blank".
        if (kTable[i].leaveBlankErases && !kMetadataFields[i].isDropDown)
            return false;
        if (kTable[i].isRead() && tagFamily(kTable[i].key) == TagFamily::None)
            return false;
    }
    return true;
}
static_assert(rowsFollowTheFieldTable(), "one row per field, in the field table's order");

} // namespace

const std::array<FieldTagInfo, kMetadataFieldCount>& fieldTagTable()
{
    return kTable;
}

const FieldTagInfo* fieldTagInfoForKey(std::string_view key)
{
    for (const FieldTagInfo& info : kTable) {
        if (info.key != nullptr && key == info.key)
            return &info;
    }
    return nullptr;
}
