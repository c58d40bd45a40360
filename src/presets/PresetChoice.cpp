#include "presets/PresetChoice.h"

#include "presets/PresetListModel.h"

PresetChoice::PresetChoice(PresetListModel& model, QObject* parent)
    : QObject(parent)
    , m_model(model)
{
    connect(&model, &PresetListModel::presetRemoved, this, [this](const std::shared_ptr<MetaDataObject>& removed) {
        if (removed == m_preset)
            clear();
    });
    connect(&model, &QAbstractItemModel::modelReset, this, [this] {
        if (m_model.rowOf(m_preset.get()) < 0)
            clear();
    });
}

int PresetChoice::row() const
{
    return m_model.rowOf(m_preset.get());
}

void PresetChoice::choose(const std::shared_ptr<MetaDataObject>& preset)
{
    set(m_model.rowOf(preset.get()) >= 0 ? preset : nullptr);
}

void PresetChoice::chooseRow(int row)
{
    set(m_model.presetAt(row));
}

void PresetChoice::clear()
{
    set(nullptr);
}

void PresetChoice::set(std::shared_ptr<MetaDataObject> preset)
{
    if (preset == m_preset)
        return;
    m_preset = std::move(preset);
    emit chosenPresetChanged(m_preset);
}
