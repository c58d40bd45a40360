#include "batch/run/widgets/BatchController.h"

#include "batch/list/PhotoListControls.h"
#include "batch/run/BatchSnapshot.h"
#include "batch/run/BatchTexts.h"
#include "batch/run/widgets/BatchBottomBar.h"
#include "batch/run/widgets/DestinationPanel.h"
#include "batch/naming/widgets/OutputOptionsPage.h"
#include "batch/run/widgets/ProcessProgressSheet.h"
#include "batch/run/widgets/SummaryWindow.h"
#include "controls/EditorContext.h"
#include "controls/IMGButton.h"
#include "controls/Presenter.h"
#include "controls/WindowServices.h"
#include "platform/UrlOpener.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"

#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <utility>

using namespace Qt::Literals::StringLiterals;

BatchController::BatchController(BatchBottomBar* bar, OutputOptionsPage* page, WindowServices& services,
    EditorContext& context, Editor& editor, QObject* parent)
    : QObject(parent)
    , m_bar(bar)
    , m_page(page)
    , m_services(services)
    , m_context(context)
    , m_editor(editor)
{
    m_clock.start();
    m_bottomTimer.setInterval(int(BottomLineThrottle::kIntervalMs));
    connect(&m_bottomTimer, &QTimer::timeout, this, [this] { refreshBottomLine(false); });

    connect(bar->btnProcess(), &QPushButton::clicked, this, &BatchController::btnProcessTapped);
    connect(bar->btnNext(), &QAbstractButton::clicked, this, &BatchController::btnNextTapped);
    connect(bar->btnRestore(), &QPushButton::clicked, this, &BatchController::btnRestoreTapped);
    connect(bar->btnReset(), &QPushButton::clicked, this, &BatchController::btnResetTapped);
    connect(bar, &BatchBottomBar::closeToastRequested, this, &BatchController::btnCloseOnToastTapped);

    connect(page, &OutputOptionsPage::leaveRequested, this, &BatchController::leavePage);
    connect(page, &OutputOptionsPage::alertRequested, this, &BatchController::showAlert);
    connect(page, &OutputOptionsPage::chooseFolderRequested, this, &BatchController::chooseOutputFolder);
    connect(page, &OutputOptionsPage::optionsChanged, this, &BatchController::publishRenaming);

    // Another photo ticked or the editor set up again: the last run's restore no
    // longer matches what the form shows.
    connect(&context, &EditorContext::checkedPhotosChanged, this, [this] {
        m_restorable = false;
        updateButtons();
    });
    connect(&context, &EditorContext::formEditedChanged, this, [this] {
        m_resetKeptAfterRun = false;
        updateButtons();
    });
    for (auto changed : { &EditorContext::veiledChanged, &EditorContext::busyChanged,
             &EditorContext::renamingPageShownChanged })
        connect(&context, changed, this, &BatchController::updateButtons);
    updateButtons();

    connect(&m_runner, &BatchRunner::photoStarted, this, [this](int, const QString& path) {
        if (m_progress)
            m_progress->setCurrentPhoto(path);
    });
    connect(&m_runner, &BatchRunner::progressChanged, this, [this](qint64 handled, qint64 runSize) {
        // The sheet draws the counts once an interval and the bar's lines follow
        // it, so that the two never tell different counts.
        m_reported = m_runner.state();
        if (m_progress)
            m_progress->setProgress(handled, runSize, m_reported.failed);
        else
            showReportedCounts();
    });
    connect(&m_runner, &BatchRunner::notEnoughSpace, this, &BatchController::lowSpaceFound);
    connect(&m_runner, &BatchRunner::finished, this, &BatchController::runHasFinished);
}

BatchController::~BatchController()
{
    // Nothing of ours is drawn after this: the run in hand ends unseen, then the
    // waiting place forgets it.
    m_runner.disconnect(this);
    m_runner.stop();
    m_runner.waitForFinished();
    m_registration.reset();
}

ProcessProgressSheet* BatchController::progressSheet() const
{
    return m_progress;
}

SummaryWindow* BatchController::summaryWindow() const
{
    return m_summary;
}

bool BatchController::FormRecords::changesAnyDatum() const
{
    return onlyUpdated && onlyUpdated->changesAnyDatum();
}

