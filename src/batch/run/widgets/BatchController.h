#pragma once

#include "base/WorkerRegistry.h"
#include "batch/alerts/AlertCatalog.h"
#include "batch/run/BatchRunner.h"
#include "batch/run/BatchSnapshot.h"
#include "batch/run/BatchTexts.h"
#include "batch/run/PhotosKeepingNoIptc.h"
#include "batch/run/BottomLineThrottle.h"
#include "controls/BusyPresenter.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

class BatchBottomBar;
class EditorContext;
class MetaDataObject;
class OutputOptionsPage;
class PhotoFile;
class ProcessProgressSheet;
class SummaryWindow;
class WindowServices;

// The batch paths of the editor: Next (the renaming page), Process (checks,
// destination panel, confirmation, start), Stop, Restore and Reset, the progress
// sheet, the bottom line and the summary. A BatchRunner does the run; the rules
// come from OutputOptionsModel, AlertCatalog and BatchTexts. Main thread only.
class BatchController : public QObject {
    Q_OBJECT
public:
    // How long after the destination panel closes the run (or its confirmation) follows.
    static constexpr int kAfterPanelDelayMs = 500;
    // How long after the progress sheet closes the summary opens.
    static constexpr int kSummaryDelayMs = 200;
    // Photos copied for a run's snapshot per turn of the event loop (some milliseconds
    // of the main thread): ten thousand photos at once held it for most of 100 ms.
    static constexpr int kSnapshotChunk = 1000;
    // Photos whose summary rows are made per turn of the event loop (a few
    // milliseconds), errors and warnings in turns of their own: a run of 100,000
    // photos made all of its 45,000 rows in one event of 20 to 40 ms.
    static constexpr int kSummaryChunk = 10000;

    // The form's record and its edited-fields-only twin, recomputed for a run.
    struct FormRecords {
        std::shared_ptr<MetaDataObject> settings;
        std::shared_ptr<MetaDataObject> onlyUpdated;
        // Whether the run would change a datum, whether or not the edits were applied.
        bool changesAnyDatum() const;
    };

    // What only the editor around the batch knows: the form's answers, its one
    // alert sheet and the question before going online. Each answer has a neutral
    // default (a valid form without edits), so an editor overrides only what it has.
    // The application's services come from WindowServices, the batch list, the
    // ticked photos and the editor's state from the EditorContext.
    class Editor {
    public:
        virtual ~Editor() = default;
        virtual bool isValidFormData() { return true; }
        // createUpdatedChnagesOnly, then both records; taken once for each run.
        virtual FormRecords formRecords() { return {}; }
        // The one alert sheet; `answered` gets the button (not called when the request is dropped).
        virtual void showAlert(int tag, AlertAnswer answered) { Q_UNUSED(tag) Q_UNUSED(answered) }
        // A run about to name files by place: the editor may first ask whether place
        // names may be looked up online, then carries on with then (always, whatever
        // the answer).
        virtual void beforePlaceNames(std::function<void()> then) { then(); }
    };

    // `services`, `context` and `editor` outlive the controller.
    BatchController(BatchBottomBar* bar, OutputOptionsPage* page, WindowServices& services, EditorContext& context,
        Editor& editor, QObject* parent = nullptr);
    ~BatchController() override;

    BatchRunner& runner() { return m_runner; }
    ProcessProgressSheet* progressSheet() const;
    SummaryWindow* summaryWindow() const;
    bool onImageRenameOptionPage() const;
    // A run is being prepared (its snapshot taken) or is running.
    bool isProcessing() const { return m_preparing.has_value() || m_runner.isRunning(); }

    // ---- The buttons' paths ----
    void btnProcessTapped();
    void btnNextTapped();
    void btnStopProcessTapped();
    void btnRestoreTapped();
    void btnResetTapped();
    void btnBackToPropertiesTapped();
    void btnCloseOnToastTapped();
    void btnCloseSummaryTapped();
    void btnOpenOutputFolderTapped();

    // ---- Entry points of the alerts' Yes ----
    void startProcessBtnYesTapped();
    void btnRestoreMetaDataYesTapped();
    // The destination panel; with confirm the run asks first (111, 112 or 100). Ticked
    // photos that keep no IPTC data while the form sets IPTC fields are asked about
    // before it (116, 117).
    void startProcessOnEditOptionBlank(bool confirm = true);
    // The figures of the alerts about photos that keep no IPTC data.
    void addAlertCounts(AlertCounts& counts) const;
    // Alert 102's OK: the summary follows once the photos in hand are done.
    void alertNotEnoughSpaceAnswered();

