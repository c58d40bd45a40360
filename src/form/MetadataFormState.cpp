#include "form/MetadataFormState.h"

#include "base/DatePattern.h"
#include "form/DatePanelModel.h"
#include "model/MetaDataObject.h"

#include <utility>

MetadataFormState::MetadataFormState(QObject* parent)
    : FormRecordEditor(parent)
    , m_merged(std::make_shared<MetaDataObject>())
    , m_form(std::make_shared<MetaDataObject>())
    , m_changes(std::make_shared<MetaDataObject>())
    , m_edited(std::make_shared<MetaDataObject>())
    , m_appliedChanges(std::make_shared<MetaDataObject>())
{
    m_snapshot = copyWithOwnDateSettings(*m_merged);
    connect(&m_job, &SelectionMergeJob::mergeFinished, this, [this](const MergeResult& result) {
        fill(result);
        if (m_loadingShown) {
            m_loadingShown = false;
            emit loadingChanged(false, kPleaseWait);
        }
    });
}

const QString MetadataFormState::kPleaseWait = QStringLiteral("Please Wait...");

void MetadataFormState::setupUIForSelectedPhotoFiles(const QList<std::shared_ptr<PhotoFile>>& photos)
{
    isMetadataParamChanged(false);
    m_totalPhotosSelected = static_cast<int>(photos.size());
    const bool overlay = SelectionMergeJob::needsOverlay(m_totalPhotosSelected);
    if (overlay && !m_loadingShown) {
        m_loadingShown = true;
        emit loadingChanged(true, kPleaseWait);
    } else if (!overlay && m_loadingShown) {
        // A smaller selection overtook a large one still merging.
        m_loadingShown = false;
        emit loadingChanged(false, kPleaseWait);
    }
    m_job.start(photos);
}

int MetadataFormState::editingOptionForTab(FormTab tab, int currentEditingOption)
{
    if (tab == FormTab::ClearOptions)
        return MetaDataObject::CleanMetadataInfo;
    if (currentEditingOption == MetaDataObject::CleanMetadataInfo)
        return MetaDataObject::OnlyModifyEditedFields;
    return currentEditingOption;
}

const MetaDataObject& MetadataFormState::displayRecord() const
{
    return m_totalPhotosSelected == 0 ? *m_merged : *m_form;
}

std::shared_ptr<MetaDataObject> MetadataFormState::copyWithOwnDateSettings(const MetaDataObject& source)
{
    auto copy = MetaDataObject::initWithObject(source);
    for (const DateSettingInfo& info : kDateSettings)
        copy->setDateTimeConfig(
            info.setting, std::make_shared<DateTimeConfiguration>(*source.dateTimeConfig(info.setting)));
    return copy;
}

void MetadataFormState::fill(const MergeResult& result)
{
    isMetadataParamChanged(false);
    m_totalPhotosSelected = result.photoCount;
    m_merged = result.merged ? result.merged : std::make_shared<MetaDataObject>();
    m_snapshot = copyWithOwnDateSettings(*m_merged);
    m_form = MetaDataObject::initWithObject(*m_merged);
    m_changes = std::make_shared<MetaDataObject>();
    if (m_isEdited) {
        MetaDataObject::appendPresetObjectToMetaDataObject(*m_form, *m_edited);
        // Kept edits count as a change only when they change a value.
        if (result.photoCount > 0 && m_edited->changesAnyDatum())
            isMetadataParamChanged(true);
    }
    m_placeholders = FormDisplay::placeholders(result.photoCount, result.hasValue, *m_form);
    emit recordsReplaced();
}

void MetadataFormState::storeEdit(MetadataField field, const QString& text)
{
    m_form->setField(field, text);
    m_edited->setField(field, m_form->field(field));
    m_form->setUpdated(field, true);
    m_edited->setUpdated(field, true);
    keepEdits(true);
    // The field no longer speaks for the differing photos.
    m_placeholders.multipleValues[fieldIndex(field)] = false;
    emit fieldEdited(field);
}