bool BatchController::formValid() const
{
    return m_editor.isValidFormData();
}

bool BatchController::onImageRenameOptionPage() const
{
    return m_context.isRenamingPageShown();
}

void BatchController::updateButtons()
{
    const EditorContext& c = m_context;
    m_bar->btnProcess()->setEnabled(PhotoListControls::processEnabled(!c.isVeiled(), c.checkedCount()));
    m_bar->btnNext()->setEnabled(PhotoListControls::presetsAndNextEnabled(
        c.isVeiled(), c.isBusy(), c.isRenamingPageShown(), c.checkedCount()));
    m_bar->btnRestore()->setEnabled(m_restorable && !c.isBusy());
    m_bar->btnReset()->setEnabled(!c.isBusy() && (c.isFormEdited() || m_resetKeptAfterRun));
}

void BatchController::setAsking(bool asking)
{
    m_asking = asking;
    publishBusy();
}

void BatchController::publishBusy()
{
    m_context.setBusy(m_asking || isProcessing());
}

void BatchController::publishRenaming()
{
    m_context.setRenamingInForce(m_page->model().isRenamingInForce());
}

// ---- Alerts ----

void BatchController::showAlert(int tag, AlertAnswer answered)
{
    m_editor.showAlert(tag, [this, answered = std::move(answered)](AlertButton button) {
        if (button != AlertButtonYes)
            setAsking(false);
        if (answered)
            answered(button);
    });
}

void BatchController::validateFormThenStart()
{
    setAsking(false);
    if (formValid())
        startProcessBtnYesTapped();
    else
        showAlert(AlertErrorsFound, {});
}

// ---- Next and the renaming page ----

void BatchController::btnNextTapped()
{
    if (!m_bar->btnProcess()->isEnabled())
        return;
    if (!formValid()) {
        showAlert(AlertErrorsFound, {});
        return;
    }
    // addExtentionView
    m_bar->setRenameToastVisible(false);
    m_bar->setNextImage(m_page->model().isEditMode() ? u"rename_option_Edit_normal"_s : u"rename_option_normal"_s);
    m_context.setRenamingPageShown(true);
}

void BatchController::btnBackToPropertiesTapped()
{
    m_page->btnBackToPropertiesTapped();
}

void BatchController::leavePage()
{
    const bool inForce = m_page->model().isRenamingInForce();
    m_bar->setRenameToastVisible(inForce);
    m_bar->setNextImage(m_page->model().nextButtonImage());
    publishRenaming();
    m_context.setRenamingPageShown(false);
}

void BatchController::btnCloseOnToastTapped()
{
    m_page->refreshOutputRenamingOptionOnTapped();
    m_bar->setNextImage(u"rename_option_normal"_s);
    m_bar->setRenameToastVisible(false);
}

void BatchController::resetRenamingOptions()
{
    m_page->closeList();
    m_page->refreshOutputRenamingOptionOnTapped();
    m_bar->setNextImage(u"rename_option_normal"_s);
    m_bar->setRenameToastVisible(false);
    publishRenaming();
    m_context.setRenamingPageShown(false);
}

void BatchController::initSetup()
{
    m_page->initSetup();
    resetRenamingOptions();
    m_restorable = false;
    updateButtons();
}

bool BatchController::isRenamingInForce() const
{
    return m_page->model().isRenamingInForce();
}

void BatchController::chooseOutputFolder(const QString& start)
{
    const QString folder
        = m_page->model().outputFolderLocationPath.isEmpty() ? start : m_page->model().outputFolderLocationPath;
    DestinationPanel::chooseFolder(m_services.presenter(), m_page->window(), u"openPanelOutputFolder"_s, tr("Output Folder"),
        folder, [this](const QString& chosen) {
            if (!m_page)
                return;
            m_page->model().setDestination(chosen, m_page->model().destiFolderCheck == 1);
            m_page->setOutputFolderText(chosen);
        });
}

// ---- Process ----