    // Opens the summary of the run that has ended (after the progress sheet or alert
    // 102). A long run's rows are made first, over a few turns of the event loop.
    void addSummaryWindow();
    // Photos whose summary rows are made per turn (kSummaryChunk unless set).
    void setSummaryChunk(int photos) { m_summaryChunk = std::max(photos, 1); }

    // The editor's set-up: renaming page back to its defaults, the page put away.
    void initSetup();
    // Back to keeping each photo's name, the page put away and the notice hidden.
    void resetRenamingOptions();
    // Renaming in force, as the notice shows it.
    bool isRenamingInForce() const;

signals:
    // A run (or restore) started and ended; the summary opened and closed.
    void runStarted(bool isForRestore);
    void runFinished(bool isForRestore);
    void summaryShown();
    void summaryClosed();
    // A run ended, before the bar's buttons are set again: the form drops its kept
    // edits and is filled again from the ticked photos.
    void runCompleted(bool wasRestore);
    // Reset was chosen (its button or the metadata menu): the form is to go back
    // to the photos' own data.
    void resetChosen();

private:
    // Shows the alert of tag through the editor, which gives itself back on every
    // answer; any answer but Yes also ends the question (the editor is no longer
    // busy), then `answered` runs (on Yes it ends the question itself where it
    // does not go on to a run).
    void showAlert(int tag, AlertAnswer answered);
    // Yes to 111: the form is checked once more, a failure gives 112.
    void validateFormThenStart();
    void chooseDestination(bool confirm);
    void afterDestinationChosen(bool confirm, bool keepSource);
    void prepareRun();
    void runHasStarted();
    void runHasFinished();
    void lowSpaceFound();
    void hideProcessProgressWindow();
    // The next turn of the summary's rows; the summary opens once all are made.
    void fillSummary();
    // The counts last reported become the ones shown: the bar's two lines are drawn
    // from them at once, as the progress sheet has just drawn its own.
    void showReportedCounts();
    void refreshBottomLine(bool force);
    void setBatchInfo();
    void chooseOutputFolder(const QString& start);
    void leavePage();
    bool formValid() const;
    // The buttons of the bar, each by its one rule over the editor's context and
    // the batch's own state.
    void updateButtons();
    // A question before a run is open (from Process until it is answered, or the
    // summary closed): the editor is busy meanwhile, as it is while a run is
    // prepared or runs.
    void setAsking(bool asking);
    void publishBusy();
    void publishRenaming();

    QPointer<BatchBottomBar> m_bar;
    QPointer<OutputOptionsPage> m_page;
    WindowServices& m_services;
    EditorContext& m_context;
    Editor& m_editor;
    std::optional<BusyScope> m_sheetBusy; // while the destination or the progress sheet is up
    BatchRunner m_runner;
    std::optional<BatchSnapshot> m_preparing; // the next run's snapshot while its photos are copied
    QPointer<ProcessProgressSheet> m_progress;
    QPointer<SummaryWindow> m_summary;
    WorkerRegistry::Registration m_registration;
    QTimer m_bottomTimer;
    QElapsedTimer m_clock;
    BottomLineThrottle m_throttle;
    // The run's figures at its last progress report, and those the window shows (the
    // sheet's counts and the bar's lines): a report is shown when the sheet draws it.
    BatchRunState m_reported;
    BatchRunState m_shown;
    bool m_asking = false;
    // The last run can be restored: from its end until the ticks change, the
    // editor is set up again, Reset is pressed or the restore starts.
    bool m_restorable = false;
    // Reset stays as it was before a run, though the run drops the form's edits,
    // until the form's state changes again.
    bool m_resetKeptAfterRun = false;
    bool m_lowSpaceAnswered = false;
    bool m_summaryOpen = false;
    // The summary's rows while they are made (the errors, then the warnings), how
    // many of them are warnings, and how far the two walks over the photos got.
    struct SummaryFill {
        QList<SummaryRow> rows;
        qsizetype warnings = 0;
        qsizetype next = 0;
    };
    std::optional<SummaryFill> m_summaryFill;
    int m_summaryChunk = kSummaryChunk;
    // The last look for photos that keep no IPTC data, and whether the run is to ask
    // after the destination panel that follows its alert.
    PhotosKeepingNoIptc m_keepingNoIptc;
    // The form's records of the run being asked for, from its first question to its start.
    std::optional<FormRecords> m_runForm;
    bool m_confirmAfterPanel = true;
};
