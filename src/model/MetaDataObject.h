#pragma once

#include "model/DateTimeConfiguration.h"
#include "model/MetadataFields.h"

#include <QString>
#include <QVariantMap>
#include <array>
#include <bitset>
#include <memory>
#include <optional>

class KeyedEncoder;
class KeyedDecoder;

// The metadata record: every editable field as text, with a flag per field that
// says whether the user edited it, the editing mode, the five clear flags, a
// preset name and six date-adjustment settings.
//
// The same type serves as the record read from a photo, its untouched copy, the
// form's working record and its edited-fields-only twin, and a preset.
//
// A field holds a text or nothing: a null QString is an absent text, "" is an
// empty one. The record's own operations test a field by its length, so both mean
// "no value"; the difference only shows in copies and archives, which keep an
// absent text absent.
class MetaDataObject {
public:
    // The three editing modes.
    enum EditingOption : int {
        OnlyModifyEditedFields = 0, // "Only modify fields that I edit and keep others as it is"
        ModifyEditedClearOthers = 1, // "Modify fields that I edit and clear others"
        CleanMetadataInfo = 2, // "Clean Metadata info"
    };

    // An empty record: 80 fields "", name "", no edited flag, mode 0, no clear
    // flag, six fresh date settings of its own.
    MetaDataObject();

    // Copies share their date settings, so a plain C++ copy would be easy to get
    // subtly wrong; initWithObject is the one way to copy a record.
    MetaDataObject(const MetaDataObject&) = delete;
    MetaDataObject& operator=(const MetaDataObject&) = delete;

    // A record filled from the photo file's Exif, IPTC and XMP data by the
    // metadata reader; whatever the reader does not find stays "" and unedited.
    // Defined with the reader (services/ExifWriterReading.cpp): this floor reads no files.
    static std::shared_ptr<MetaDataObject> initWithFile(const QString& path);

    // A copy of source: the same 80 texts (an absent XMP_Keyword becomes ""), the
    // same mode, clear flags and name, and the very same six date settings
    // (shared, not copied). Edited flags, isReset and isLoadedFromLastSession
    // start false.
    static std::shared_ptr<MetaDataObject> initWithObject(const MetaDataObject& source);

    // The edited-fields-only twin of a record, as the batch hands it to the writer:
    // a copy (initWithObject: same mode, clear flags, name and shared date settings)
    // that keeps the text of every field the record marks as edited or whose text
    // differs from merged's (the values the ticked photos share), each marked as
    // edited; every other field is "". Mode 1 erases the tags of the fields the twin
    // leaves empty, so a field the user typed or a preset set keeps its tag even when
    // its text equals the photos' own, and a field a preset without edited flags
    // changed is still written. Neither record changes.
    static std::shared_ptr<MetaDataObject> editedFieldsOnlyCopy(
        const MetaDataObject& record, const MetaDataObject& merged);
    // The twin of a record laid over no selection (a fresh form): every field that is
    // edited or holds a text.
    static std::shared_ptr<MetaDataObject> editedFieldsOnlyCopy(const MetaDataObject& record);

    // Whether a run with this edited-fields-only twin would change a datum of a
    // photo: a field is marked edited, a clear flag is set, mode 1 erases what the
    // twin leaves empty, or a date setting does more than keep the original date.
    bool changesAnyDatum() const;

    // Lays upper over target in place and answers target: each field except the
    // five DimResolution_ ones takes upper's text where upper has one or marks
    // the field as edited; mode, clear flags, all 80 edited flags and the six
    // date settings (by reference) come from upper.
    static MetaDataObject& appendPresetObjectToMetaDataObject(MetaDataObject& target, const MetaDataObject& upper);
    // Whether that overlay takes this field from upper.
    static bool presetSetsField(const MetaDataObject& upper, MetadataField field);

    // In the "Clean Metadata info" mode, empties the fields of every group whose
    // clear flag is set; edited flags and everything else stay. Answers record.
    static MetaDataObject& metadataObjectWithCleanInfoUpdation(MetaDataObject& record);

    // Conversion to and from an image-property dictionary (see ImageProperties).
    // Defined beside the dictionary's reader (platform/MetaDataObjectDictionary.cpp).
    // initWithDict answers a fresh record filled by resetAllWithDict, which reads
    // the "{TIFF}", "{Exif}", "{GPS}" and "{IPTC}" groups (an empty map changes nothing).
    static std::shared_ptr<MetaDataObject> initWithDict(const QVariantMap& dict);
    void resetAllWithDict(const QVariantMap& dict);
    // A new dictionary: oldDict with record's fields laid over it by record's editing
    // mode; updated is the edited-fields-only twin that mode 1 consults. Neither the
    // record nor oldDict changes.
    static QVariantMap metadataDictFromObject(
        const MetaDataObject& record, const QVariantMap& oldDict, const MetaDataObject& updated);

