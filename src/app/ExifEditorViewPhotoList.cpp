#include "app/ExifEditorView.h"
#include "batch/list/widgets/PhotoListPanel.h"

// The photo list is built with the layout (it holds the batch list's model that
// the other panels read); nothing more to wire.
void ExifEditorView::wirePhotoList() { }