void BatchController::btnProcessTapped()
{
    if (isProcessing())
        return;
    m_runForm.reset();
    m_context.setAcceptsDrops(false);
    setAsking(true);
    if (!formValid()) {
        showAlert(AlertErrorsFound, {});
        return;
    }
    const OutputOptionsModel::ProcessStep step = m_page->model().processStep();
    if (step.alertTag != 0) {
        // Yes to 113 goes on without renaming, still asking before the run; 114 and
        // 115 have OK alone.
        showAlert(step.alertTag, whenYes([this, confirm = step.confirmAfterPanel] {
            setAsking(false);
            startProcessOnEditOptionBlank(confirm);
        }));
        return;
    }
    const bool confirm = step.confirmAfterPanel;
    if (!m_page->getOutputFileRenamingSetting().namesPlaces()) {
        startProcessOnEditOptionBlank(confirm);
        return;
    }
    QPointer<BatchController> self(this);
    m_editor.beforePlaceNames([self, confirm] {
        if (self)
            self->startProcessOnEditOptionBlank(confirm);
    });
}

void BatchController::startProcessOnEditOptionBlank(bool confirm)
{
    // A photo whose kind keeps no IPTC data would be refused whole at the end of the
    // run for the form's IPTC fields: the user hears of it now, before anything starts.
    m_runForm = m_editor.formRecords();
    m_keepingNoIptc = m_runForm->settings ? PhotosKeepingNoIptc::among(m_context.batchList(), *m_runForm->settings)
                                          : PhotosKeepingNoIptc {};
    if (m_keepingNoIptc.any()) {
        m_confirmAfterPanel = confirm;
        // Yes to 116 leaves those photos to be refused in the run; 117 has OK alone.
        showAlert(m_keepingNoIptc.all() ? AlertIptcNotWrittenToAny : AlertIptcNotWrittenToSome,
            whenYes([this] { chooseDestination(m_confirmAfterPanel); }));
        return;
    }
    chooseDestination(confirm);
}

void BatchController::addAlertCounts(AlertCounts& counts) const
{
    counts.photosKeepingNoIptc = m_keepingNoIptc.count;
    counts.tickedPhotos = m_keepingNoIptc.ticked;
    counts.kindsKeepingNoIptc = m_keepingNoIptc.kindsText();
}

void BatchController::chooseDestination(bool confirm)
{
    QString folder = m_page->model().outputFolderLocationPath;
    if (folder.isEmpty())
        folder = OutputRenamingOptions::defaultOutputFolder();
    QDir().mkpath(folder);
    auto* panel = new DestinationPanel(m_services.presenter(), folder, m_bar->window());
    m_sheetBusy.emplace(m_context);
    panel->ask([this, confirm](const DestinationPanel::Answer& answer) {
        m_sheetBusy.reset();
        m_context.setAcceptsDrops(true);
        setAsking(false);
        if (!answer.accepted)
            return;
        m_page->model().setDestination(answer.folder, answer.keepSourceFolder);
        m_page->setOutputFolderText(answer.folder);
        afterDestinationChosen(confirm, answer.keepSourceFolder);
    });
}

void BatchController::afterDestinationChosen(bool confirm, bool keepSource)
{
    if (!m_bar->btnProcess()->isEnabled())
        return;
    // Keeping the source folders overwrites files: it always asks first.
    const bool changed = m_runForm && m_runForm->changesAnyDatum();
    const int tag = OutputOptionsModel::afterPanelAlert(confirm || keepSource, formValid(), changed);
    QTimer::singleShot(kAfterPanelDelayMs, this, [this, tag] {
        if (tag == 0)
            startProcessBtnYesTapped();
        else if (tag == AlertNoChangesInExifData)
            showAlert(tag, whenYes([this] { validateFormThenStart(); }));
        else
            showAlert(tag, whenYes([this] { startProcessBtnYesTapped(); }));
    });
}

void BatchController::startProcessBtnYesTapped()
{
    if (isProcessing())
        return;
    const QList<std::shared_ptr<PhotoFile>> photos = m_context.batchList();
    // The records the run was asked with; a start without the questions takes them now.
    FormRecords records = m_runForm ? *std::exchange(m_runForm, std::nullopt) : m_editor.formRecords();
    if (!records.settings)
        records.settings = std::make_shared<MetaDataObject>();
    if (!records.onlyUpdated)
        records.onlyUpdated = std::make_shared<MetaDataObject>();
    // The snapshot copies both records here and every photo in prepareRun, on the main thread.
    m_preparing = BatchSnapshot::forTickedPhotos(photos, *records.settings, *records.onlyUpdated,
        m_page->getOutputFileRenamingSetting(), BatchSnapshot::Copying::Later);
    m_context.setAcceptsDrops(false);
    publishBusy();
    prepareRun();
}

