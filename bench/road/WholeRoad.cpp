#include "WholeRoad.h"

#include "RoadPresenter.h"
#include "RoadStageMeter.h"
#include "app/AppDelegate.h"
#include "app/ExifEditorView.h"
#include "app/MainWindowController.h"
#include "batch/run/BatchSnapshot.h"
#include "batch/naming/OutputPathBuilder.h"
#include "batch/intake/PhotoIntake.h"
#include "batch/list/PhotoListModel.h"
#include "batch/naming/RenamingChoiceLists.h"
#include "batch/run/widgets/BatchController.h"
#include "batch/naming/widgets/OutputOptionsPage.h"
#include "batch/list/widgets/PhotoListPanel.h"
#include "batch/run/widgets/SummaryWindow.h"
#include "controls/AttachedPopupTable.h"
#include "controls/EditorContext.h"
#include "controls/QVAppStoreWindow.h"
#include "form/widgets/MetadataFormView.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

WholeRoad::WholeRoad(RoadStageMeter& meter)
    : m_meter(meter)
{
}

WholeRoad::~WholeRoad()
{
    if (m_app)
        m_app->terminate();
}

ExifEditorView* WholeRoad::editor() const
{
    return qobject_cast<ExifEditorView*>(m_app->myWindowController()->vwExifEditor());
}

template <typename T> T* WholeRoad::widget(const QString& name) const
{
    // Sheets and windows of the editor hang on the main window or stand alone.
    T* found = editor()->findChild<T*>(name);
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (found)
            break;
        found = top->objectName() == name ? qobject_cast<T*>(top) : top->findChild<T*>(name);
    }
    return found;
}

// Runs the event loop as the application does (it sleeps until something happens)
// and looks at the state every few milliseconds.
bool WholeRoad::waitFor(const std::function<bool()>& done, int timeoutSeconds)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer look;
    look.setInterval(5);
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutSeconds * 1000, &loop, &QEventLoop::quit);
    look.start();
    loop.exec();
    return done();
}

// Answers Yes to the last alert when it asks this; false when no such alert is up.
bool WholeRoad::answerAlert(const QString& message)
{
    if (m_presenter->alerts.isEmpty() || m_presenter->alerts.last().request.message != message)
        return false;
    const RoadPresenter::Alert alert = m_presenter->alerts.takeLast();
    alert.answer(0);
    return true;
}

