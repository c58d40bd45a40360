#include "app/AppDelegate.h"
#include "app/ExifEditorView.h"
#include "app/MapPickerOpening.h"
#include "batch/list/PhotoListControls.h"
#include "batch/run/widgets/BatchBottomBar.h"
#include "controls/EditorContext.h"
#include "form/widgets/MetadataFormView.h"
#include "model/MetaDataObject.h"
#include "presets/PresetListModel.h"
#include "presets/widgets/PresetsPanel.h"

#include <QPushButton>

// The presets in the editor view: the Presets drop-down sits at the start of the
// bottom bar and opens in the editor's one attached list; a preset chosen there or
// applied in the preset window is laid over the metadata form.

namespace {

constexpr int kBarMargin = 12;

} // namespace

void ExifEditorView::wirePresets()
{
    m_presets = new PresetsPanel(m_app, m_app.arrayPresets, this, m_context.attachedPopup(), this);
    m_presets->setMapPickerOpener(MapPickerOpening::opener(m_app));
    // Every change of the list is written to the archive; a chosen preset is laid over the form.
    connect(m_presets, &PresetsPanel::presetsChanged, &m_app, &AppDelegate::presetsDidChange);
    connect(m_presets, &PresetsPanel::presetChosen, this, [this](const MetaDataObject& preset) {
        if (MetadataFormView* form = metadataFormView())
            form->appendPreset(preset);
    });
    // The drop-down stands beside the batch buttons, just before the renaming button.
    if (auto* bar = qobject_cast<BatchBottomBar*>(m_bottomBar)) {
        bar->insertBeforeNext(m_presets->button());
    } else {
        QPushButton* button = m_presets->button();
        button->setParent(m_bottomBar);
        button->adjustSize();
        button->move(kBarMargin, (m_bottomBar->height() - button->height()) / 2);
        button->show();
    }
    for (auto changed : { &EditorContext::veiledChanged, &EditorContext::busyChanged,
             &EditorContext::renamingPageShownChanged })
        connect(&m_context, changed, this, &ExifEditorView::updatePresetsEnabled);
    connect(&m_context, &EditorContext::checkedPhotosChanged, this, &ExifEditorView::updatePresetsEnabled);
    updatePresetsEnabled();
}

void ExifEditorView::updatePresetsEnabled()
{
    if (m_presets)
        m_presets->setEnabled(PhotoListControls::presetsAndNextEnabled(m_context.isVeiled(), m_context.isBusy(),
            m_context.isRenamingPageShown(), m_context.checkedCount()));
}
