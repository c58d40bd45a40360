#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

// The 80 editable metadata fields, declared once. Every other place that needs
// "all the fields" (accessors, copy, overlay, blanking, archive keys, tag tables,
// the form) iterates this table instead of naming the fields again.
//
// X(name, group, clear flag, drop-down)
//   name       the property name, which is also the archive key; some spellings
//              are irregular on purpose (GPS_Lattitude, AdvCamSetting_MateringMode)
//              because stored presets use them
//   group      the prefix group the field belongs to
//   clear flag the "Clean Metadata info" flag that blanks the field
//   drop-down  whether the form fills the field from an option list
#define VELLORAN_METADATA_FIELDS(X)                                                                                    \
    X(Artist, General, Exif, false)                                                                                    \
    X(ImageDescription, General, Exif, false)                                                                          \
    X(Copyright, General, Exif, false)                                                                                 \
    X(Software, General, Exif, false)                                                                                  \
    X(UserComment, General, Comment, false)                                                                            \
    X(Cam_Make, Cam, Exif, false)                                                                                      \
    X(Cam_ModelName, Cam, Exif, false)                                                                                 \
    X(Cam_OwnerName, Cam, Exif, false)                                                                                 \
    X(Cam_SerialNumber, Cam, Exif, false)                                                                              \
    X(Date_Original, Date, Exif, false)                                                                                \
    X(Date_Creation, Date, Exif, false)                                                                                \
    X(Date_Modify, Date, Exif, false)                                                                                  \
    X(CamSetting_ISO, CamSetting, Exif, false)                                                                         \
    X(CamSetting_FNumber, CamSetting, Exif, false)                                                                     \
    X(CamSetting_Aperture, CamSetting, Exif, false)                                                                    \
    X(CamSetting_ShutterSpeed, CamSetting, Exif, false)                                                                \
    X(CamSetting_FocalLength, CamSetting, Exif, false)                                                                 \
    X(CamSetting_FocalLengthIn35mmFormat, CamSetting, Exif, false)                                                     \
    X(CamSetting_ExposureCompensation, CamSetting, Exif, false)                                                        \
    X(CamSetting_Flash, CamSetting, Exif, true)                                                                        \
    X(CamSetting_Orientation, CamSetting, Exif, true)                                                                  \
    X(AdvCamSetting_ColorSpace, AdvCamSetting, Exif, true)                                                             \
    X(AdvCamSetting_ComponentsConfiguration, AdvCamSetting, Exif, false)                                               \
    X(AdvCamSetting_ExposureMode, AdvCamSetting, Exif, true)                                                           \
    X(AdvCamSetting_ExposureProgram, AdvCamSetting, Exif, true)                                                        \
    X(AdvCamSetting_ExposureTime, AdvCamSetting, Exif, false)                                                          \
    X(AdvCamSetting_MateringMode, AdvCamSetting, Exif, true)                                                           \
    X(AdvCamSetting_SceneCaptureType, AdvCamSetting, Exif, true)                                                       \
    X(AdvCamSetting_WhiteBalance, AdvCamSetting, Exif, false)                                                          \
    X(AdvCamSetting_Saturation, AdvCamSetting, Exif, false)                                                            \
    X(AdvCamSetting_SensingMethod, AdvCamSetting, Exif, true)                                                          \
    X(AdvCamSetting_Sharpness, AdvCamSetting, Exif, false)                                                             \
    X(AdvCamSetting_SubjectDistanceRange, AdvCamSetting, Exif, true)                                                   \
    X(Lens_LensMake, Lens, Exif, false)                                                                                \
    X(Lens_Lens, Lens, Exif, false)                                                                                    \
    X(Lens_LensModel, Lens, Exif, false)                                                                               \
    X(Lens_LensSerialNumber, Lens, Exif, false)                                                                        \
    X(DimResolution_ExifImageWidth, DimResolution, Exif, false)                                                        \
    X(DimResolution_ExifImageHeight, DimResolution, Exif, false)                                                       \
    X(DimResolution_XResolution, DimResolution, Exif, false)                                                           \
    X(DimResolution_YResolution, DimResolution, Exif, false)                                                           \
    X(DimResolution_ResolutionUnit, DimResolution, Exif, true)                                                         \
    X(GPS_Lattitude, GPS, GpsInfo, false)                                                                              \
    X(GPS_LattitudeRef, GPS, GpsInfo, true)                                                                            \
    X(GPS_Longitude, GPS, GpsInfo, false)                                                                              \
    X(GPS_LongitudeRef, GPS, GpsInfo, true)                                                                            \
    X(GPS_Altitude, GPS, GpsInfo, false)                                                                               \
    X(GPS_AltitudeRef, GPS, GpsInfo, true)                                                                             \
    X(GPS_ImgDirection, GPS, GpsInfo, false)                                                                           \
    X(GPS_ImgDirectionRef, GPS, GpsInfo, true)                                                                         \
    X(GPS_DateStamp, GPS, GpsInfo, false)                                                                              \
    X(IPTC_ByLine, IPTC, IPTC, false)                                                                                  \
    X(IPTC_ByLineTitle, IPTC, IPTC, false)                                                                             \
    X(IPTC_CopyrightNotice, IPTC, IPTC, false)                                                                         \
    X(IPTC_Contact, IPTC, IPTC, false)                                                                                 \
    X(IPTC_Headline, IPTC, IPTC, false)                                                                                \
    X(IPTC_CaptionAbstract, IPTC, IPTC, false)                                                                         \
    X(IPTC_WriterEditor, IPTC, IPTC, false)                                                                            \
    X(IPTC_ObjectName, IPTC, IPTC, false)                                                                              \
    X(IPTC_Category, IPTC, IPTC, false)                                                                                \
    X(IPTC_SupplementalCategories, IPTC, IPTC, false)                                                                  \
    X(IPTC_DateCreated, IPTC, IPTC, false)                                                                             \
    X(IPTC_Keywords, IPTC, IPTC, false)                                                                                \
    X(IPTC_SubLocation, IPTC, IPTC, false)                                                                             \
    X(IPTC_City, IPTC, IPTC, false)                                                                                    \
    X(IPTC_ProvinceState, IPTC, IPTC, false)                                                                           \
    X(IPTC_CountryPrimaryLocationName, IPTC, IPTC, false)                                                              \
    X(IPTC_CountryPrimaryLocationCode, IPTC, IPTC, true)                                                               \
    X(IPTC_OriginalTransmissionRef, IPTC, IPTC, false)                                                                 \
    X(IPTC_SpecialInstructions, IPTC, IPTC, false)                                                                     \
    X(IPTC_Credit, IPTC, IPTC, false)                                                                                  \
    X(IPTC_Source, IPTC, IPTC, false)                                                                                  \
    X(XMP_SerialNumber, XMP, XMP, false)                                                                               \
    X(XMP_Lens, XMP, XMP, false)                                                                                       \
    X(XMP_Keyword, XMP, XMP, false)                                                                                    \
    X(XMP_CreationDate, XMP, XMP, false)                                                                               \
    X(XMP_ModifyDate, XMP, XMP, false)                                                                                 \
    X(XMP_Latitude, XMP, XMP, false)                                                                                   \
    X(XMP_Longitude, XMP, XMP, false)                                                                                  \
    X(XMP_PhotoshopDateCreated, XMP, XMP, false)