WholeRoad::Result WholeRoad::run(const Options& options)
{
    Result result;
    const auto failed = [&result, this](const QString& why) {
        result.failure = why;
        if (!m_presenter->alerts.isEmpty())
            result.failure += u" (alert: "_s + m_presenter->alerts.last().request.message + u")"_s;
        m_meter.endStage();
        return result;
    };

    // The application starts as main() starts it; questions go to the bench.
    m_app = std::make_unique<AppDelegate>();
    m_presenter = std::make_shared<RoadPresenter>();
    m_app->setPresenter(m_presenter);
    m_app->setTerminateHandler([] {});
    m_app->applicationDidFinishLaunching();
    MainWindowController* controller = m_app->myWindowController();
    if (!QTest::qWaitForWindowExposed(controller->windowMain()) || !editor())
        return failed(u"the main window did not show"_s);
    controller->hideAddPhotosWindow();
    PhotoListPanel* list = editor()->photoListPanel();
    auto* form = qobject_cast<MetadataFormView*>(editor()->metaContainer());
    auto* page = qobject_cast<OutputOptionsPage*>(editor()->extentionView());
    BatchController* batch = editor()->batchController();
    if (!list || !form || !page || !batch)
        return failed(u"the editor view is not complete"_s);

    bool intakeDone = false;
    int mergesAfterIntake = 0;
    QObject::connect(list->intake(), &PhotoIntake::finished, list, [&] { intakeDone = true; });
    QObject::connect(form, &MetadataFormView::mergedRecordChanged, form, [&] {
        if (intakeDone)
            ++mergesAfterIntake;
    });

    m_meter.start();
    QElapsedTimer whole;
    whole.start();

    // The folder goes in: walked, every photo read, the list filled.
    if (options.readThreads > 0)
        list->intake()->setReadThreads(options.readThreads);
    m_meter.beginStage(u"intake"_s);
    editor()->addPhotosFromPathUrls({ QUrl::fromLocalFile(options.source) }, false);
    if (!waitFor([&] { return intakeDone && !editor()->isLoadingShown(); }, options.timeoutSeconds))
        return failed(u"the adding did not end"_s);
    result.photos = list->model()->rowCount();

    // Every photo ticked; the form shows what they have in common. (The form's own
    // count: a look at every photo's tick would hold the main thread 15 to 20 ms.)
    m_meter.beginStage(u"merge and fill"_s);
    if (!waitFor(
            [&] {
                return mergesAfterIntake > 0 && !form->state().mergeJob().isRunning()
                    && form->state().totalPhotosSelected() == result.photos;
            },
            options.timeoutSeconds))
        return failed(u"the form was not filled"_s);

    // One edit: the Artist, typed.
    m_meter.beginStage(u"edit"_s);
    auto* artist = form->findChild<QLineEdit*>(u"txtArtist"_s);
    if (!artist)
        return failed(u"no Artist field"_s);
    QTest::mouseClick(artist, Qt::LeftButton);
    QTest::keyClicks(artist, options.artist);

    // Renaming by the original date, in the chosen format, before the photo's own name.
    m_meter.beginStage(u"renaming page"_s);
    auto* next = widget<QAbstractButton>(u"btnNext"_s);
    if (!next || !waitFor([next] { return next->isEnabled(); }, 30))
        return failed(u"Next stayed off"_s);
    QTest::mouseClick(next, Qt::LeftButton);
    for (const QString& name : { u"btnEditOriginalName"_s, u"btnAddEXIFDateTime"_s }) {
        auto* button = widget<QAbstractButton>(name);
        if (!button)
            return failed(u"no button "_s + name);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // The user picks a row of the date-format list, which opens in the editor's attached list.
    auto* format = widget<QAbstractButton>(u"btnAddEXIFDateTimeFormatOption"_s);
    if (!format || !waitFor([format] { return format->isEnabled(); }, 30))
        return failed(u"the date-format list stayed off"_s);
    QTest::mouseClick(format, Qt::LeftButton);
    AttachedPopupTable& dateList = editor()->context().attachedPopup();
    if (dateList.currentType() != RenamingChoiceLists::DateFormat)
        return failed(u"the date-format list did not open"_s);
    dateList.choose(options.dateFormat);
    if (!editor()->batchController()->isRenamingInForce())
        return failed(u"renaming is not in force"_s);

    // Process: the destination panel with a new folder, then Yes to the confirmation.
    m_meter.beginStage(u"process, panel"_s);
    page->model().setDestination(options.output, false);
    auto* process = widget<QAbstractButton>(u"btnProcess"_s);
    if (!process || !waitFor([process] { return process->isEnabled(); }, 30))
        return failed(u"Process stayed off"_s);
    QTest::mouseClick(process, Qt::LeftButton);
    if (!waitFor(
            [this] {
                auto* panel = widget<QWidget>(u"savePanel"_s);
                return panel && panel->isVisible();
            },
            30))
        return failed(u"no destination panel"_s);
    QTest::mouseClick(widget<QAbstractButton>(u"btnSelectDestination"_s), Qt::LeftButton);
    const QStringList confirmations = { u"START PROCESS"_s, u"NO CHANGES IN EXIF DATA"_s };
    if (!waitFor(
            [this, &confirmations] {
                return !m_presenter->alerts.isEmpty()
                    && confirmations.contains(m_presenter->alerts.last().request.message);
            },
            30))
        return failed(u"no confirmation"_s);

    // Yes: the run's snapshot is taken on the main thread, then the run starts.
    m_meter.beginStage(u"process, start"_s);
    bool runEnded = false;
    QObject::connect(&batch->runner(), &BatchRunner::finished, batch, [&runEnded] { runEnded = true; });
    answerAlert(m_presenter->alerts.last().request.message);
    if (!batch->isProcessing() && !runEnded)
        return failed(u"the run did not start"_s);
    // A big batch's snapshot is taken over a few turns of the event loop.
    if (!waitFor([&] { return batch->runner().isRunning() || runEnded; }, 60))
        return failed(u"the run did not start"_s);

    // Paths built one after another on the path thread, photos written by the writers.
    m_meter.beginStage(u"paths and writing"_s);
    if (!waitFor([&runEnded] { return runEnded; }, options.timeoutSeconds))
        return failed(u"the run did not end"_s);

    m_meter.beginStage(u"summary"_s);
    if (!waitFor([batch] { return batch->summaryWindow() && batch->summaryWindow()->isVisible(); }, 60))
        return failed(u"no summary"_s);
    m_meter.endStage();
    result.wholeSeconds = double(whole.nsecsElapsed()) / 1e9;
    m_meter.stop();
    result.peakResidentMb = RoadStageMeter::peakResidentMb();

    const BatchRunState& state = batch->runner().state();
    result.succeeded = state.succeeded;
    result.failed = state.failed;
    result.warnings = int(batch->runner().warningRecords().size());
    for (const auto& record : batch->runner().errorRecords())
        result.errors.append(record->filePath + u": "_s + record->processMsg);
    timeApart(options, result);
    compareLinkedPhotos(result);
    return result;
}

// The run builds each output path on its path thread while the writers work, so its
// share is not seen on its own there. Here the same paths are built again, after the
// road, one after another, into an empty folder as the run found its own; and the
// run's snapshot, which the main thread takes when the run starts, is taken again.
void WholeRoad::timeApart(const Options& options, Result& result)
{
    auto* page = qobject_cast<OutputOptionsPage*>(editor()->extentionView());
    OutputRenamingOptions renaming = page->getOutputFileRenamingSetting();
    renaming.ouptputFolderPathName = options.output + u"-paths"_s;
    QDir().mkpath(renaming.ouptputFolderPathName);
    const QList<std::shared_ptr<PhotoFile>> photos = editor()->photoListPanel()->model()->checkedPhotos();
    QStringList sources;
    sources.reserve(photos.size());
    for (const auto& photo : photos)
        sources.append(photo->filePath);
    const MetaDataObject settings;
    QElapsedTimer clock;
    clock.start();
    OutputPathBuilder builder(renaming, nullptr, sources);
    for (const auto& photo : photos) {
        if (!builder.updatedPathWithSelectedSetting(*photo, settings).path.isEmpty())
            ++result.pathsAlone;
    }
    result.pathSecondsAlone = double(clock.nsecsElapsed()) / 1e9;
    QDir(renaming.ouptputFolderPathName).removeRecursively();

    clock.restart();
    const BatchSnapshot snapshot = BatchSnapshot::forTickedPhotos(photos, settings, settings, renaming);
    result.snapshotSecondsAlone = double(clock.nsecsElapsed()) / 1e9;
}

// The corpus is made of links to a few files, so every link to one file must have
// been read into the same record, whatever the other readers were reading meanwhile.
void WholeRoad::compareLinkedPhotos(Result& result)
{
    QHash<quint64, std::shared_ptr<PhotoFile>> firstOfFile;
    for (const auto& photo : editor()->photoListPanel()->model()->checkedPhotos()) {
        struct stat info { };
        if (!photo->metadataObjectOriginal || ::stat(QFile::encodeName(photo->filePath).constData(), &info) != 0)
            continue;
        const quint64 file = quint64(info.st_ino);
        const auto first = firstOfFile.constFind(file);
        if (first == firstOfFile.cend()) {
            firstOfFile.insert(file, photo);
            continue;
        }
        QStringList fields;
        for (const MetadataFieldInfo& field : kMetadataFields) {
            if ((*first)->metadataObjectOriginal->field(field.field)
                != photo->metadataObjectOriginal->field(field.field))
                fields << QString::fromLatin1(field.name.data(), qsizetype(field.name.size()));
        }
        if (!fields.isEmpty())
            result.readUnlike.append(photo->filePath + u" (fields "_s + fields.join(u", "_s) + u")"_s);
    }
}