bool MetadataFormState::editField(MetadataField field, const QString& text)
{
    storeEdit(field, text);
    isMetadataParamChanged(true);
    return true;
}

bool MetadataFormState::modeWritesOnItsOwn(const MetaDataObject& record)
{
    if (record.editingOption == MetaDataObject::ModifyEditedClearOthers)
        return true;
    if (record.editingOption != MetaDataObject::CleanMetadataInfo)
        return false;
    for (ClearFlag flag : { ClearFlag::Exif, ClearFlag::Comment, ClearFlag::GpsInfo, ClearFlag::IPTC, ClearFlag::XMP })
        if (record.clearFlag(flag))
            return true;
    return false;
}

bool MetadataFormState::setEditingOption(int editingOption)
{
    if (editingOption < MetaDataObject::OnlyModifyEditedFields || editingOption > MetaDataObject::CleanMetadataInfo)
        return false;
    if (m_form->editingOption == editingOption)
        return true;
    m_form->editingOption = editingOption;
    m_edited->editingOption = editingOption;
    m_merged->editingOption = editingOption;
    keepEdits(true);
    createUpdatedChnagesOnly();
    // A look at the clean tab and back changes the mode but no value: only a mode
    // that writes on its own makes the form changed.
    isMetadataParamChanged(m_isParamsChanged || modeWritesOnItsOwn(*m_form));
    return true;
}

bool MetadataFormState::setClearFlag(ClearFlag flag, bool on)
{
    m_form->setClearFlag(flag, on);
    m_edited->setClearFlag(flag, on);
    keepEdits(true);
    isMetadataParamChanged(true);
    return true;
}

bool MetadataFormState::setDateTimeConfiguration(
    DateSetting setting, std::shared_ptr<DateTimeConfiguration> configuration, const QString& summary)
{
    m_form->setDateTimeConfig(setting, configuration);
    m_edited->setDateTimeConfig(setting, std::move(configuration));
    storeEdit(kDateSettings[static_cast<std::size_t>(setting)].field, summary);
    isMetadataParamChanged(true);
    return true;
}

void MetadataFormState::updateDateTimeMetaDataConfiguration(DateSetting setting, const DatePanelModel& panel)
{
    auto config = std::make_shared<DateTimeConfiguration>();
    panel.writeTo(*config);
    const QString summary = DatePanelModel::summaryText(*config);
    setDateTimeConfiguration(setting, std::move(config), summary);
}

bool MetadataFormState::presetSetsDate(const MetaDataObject& preset, DateSetting setting)
{
    return MetaDataObject::presetSetsField(preset, kDateSettings[static_cast<std::size_t>(setting)].field)
        || preset.dateTimeConfig(setting)->option() != DateTimeConfiguration::KeepOriginal;
}

