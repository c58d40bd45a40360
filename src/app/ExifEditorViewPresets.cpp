#include "app/ExifEditorView.h"
#include "batch/list/widgets/PhotoListPanel.h"
#include "form/widgets/MetadataFormView.h"
#include "model/MetaDataObject.h"
#include "presets/PresetListModel.h"
#include "presets/widgets/PresetsPanel.h"

#include <QBoxLayout>
#include <QPushButton>

// The presets in the editor view: the Presets drop-down sits at the start of the
// bottom bar and opens in the editor's one attached list; a preset chosen there or
// applied in the preset window is laid over the metadata form.

namespace {

constexpr int kBarMargin = 12;

// The box layout (within `layout`) that holds `widget`.
QBoxLayout* rowHolding(QLayout* layout, QWidget* widget)
{
    if (!layout)
        return nullptr;
    auto* box = qobject_cast<QBoxLayout*>(layout);
    if (box && box->indexOf(widget) >= 0)
        return box;
    for (int i = 0; i < layout->count(); ++i) {
        if (QBoxLayout* found = rowHolding(layout->itemAt(i)->layout(), widget))
            return found;
    }
    return nullptr;
}

} // namespace

void ExifEditorView::wirePresets()
{
    m_presets = new PresetsPanel(m_app, this, *m_photoList->popup(), this);
    m_presets->setApplyHandler([this](const MetaDataObject& preset) {
        if (MetadataFormView* form = metadataFormView())
            form->appendPreset(preset);
    });
    // The drop-down stands beside the batch buttons, just before the renaming button.
    QPushButton* button = m_presets->button();
    button->setParent(m_bottomBar);
    auto* next = m_bottomBar->findChild<QWidget*>(QStringLiteral("btnNext"));
    QBoxLayout* row = next ? rowHolding(m_bottomBar->layout(), next) : nullptr;
    if (row) {
        row->insertWidget(row->indexOf(next), button);
    } else {
        button->adjustSize();
        button->move(kBarMargin, (m_bottomBar->height() - button->height()) / 2);
    }
    button->show();
}

void ExifEditorView::presetsInitSetup()
{
    // The list may have been read again since the drop-down was made.
    if (m_presets)
        m_presets->model().reload();
}

void ExifEditorView::setPresetsEnabled(bool enable)
{
    if (m_presets)
        m_presets->setEnabled(enable);
}
