#pragma once

#include <QObject>
#include <memory>

class MetaDataObject;
class PresetListModel;

// The preset one view shows: the editor's Presets drop-down and the preset window
// each keep one. A chosen preset that leaves the list (removed, or gone after the
// list was read again) is dropped at once, so no view keeps editing or offering a
// preset that is no longer stored.
class PresetChoice : public QObject {
    Q_OBJECT
public:
    explicit PresetChoice(PresetListModel& model, QObject* parent = nullptr);

    const std::shared_ptr<MetaDataObject>& preset() const { return m_preset; }
    // The chosen preset's row, or -1 when none is chosen.
    int row() const;

    // Chooses a preset of the list; one that is not in the list chooses none.
    void choose(const std::shared_ptr<MetaDataObject>& preset);
    void chooseRow(int row);
    void clear();

signals:
    // The new choice; nullptr when none.
    void chosenPresetChanged(const std::shared_ptr<MetaDataObject>& preset);

private:
    void set(std::shared_ptr<MetaDataObject> preset);

    PresetListModel& m_model;
    std::shared_ptr<MetaDataObject> m_preset;
};