void MetadataFormState::appendPreset(const MetaDataObject& preset)
{
    static const DatePattern recordDate(QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    std::array<std::shared_ptr<DateTimeConfiguration>, kDateSettingCount> clones;
    for (const DateSettingInfo& info : kDateSettings)
        clones[static_cast<std::size_t>(info.setting)]
            = std::make_shared<DateTimeConfiguration>(*preset.dateTimeConfig(info.setting));
    for (MetaDataObject* record : { m_form.get(), m_edited.get() }) {
        // The overlay takes every edit mark and date setting from the preset; an
        // edit or a date setting the preset does not set stays in force, and the
        // date field goes on showing the setting that will be written.
        std::array<bool, kMetadataFieldCount> wasUpdated {};
        for (const MetadataFieldInfo& info : kMetadataFields)
            wasUpdated[fieldIndex(info.field)] = record->isUpdated(info.field);
        std::array<std::shared_ptr<DateTimeConfiguration>, kDateSettingCount> dateConfigs;
        for (const DateSettingInfo& info : kDateSettings)
            dateConfigs[static_cast<std::size_t>(info.setting)] = record->dateTimeConfig(info.setting);
        MetaDataObject::appendPresetObjectToMetaDataObject(*record, preset);
        for (const MetadataFieldInfo& info : kMetadataFields)
            if (!MetaDataObject::presetSetsField(preset, info.field))
                record->setUpdated(info.field, wasUpdated[fieldIndex(info.field)]);
        for (const DateSettingInfo& info : kDateSettings) {
            const auto i = static_cast<std::size_t>(info.setting);
            // A date the preset does not set keeps its setting; its field's text and
            // edit mark, which the preset does not set either, stayed above.
            if (!presetSetsDate(preset, info.setting)) {
                record->setDateTimeConfig(info.setting, dateConfigs[i]);
                continue;
            }
            // The field shows the setting in the words the writer knows it by, never
            // the preset's own (an older wording); a date the preset holds stays.
            const std::shared_ptr<DateTimeConfiguration>& config = clones[i];
            record->setDateTimeConfig(info.setting, config);
            const QString& text = record->field(info.field);
            if (config->option() != DateTimeConfiguration::KeepOriginal
                || (!text.isEmpty() && !recordDate.read(text))) {
                record->setField(info.field, config->summaryText());
                record->setUpdated(info.field, true);
            }
        }
    }
    keepEdits(true);
    // A field the preset sets no longer speaks for the differing photos; every
    // other field still does.
    for (const MetadataFieldInfo& info : kMetadataFields)
        if (MetaDataObject::presetSetsField(preset, info.field))
            m_placeholders.multipleValues[fieldIndex(info.field)] = false;
    for (const DateSettingInfo& info : kDateSettings)
        if (presetSetsDate(preset, info.setting))
            m_placeholders.multipleValues[fieldIndex(info.field)] = false;
    createUpdatedChnagesOnly();
    isMetadataParamChanged(true);
    emit recordsReplaced();
}

void MetadataFormState::keepEdits(bool kept)
{
    if (std::exchange(m_isEdited, kept) != kept)
        emit editsKeptChanged(kept);
}

void MetadataFormState::createUpdatedChnagesOnly()
{
    m_changes = MetaDataObject::editedFieldsOnlyCopy(*m_form, *m_merged);
}

void MetadataFormState::isMetadataParamChanged(bool changed)
{
    const bool was = m_isParamsChanged;
    m_isParamsChanged = changed;
    if (was != changed)
        emit paramsChangedChanged(changed);
}

FormValidationResult MetadataFormState::isValidFormData()
{
    return FieldValidation::isValidFormData(static_cast<FormRecordEditor&>(*this));
}

FormValidationResult MetadataFormState::apply()
{
    FormValidationResult check = isValidFormData();
    if (!check.isValid())
        return check;
    createUpdatedChnagesOnly();
    m_appliedChanges = m_changes;
    m_merged = MetaDataObject::initWithObject(*m_form);
    isMetadataParamChanged(false);
    return check;
}

void MetadataFormState::revert()
{
    m_merged = copyWithOwnDateSettings(*m_snapshot);
    m_form = MetaDataObject::initWithObject(*m_merged);
    m_snapshot = copyWithOwnDateSettings(*m_merged);
    m_changes = std::make_shared<MetaDataObject>();
    m_edited = std::make_shared<MetaDataObject>();
    keepEdits(false);
    isMetadataParamChanged(false);
    emit recordsReplaced();
}

void MetadataFormState::reset()
{
    m_edited = std::make_shared<MetaDataObject>();
    keepEdits(false);
    isMetadataParamChanged(false);
}

void MetadataFormState::endOfRun()
{
    reset();
    for (const MetadataFieldInfo& info : kMetadataFields)
        m_form->setUpdated(info.field, false);
    emit recordsReplaced();
}

std::array<QString, kDateSettingCount> MetadataFormState::dateWarnings(const MetaDataObject& record)
{
    std::array<QString, kDateSettingCount> warnings;
    for (const DateSettingInfo& info : kDateSettings)
        warnings[static_cast<std::size_t>(info.setting)]
            = DatePanelModel::futureDateWarning(*record.dateTimeConfig(info.setting));
    return warnings;
}
