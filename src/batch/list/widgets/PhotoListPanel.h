#pragma once

#include "base/WorkerRegistry.h"
#include "batch/alerts/AlertCatalog.h"
#include "batch/list/AttachPopupType.h"
#include "batch/intake/PhotoIntakeSummary.h"
#include "batch/intake/PhotoLibraryAlert.h"
#include "batch/naming/RenameResetPrompt.h"
#include "controls/AttachedPopupTable.h"

#include <QPersistentModelIndex>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>

class DragDropBox;
class EditorContext;
class PhotoFile;
class PhotoIntake;
class PhotoListModel;
class PhotoThumbnailCell;
class Presenter;
class QCheckBox;
class QLabel;
class QPushButton;
class ResetRenamePrompt;
class ThumbnailCache;
class UniformListView;
class WindowServices;

// The left half of the editor: the photo list and how photos come into it and
// leave it. Its controls carry their outlet names: the drop box "leftBox" around
// the list "tblPhotos", "lblPhotosCount", "checkMarkUnmarkAll", "btnAddPhoto",
// "btnRemovePhoto". The rules live in the core (PhotoIntake, PhotoListModel,
// ThumbnailCache, PhotoListMenus, PhotoListControls, RenameResetPrompt); this
// panel binds them to the widgets, borrows the application's services
// (WindowServices), keeps the editor's context (EditorContext) told of the batch
// list, the ticked photos, the loading overlay of an adding or a removal and
// whether drops are taken, and tells the rest of the editor what happened
// through its signals, which the editor connects to the panel concerned.
class PhotoListPanel : public QWidget {
    Q_OBJECT
public:
    // The panel's model shows and changes the context's batch list, and its menus
    // open in the context's attached list; `editor` is the panel's parent, which its
    // sheets, menus and cells belong to.
    PhotoListPanel(WindowServices& services, EditorContext& context, QWidget* editor);
    ~PhotoListPanel() override;

    PhotoListModel* model() const { return m_model; }
    ThumbnailCache* thumbnails() const { return m_thumbnails; }
    PhotoIntake* intake() const { return m_intake; }
    UniformListView* tblPhotos() const { return m_tblPhotos; }
    DragDropBox* leftBox() const { return m_leftBox; }
    PhotoThumbnailCell* cell() const { return m_cell; }
    ResetRenamePrompt* resetRenameSheet() const { return m_resetSheet; }
    const RenameResetPrompt& resetRenameRequest() const { return m_resetRequest; }

    // ---- Adding photos ----
    // Every path that adds photos (drops, the add panels, the File menu) comes
    // here: photos in the trash are refused, an adding that runs is not
    // interrupted, and while renaming is in force the reset prompt asks first.
    void requestAddition(const QStringList& paths);
    // Starts an adding under the loading overlay (an alert while one runs).
    void addPhotosFromPathUrls(const QStringList& paths);
    // The stop button of an adding: it ends after the photos in hand.
    void btnStopProcessTapped();
    const PhotoIntakeSummary& lastSummary() const { return m_lastSummary; }
    // The counts the alert texts quote: the last adding's and the ticked photos.
    AlertCounts alertCounts() const;

    // ---- The list ----
    void btnAddPhotosTapped();
    void popupAddPhotosTappedWithIndex(int row);
    void btnRemovePhotosTapped();
    void deleteSelectedPhotos();
    void removePhotosForRemoveButton();
    void removePhotoForMenuOption();
    void btnCheckBoxSelect(const QPersistentModelIndex& index);
    void cellDoubleClicked(const QPersistentModelIndex& index);
    // The photo menu of a row, at `location` in the editor's coordinates.
    void btnInfoTappedAtLocation(const QPoint& location, int row, bool isFromRightMouseDown);
    void btnOnMenuOptionTapped(int row);
    void markUnmarkAll();
    void btnMetaMoreOptionsTapped(QWidget* button);
    void btnOnMetadataMenuOptionTapped(int row);
    // Alert 103's button: every photo missing at its source leaves the list.
    void btnRemoveFromBatchTapped();
    // Every photo ticked and the list redrawn (after an adding or removal).
    void selectAllTableViewCellAndReload();
    // Thumbnails of the visible rows load once scrolling has rested 0.2 s.
    void tableviewPhotosBoundDidChange();
    void loadTableViewThumbnailImages();
    bool isThumbnailLoadPending() const { return m_animationtimer.isActive(); }

