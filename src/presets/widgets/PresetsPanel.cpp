#include "presets/widgets/PresetsPanel.h"

#include "batch/list/AttachPopupType.h"
#include "controls/AttachedPopupTable.h"
#include "controls/Presenter.h"
#include "controls/WindowServices.h"
#include "model/MetaDataObject.h"
#include "presets/PresetChoice.h"
#include "presets/PresetListModel.h"
#include "presets/widgets/PresetView.h"
#include "presets/widgets/PresetWindow.h"

#include <QFontMetrics>
#include <QListView>
#include <QPushButton>
#include <algorithm>

namespace {

constexpr int kRowHeight = 30;
constexpr int kMaxVisibleRows = 10;
constexpr int kListWidth = 220;

} // namespace

PresetsPanel::PresetsPanel(WindowServices& services, QList<std::shared_ptr<MetaDataObject>>& presets, QWidget* editor,
    AttachedPopupTable& popup, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_editor(editor)
    , m_popup(popup)
{
    m_model = new PresetListModel(presets, this);
    m_shown = new PresetChoice(*m_model, this);
    connect(m_model, &PresetListModel::presetsChanged, this, &PresetsPanel::presetsChanged);
    connect(m_shown, &PresetChoice::chosenPresetChanged, this, &PresetsPanel::showChosenName);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &PresetsPanel::showChosenName);

    m_button = new QPushButton(editor);
    m_button->setObjectName(QStringLiteral("btnPresets"));
    m_button->setMinimumWidth(110);
    connect(m_button, &QPushButton::clicked, this, &PresetsPanel::btnPresetTapped);
    showChosenName();
}

PresetsPanel::~PresetsPanel() = default;

PresetWindow* PresetsPanel::presetWindow() const
{
    return m_window.data();
}

void PresetsPanel::showChosenName()
{
    const auto& preset = m_shown->preset();
    const QString text = preset ? preset->name : tr("Presets");
    m_button->setText(QFontMetrics(m_button->font()).elidedText(text, Qt::ElideRight, 180));
}

void PresetsPanel::setEnabled(bool enable)
{
    m_button->setEnabled(enable);
}

void PresetsPanel::btnPresetTapped()
{
    QStringList rows = m_model->presetNames();
    rows.append(kEditPresetsRow);
    const int visible = std::min<int>(int(rows.size()), kMaxVisibleRows);
    AttachedPopupTable::ListOptions options;
    options.type = AttachPopupPresets;
    options.currentRow = m_shown->row();
    options.size = QSize(std::max(kListWidth, m_button->width()), visible * kRowHeight + 2);
    m_popup.open(
        m_button, rows, [this](int row) { changeViewAccordingToPresetSelected(row); }, options);
}

void PresetsPanel::changeViewAccordingToPresetSelected(int row)
{
    if (row >= 0 && row < m_model->rowCount()) {
        btnApplyPresetTapped(m_model->presetAt(row));
    } else if (row == m_model->rowCount()) {
        addPresetWindow();
    }
}

void PresetsPanel::addPresetWindow()
{
    if (m_window)
        return;
    m_window = new PresetWindow(*m_model, m_services.editorContext(), m_editor);
    m_window->setAttribute(Qt::WA_DeleteOnClose);
    m_window->presetView().form().setMapPickerOpener(m_mapPickerOpener);
    connect(m_window, &PresetWindow::applyPresetTapped, this, &PresetsPanel::btnApplyPresetTapped);
    m_window->setupUIForSelectedPresetObject(m_shown->preset());
    m_services.presenter().presentSheet(m_window, {});
}

void PresetsPanel::btnApplyPresetTapped(const std::shared_ptr<MetaDataObject>& preset)
{
    m_shown->choose(preset);
    if (preset)
        emit presetChosen(*preset);
}
