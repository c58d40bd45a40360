#include "app/AppDelegate.h"
#include "app/ExifEditorView.h"
#include "viewer/widgets/MetaDataPopupView.h"
#include "base/NotificationCenter.h"
#include "base/Notifications.h"
#include "batch/list/widgets/PhotoListPanel.h"

// The metadata viewer of the editor: a window of its own over the batch list. It
// opens on "notificationSetupMetaDataPopup" with a row of the batch list, which the
// photo list's "Get Info" posts, and which a double-click on a photo posts here.

void ExifEditorView::wireMetaDataPopup()
{
    m_metaDataPopup = new MetaDataPopupView(m_app.arraySelectedImagesToProcess, this);
    const auto showInfo = [](int row) {
        NotificationCenter::defaultCenter().post(
            Notifications::setupMetaDataPopup, nullptr, { { Notifications::selectedIndexKey, row } });
    };
    connect(m_photoList, &PhotoListPanel::photoDoubleClicked, this, showInfo);
    connect(m_photoList, &PhotoListPanel::rowDoubleClicked, this, showInfo);
}