// A big batch's photos are copied over a few turns of the event loop, so that the
// window keeps answering; nothing else starts a run or a restore meanwhile.
void BatchController::prepareRun()
{
    if (!m_preparing)
        return;
    if (!m_preparing->copyPhotos(kSnapshotChunk)) {
        QTimer::singleShot(0, this, &BatchController::prepareRun);
        return;
    }
    BatchSnapshot snapshot = std::move(*m_preparing);
    m_preparing.reset();
    if (!m_runner.start(std::move(snapshot))) {
        m_context.setAcceptsDrops(true);
        publishBusy();
        return;
    }
    runHasStarted();
}

void BatchController::runHasStarted()
{
    m_lowSpaceAnswered = false;
    if (!m_progress) {
        m_progress = new ProcessProgressSheet(m_bar->window());
        // Escape and the close button come here too: the sheet closes only when
        // the run has ended.
        connect(m_progress, &ProcessProgressSheet::stopRequested, this, &BatchController::btnStopProcessTapped);
        connect(m_progress, &ProcessProgressSheet::countsShown, this, &BatchController::showReportedCounts);
    }
    m_reported = m_runner.state();
    m_progress->startRun(m_reported.runSize, m_reported.isForRestore);
    publishBusy();
    m_context.setAcceptsDrops(false);
    m_sheetBusy.emplace(m_context);
    m_services.presenter().presentSheet(m_progress, {});
    m_registration = m_services.workers().add([this] {
        m_runner.stop();
        m_runner.waitForFinished();
    });
    m_throttle.reset();
    showReportedCounts();
    m_bottomTimer.start();
    emit runStarted(m_runner.state().isForRestore);
}

void BatchController::btnStopProcessTapped()
{
    m_runner.stop();
}

void BatchController::lowSpaceFound()
{
    // The sheet goes first: an alert asked for while a sheet is up would be dropped.
    hideProcessProgressWindow();
    showAlert(AlertNotEnoughSpace, [this](AlertButton) { alertNotEnoughSpaceAnswered(); });
}

void BatchController::alertNotEnoughSpaceAnswered()
{
    m_lowSpaceAnswered = true;
    if (!m_runner.isRunning())
        QTimer::singleShot(kSummaryDelayMs, this, &BatchController::addSummaryWindow);
}

void BatchController::hideProcessProgressWindow()
{
    m_context.setAcceptsDrops(true);
    m_sheetBusy.reset();
    if (m_progress && m_progress->isVisible()) {
        m_progress->showPlaceholder();
        m_progress->done(QDialog::Accepted);
    }
}

void BatchController::runHasFinished()
{
    const BatchRunState& state = m_runner.state();
    m_registration.reset();
    m_bottomTimer.stop();
    // The run's last figures, whatever the sheet had drawn.
    m_reported = state;
    showReportedCounts();
    // Reset comes back as it was before the run, though the run drops the kept edits.
    const bool previousResetEnable = m_context.isFormEdited() || m_resetKeptAfterRun;
    emit runCompleted(state.isForRestore);
    if (state.endedOnLowSpace) {
        if (m_lowSpaceAnswered)
            QTimer::singleShot(kSummaryDelayMs, this, &BatchController::addSummaryWindow);
    } else {
        hideProcessProgressWindow();
        QTimer::singleShot(kSummaryDelayMs, this, &BatchController::addSummaryWindow);
    }
    m_restorable = m_runner.canRestore();
    m_resetKeptAfterRun = previousResetEnable;
    publishBusy();
    updateButtons();
    emit runFinished(state.isForRestore);
}

// ---- Restore and Reset ----

void BatchController::btnRestoreTapped()
{
    if (!m_bar->btnRestore()->isEnabled() || isProcessing())
        return;
    showAlert(AlertRestoreExifData, whenYes([this] { btnRestoreMetaDataYesTapped(); }));
}

