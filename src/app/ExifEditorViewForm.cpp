#include "app/AppDelegate.h"
#include "app/ExifEditorView.h"
#include "app/MapPickerOpening.h"
#include "batch/naming/widgets/OutputOptionsPage.h"
#include "controls/AttachedPopupTable.h"
#include "controls/EditorContext.h"
#include "form/widgets/DatePanelView.h"
#include "form/widgets/MetadataFormView.h"
#include "presets/PresetChoice.h"

#include <QAbstractButton>
#include <QStackedWidget>

// The metadata form's place in the editor view: the form panel, bound to the
// ticked photos, with the application-wide records kept in step with it.

namespace {

MetadataFormView* formOf(const ExifEditorView& view)
{
    return qobject_cast<MetadataFormView*>(view.metaContainer());
}

} // namespace

void ExifEditorView::wireForm()
{
    // Made in its place: a form moved there would be styled a second time.
    auto* form = new MetadataFormView(rightStack());
    setMetaContainer(form);
    // While a list of the form is open the editor's other buttons wait.
    form->setButtonsRoot(this);
    form->setPresenter(&m_app.presenter());
    form->setMapPickerOpener(MapPickerOpening::opener(m_app));
    // The merged record of the selection is the application's; the file-system flag
    // stands from the hand-over of the ticked photos to the fill.
    connect(form, &MetadataFormView::mergedRecordChanged, this, [this, form] {
        m_app.selectedMetatDataSettingObj = form->mergedRecord();
        m_app.isProcessingWithFileSystem = false;
    });
    connect(form, &MetadataFormView::applied, this, [this, form] {
        m_app.selectedMetatDataSettingObjOnlyUpdatedFields = form->appliedChanges();
    });
    // The editor's rule for its buttons while a list is open holds for the form's
    // lists too; they come back a moment after the last list closed.
    for (AttachedPopupTable* popup : { &form->dropDownPopup(), &form->datePopup() }) {
        connect(popup, &AttachedPopupTable::openChanged, this, [this](bool open) {
            if (open)
                disableEnableAllButtonsWhenDropdownOpen(true);
        });
        connect(popup, &AttachedPopupTable::buttonsReleased, this, [this, form] {
            if (!form->dropDownPopup().isOpen() && !form->datePopup().isOpen())
                disableEnableAllButtonsWhenDropdownOpen(false);
        });
    }
    QAbstractButton* moreOptions = form->addMetadataMoreOptionsButton();
    connect(
        moreOptions, &QAbstractButton::clicked, this, [this, moreOptions] { btnMetaMoreOptionsTapped(moreOptions); });
    // The editor knows whether the form holds edits (Reset follows them).
    connect(form, &MetadataFormView::paramsChangedChanged, &m_context, &EditorContext::setFormEdited);
    // The Presets drop-down names the preset the form holds: once the form's kept
    // edits are dropped (a run, Reset, Revert, an emptied list) it names none.
    connect(&form->state(), &MetadataFormState::editsKeptChanged, this, [this](bool kept) {
        if (!kept && m_presets)
            m_presets->shownPreset().clear();
    });
    // From 5001 ticked photos the editor's own overlay covers the merge and the fill.
    connect(form, &MetadataFormView::loadingChanged, &m_context, &EditorContext::setLoading);
}

MetadataFormView* ExifEditorView::metadataFormView() const
{
    return formOf(*this);
}

void ExifEditorView::setupUIForSelectedPhotoFiles(const QList<std::shared_ptr<PhotoFile>>& photos)
{
    MetadataFormView* form = formOf(*this);
    if (!form)
        return;
    if (!photos.isEmpty())
        m_app.isProcessingWithFileSystem = true;
    if (auto* page = qobject_cast<OutputOptionsPage*>(extentionView()))
        page->setPhotosTicked(!photos.isEmpty());
    form->setupUIForSelectedPhotoFiles(photos);
}

void ExifEditorView::isMetadataParamChanged(bool changed)
{
    if (MetadataFormView* form = formOf(*this))
        form->setParamsChanged(changed);
}

void ExifEditorView::enableExifDataView(bool enable)
{
    if (MetadataFormView* form = formOf(*this))
        form->setEnabled(enable);
}

void ExifEditorView::changeViewAccordingToMetadataOtion(int option)
{
    if (MetadataFormView* form = formOf(*this))
        form->changeViewAccordingToMetadataOtion(option);
}
