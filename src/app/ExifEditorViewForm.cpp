#include "app/ExifEditorView.h"

// The metadata form's place in the editor view. wireForm() builds the form panel,
// puts it in place with setMetaContainer() and connects it; the forwarding methods
// below reach it. Until the panel exists they do nothing.

void ExifEditorView::wireForm() { }

void ExifEditorView::formInitSetup() { }

void ExifEditorView::setupUIForSelectedPhotoFiles(const QList<std::shared_ptr<PhotoFile>>&) { }

void ExifEditorView::isMetadataParamChanged(bool) { }

bool ExifEditorView::formParamsChanged() const
{
    return false;
}

void ExifEditorView::enableExifDataView(bool) { }

void ExifEditorView::changeViewAccordingToMetadataOtion(int) { }

void ExifEditorView::setUndoVisible(bool) { }

void ExifEditorView::formBatchListEmptied() { }