    // ---- Switches the editor drives ----
    void setRemoveButtonEnabled(bool enable);
    void updateCountLabel();

    // ---- The reset prompt ----
    void showAlertForResetRename();

signals:
    // A double click on a row's check mark (nothing else happens).
    void photoDoubleClicked(int row);
    // A double click anywhere on a row, as the list reports it.
    void rowDoubleClicked(int row);
    // "Get Info" found no file manager to show the photo at this row: the
    // metadata viewer shows it.
    void metadataViewerRequested(int row);

    // The editor's alert sheet, with what the panel does with the answer.
    void alertRequested(int tag, AlertAnswer answered);
    // An adding or a removal ended: the editor refreshes every panel.
    void listChanged();
    // The ticks changed: the form is handed the ticked photos.
    void checkedPhotosChanged();
    // An adding replaced what the form showed: its edits are no longer pending.
    void formChangesDropped();
    // The metadata menu's rows.
    void resetChosen();
    void cleanMetadataChosen();
    // The last photo left the list.
    void batchListEmptied();
    // "Reset renaming?" was answered Yes: renaming is to go back to keeping each
    // photo's name.
    void renamingResetAgreed();
    // The add panel (photos or a folder) opened (true) or ended (false).
    void addPanelOpen(bool open);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The list of a menu of the list: its tag and size.
    static AttachedPopupTable::ListOptions menuOptions(AttachPopupType type);
    void buildWidgets();
    bool renamingInForce() const;
    // The context learns the ticked photos the model has now.
    void publishCheckedPhotos();
    AttachedPopupTable& popup() const;
    void intakeFinished(const PhotoIntakeSummary& summary);
    void addPanelDidEnd(const QStringList& paths);
    // An alert with OK alone, whose answer changes nothing.
    void showMessage(const AlertRequest& alert);
    void checkMarksChanged();
    void answeredResetRename(bool yes, bool dontShowAgain);
    void showInFileManager(const QString& path);
    void showInfo(const QString& path);
    void finishRemoval();

    WindowServices& m_services;
    EditorContext& m_context;
    PhotoListModel* m_model = nullptr;
    ThumbnailCache* m_thumbnails = nullptr;
    PhotoIntake* m_intake = nullptr;
    // Held while an adding runs, so that the application's end waits for it.
    WorkerRegistry::Registration m_intakeRegistration;
    RenameResetPrompt m_resetRequest;
    ResetRenamePrompt* m_resetSheet = nullptr;

    DragDropBox* m_leftBox = nullptr;
    UniformListView* m_tblPhotos = nullptr;
    PhotoThumbnailCell* m_cell = nullptr;
    QLabel* m_lblPhotosCount = nullptr;
    QLabel* m_lblDropHint = nullptr;
    QCheckBox* m_checkMarkUnmarkAll = nullptr;
    QPushButton* m_btnAddPhoto = nullptr;
    QPushButton* m_btnRemovePhoto = nullptr;

    QTimer m_animationtimer;
    PhotoIntakeSummary m_lastSummary;
    // Alerts of an adding are shown one after the other, never stacked: the
    // libraries' own alerts first, then the adding's alert.
    void showNextIntakeAlert();
    QList<PhotoLibraryAlert> m_pendingLibraryAlerts;
    bool m_libraryAlertOpen = false;
    int m_deferredAlertTag = 0;
    // The photo whose menu is open; the menu acts on it, not on a row number.
    std::weak_ptr<PhotoFile> m_menuPhoto;
    bool m_isPhotoMenuFromRightMouseDown = false;
    // While the list changes on our own account the form is not handed each step.
    int m_quiet = 0;
    bool m_rightControlHeld = false;
};
