#include "app/AppDelegate.h"
#include "app/ExifEditorView.h"
#include "app/OnlineConsentPrompt.h"
#include "app/OnlineAccess.h"
#include "batch/run/widgets/BatchBottomBar.h"
#include "batch/run/widgets/BatchController.h"
#include "batch/naming/widgets/OutputOptionsPage.h"
#include "batch/list/widgets/PhotoListPanel.h"
#include "controls/EditorContext.h"
#include "form/widgets/MetadataFormView.h"

// The output options, the renaming page and the batch run in the editor view:
// the renaming page takes its place in the right stack, the batch bar the bottom,
// and a BatchController runs the paths between them and the rest of the editor.

void ExifEditorView::wireBatch()
{
    auto* page = new OutputOptionsPage(m_context);
    auto* bar = new BatchBottomBar;
    setExtentionView(page);
    setBottomBar(bar);

    m_batch = new BatchController(bar, page, m_app, m_context, *this, this);
    // Place names come online only where the user agreed and the network is there.
    m_batch->runner().setGeocoderChoice(&OnlineAccess::placeNameGeocoder);

    connect(&m_context, &EditorContext::renamingPageShownChanged, this, &ExifEditorView::showRenamingPage);
    // The run's edits are done with: no outline stays, and the form is filled again
    // from the ticked photos, which hold what was written in place (or, after a
    // restore, what they held before).
    connect(m_batch, &BatchController::runCompleted, this, [this] {
        if (MetadataFormView* form = metadataFormView()) {
            form->runEnded();
            setupUIForSelectedPhotoFiles(m_context.checkedPhotos());
        }
    });
    connect(m_batch, &BatchController::resetChosen, this, [this] {
        if (MetadataFormView* form = metadataFormView())
            form->resetMetadata();
        setupUIForSelectedPhotoFiles(m_context.checkedPhotos());
    });
    // A closed summary counts toward the rate prompt.
    connect(m_batch, &BatchController::summaryClosed, this, [this] { m_app.countSummaryClosing(); });
}

// ---- What the batch asks of the editor ----

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
    MetadataFormView::RunRecords records = form->recordsForRun();
    return { std::move(records.form), std::move(records.changes) };
}

// Place names in new file names are the geocoder's first path online when no map
// was opened yet: the one question about the network comes here too.
void ExifEditorView::beforePlaceNames(std::function<void()> then)
{
    OnlineConsentPrompt::askIfNeeded(m_app, window(), std::move(then));
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

void ExifEditorView::btnResetTapped()
{
    m_batch->btnResetTapped();
}


void ExifEditorView::disableEnableAllButtonsWhenDropdownOpen(bool disable)
{
    if (auto* page = qobject_cast<OutputOptionsPage*>(m_extentionView))
        page->disableEnableAllButtonsWhenDropdownOpen(disable);
}
