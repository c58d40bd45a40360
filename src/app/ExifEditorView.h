#pragma once

#include "app/ExifEditorViewInterface.h"
#include "batch/alerts/AlertCatalog.h"
#include "batch/list/widgets/PhotoListPanel.h"
#include "batch/run/widgets/BatchController.h"
#include "controls/BusyPresenter.h"
#include "presets/widgets/PresetsPanel.h"

#include <QList>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

class AlertSheet;
class AppDelegate;
class EditorContext;
class LoadingOverlay;
class MetaDataPopupView;
class MetadataFormView;
class PhotoFile;
class QStackedWidget;

// The editor view that fills the main window ("vwExifEditor"): a thin composition
// of four panels, each owned by its own feature.
//
//   +-------------+--------------------------------------+
//   | photo list  | right stack: the metadata form        |
//   | (leftBox,   | ("vwMetaContainer") or the renaming   |
//   |  tblPhotos) | page ("vwExtentionView")              |
//   +-------------+--------------------------------------+
//   | bottom bar: batch buttons, bottom information line  |
//   +-----------------------------------------------------+
//
// The view keeps only what the panels share: the loading overlay, the veil that
// blocks the editor, the one alert sheet, and the refresh after photos were added
// or removed. The editor's state (the batch list, the ticked photos, veiled, busy,
// the renaming page and renaming in force, the form's edits) is the application's
// EditorContext, which each panel watches to set its own buttons. A panel tells
// what happened through its signals, and the view's
// wire functions connect them to the panels concerned (wirePhotoList in this
// view's own file; wireForm, wireBatch, wirePresets and wireMetaDataPopup in
// ExifEditorViewForm.cpp, ExifEditorViewBatch.cpp, ExifEditorViewPresets.cpp and
// ExifEditorViewMetaDataPopup.cpp). The panels borrow the application's services
// (the presenter, the defaults, the editor context, the workers, the URL opener) from
// the application itself, as WindowServices; the batch asks what only the editor
// knows (the form's answers, the alert sheet) through
// BatchController::Editor, which the view implements. A method whose panel is not
// there yet does nothing and answers the neutral value; the virtual ones let a
// test stand in for a panel.
class ExifEditorView : public QWidget, public ExifEditorViewInterface, public BatchController::Editor {
    Q_OBJECT
public:
    // The application-wide state comes from `app` (batch list, presenter, defaults).
    explicit ExifEditorView(AppDelegate& app, QWidget* parent = nullptr);
    ~ExifEditorView() override;

    AppDelegate& app() const { return m_app; }
    EditorContext& context() const { return m_context; }

    // ---- ExifEditorViewInterface ----
    bool isParamsChanged() const override;
    void addPhotosFromPathUrls(const QList<QUrl>& urls, bool isiPhoto) override;

    // ---- The panels and their places ----
    PhotoListPanel* photoListPanel() const { return m_photoList; }
    QStackedWidget* rightStack() const { return m_rightStack; }
    // The form's place in the right stack ("vwMetaContainer").
    QWidget* metaContainer() const { return m_metaContainer; }
    // The renaming page's place in the right stack ("vwExtentionView").
    QWidget* extentionView() const { return m_extentionView; }
    // The bar under both ("vwBottomBar").
    QWidget* bottomBar() const { return m_bottomBar; }
    // A panel takes the place of its placeholder, which is deleted; the panel gets
    // the placeholder's object name unless it has one.
    void setMetaContainer(QWidget* panel);
    void setExtentionView(QWidget* panel);
    void setBottomBar(QWidget* panel);
    // Slides the renaming page in (true) or the form back (false).
    void showRenamingPage(bool show);
    bool isRenamingPageShown() const;

