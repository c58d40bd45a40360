#include "app/ExifEditorView.h"

// The output options, the renaming page and the batch run in the editor view.
// wireBatch() builds the renaming page and the bottom bar, puts them in place with
// setExtentionView() and setBottomBar() and connects them; the forwarding methods
// below reach them. Until the panels exist they do nothing.

void ExifEditorView::wireBatch() { }

void ExifEditorView::batchInitSetup() { }

bool ExifEditorView::isRenamingInForce() const
{
    return false;
}

bool ExifEditorView::onImageRenameOptionPage() const
{
    return isRenamingPageShown();
}

void ExifEditorView::resetRenamingOptions() { }

void ExifEditorView::setNextEnabled(bool) { }

void ExifEditorView::enableBatchView(bool) { }

void ExifEditorView::btnResetTapped() { }

void ExifEditorView::alertYesRoad(AlertYesRoad) { }

void ExifEditorView::alertNotEnoughSpaceAnswered() { }

void ExifEditorView::disableEnableAllButtonsWhenDropdownOpen(bool) { }
