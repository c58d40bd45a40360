#include "app/AppDelegate.h"
#include "app/ExifEditorView.h"
#include "app/MetaDataPopupView.h"

// The metadata viewer of the editor: a window of its own over the batch list. The
// photo list opens it by posting "notificationSetupMetaDataPopup" with a row.

void ExifEditorView::wireMetaDataPopup()
{
    m_metaDataPopup = new MetaDataPopupView(m_app.arraySelectedImagesToProcess, this);
}
