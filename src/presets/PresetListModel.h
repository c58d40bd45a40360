#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>
#include <memory>

class MetaDataObject;

// The preset list as views show it: one row per preset, its name as the text. The
// list itself belongs to the application (its preset list, archived between runs);
// the model changes it in place and tells everyone who depends on it:
//  - presetsChanged after every change, so the archive can be saved at once;
//  - presetRemoved with the preset that left, so views showing it drop it.
//
// Editing a preset in place (its fields or date settings) is a change of the list
// too: whoever edits one calls presetEdited.
class PresetListModel : public QAbstractListModel {
    Q_OBJECT
public:
    // The name a new preset starts with.
    static inline const QString kNewPresetName = QStringLiteral("New Configuration");

    // presets must outlive the model.
    explicit PresetListModel(QList<std::shared_ptr<MetaDataObject>>& presets, QObject* parent = nullptr);

    // A new empty preset named "New Configuration", put first.
    std::shared_ptr<MetaDataObject> addPreset();
    // Gives the preset at row a new name. A name that is empty or only blanks is
    // refused (false): a preset without a name cannot be told apart in a list.
    bool renamePreset(int row, const QString& name);
    // Takes the preset at row out of the list; false for a row that is not there.
    bool removePreset(int row);
    // Call after changing a preset of the list in place.
    void presetEdited(const std::shared_ptr<MetaDataObject>& preset);
    // Call after the list was replaced as a whole (read from the archive).
    void reload();

    std::shared_ptr<MetaDataObject> presetAt(int row) const;
    // The row of the preset, or -1 when it is not in the list.
    int rowOf(const MetaDataObject* preset) const;
    QStringList presetNames() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    void presetsChanged();
    void presetRemoved(const std::shared_ptr<MetaDataObject>& preset);

private:
    QList<std::shared_ptr<MetaDataObject>>& m_presets;
};
