#include "presets/PresetEditor.h"

#include "model/MetaDataObject.h"
#include "presets/PresetChoice.h"
#include "presets/PresetListModel.h"

PresetEditor::PresetEditor(PresetListModel& model, PresetChoice& choice, QObject* parent)
    : FormRecordEditor(parent)
    , m_model(model)
    , m_choice(choice)
{
    connect(&m_choice, &PresetChoice::chosenPresetChanged, this, &FormRecordEditor::recordsReplaced);
}

const MetaDataObject* PresetEditor::record() const
{
    return editable();
}

MetaDataObject* PresetEditor::editable() const
{
    return m_choice.preset().get();
}

void PresetEditor::edited()
{
    m_model.presetEdited(m_choice.preset());
}

bool PresetEditor::editField(MetadataField field, const QString& text)
{
    MetaDataObject* preset = editable();
    if (!preset)
        return false;
    preset->setField(field, text);
    preset->setUpdated(field, true);
    edited();
    emit fieldEdited(field);
    return true;
}

bool PresetEditor::setEditingOption(int editingOption)
{
    MetaDataObject* preset = editable();
    if (!preset || editingOption < MetaDataObject::OnlyModifyEditedFields
        || editingOption > MetaDataObject::CleanMetadataInfo)
        return false;
    preset->editingOption = editingOption;
    edited();
    return true;
}

bool PresetEditor::setClearFlag(ClearFlag flag, bool on)
{
    MetaDataObject* preset = editable();
    if (!preset)
        return false;
    preset->setClearFlag(flag, on);
    edited();
    return true;
}

bool PresetEditor::setDateTimeConfiguration(
    DateSetting setting, std::shared_ptr<DateTimeConfiguration> configuration, const QString& summary)
{
    MetaDataObject* preset = editable();
    if (!preset)
        return false;
    const MetadataField field = kDateSettings[static_cast<std::size_t>(setting)].field;
    preset->setDateTimeConfig(setting, std::move(configuration));
    preset->setField(field, summary);
    preset->setUpdated(field, true);
    edited();
    emit fieldEdited(field);
    return true;
}
