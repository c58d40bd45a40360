#include "presets/PresetListModel.h"

#include "model/MetaDataObject.h"

PresetListModel::PresetListModel(QList<std::shared_ptr<MetaDataObject>>& presets, QObject* parent)
    : QAbstractListModel(parent)
    , m_presets(presets)
{
}

std::shared_ptr<MetaDataObject> PresetListModel::addPreset()
{
    auto preset = std::make_shared<MetaDataObject>();
    preset->name = kNewPresetName;
    beginInsertRows({}, 0, 0);
    m_presets.prepend(preset);
    endInsertRows();
    emit presetsChanged();
    return preset;
}

bool PresetListModel::renamePreset(int row, const QString& name)
{
    const auto preset = presetAt(row);
    if (!preset || name.trimmed().isEmpty())
        return false;
    if (preset->name == name)
        return true;
    preset->name = name;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, { Qt::DisplayRole, Qt::EditRole, Qt::ToolTipRole });
    emit presetsChanged();
    return true;
}

bool PresetListModel::removePreset(int row)
{
    if (row < 0 || row >= m_presets.size())
        return false;
    beginRemoveRows({}, row, row);
    const std::shared_ptr<MetaDataObject> removed = m_presets.takeAt(row);
    endRemoveRows();
    emit presetRemoved(removed);
    emit presetsChanged();
    return true;
}

void PresetListModel::presetEdited(const std::shared_ptr<MetaDataObject>& preset)
{
    const int row = rowOf(preset.get());
    if (row < 0)
        return;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed);
    emit presetsChanged();
}

void PresetListModel::reload()
{
    beginResetModel();
    endResetModel();
}

std::shared_ptr<MetaDataObject> PresetListModel::presetAt(int row) const
{
    return row >= 0 && row < m_presets.size() ? m_presets[row] : nullptr;
}

int PresetListModel::rowOf(const MetaDataObject* preset) const
{
    if (!preset)
        return -1;
    for (int row = 0; row < m_presets.size(); ++row) {
        if (m_presets[row].get() == preset)
            return row;
    }
    return -1;
}

QStringList PresetListModel::presetNames() const
{
    QStringList names;
    names.reserve(m_presets.size());
    for (const auto& preset : m_presets)
        names.append(preset ? preset->name : QString());
    return names;
}

int PresetListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_presets.size());
}

QVariant PresetListModel::data(const QModelIndex& index, int role) const
{
    const auto preset = index.isValid() ? presetAt(index.row()) : nullptr;
    if (!preset)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::ToolTipRole)
        return preset->name;
    return {};
}

bool PresetListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    return renamePreset(index.row(), value.toString());
}

Qt::ItemFlags PresetListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return QAbstractListModel::flags(index) | Qt::ItemIsEditable;
}
