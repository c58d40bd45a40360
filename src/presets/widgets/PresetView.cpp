#include "presets/widgets/PresetView.h"

#include "form/widgets/MetadataFormView.h"
#include "model/MetaDataObject.h"
#include "presets/PresetChoice.h"
#include "presets/PresetEditor.h"
#include "presets/PresetListModel.h"

#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

namespace {

constexpr int kListWidth = 230;

} // namespace

PresetView::PresetView(PresetListModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
{
    setObjectName(QStringLiteral("vwPresetRef"));
    m_choice = new PresetChoice(m_model, this);
    m_editor = new PresetEditor(m_model, *m_choice, this);
    build();
    connect(m_choice, &PresetChoice::chosenPresetChanged, this, &PresetView::chosenPresetChanged);
    chosenPresetChanged(nullptr);
}

PresetView::~PresetView() = default;

void PresetView::build()
{
    auto* title = new QLabel(tr("Presets"), this);
    title->setStyleSheet(QStringLiteral("font-weight: bold;"));

    // While rows leave, the list moves its current row on by itself; that is no
    // choice of the user's (connected before the list's own selection model is). The choice drops a removed preset, and
    // the list then follows the choice.
    connect(&m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { m_choosing = true; });
    connect(&m_model, &QAbstractItemModel::rowsRemoved, this, [this] {
        m_choosing = false;
        showChoiceInList();
    });
    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("tblPresets"));
    m_list->setModel(&m_model);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_list->setUniformItemSizes(true);

    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("txtPresetName"));
    m_name->setPlaceholderText(tr("Preset name"));

    m_add = new QPushButton(QStringLiteral("+"), this);
    m_add->setObjectName(QStringLiteral("btnAddPreset"));
    m_add->setToolTip(tr("Add a preset"));
    m_remove = new QPushButton(QStringLiteral("\u2212"), this);
    m_remove->setObjectName(QStringLiteral("btnRemovePreset"));
    m_remove->setToolTip(tr("Remove the chosen preset"));
    for (QPushButton* button : { m_add, m_remove })
        button->setFixedWidth(36);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_add);
    buttons->addWidget(m_remove);
    buttons->addStretch();

    auto* left = new QVBoxLayout;
    left->addWidget(title);
    left->addWidget(m_list, 1);
    left->addLayout(buttons);
    left->addWidget(new QLabel(tr("Name"), this));
    left->addWidget(m_name);
    auto* leftBox = new QWidget(this);
    leftBox->setLayout(left);
    leftBox->setFixedWidth(kListWidth);

    // The second form edits the chosen preset itself, through the preset's editor.
    m_form = new MetadataFormView(this);
    m_form->setObjectName(QStringLiteral("vwPresetForm"));
    m_form->setEditor(m_editor);

    m_apply = new QPushButton(tr("Apply Preset"), this);
    m_apply->setObjectName(QStringLiteral("btnApplyPreset"));
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("btnClosePreset"));
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close);
    bottom->addWidget(m_apply);

    // Return ends typing a name or a field; it never applies the preset or closes
    // the window.
    for (QPushButton* button : { m_add, m_remove, m_apply, close })
        button->setAutoDefault(false);

    auto* right = new QVBoxLayout;
    right->addWidget(m_form, 1);
    right->addLayout(bottom);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(leftBox);
    layout->addLayout(right, 1);

    connect(m_add, &QPushButton::clicked, this, &PresetView::btnAddPresetTapped);
    connect(m_remove, &QPushButton::clicked, this, &PresetView::btnRemovePresetTapped);
    connect(m_apply, &QPushButton::clicked, this, &PresetView::btnApplyPresetTapped);
    connect(close, &QPushButton::clicked, this, &PresetView::closeTapped);
    connect(m_name, &QLineEdit::editingFinished, this, &PresetView::renameSelectedPreset);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& index) {
        if (!m_choosing)
            m_choice->chooseRow(index.isValid() ? index.row() : -1);
    });
    // A rename in the list itself shows in the name field.
    connect(&m_model, &QAbstractItemModel::dataChanged, this, [this] {
        if (const auto& preset = m_choice->preset())
            m_name->setText(preset->name);
    });
}

const std::shared_ptr<MetaDataObject>& PresetView::selectedPreset() const
{
    return m_choice->preset();
}

void PresetView::setupUIForSelectedPresetObject(const std::shared_ptr<MetaDataObject>& preset)
{
    m_choice->choose(preset);
}

void PresetView::chosenPresetChanged(const std::shared_ptr<MetaDataObject>& preset)
{
    showChoiceInList();
    m_form->setEnabled(preset != nullptr);
    m_name->setText(preset ? preset->name : QString());
    m_name->setEnabled(preset != nullptr);
    m_remove->setEnabled(preset != nullptr);
    m_apply->setEnabled(preset != nullptr);
    emit presetPresented(preset);
}

void PresetView::showChoiceInList()
{
    const bool choosing = std::exchange(m_choosing, true);
    const int row = m_choice->row();
    if (row >= 0)
        m_list->setCurrentIndex(m_model.index(row));
    else
        m_list->selectionModel()->clear();
    m_choosing = choosing;
}

void PresetView::btnAddPresetTapped()
{
    m_choice->choose(m_model.addPreset());
}

void PresetView::btnRemovePresetTapped()
{
    const int row = m_choice->row();
    if (row >= 0)
        m_model.removePreset(row); // the choice drops the preset that left
}

void PresetView::renameSelectedPreset()
{
    const auto& preset = m_choice->preset();
    if (!preset)
        return;
    if (m_name->text() != preset->name && !m_model.renamePreset(m_choice->row(), m_name->text()))
        m_name->setText(preset->name);
}

void PresetView::btnApplyPresetTapped()
{
    if (const auto& preset = m_choice->preset())
        emit applyPresetTapped(preset);
}