    // Field access by table entry.
    const QString& field(MetadataField f) const { return m_fields[fieldIndex(f)]; }
    void setField(MetadataField f, const QString& value) { m_fields[fieldIndex(f)] = value; }
    bool isUpdated(MetadataField f) const { return m_updated[fieldIndex(f)]; }
    void setUpdated(MetadataField f, bool updated) { m_updated[fieldIndex(f)] = updated; }

    // Named accessors for every field: Artist() / setArtist(),
    // isupdated_Artist() / setIsupdated_Artist(). A setter never touches the
    // edited flag.
#define VELLORAN_FIELD_ACCESSORS(name, group, clear, dropDown)                                                         \
    const QString& name() const                                                                                        \
    {                                                                                                                  \
        return field(MetadataField::name);                                                                             \
    }                                                                                                                  \
    void set##name(const QString& value)                                                                               \
    {                                                                                                                  \
        setField(MetadataField::name, value);                                                                          \
    }                                                                                                                  \
    bool isupdated_##name() const                                                                                      \
    {                                                                                                                  \
        return isUpdated(MetadataField::name);                                                                         \
    }                                                                                                                  \
    void setIsupdated_##name(bool updated)                                                                             \
    {                                                                                                                  \
        setUpdated(MetadataField::name, updated);                                                                      \
    }
    VELLORAN_METADATA_FIELDS(VELLORAN_FIELD_ACCESSORS)
#undef VELLORAN_FIELD_ACCESSORS

    bool clearFlag(ClearFlag flag) const;
    void setClearFlag(ClearFlag flag, bool value);

    // The date settings. A record never holds a null setting: storing nullptr
    // stores a fresh default setting instead.
    const std::shared_ptr<DateTimeConfiguration>& dateTimeConfig(DateSetting setting) const
    {
        return m_dateConfigs[static_cast<std::size_t>(setting)];
    }
    void setDateTimeConfig(DateSetting setting, std::shared_ptr<DateTimeConfiguration> config);

    const std::shared_ptr<DateTimeConfiguration>& dateTimeConfigOriginalDate() const
    {
        return dateTimeConfig(DateSetting::OriginalDate);
    }
    const std::shared_ptr<DateTimeConfiguration>& dateTimeConfigCreationDate() const
    {
        return dateTimeConfig(DateSetting::CreationDate);
    }
    const std::shared_ptr<DateTimeConfiguration>& dateTimeConfigModifyDate() const
    {
        return dateTimeConfig(DateSetting::ModifyDate);
    }
    const std::shared_ptr<DateTimeConfiguration>& dateTimeConfigXMPCreationDate() const
    {
        return dateTimeConfig(DateSetting::XMPCreationDate);
    }
    const std::shared_ptr<DateTimeConfiguration>& dateTimeConfigXMPModifyDate() const
    {
        return dateTimeConfig(DateSetting::XMPModifyDate);
    }
    const std::shared_ptr<DateTimeConfiguration>& dateTimeConfigPhotoshopCreationDate() const
    {
        return dateTimeConfig(DateSetting::PhotoshopCreationDate);
    }

    // Keyed archive under the class name "MetaDataObject": the 80 field texts,
    // "editingOption", the five clear flags, "name", "editedFields" (the names of the
    // fields marked edited, only when there is one) and the six nested settings.
    // isReset and isLoadedFromLastSession are not archived.
    static const QString kClassName;
    void encodeWithCoder(KeyedEncoder& coder) const;
    // Reading never fails on a damaged archive: a missing key or one of the
    // wrong kind leaves a text absent, a number 0 (mode 0, flag false), and a
    // date setting fresh; a mode outside 0 to 2 reads as 0.
    static std::shared_ptr<MetaDataObject> initWithCoder(const KeyedDecoder& coder);

    QString name;
    int editingOption = OnlyModifyEditedFields;
    bool clearExif = false;
    bool clearIPTC = false;
    bool clearComment = false;
    bool clearGpsInfo = false;
    bool clearXMP = false;
    // Set by the editing form on the selection record; nothing reads them, and no
    // copy, overlay or archive carries them.
    bool isReset = false;
    bool isLoadedFromLastSession = false;

private:
    struct NoDefaults { };
    explicit MetaDataObject(NoDefaults) { }
    void commmonInit();
    bool& clearFlagRef(ClearFlag flag);

    std::array<QString, kMetadataFieldCount> m_fields;
    std::bitset<kMetadataFieldCount> m_updated;
    std::array<std::shared_ptr<DateTimeConfiguration>, kDateSettingCount> m_dateConfigs;
    // The settings an archive did not hold when this record was read from it:
    // the editing option, the five clear flags, the six date settings.
    static constexpr std::size_t kEditingOptionBit = 0;
    static constexpr std::size_t kFirstClearFlagBit = 1;
    static constexpr std::size_t kFirstDateSettingBit = 6;
    std::bitset<kFirstDateSettingBit + kDateSettingCount> m_absentWhenRead;
};