    // ---- Shared by every panel ----
    // The set-up that runs when the add-photos window closes and after every
    // completed adding or removal: each panel's own set-up, in a fixed order.
    void initSetup() override;
    // The tool tips of the main buttons of every panel.
    void setToolTips();
    // The refresh after an adding or a removal.
    void processAfterAllPhotosAdded();
    // The loading overlay over the whole editor, as the context holds it: busy
    // state of the application.
    bool isLoadingShown() const;
    // Blocks (false) or unblocks (true) the editor's controls: the context's veil.
    void enableView(bool enable);
    bool isViewEnabled() const;
    // The one alert sheet, for every panel: the photo list's alerts come as its
    // alertRequested, the batch's and the renaming page's through
    // BatchController::Editor::showAlert. While it is up the editor is off and
    // takes no drops; any answer gives both back (OK over an emptied list also the
    // editor's refresh) before the asker's `answered` runs. The counts quoted by
    // the texts come from the photo list and the batch.
    void showAlert(int tag, AlertAnswer answered) override;
    AlertSheet* alertSheet() const { return m_alertSheet; }
    // The metadata more-options menu (Reset, Clean Metadata), opened below `button`.
    void btnMetaMoreOptionsTapped(QWidget* button);

    // ---- The metadata form (defined in ExifEditorViewForm.cpp) ----
    // The form panel, for the batch's checks and records (nullptr before wireForm).
    MetadataFormView* metadataFormView() const;
    // Hands the ticked photos to the form, which merges their records.
    virtual void setupUIForSelectedPhotoFiles(const QList<std::shared_ptr<PhotoFile>>& photos);
    // Sets or clears the form's "edits not applied" state.
    void isMetadataParamChanged(bool changed);
    // Enables or disables the form's fields and buttons (map, more options).
    virtual void enableExifDataView(bool enable);
    // The editing mode: 0 keep others, 1 clear others, 2 clean metadata.
    virtual void changeViewAccordingToMetadataOtion(int option);

    // ---- The output options and the batch (defined in ExifEditorViewBatch.cpp) ----
    BatchController* batchController() const;
    // A batch run or restore is writing photos.
    bool isBatchRunning() const;
    // The renaming page is shown (onImageRenameOptionPage).
    bool onImageRenameOptionPage() const;
    // The Reset button's path (the metadata menu's "Reset").
    virtual void btnResetTapped();
    // While a drop-down list of the editor is open its other buttons are off.
    virtual void disableEnableAllButtonsWhenDropdownOpen(bool disable);

    // What the batch asks of the editor: the form's checks and records, the alert
    // sheet, the question before going online.
    bool isValidFormData() override;
    BatchController::FormRecords formRecords() override;
    void beforePlaceNames(std::function<void()> then) override;

    // ---- Presets (defined in ExifEditorViewPresets.cpp) ----
    // Presets is enabled by the same rule as the renaming button.
    void updatePresetsEnabled();
    PresetsPanel* presetsPanel() const { return m_presets; }

    // ---- The metadata viewer (ExifEditorViewMetaDataPopup.cpp) ----
    // The viewer; nullptr until it is first shown.
    MetaDataPopupView* metaDataPopup() const { return m_metaDataPopup; }
    // Shows the photo at `row` of the batch list in the viewer, built on first use.
    void showMetaDataPopup(int row);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildLayout();
    // The photos whose check mark is set changed (or a panel wants them handed on
    // again): the form gets them and the buttons that depend on them follow.
    void checkedPhotosChanged();
    // One wiring function per panel, each in the panel's own file.
    void wirePhotoList();
    void wireForm();
    void wireBatch();
    void wirePresets();
    void wireMetaDataPopup();
    MetaDataPopupView* ensureMetaDataPopup();
    void placeOverlays();
    // Draws the veil over the editor, or takes it away, and blocks the form with it.
    void applyVeil(bool veiled);
    // Shows the context's loading overlay, or hides it.
    void applyLoading(bool shown);
    void replacePlaceholder(QWidget*& slot, QWidget* panel);

    AppDelegate& m_app;
    EditorContext& m_context;
    PhotoListPanel* m_photoList = nullptr;
    QStackedWidget* m_rightStack = nullptr;
    QWidget* m_metaContainer = nullptr;
    QWidget* m_extentionView = nullptr;
    QWidget* m_bottomBar = nullptr;
    LoadingOverlay* m_veil = nullptr;
    LoadingOverlay* m_loading = nullptr;
    std::optional<BusyScope> m_loadingBusy; // while the loading overlay is up
    AlertSheet* m_alertSheet = nullptr;
    BatchController* m_batch = nullptr;
    PresetsPanel* m_presets = nullptr;
    MetaDataPopupView* m_metaDataPopup = nullptr;
    bool m_refreshing = false;
};