void BatchController::btnRestoreMetaDataYesTapped()
{
    if (isProcessing())
        return;
    m_restorable = false;
    updateButtons();
    const QList<std::shared_ptr<PhotoFile>> photos = m_context.batchList();
    // Exactly the photos the last run wrote, whatever their ticks are now.
    if (m_runner.restoreLastRun(photos))
        runHasStarted();
}

void BatchController::btnResetTapped()
{
    // The form goes back to the photos' own data and hands them on again, which
    // leaves no edits to reset and nothing of the last run to restore.
    m_resetKeptAfterRun = false;
    m_restorable = false;
    emit resetChosen();
    updateButtons();
}

// ---- Texts and summary ----

void BatchController::showReportedCounts()
{
    m_shown = m_reported;
    setBatchInfo();
    refreshBottomLine(true);
}

void BatchController::setBatchInfo()
{
    m_bar->setBatchInfo(BatchTexts::batchLine(m_shown));
}

void BatchController::refreshBottomLine(bool force)
{
    const BatchRunState& state = m_shown;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const BottomLineThrottle::Figures figures { state.percentDone(), state.failed, state.elapsedSeconds(now) };
    if (m_throttle.shouldRefresh(m_clock.elapsed(), figures, force))
        m_bar->setProcessInfoAtBottm(BatchTexts::bottomLine(state, now));
}

void BatchController::addSummaryWindow()
{
    if (m_runner.isRunning())
        return;
    // The sheet is made before the rows, so that the turn that opens it only fills it.
    if (!m_summary) {
        m_summary = new SummaryWindow(m_bar->window());
        connect(m_summary, &SummaryWindow::closeRequested, this, &BatchController::btnCloseSummaryTapped);
        connect(
            m_summary, &SummaryWindow::openOutputFolderRequested, this, &BatchController::btnOpenOutputFolderTapped);
    }
    // Asked again while the rows are made: they are made again from the start by
    // the turn already waiting.
    const bool turnWaiting = m_summaryFill.has_value();
    m_summaryFill = SummaryFill {};
    if (!turnWaiting)
        fillSummary();
}

void BatchController::fillSummary()
{
    if (!m_summaryFill)
        return;
    // A run started meanwhile has outcomes of its own; its end opens its summary.
    if (m_runner.isRunning()) {
        m_summaryFill.reset();
        return;
    }
    // Every photo's errors first, then every photo's warnings: `next` runs over
    // the photos twice.
    SummaryFill& fill = *m_summaryFill;
    const qsizetype photos = m_runner.photoCount();
    const qsizetype to = std::min(2 * photos, fill.next + m_summaryChunk);
    if (fill.next < photos) {
        for (const auto& record : m_runner.errorRecords(fill.next, std::min(to, photos)))
            fill.rows.append(BatchTexts::summaryRow(*record));
    }
    if (to > photos) {
        const QList<std::shared_ptr<PhotoFile>> warnings
            = m_runner.warningRecords(std::max(fill.next, photos) - photos, to - photos);
        fill.warnings += warnings.size();
        for (const auto& record : warnings)
            fill.rows.append(BatchTexts::summaryRow(*record));
    }
    fill.next = to;
    if (to < 2 * photos) {
        QTimer::singleShot(0, this, &BatchController::fillSummary);
        return;
    }
    SummaryFill filled = std::move(fill);
    m_summaryFill.reset();

    m_context.setAcceptsDrops(false);
    m_context.setVeiled(true);
    m_summary->setSummmaryInfo(BatchTexts::summary(m_runner.state(), filled.warnings, QDateTime::currentDateTimeUtc()),
        std::move(filled.rows));
    m_summaryOpen = true;
    m_services.presenter().presentSheet(m_summary, {});
    emit summaryShown();
}

void BatchController::btnCloseSummaryTapped()
{
    if (!m_summary || !m_summaryOpen)
        return;
    m_summaryOpen = false;
    m_context.setAcceptsDrops(true);
    m_summary->done(QDialog::Accepted);
    m_context.setVeiled(false);
    setAsking(false);
    emit summaryClosed();
}

void BatchController::btnOpenOutputFolderTapped()
{
    if (m_summary && !m_summary->outputFolder().isEmpty())
        m_services.urlOpener().openUrl(QUrl::fromLocalFile(m_summary->outputFolder()));
}
