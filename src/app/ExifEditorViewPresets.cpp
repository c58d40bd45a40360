#include "app/ExifEditorView.h"
#include "batch/widgets/PhotoListPanel.h"
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

} // namespace

void ExifEditorView::wirePresets()
{
    m_presets = new PresetsPanel(m_app, this, *m_photoList->popup(), this);
    m_presets->setApplyHandler([this](const MetaDataObject& preset) {
        if (MetadataFormView* form = metadataFormView())
            form->appendPreset(preset);
    });
    QPushButton* button = m_presets->button();
    button->setParent(m_bottomBar);
    auto* bar = qobject_cast<QBoxLayout*>(m_bottomBar->layout());
    if (bar && (bar->direction() == QBoxLayout::LeftToRight || bar->direction() == QBoxLayout::RightToLeft)) {
        bar->insertWidget(0, button);
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
