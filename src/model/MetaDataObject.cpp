#include "model/MetaDataObject.h"

#include "model/KeyedCoder.h"

const QString MetaDataObject::kClassName = QStringLiteral("MetaDataObject");

std::optional<MetadataField> metadataFieldNamed(std::string_view name)
{
    for (const MetadataFieldInfo& info : kMetadataFields) {
        if (info.name == name)
            return info.field;
    }
    return std::nullopt;
}

namespace {

struct ClearFlagKey {
    ClearFlag flag;
    const char* key;
};

// Archive order of the clear flags.
constexpr std::array<ClearFlagKey, 5> kClearFlagKeys = { {
    { ClearFlag::Exif, "clearExif" },
    { ClearFlag::IPTC, "clearIPTC" },
    { ClearFlag::Comment, "clearComment" },
    { ClearFlag::GpsInfo, "clearGpsInfo" },
    { ClearFlag::XMP, "clearXMP" },
} };

const QString kEditingOptionKey = QStringLiteral("editingOption");
const QString kNameKey = QStringLiteral("name");
// The names of the fields whose edited flag is set. Archives made before it existed
// lack the key and read with no flag set, as they always did.
const QString kEditedFieldsKey = QStringLiteral("editedFields");

QString keyOf(std::string_view name)
{
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

// The archive keys, made once: reading thousands of presets looks each up.
struct FieldKeys {
    std::array<QString, kMetadataFieldCount> fields;
    std::array<QString, kClearFlagKeys.size()> clearFlags;
    std::array<QString, kDateSettingCount> dateSettings;
};

const FieldKeys& fieldKeys()
{
    static const FieldKeys keys = [] {
        FieldKeys made;
        for (const MetadataFieldInfo& info : kMetadataFields)
            made.fields[fieldIndex(info.field)] = keyOf(info.name);
        for (std::size_t i = 0; i < kClearFlagKeys.size(); ++i)
            made.clearFlags[i] = QString::fromLatin1(kClearFlagKeys[i].key);
        for (std::size_t i = 0; i < kDateSettings.size(); ++i)
            made.dateSettings[i] = keyOf(kDateSettings[i].key);
        return made;
    }();
    return keys;
}

// A date setting as a new one is made. Its chosen date is the moment it was
// made, so it is not compared: it is unused while the date is left unchanged.
bool isAsMade(const DateTimeConfiguration& config)
{
    static const DateTimeConfiguration asMade;
    DateTimeConfiguration made = asMade;
    made.stringSelectedDate = config.stringSelectedDate;
    return config == made;
}

} // namespace

MetaDataObject::MetaDataObject()
{
    commmonInit();
}

void MetaDataObject::commmonInit()
{
    const QString empty = QStringLiteral("");
    m_fields.fill(empty);
    name = empty;
    m_updated.reset();
    for (auto& config : m_dateConfigs)
        config = std::make_shared<DateTimeConfiguration>();
}

std::shared_ptr<MetaDataObject> MetaDataObject::initWithObject(const MetaDataObject& source)
{
    auto copy = std::shared_ptr<MetaDataObject>(new MetaDataObject(NoDefaults {}));
    copy->m_fields = source.m_fields;
    if (copy->XMP_Keyword().isNull())
        copy->setXMP_Keyword(QStringLiteral(""));
    copy->editingOption = source.editingOption;
    // All five clear flags travel: a copy in the "Clean Metadata info" mode must
    // clean the same groups as its source.
    copy->clearExif = source.clearExif;
    copy->clearIPTC = source.clearIPTC;
    copy->clearComment = source.clearComment;
    copy->clearGpsInfo = source.clearGpsInfo;
    copy->clearXMP = source.clearXMP;
    copy->name = source.name;
    copy->m_dateConfigs = source.m_dateConfigs;
    return copy;
}

std::shared_ptr<MetaDataObject> MetaDataObject::editedFieldsOnlyCopy(
    const MetaDataObject& record, const MetaDataObject& merged)
{
    std::shared_ptr<MetaDataObject> copy = initWithObject(record);
    const QString empty = QStringLiteral("");
    for (std::size_t i = 0; i < kMetadataFieldCount; ++i) {
        // An absent text and "" are the same value here: neither differs from the other.
        if (record.m_updated[i] || record.m_fields[i] != merged.m_fields[i])
            copy->m_updated[i] = true;
        else
            copy->m_fields[i] = empty;
    }
    return copy;
}

std::shared_ptr<MetaDataObject> MetaDataObject::editedFieldsOnlyCopy(const MetaDataObject& record)
{
    return editedFieldsOnlyCopy(record, MetaDataObject());
}

bool MetaDataObject::presetSetsField(const MetaDataObject& upper, MetadataField field)
{
    const std::size_t i = fieldIndex(field);
    return fieldInfo(field).group != FieldGroup::DimResolution && (!upper.m_fields[i].isEmpty() || upper.m_updated[i]);
}

MetaDataObject& MetaDataObject::appendPresetObjectToMetaDataObject(MetaDataObject& target, const MetaDataObject& upper)
{
    for (const MetadataFieldInfo& info : kMetadataFields) {
        if (info.group == FieldGroup::DimResolution)
            continue;
        if (presetSetsField(upper, info.field))
            target.m_fields[fieldIndex(info.field)] = upper.field(info.field);
    }
    target.editingOption = upper.editingOption;
    target.clearExif = upper.clearExif;
    target.clearComment = upper.clearComment;
    target.clearGpsInfo = upper.clearGpsInfo;
    target.clearIPTC = upper.clearIPTC;
    target.clearXMP = upper.clearXMP;
    target.m_updated = upper.m_updated;
    target.m_dateConfigs = upper.m_dateConfigs;
    return target;
}

MetaDataObject& MetaDataObject::metadataObjectWithCleanInfoUpdation(MetaDataObject& record)
{
    if (record.editingOption != CleanMetadataInfo)
        return record;
    const QString empty = QStringLiteral("");
    for (const MetadataFieldInfo& info : kMetadataFields) {
        if (record.clearFlag(info.clearFlag))
            record.m_fields[fieldIndex(info.field)] = empty;
    }
    return record;
}

bool& MetaDataObject::clearFlagRef(ClearFlag flag)
{
    switch (flag) {
    case ClearFlag::Exif:
        return clearExif;
    case ClearFlag::Comment:
        return clearComment;
    case ClearFlag::GpsInfo:
        return clearGpsInfo;
    case ClearFlag::IPTC:
        return clearIPTC;
    case ClearFlag::XMP:
        break;
    }
    return clearXMP;
}

bool MetaDataObject::changesAnyDatum() const
{
    if (editingOption == ModifyEditedClearOthers || m_updated.any())
        return true;
    for (ClearFlag flag : { ClearFlag::Exif, ClearFlag::Comment, ClearFlag::GpsInfo, ClearFlag::IPTC, ClearFlag::XMP })
        if (clearFlag(flag))
            return true;
    for (const auto& config : m_dateConfigs)
        if (config->option() != DateTimeConfiguration::KeepOriginal)
            return true;
    return false;
}

bool MetaDataObject::clearFlag(ClearFlag flag) const
{
    return const_cast<MetaDataObject*>(this)->clearFlagRef(flag);
}

void MetaDataObject::setClearFlag(ClearFlag flag, bool value)
{
    clearFlagRef(flag) = value;
}

void MetaDataObject::setDateTimeConfig(DateSetting setting, std::shared_ptr<DateTimeConfiguration> config)
{
    if (!config)
        config = std::make_shared<DateTimeConfiguration>();
    m_dateConfigs[static_cast<std::size_t>(setting)] = std::move(config);
}

void MetaDataObject::encodeWithCoder(KeyedEncoder& coder) const
{
    const FieldKeys& keys = fieldKeys();
    for (const MetadataFieldInfo& info : kMetadataFields)
        coder.encodeString(keys.fields[fieldIndex(info.field)], m_fields[fieldIndex(info.field)]);
    // A setting that an archive left out was read as its default; while it still
    // is, it stays out, so that saving an archive again keeps its size (each date
    // setting written out is most of a preset).
    if (!(m_absentWhenRead[kEditingOptionBit] && editingOption == OnlyModifyEditedFields))
        coder.encodeInt(kEditingOptionKey, editingOption);
    for (std::size_t i = 0; i < kClearFlagKeys.size(); ++i) {
        const bool set = clearFlag(kClearFlagKeys[i].flag);
        if (!(m_absentWhenRead[kFirstClearFlagBit + i] && !set))
            coder.encodeInt(keys.clearFlags[i], set ? 1 : 0);
    }
    coder.encodeString(kNameKey, name);
    // A preset's emptied field clears its tag only while it is marked edited, so the
    // marks must outlive a restart.
    QStringList edited;
    for (const MetadataFieldInfo& info : kMetadataFields) {
        if (m_updated[fieldIndex(info.field)])
            edited.append(keys.fields[fieldIndex(info.field)]);
    }
    if (!edited.isEmpty())
        coder.encodeStringArray(kEditedFieldsKey, edited);
    for (std::size_t i = 0; i < kDateSettings.size(); ++i) {
        const std::shared_ptr<DateTimeConfiguration>& config = dateTimeConfig(kDateSettings[i].setting);
        if (m_absentWhenRead[kFirstDateSettingBit + i] && isAsMade(*config))
            continue;
        KeyedEncoder nested(DateTimeConfiguration::kClassName);
        config->encodeWithCoder(nested);
        coder.encodeObject(keys.dateSettings[i], nested);
    }
}

std::shared_ptr<MetaDataObject> MetaDataObject::initWithCoder(const KeyedDecoder& coder)
{
    const FieldKeys& keys = fieldKeys();
    auto record = std::shared_ptr<MetaDataObject>(new MetaDataObject(NoDefaults {}));
    for (const MetadataFieldInfo& info : kMetadataFields) {
        if (auto text = coder.decodeString(keys.fields[fieldIndex(info.field)]))
            record->m_fields[fieldIndex(info.field)] = *text;
    }
    const std::optional<int> storedOption = coder.decodeInt(kEditingOptionKey);
    record->m_absentWhenRead[kEditingOptionBit] = !storedOption;
    const int option = storedOption.value_or(OnlyModifyEditedFields);
    record->editingOption = (option >= OnlyModifyEditedFields && option <= CleanMetadataInfo) ? option : 0;
    for (std::size_t i = 0; i < kClearFlagKeys.size(); ++i) {
        const std::optional<bool> set = coder.decodeBool(keys.clearFlags[i]);
        record->m_absentWhenRead[kFirstClearFlagBit + i] = !set;
        record->setClearFlag(kClearFlagKeys[i].flag, set.value_or(false));
    }
    if (auto text = coder.decodeString(kNameKey))
        record->name = *text;
    for (const QString& edited : coder.decodeStringArray(kEditedFieldsKey)) {
        // A name this version does not know is skipped.
        if (const std::optional<MetadataField> field = metadataFieldNamed(edited.toStdString()))
            record->setUpdated(*field, true);
    }
    for (std::size_t i = 0; i < kDateSettings.size(); ++i) {
        std::shared_ptr<DateTimeConfiguration> config;
        if (auto nested = coder.decodeObject(keys.dateSettings[i], DateTimeConfiguration::kClassName))
            config = DateTimeConfiguration::initWithCoder(*nested);
        record->m_absentWhenRead[kFirstDateSettingBit + i] = !config;
        record->setDateTimeConfig(kDateSettings[i].setting, std::move(config));
    }
    return record;
}
