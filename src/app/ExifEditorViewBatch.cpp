#include "app/AppDelegate.h"
#include "app/ExifEditorView.h"
#include "app/OnlineConsentPrompt.h"
#include "app/OnlineAccess.h"
#include "batch/list/AttachPopupType.h"
#include "batch/list/PhotoListControls.h"
#include "batch/list/PhotoListModel.h"
#include "batch/run/widgets/BatchBottomBar.h"
#include "batch/run/widgets/BatchController.h"
#include "batch/naming/widgets/OutputOptionsPage.h"
#include "batch/list/widgets/PhotoListPanel.h"
#include "controls/AttachedPopupTable.h"
#include "controls/IMGButton.h"
#include "form/widgets/MetadataFormView.h"

#include <QPushButton>

// The output options, the renaming page and the batch run in the editor view:
// the renaming page takes its place in the right stack, the batch bar the bottom,
// and a BatchController runs the paths between them and the rest of the editor.

void ExifEditorView::wireBatch()
{
    auto* page = new OutputOptionsPage;
    auto* bar = new BatchBottomBar;
    setExtentionView(page);
    setBottomBar(bar);

    // The date lists open in the editor's shared list, one list at a time; the
    // position button closes its own list again.
    page->setListOpener([this](int type, const QStringList& rows, const QSize& size, QWidget* anchor,
                            std::function<void(int)> chosen) {
        AttachedPopupTable* popup = m_photoList->popup();
        if (type == AttachPopupRenamePosition && popup->isOpen() && popup->currentType() == AttachPopupRenamePosition) {
            popup->dismissPanel();
            return;
        }
        AttachedPopupTable::ListOptions options;
        options.type = type;
        options.size = size;
        popup->open(anchor, rows, std::move(chosen), options);
    });

    m_batch = new BatchController(bar, page, m_app, *this, this);
    // Place names come online only where the user agreed and the network is there.
    m_batch->runner().setGeocoderChoice(&OnlineAccess::placeNameGeocoder);

    connect(m_batch, &BatchController::renamingPageRequested, this, &ExifEditorView::showRenamingPage);
    connect(m_batch, &BatchController::presetsEnabledRequested, this, &ExifEditorView::setPresetsEnabled);
    connect(m_batch, &BatchController::viewEnabledRequested, this, &ExifEditorView::enableView);
    connect(m_batch, &BatchController::dragAndDropRequested, this, &ExifEditorView::enableDragAndDrop);
    // The run's edits are done with: no outline stays, and the form is filled again
    // from the ticked photos, which hold what was written in place (or, after a
    // restore, what they held before).
    connect(m_batch, &BatchController::runCompleted, this, [this] {
        if (MetadataFormView* form = metadataFormView()) {
            form->state().endOfRun();
            setupUIForSelectedPhotoFiles(m_photoList->model()->checkedPhotos());
        }
    });
    connect(m_batch, &BatchController::formResetRequested, this, [this] {
        if (MetadataFormView* form = metadataFormView())
            form->resetMetadata();
        setupUIForSelectedPhotoFiles(m_photoList->model()->checkedPhotos());
    });
    // A closed summary counts toward the rate prompt.
    connect(m_batch, &BatchController::summaryClosed, this, [this] { m_app.countSummaryClosing(); });
}

// ---- What the batch asks of the editor ----

QList<std::shared_ptr<PhotoFile>> ExifEditorView::batchList() const
{
    return m_app.arraySelectedImagesToProcess;
}

int ExifEditorView::tickedCount() const
{
    return int(m_photoList->model()->checkedPhotos().size());
}

bool ExifEditorView::isValidFormData()
{
    MetadataFormView* form = metadataFormView();
    return !form || form->isValidFormData();
}

BatchController::FormRecords ExifEditorView::formRecords()
{
    MetadataFormView* form = metadataFormView();
    if (!form)
        return {};
    form->createUpdatedChnagesOnly();
    return { form->state().metaDataObject(), form->state().metaDataObjectWithUpdatedChange() };
}

// Place names in new file names are the geocoder's first path online when no map
// was opened yet: the one question about the network comes here too.
void ExifEditorView::beforePlaceNames(std::function<void()> then)
{
    OnlineConsentPrompt::askIfNeeded(m_app, window(), std::move(then));
}

bool ExifEditorView::isResetEnabled() const
{
    const MetadataFormView* form = metadataFormView();
    return form && form->isMetaDataResetEnable();
}

BatchController* ExifEditorView::batchController() const
{
    return m_batch;
}

bool ExifEditorView::isBatchRunning() const
{
    return m_batch && m_batch->isProcessing();
}

bool ExifEditorView::onImageRenameOptionPage() const
{
    return m_batch->onImageRenameOptionPage();
}

void ExifEditorView::enableBatchView(bool enable)
{
    auto* bar = qobject_cast<BatchBottomBar*>(m_bottomBar);
    if (!bar)
        return;
    bar->btnProcess()->setEnabled(PhotoListControls::processEnabled(enable, tickedCount()));
    if (!enable)
        bar->btnNext()->setEnabled(false);
}

void ExifEditorView::btnResetTapped()
{
    m_batch->btnResetTapped();
}


void ExifEditorView::disableEnableAllButtonsWhenDropdownOpen(bool disable)
{
    if (auto* page = qobject_cast<OutputOptionsPage*>(m_extentionView))
        page->disableEnableAllButtonsWhenDropdownOpen(disable);
    if (auto* bar = qobject_cast<BatchBottomBar*>(m_bottomBar)) {
        const MetadataFormView* form = metadataFormView();
        bar->btnReset()->setEnabled(form && form->isMetaDataResetEnable());
    }
}