// The ten prefix groups, in declaration order.
enum class FieldGroup { General, Cam, Date, CamSetting, AdvCamSetting, Lens, DimResolution, GPS, IPTC, XMP };

// The five clear flags of the "Clean Metadata info" mode.
enum class ClearFlag { Exif, Comment, GpsInfo, IPTC, XMP };

enum class MetadataField : int {
#define VELLORAN_FIELD_ENUM(name, group, clear, dropDown) name,
    VELLORAN_METADATA_FIELDS(VELLORAN_FIELD_ENUM)
#undef VELLORAN_FIELD_ENUM
};

struct MetadataFieldInfo {
    MetadataField field;
    std::string_view name;
    FieldGroup group;
    ClearFlag clearFlag;
    bool isDropDown;
};

inline constexpr std::array kMetadataFields = {
#define VELLORAN_FIELD_INFO(name, group, clear, dropDown)                                                              \
    MetadataFieldInfo { MetadataField::name, #name, FieldGroup::group, ClearFlag::clear, dropDown },
    VELLORAN_METADATA_FIELDS(VELLORAN_FIELD_INFO)
#undef VELLORAN_FIELD_INFO
};

inline constexpr std::size_t kMetadataFieldCount = kMetadataFields.size();
static_assert(kMetadataFieldCount == 80);

constexpr const MetadataFieldInfo& fieldInfo(MetadataField field)
{
    return kMetadataFields[static_cast<std::size_t>(field)];
}

constexpr std::size_t fieldIndex(MetadataField field)
{
    return static_cast<std::size_t>(field);
}

// The field with the given property name, if there is one.
std::optional<MetadataField> metadataFieldNamed(std::string_view name);

// The six adjustable dates, each with its own date-adjustment setting.
enum class DateSetting : int {
    OriginalDate,
    CreationDate,
    ModifyDate,
    XMPCreationDate,
    XMPModifyDate,
    PhotoshopCreationDate
};

struct DateSettingInfo {
    DateSetting setting;
    std::string_view key; // property name of the setting and its archive key
    MetadataField field; // the date field it adjusts
};

inline constexpr std::array kDateSettings = {
    DateSettingInfo { DateSetting::OriginalDate, "dateTimeConfigOriginalDate", MetadataField::Date_Original },
    DateSettingInfo { DateSetting::CreationDate, "dateTimeConfigCreationDate", MetadataField::Date_Creation },
    DateSettingInfo { DateSetting::ModifyDate, "dateTimeConfigModifyDate", MetadataField::Date_Modify },
    DateSettingInfo { DateSetting::XMPCreationDate, "dateTimeConfigXMPCreationDate", MetadataField::XMP_CreationDate },
    DateSettingInfo { DateSetting::XMPModifyDate, "dateTimeConfigXMPModifyDate", MetadataField::XMP_ModifyDate },
    DateSettingInfo { DateSetting::PhotoshopCreationDate, "dateTimeConfigPhotoshopCreationDate",
        MetadataField::XMP_PhotoshopDateCreated },
};

inline constexpr std::size_t kDateSettingCount = kDateSettings.size();
