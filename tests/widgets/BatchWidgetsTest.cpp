#include "WidgetTestSupport.h"
#include "app/AppDelegate.h"
#include "base/Notifications.h"
#include "batch/naming/RenamingChoiceLists.h"
#include "batch/naming/widgets/OutputOptionsPage.h"
#include "batch/run/BatchRunState.h"
#include "batch/run/widgets/BatchBottomBar.h"
#include "batch/run/widgets/BatchController.h"
#include "batch/run/widgets/DestinationPanel.h"
#include "batch/run/widgets/ProcessProgressSheet.h"
#include "batch/run/widgets/SummaryTableModel.h"
#include "batch/run/widgets/SummaryWindow.h"
#include "controls/AttachedPopupTable.h"
#include "controls/EditorContext.h"
#include "controls/GRProgressIndicator.h"
#include "controls/IMGButton.h"
#include "controls/ImageNamed.h"
#include "controls/WindowServices.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "platform/Exiv2Setup.h"
#include "platform/FileTypeIcon.h"
#include "platform/UserDefaults.h"
#include "support/TestGate.h"
#include "support/TestSupport.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QElapsedTimer>
#include <QtTest>
#include <cstdlib>

using namespace Qt::Literals::StringLiterals;

namespace {

using PhotoList = QList<std::shared_ptr<PhotoFile>>;

template <typename T> T* find(QObject* root, const QString& name)
{
    T* child = root->findChild<T*>(name);
    if (!child)
        qWarning() << "no child named" << name;
    return child;
}

// The editor around the batch widgets, as far as they ask it: the application's
// services, the editor's context (the photo list among it), the form's answers,
// and the alert sheet, whose questions the test answers.
struct Editor : WindowServices, BatchController::Editor {
    struct Alert {
        int tag;
        std::function<void(AlertButton)> answered;
    };

    BatchBottomBar* bar = nullptr;
    OutputOptionsPage* page = nullptr;
    BatchController* controller = nullptr;
    mutable RecordingPresenter dialogs;
    mutable RecordingUrlOpener opener;
    mutable EditorContext context;
    PhotoList& photos = context.batchList();
    bool formValid = true;
    bool formChanged = true;
    bool pageShown = false;
    int completedRuns = 0;
    QList<std::function<void()>> placeQuestions;
    int formResets = 0;
    int recordsTaken = 0;
    QList<Alert> alerts;
    std::function<void()> whenSummaryClosed;
    WorkerRegistry registry;
    // Last, so that the widgets go first: they hold on to everything above.
    QWidget window;

    Editor()
    {
        auto* layout = new QVBoxLayout(&window);
        page = new OutputOptionsPage(context, &window);
        bar = new BatchBottomBar(&window);
        layout->addWidget(page);
        layout->addWidget(bar);
        controller = new BatchController(bar, page, *this, context, *this, &window);
        QObject::connect(&context, &EditorContext::renamingPageShownChanged, [this](bool show) { pageShown = show; });
        QObject::connect(controller, &BatchController::runCompleted, [this] { ++completedRuns; });
        // The form goes back to the photos' own data: no edits are left.
        QObject::connect(controller, &BatchController::resetChosen, [this] {
            ++formResets;
            context.setFormEdited(false);
        });
        QObject::connect(controller, &BatchController::summaryClosed, [this] {
            if (whenSummaryClosed)
                whenSummaryClosed();
        });
        window.resize(900, 700);
        window.show();
    }

    Presenter& presenter() const override { return dialogs; }
    UrlOpener& urlOpener() const override { return opener; }
    UserDefaults& defaults() const override { return UserDefaults::standardUserDefaults(); }
    WorkerRegistry& workers() override { return registry; }
    EditorContext& editorContext() const override { return context; }

    // The list tells the context which photos are ticked.
    void publishTicks()
    {
        PhotoList ticked;
        std::copy_if(photos.begin(), photos.end(), std::back_inserter(ticked), [](const auto& p) { return p->isSelected; });
        context.setCheckedPhotos(ticked);
    }
    bool isValidFormData() override { return formValid; }
    BatchController::FormRecords formRecords() override
    {
        ++recordsTaken;
        BatchController::FormRecords records { std::make_shared<MetaDataObject>(), std::make_shared<MetaDataObject>() };
        for (MetaDataObject* record : { records.settings.get(), records.onlyUpdated.get() }) {
            record->setField(MetadataField::Artist, u"Widget Artist"_s);
            record->setUpdated(MetadataField::Artist, true);
        }
        if (!formChanged)
            records.onlyUpdated = std::make_shared<MetaDataObject>();
        return records;
    }
    void showAlert(int tag, std::function<void(AlertButton)> answered) override
    {
        alerts.append({ tag, std::move(answered) });
    }
    void beforePlaceNames(std::function<void()> then) override { placeQuestions.append(std::move(then)); }

    QList<int> alertTags() const
    {
        QList<int> tags;
        for (const Alert& alert : alerts)
            tags.append(alert.tag);
        return tags;
    }
    void answer(AlertButton button)
    {
        QVERIFY(!alerts.isEmpty());
        const Alert alert = alerts.takeLast();
        alert.answered(button);
    }
    DestinationPanel* destinationPanel() const { return window.findChild<DestinationPanel*>(u"savePanel"_s); }
    void clickProcess() { QTest::mouseClick(bar->btnProcess(), Qt::LeftButton); }
    void click(const QString& name) { QTest::mouseClick(find<QAbstractButton>(&window, name), Qt::LeftButton); }
    BatchRunner& runner() { return controller->runner(); }
    SummaryWindow* summary() const { return controller->summaryWindow(); }
};

} // namespace

class BatchWidgetsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Editor> m_editor;

    QString sources() const { return m_dir->path() + u"/sources"_s; }
    QString output() const { return m_dir->path() + u"/Output Folder"_s; }

    // count ticked photos copied from the camera samples.
    PhotoList makePhotos(int count, const QString& folder = {})
    {
        // Cameras whose maker notes the writer keeps (it refuses to rewrite the GPS samples' Exif block).
        const QStringList samples
            = { u"camera/Pentax_K10D.jpg"_s, u"camera/Canon_40D.jpg"_s, u"camera/Nikon_D70.jpg"_s };
        PhotoList photos;
        for (int i = 0; i < count; ++i)
            photos.append(tickedCopy(samplesDir() + u'/' + samples[i % samples.size()],
                (folder.isEmpty() ? sources() : folder) + u"/photo-%1.jpg"_s.arg(i)));
        return photos;
    }

    // A ticked photo whose file is gone: a quick error of its own in a run.
    std::shared_ptr<PhotoFile> gonePhoto(int number) const
    {
        auto photo = std::make_shared<PhotoFile>();
        photo->fileName = u"gone-%1.jpg"_s.arg(number);
        photo->fileExtension = u"jpg"_s;
        photo->filePath = m_dir->path() + u"/gone/"_s + photo->fileName;
        photo->metadataObject = std::make_shared<MetaDataObject>();
        photo->metadataObjectOriginal = MetaDataObject::initWithObject(*photo->metadataObject);
        photo->isSelected = true;
        return photo;
    }

    // Process in keep mode into the test's output folder, through the panel.
    void processInto(const QString& folder)
    {
        Editor& e = *m_editor;
        e.page->model().setDestination(folder, false);
        e.clickProcess();
        QTRY_VERIFY(e.destinationPanel() && e.destinationPanel()->isVisible());
        e.click(u"btnSelectDestination"_s);
    }

    void waitForSummary() { QTRY_VERIFY(m_editor->summary() && m_editor->summary()->isVisible()); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        initializeExiv2();
        isolateUserFolders(m_home.path());
        QCoreApplication::setApplicationVersion(u"3.1.4"_s);
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_editor = std::make_unique<Editor>();
        m_editor->photos = makePhotos(3);
        m_editor->publishTicks();
        m_editor->runner().setJobs(2);
    }
    void cleanup()
    {
        m_editor.reset();
        m_dir.reset();
    }

    // ---- Process: every path to an alert ----

    void processWithAnInvalidFormShowsErrorsFoundAndNoPanel()
    {
        Editor& e = *m_editor;
        e.formValid = false;
        e.clickProcess();
        QCOMPARE(e.alertTags(), QList<int> { AlertErrorsFound });
        QVERIFY(!e.destinationPanel());
        QVERIFY(!e.bar->btnNext()->isEnabled());
        e.answer(AlertButtonOk);
        QVERIFY(e.bar->btnNext()->isEnabled());
    }

    // Names by place may go online: the editor's question about that comes before the
    // destination panel, and the run goes on whatever its answer.
    void processNamingByPlaceAsksTheEditorFirst()
    {
        Editor& e = *m_editor;
        e.clickProcess();
        QTRY_VERIFY(e.destinationPanel() && e.destinationPanel()->isVisible());
        QVERIFY(e.placeQuestions.isEmpty());
        e.click(u"btnCancelDestination"_s);

        e.page->btnOutputRenamingOptionTapped(true);
        e.page->model().setOption(OutputOptionsModel::Option::Location, true);
        e.clickProcess();
        QCOMPARE(e.placeQuestions.size(), 1);
        QVERIFY(!e.destinationPanel() || !e.destinationPanel()->isVisible());
        e.placeQuestions.takeFirst()();
        QTRY_VERIFY(e.destinationPanel() && e.destinationPanel()->isVisible());
        e.click(u"btnCancelDestination"_s);
    }

    void processWithRenamingButNoUsableOptionWarnsFirst()
    {
        Editor& e = *m_editor;
        e.page->btnOutputRenamingOptionTapped(true);
        e.clickProcess();
        QCOMPARE(e.alertTags(), QList<int> { AlertNoRenamingOption });
        // Yes goes on to the panel, keeping the names.
        e.answer(AlertButtonYes);
        QTRY_VERIFY(e.destinationPanel() && e.destinationPanel()->isVisible());
        e.click(u"btnCancelDestination"_s);

        e.page->btnEditingNameOptionTapped(OutputOptionsModel::Option::CustomName);
        e.clickProcess();
        QCOMPARE(e.alertTags().last(), int(AlertFilenameBlank));
        e.page->btnEditingNameOptionTapped(OutputOptionsModel::Option::CustomName);
        e.page->btnEditingNameOptionTapped(OutputOptionsModel::Option::PrefixSuffix);
        e.clickProcess();
        QCOMPARE(e.alertTags().last(), int(AlertPrefixOrSuffixBlank));
        QVERIFY(!e.runner().isRunning());
    }

    void renamingAsksToStartAfterThePanelOrSaysNothingChanged()
    {
        Editor& e = *m_editor;
        e.page->btnOutputRenamingOptionTapped(true);
        e.page->btnEditingNameOptionTapped(OutputOptionsModel::Option::Size);
        e.page->model().setDestination(output(), false);

        e.clickProcess();
        QTRY_VERIFY(e.destinationPanel());
        e.click(u"btnSelectDestination"_s);
        QTRY_COMPARE(e.alertTags(), QList<int> { AlertStartProcess });
        e.answer(AlertButtonNo);
        QVERIFY(!e.runner().isRunning());

        e.formChanged = false;
        e.clickProcess();
        QTRY_VERIFY(e.destinationPanel());
        e.click(u"btnSelectDestination"_s);
        QTRY_COMPARE(e.alertTags(), QList<int> { AlertNoChangesInExifData });
        // Yes on 111 checks the form again before it starts.
        e.formValid = false;
        e.answer(AlertButtonYes);
        QCOMPARE(e.alertTags(), QList<int> { AlertErrorsFound });
        QVERIFY(!e.runner().isRunning());
    }

    void keepingTheNamesStartsWithoutAskingAndShowsTheSummary()
    {
        Editor& e = *m_editor;
        bool sheetUp = false;
        connect(e.controller, &BatchController::runStarted, this,
            [&e, &sheetUp] { sheetUp = e.context.isSubWindowOpened() && e.controller->progressSheet()->isVisible(); });
        processInto(output());
        QVERIFY(e.alerts.isEmpty());
        waitForSummary();
        // The run asks the form for its records once, and the questions and the
        // snapshot share them.
        QCOMPARE(e.recordsTaken, 1);
        QVERIFY(sheetUp);
        QVERIFY(!e.context.isSubWindowOpened());
        QCOMPARE(e.completedRuns, 1);
        for (int i = 0; i < 3; ++i)
            QVERIFY(QFile::exists(output() + u"/photo-%1.jpg"_s.arg(i)));
        // The folder keeps its case and spaces all the way to the link.
        QCOMPARE(e.summary()->outputFolder(), output());
        e.click(u"btnOpenOutputFolder"_s);
        QCOMPARE(e.opener.opened, QList<QUrl> { QUrl::fromLocalFile(output()) });
        QVERIFY(e.bar->btnRestore()->isEnabled());
    }

    // ---- The destination panel ----

    void thePanelKeepsTheChosenFolderAsSpeltAndRefusesTheTrash()
    {
        Editor& e = *m_editor;
        const QString mixed = m_dir->path() + u"/Mixed Case/Out"_s;
        QDir().mkpath(mixed);
        e.clickProcess();
        QTRY_VERIFY(e.destinationPanel());
        DestinationPanel* panel = e.destinationPanel();
        QCOMPARE(
            find<QLineEdit>(panel, u"txtDestinationFolder"_s)->text(), OutputRenamingOptions::defaultOutputFolder());
        QVERIFY(QFileInfo(OutputRenamingOptions::defaultOutputFolder()).isDir());
        QCOMPARE(find<QWidget>(panel, u"btnKeepSourceInfo"_s)->toolTip(), DestinationPanel::kKeepSourceTip);

        e.click(u"btnChooseFolder"_s);
        QCOMPARE(e.dialogs.panels.size(), 1);
        QVERIFY(e.dialogs.panels.last().request.chooseDirectories);
        QVERIFY(!e.dialogs.panels.last().request.chooseFiles);
        e.dialogs.answerPanel({ mixed });
        e.click(u"btnChooseFolder"_s);
        const QString trash = m_home.path() + u"/data/Trash/files/old"_s;
        QDir().mkpath(trash);
        e.dialogs.answerPanel({ trash });
        QCOMPARE(panel->folder(), mixed);

        e.click(u"btnSelectDestination"_s);
        QCOMPARE(e.page->model().outputFolderLocationPath, mixed);
        QCOMPARE(find<QLineEdit>(e.page, u"txtPathImg"_s)->text(), mixed);
        QTRY_COMPARE(e.completedRuns, 1);
        QCOMPARE(e.runner().state().options.ouptputFolderPathName, mixed);
        QVERIFY(QFile::exists(mixed + u"/photo-0.jpg"_s));
    }

    // Return presses the panel's default button wherever its keyboard is, after Tab
    // has taken the keyboard off that button too.
    void returnInThePanelSelectsTheFolder()
    {
        Editor& e = *m_editor;
        QVERIFY(QTest::qWaitForWindowActive(&e.window));
        e.page->model().setDestination(output(), false);
        e.clickProcess();
        QTRY_VERIFY(e.destinationPanel() && e.destinationPanel()->isVisible());
        QTRY_COMPARE(QApplication::focusWidget(), find<QWidget>(e.destinationPanel(), u"btnSelectDestination"_s));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), find<QWidget>(e.destinationPanel(), u"txtDestinationFolder"_s));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_COMPARE(e.completedRuns, 1);
        QCOMPARE(e.runner().state().options.ouptputFolderPathName, output());
    }

    void thePagesFolderChooserSetsTheFolderTheNextPanelStartsIn()
    {
        Editor& e = *m_editor;
        const QString chosen = m_dir->path() + u"/Chosen"_s;
        QDir().mkpath(chosen);
        e.click(u"btnSelectFolder"_s);
        QCOMPARE(e.dialogs.panels.size(), 1);
        QCOMPARE(e.dialogs.panels.last().request.directory, OutputRenamingOptions::defaultOutputFolder());
        e.dialogs.answerPanel({ chosen });
        QCOMPARE(find<QLineEdit>(e.page, u"txtPathImg"_s)->text(), chosen);
        e.clickProcess();
        QTRY_VERIFY(e.destinationPanel());
        QCOMPARE(e.destinationPanel()->folder(), chosen);
        e.click(u"btnCancelDestination"_s);
        QVERIFY(!e.runner().isRunning());
        QVERIFY(e.bar->btnNext()->isEnabled());
    }

    void keepSourceFolderPathClosesThePanelAndAsksBeforeWritingInPlace()
    {
        Editor& e = *m_editor;
        e.clickProcess();
        QTRY_VERIFY(e.destinationPanel());
        e.click(u"btnSourceFolderCheck"_s);
        QTRY_VERIFY(!e.destinationPanel() || !e.destinationPanel()->isVisible());
        QCOMPARE(e.page->model().destiFolderCheck, 1);
        // Writing over the sources is never done without a question, even keeping the names.
        QTRY_COMPARE(e.alertTags(), QList<int> { AlertStartProcess });
        e.answer(AlertButtonYes);
        waitForSummary();
        QCOMPARE(e.runner().state().options.sourseFolderSelected, 1);
        QCOMPARE(e.runner().state().succeeded, 3);
        QVERIFY(QDir(output()).isEmpty() || !QDir(output()).exists());
        // One source folder: the link names it.
        QCOMPARE(e.summary()->outputFolder(), sources());
        QVERIFY(find<QWidget>(e.summary(), u"btnOpenOutputFolder"_s)->isVisible());
        QVERIFY(!find<QWidget>(e.summary(), u"txtDestinationSourceFolder"_s)->isVisible());
    }

    // ---- The run: progress, stop, low space, restore, quitting ----

    void theProgressSheetCountsThePhotosAndTheLinesFollow()
    {
        Editor& e = *m_editor;
        QSignalSpy finished(e.controller, &BatchController::runFinished);
        processInto(output());
        QTRY_COMPARE(finished.size(), 1);
        ProcessProgressSheet* sheet = e.controller->progressSheet();
        QCOMPARE(sheet->countsText(), u"3 of 3 photos processed"_s);
        QCOMPARE(find<GRProgressIndicator>(sheet, u"progressIndicator"_s)->doubleValue(), 100.0);
        QVERIFY(!find<QLabel>(sheet, u"lblCurrntFilePath"_s)->text().isEmpty());
        QVERIFY(!sheet->isVisible());
        const QString batchLine = e.bar->lblBatchInfo()->text();
        QVERIFY2(batchLine.contains(u"#0038af\">3</span>"_s), qPrintable(batchLine));
        const QString bottom = e.bar->lblProcessInfoBottom()->text();
        QVERIFY2(bottom.contains(u"100 %"_s) && bottom.contains(u"Error"_s), qPrintable(bottom));
    }

    // Photos finish faster than the sheet is drawn: the bar's lines are drawn with the
    // sheet's counts, from the same report, so the two never tell different counts.
    void theProgressSheetAndTheBarTellOneCount()
    {
        Editor& e = *m_editor;
        e.photos = makePhotos(6);
        e.publishTicks();
        const auto processedOnBar = [&e] {
            const QString text = e.bar->lblBatchInfo()->text().remove(QRegularExpression(u"<[^>]*>"_s));
            return QRegularExpression(u"Processed: (\\d+)"_s).match(text).captured(1).toLongLong();
        };
        QStringList differing;
        int compared = 0;
        const auto compare = [&] {
            ProcessProgressSheet* sheet = e.controller->progressSheet();
            if (!sheet)
                return; // the run's first report comes before its sheet
            ++compared;
            const qint64 onSheet = sheet->countsText().section(u' ', 0, 0).toLongLong();
            if (onSheet != processedOnBar())
                differing << u"%1 / %2"_s.arg(onSheet).arg(processedOnBar());
        };
        // Once the controller has taken each report in.
        QObject::connect(&e.runner(), &BatchRunner::progressChanged, e.controller, compare);
        QSignalSpy finished(e.controller, &BatchController::runFinished);
        processInto(output());
        QTRY_COMPARE(finished.size(), 1);
        compare();
        QCOMPARE(e.runner().state().succeeded, 6);
        QVERIFY(compared > 2);
        QVERIFY2(differing.isEmpty(), qPrintable(differing.join(u", "_s)));
        QCOMPARE(processedOnBar(), 6);
    }

    // On a narrow window the two lines go one above the other instead of over each other.
    void theBottomLinesNeverOverlap()
    {
        // Inside a window the bar is given the window's width, whatever its texts need.
        QWidget window;
        window.resize(1600, 300);
        auto* bar = new BatchBottomBar(&window);
        bar->setProcessInfoAtBottm({u"Process Completed: 100 %  |  Error reported: 0  |  Time elapsed: 12 seconds"_s, {}});
        bar->setBatchInfo({u"Batch Count: 1  |  Photos Processed: 2000  |  Photos Skipped: 0"_s, {}});
        window.show();
        for (const int width : {1600, 500}) {
            bar->setGeometry(0, 0, width, 200);
            QCoreApplication::processEvents();
            const QRect left = bar->lblProcessInfoBottom()->geometry();
            const QRect right = bar->lblBatchInfo()->geometry();
            QVERIFY2(!left.intersects(right), qPrintable(u"width %1"_s.arg(width)));
            QCOMPARE(left.top() == right.top(), width == 1600);
        }
    }

    // Photos start faster than anyone reads: the sheet shows the first at once, then
    // at most one an interval, and always the newest in the end.
    void theProgressSheetShowsOnePhotoAnIntervalAndTheNewestInTheEnd()
    {
        ProcessProgressSheet sheet;
        sheet.startRun(3, false);
        auto* path = find<QLabel>(&sheet, u"lblCurrntFilePath"_s);
        sheet.setCurrentPhoto(u"/photos/a.jpg"_s);
        QCOMPARE(path->text(), u"/photos/a.jpg"_s);
        sheet.setCurrentPhoto(u"/photos/b.jpg"_s);
        sheet.setCurrentPhoto(u"/photos/c.jpg"_s);
        QCOMPARE(sheet.currentPhoto(), u"/photos/c.jpg"_s);
        QCOMPARE(sheet.shownPhoto(), u"/photos/a.jpg"_s);
        QCOMPARE(path->text(), u"/photos/a.jpg"_s);
        QTRY_COMPARE(sheet.shownPhoto(), u"/photos/c.jpg"_s);
        QCOMPARE(path->text(), u"/photos/c.jpg"_s);

        // A new run starts with nothing shown, and its first photo shows at once.
        sheet.startRun(1, false);
        QVERIFY(path->text().isEmpty());
        sheet.setCurrentPhoto(u"/photos/d.jpg"_s);
        QCOMPARE(path->text(), u"/photos/d.jpg"_s);
    }

    // The counts and the path are drawn together, so the path shown is always the
    // photo that started when the count shown was reached.
    void theProgressSheetsPathKeepsPaceWithItsCount()
    {
        ProcessProgressSheet sheet;
        sheet.startRun(6, false);
        const auto shownTogether = [&sheet] {
            const QString photo = sheet.shownPhoto();
            return sheet.countsText() == u"%1 of 6 photos processed"_s.arg(photo.mid(8, 1));
        };
        // Photo n starts as n photos are done, faster than the sheet is drawn.
        for (int n = 0; n < 6; ++n) {
            sheet.setCurrentPhoto(u"/photos/%1.jpg"_s.arg(n));
            sheet.setProgress(n, 6, 0);
            QVERIFY2(shownTogether(), qPrintable(sheet.shownPhoto() + u" / "_s + sheet.countsText()));
        }
        QTRY_COMPARE(sheet.shownPhoto(), u"/photos/5.jpg"_s);
        QVERIFY(shownTogether());
        // The last photo done: its count shows at once.
        sheet.setProgress(6, 6, 0);
        sheet.showPlaceholder();
        QCOMPARE(sheet.countsText(), u"6 of 6 photos processed"_s);

        // Results that keep the main thread busy past the interval hold its timer back:
        // the sheet keeps pace with them all the same.
        const qint64 runSize = 1'000'000'000;
        sheet.startRun(runSize, false);
        QElapsedTimer busy;
        busy.start();
        qint64 handled = 0;
        while (!busy.hasExpired(3 * ProcessProgressSheet::kPhotoIntervalMs)) {
            sheet.setCurrentPhoto(u"/photos/%1.jpg"_s.arg(handled));
            sheet.setProgress(++handled, runSize, 0);
        }
        const qint64 shown = sheet.countsText().section(u' ', 0, 0).toLongLong();
        QVERIFY2(shown > handled / 3, qPrintable(sheet.countsText() + u" / "_s + QString::number(handled)));
    }

    // A file whose pixel size cannot be read shows its type's icon as the list
    // does, not the placeholder of a photo still to come.
    void theProgressSheetShowsTheTypeIconOfAFileWithoutPixels()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(u"no-pixels.jpg"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a picture") > 0);
        file.close();
        ProcessProgressSheet sheet;
        sheet.startRun(1, false);
        auto* preview = find<QLabel>(&sheet, u"imgvwCurrentPhoto"_s);
        const QImage placeholder = preview->pixmap().toImage();
        const QImage typeIcon
            = fileTypeImage(FileTypeIcon::iconNames(path), QSize(64, 64), sheet.devicePixelRatioF()).toImage();
        QVERIFY(!typeIcon.isNull() && typeIcon != placeholder);
        sheet.setCurrentPhoto(path);
        QTRY_COMPARE(preview->pixmap().toImage(), typeIcon);
    }

    // A path longer than a line keeps the bar and the buttons in place: the folder on
    // one line, the file's name on the next, each shortened in the middle to fit.
    void aLongPathKeepsTheProgressSheetWholeAndShowsTheFileName()
    {
        ProcessProgressSheet sheet;
        sheet.startRun(374, false);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        const QSize before = sheet.size();
        const QString name = u"IMG_20240115_184207_HDR.jpg"_s;
        const QString folder = u"/home/someone/Pictures/Holidays 2024/Kraków and the Tatra mountains in the "
                               u"winter of that year/day three of the trip/"_s;
        sheet.setCurrentPhoto(folder + name);
        sheet.setProgress(86, 374, 0);
        settleEvents();
        auto* path = find<QLabel>(&sheet, u"lblCurrntFilePath"_s);
        const QStringList lines = path->text().split(u'\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.last(), name);
        QVERIFY(lines.first().startsWith(u"/home/"_s) && lines.first().contains(u'…'));
        for (const QString& line : lines)
            QVERIFY(path->fontMetrics().horizontalAdvance(line) <= path->contentsRect().width());
        QVERIFY(path->height() >= 2 * path->fontMetrics().lineSpacing());
        QCOMPARE(path->toolTip(), folder + name);
        QCOMPARE(sheet.size(), before);
        auto* bar = find<GRProgressIndicator>(&sheet, u"progressIndicator"_s);
        QCOMPARE(bar->height(), bar->sizeHint().height());
        QVERIFY(path->mapTo(&sheet, QPoint()).y() > bar->mapTo(&sheet, QPoint()).y() + bar->height());
        QVERIFY(sheet.rect().contains(QRect(path->mapTo(&sheet, QPoint()), path->size())));
    }

    // Escape and the close button are the Stop button: one stop, said on the button,
    // and the sheet stays up until the run has ended.
    void escapeOnTheProgressSheetStopsLikeTheButtonAndKeepsItUp()
    {
        ProcessProgressSheet sheet;
        sheet.startRun(3, false);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        QSignalSpy stops(&sheet, &ProcessProgressSheet::stopRequested);
        QTest::keyClick(&sheet, Qt::Key_Escape);
        sheet.close();
        QCOMPARE(stops.size(), 1);
        QVERIFY(sheet.isVisible());
        auto* stop = find<QPushButton>(&sheet, u"btnStopProcess"_s);
        QVERIFY(!stop->isEnabled());
        QCOMPARE(stop->text(), u"Stopping…"_s);
        sheet.done(QDialog::Accepted);
        QVERIFY(!sheet.isVisible());
    }

    // A big batch's photos are copied for the run over a few turns of the event loop:
    // meanwhile the batch counts as processing and neither Process nor a second Yes
    // starts anything; then the run starts with every ticked photo.
    void aBigBatchIsPreparedOverSomeTurnsAndNothingElseStartsMeanwhile()
    {
        Editor& e = *m_editor;
        const int added = 2 * BatchController::kSnapshotChunk + 1;
        for (int i = 0; i < added; ++i)
            e.photos.append(gonePhoto(i));
        QVERIFY(QDir().mkpath(output()));
        e.page->model().setDestination(output(), false);
        QSignalSpy started(e.controller, &BatchController::runStarted);
        e.controller->startProcessBtnYesTapped();
        QVERIFY(e.controller->isProcessing());
        QVERIFY(!e.runner().isRunning());
        e.clickProcess();
        e.controller->startProcessBtnYesTapped();
        QVERIFY(!e.destinationPanel());
        QTRY_COMPARE(started.size(), 1);
        QCOMPARE(e.runner().state().runSize, 3 + added);
        waitForSummary();
        QCOMPARE(e.runner().state().succeeded, 3);
        QCOMPARE(e.runner().state().failed, added);
        QCOMPARE(started.size(), 1);
    }

    void stopEndsTheRunAfterThePhotosInHand()
    {
        Editor& e = *m_editor;
        e.photos = makePhotos(8);
        e.runner().setJobs(1);
        // From the third photo on, the run waits until the stop button was
        // clicked, so the click always finds photos still to be handed out.
        const auto clicked = std::make_shared<TestGate>(2);
        const TestGate::ScopedOpening opening(clicked);
        e.runner().setFreeSpaceProbe([clicked](const QString&) {
            clicked->pass();
            return std::optional<qint64>(qint64(1) << 40);
        });
        connect(&e.runner(), &BatchRunner::photoStarted, e.controller, [&e, clicked] {
            if (auto* stop = e.controller->progressSheet()->findChild<QPushButton*>(u"btnStopProcess"_s);
                stop && stop->isEnabled()) {
                stop->click();
                clicked->open();
            }
        });
        processInto(output());
        waitForSummary();
        QVERIFY(e.runner().state().handled < 8);
        QCOMPARE(find<QLabel>(e.summary(), u"lblSummaryTitle"_s)->text(), u"Batch Process Stopped"_s);
        QCOMPARE(find<QLabel>(e.summary(), u"lblPhotoSkippedSummary"_s)->text(),
            QString::number(e.runner().state().skipped()));
    }

    void lowSpaceClosesTheSheetAlertsAndTheSummaryWaitsForOk()
    {
        Editor& e = *m_editor;
        e.runner().setFreeSpaceProbe([](const QString&) { return std::optional<qint64>(1024); });
        processInto(output());
        QTRY_COMPARE(e.alertTags(), QList<int> { AlertNotEnoughSpace });
        QVERIFY(!e.context.isSubWindowOpened());
        QTRY_VERIFY(!e.runner().isRunning());
        QVERIFY(!e.summary());
        e.answer(AlertButtonOk);
        waitForSummary();
        QCOMPARE(e.runner().state().handled, 1);
    }

    void restoreAsksAndRewritesExactlyThePhotosTheLastRunWrote()
    {
        Editor& e = *m_editor;
        processInto(output());
        waitForSummary();
        e.click(u"btnCloseSummary"_s);
        QVERIFY(e.bar->btnRestore()->isEnabled());
        // Ticks changed since: the restore still takes the photos the run wrote.
        e.photos[0]->isSelected = false;
        e.photos.append(makePhotos(1, m_dir->path() + u"/later"_s));
        e.click(u"btnRestore"_s);
        QCOMPARE(e.alertTags(), QList<int> { AlertRestoreExifData });
        QSignalSpy started(e.controller, &BatchController::runStarted);
        e.answer(AlertButtonYes);
        QCOMPARE(started.size(), 1);
        QCOMPARE(started.first().first().toBool(), true);
        QCOMPARE(e.runner().state().runSize, 3);
        QVERIFY(!e.bar->btnRestore()->isEnabled());
        waitForSummary();
        QVERIFY(!e.bar->btnRestore()->isEnabled());
    }

    void quittingDuringARunStopsItAndWaitsThroughTheOneWaitingPlace()
    {
        Editor& e = *m_editor;
        e.photos = makePhotos(6);
        int registered = -1;
        bool runningAfterStop = true;
        // The application ends while the run is in progress.
        connect(e.controller, &BatchController::runStarted, this, [&] {
            registered = e.registry.count();
            e.registry.stopAll();
            runningAfterStop = e.runner().isRunning();
        });
        processInto(output());
        QTRY_COMPARE(registered, 1);
        QVERIFY(!runningAfterStop);
        QCOMPARE(e.completedRuns, 1);
        QCOMPARE(e.registry.count(), 0);
    }

    void resetHandsTheFormBackAndDisablesItself()
    {
        Editor& e = *m_editor;
        e.context.setFormEdited(true);
        QVERIFY(e.bar->btnReset()->isEnabled());
        e.click(u"btnReset"_s);
        QCOMPARE(e.formResets, 1);
        QVERIFY(!e.bar->btnReset()->isEnabled());
    }

    // Each button of the bar has one rule over the editor's context.
    void theBarsButtonsFollowTheEditorContext()
    {
        Editor& e = *m_editor;
        const auto states = [&e] {
            return QList<bool> { e.bar->btnProcess()->isEnabled(), e.bar->btnNext()->isEnabled(),
                e.bar->btnReset()->isEnabled(), e.bar->btnRestore()->isEnabled() };
        };
        QCOMPARE(states(), (QList<bool> { true, true, false, false }));
        e.context.setFormEdited(true);
        QCOMPARE(states(), (QList<bool> { true, true, true, false }));
        e.context.setVeiled(true);
        QCOMPARE(states(), (QList<bool> { false, false, true, false }));
        e.context.setVeiled(false);
        e.context.setBusy(true);
        QCOMPARE(states(), (QList<bool> { true, false, false, false }));
        e.context.setBusy(false);
        e.context.setRenamingPageShown(true);
        QCOMPARE(states(), (QList<bool> { true, false, true, false }));
        e.context.setRenamingPageShown(false);
        e.context.setCheckedPhotos({});
        QCOMPARE(states(), (QList<bool> { false, false, true, false }));
    }

    // ---- The summary ----

    void theSummaryShowsSuccessErrorsWarningsAndSkippedPhotos_data()
    {
        QTest::addColumn<QList<int>>("statuses");
        QTest::addColumn<qint64>("skipped");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("height");
        QTest::newRow("success") << QList<int> {} << qint64(0) << u"Batch Process Finished"_s << QString() << 250;
        QTest::newRow("errors") << QList<int> { 1, 2 } << qint64(0) << u"Batch Process Finished"_s
                                << u"Errors Found(2) Warning Found(0)"_s << 450;
        QTest::newRow("warnings") << QList<int> { 7, 10, 11, 12 } << qint64(0) << u"Batch Process Finished"_s
                                  << u"Error Found(1) Warnings Found(3)"_s << 450;
        QTest::newRow("skipped") << QList<int> {} << qint64(2) << u"Batch Process Stopped"_s << QString() << 250;
    }
    void theSummaryShowsSuccessErrorsWarningsAndSkippedPhotos()
    {
        QFETCH(QList<int>, statuses);
        QFETCH(qint64, skipped);
        QFETCH(QString, title);
        QFETCH(QString, line);
        QFETCH(int, height);
        BatchRunState state;
        state.runSize = 5;
        state.startedAt = QDateTime::fromString(u"2026-01-01T10:00:00Z"_s, Qt::ISODate);
        state.endedAt = state.startedAt.addSecs(75);
        state.options.ouptputFolderPathName = output();
        QList<SummaryRow> rows;
        qint64 warnings = 0;
        for (int status : statuses) {
            PhotoFile record;
            record.filePath = sources() + u"/photo.nef"_s;
            record.fileExtension = u"nef"_s;
            record.processStatus = status;
            record.processMsg = u"message %1"_s.arg(status);
            rows.append(BatchTexts::summaryRow(record));
            if (status >= 10)
                ++warnings;
            else
                ++state.failed;
        }
        state.succeeded = state.runSize - state.failed - skipped;
        state.handled = state.succeeded + state.failed;

        SummaryWindow window;
        window.setSummmaryInfo(BatchTexts::summary(state, warnings, QDateTime::currentDateTimeUtc()), rows);
        window.show();
        QCOMPARE(find<QLabel>(&window, u"lblSummaryTitle"_s)->text(), title);
        QCOMPARE(find<QLabel>(&window, u"lblBatchCountSummary"_s)->text(), u"5"_s);
        QCOMPARE(find<QLabel>(&window, u"lblPhotoProcessedSummary"_s)->text(), QString::number(state.succeeded));
        QCOMPARE(find<QLabel>(&window, u"lblPhotoSkippedSummary"_s)->text(), QString::number(skipped));
        QCOMPARE(find<QLabel>(&window, u"lblTimeElapsedSummary"_s)->text(), BatchTexts::elapsedText(state, {}).trimmed());
        QCOMPARE(window.height(), height);
        auto* errors = find<QLabel>(&window, u"lblErrorsSummary"_s);
        QCOMPARE(errors->isVisible(), !line.isEmpty());
        QCOMPARE(find<QWidget>(&window, u"vwErrorTable"_s)->isVisible(), !line.isEmpty());
        if (!line.isEmpty())
            QCOMPARE(errors->text(), line);
        // The table is a view over the rows, name then message, each with its tool tip.
        SummaryTableModel* model = window.tableModel();
        QCOMPARE(model->rowCount(), statuses.size());
        QCOMPARE(find<QTableView>(&window, u"tblErrorSummary"_s)->model(), model);
        for (int row = 0; row < statuses.size(); ++row) {
            const QModelIndex message = model->index(row, SummaryTableModel::MessageColumn);
            QCOMPARE(message.data().toString(), rows[row].message);
            QCOMPARE(message.data(Qt::ToolTipRole).toString(), rows[row].message);
            QVERIFY(!model->index(row, SummaryTableModel::NameColumn).data(Qt::DecorationRole).isNull());
        }
    }

    // A long run's summary rows are made a slice of photos per turn of the event
    // loop; the summary then opens with every error, then every warning, in the
    // run's order, however the slices cut them, and opened twice it has them once.
    void aLongRunsSummaryIsMadeOverTurnsWithEveryRowInOrder()
    {
        Editor& e = *m_editor;
        for (const int at : { 1, 3 })
            e.photos.insert(at, gonePhoto(at));
        e.publishTicks();
        // Named by place: the photos without a position each bring a warning.
        e.page->btnOutputRenamingOptionTapped(true);
        e.page->model().setOption(OutputOptionsModel::Option::Location, true);
        e.controller->setSummaryChunk(2);
        e.page->model().setDestination(output(), false);
        e.clickProcess();
        QCOMPARE(e.placeQuestions.size(), 1);
        e.placeQuestions.takeFirst()();
        QTRY_VERIFY(e.destinationPanel() && e.destinationPanel()->isVisible());
        e.click(u"btnSelectDestination"_s);
        QTRY_VERIFY(!e.alerts.isEmpty());
        e.answer(AlertButtonYes);
        waitForSummary();
        const auto names = [&e] {
            QStringList names;
            for (const SummaryRow& row : e.summary()->tableModel()->rows())
                names << QFileInfo(row.name).fileName() + u' ' + row.icon;
            return names;
        };
        const QStringList expected = { u"gone-1.jpg errorFile.png"_s, u"gone-3.jpg errorFile.png"_s,
            u"photo-0.jpg warningFile.png"_s, u"photo-1.jpg warningFile.png"_s, u"photo-2.jpg warningFile.png"_s };
        QCOMPARE(names(), expected);
        QCOMPARE(find<QLabel>(e.summary(), u"lblErrorsSummary"_s)->text(), u"Errors Found(2) Warnings Found(3)"_s);

        e.click(u"btnCloseSummary"_s);
        e.controller->addSummaryWindow();
        e.controller->addSummaryWindow();
        QVERIFY(!e.summary()->isVisible());
        waitForSummary();
        QCOMPARE(names(), expected);
    }

    void aResizedSummaryKeepsItsTitleAndCountsTogether()
    {
        BatchRunState state;
        state.runSize = state.succeeded = state.handled = 3;
        SummaryWindow window;
        window.setSummmaryInfo(BatchTexts::summary(state, 0, QDateTime::currentDateTimeUtc()), {});
        window.show();
        auto* title = find<QLabel>(&window, u"lblSummaryTitle"_s);
        auto* count = find<QLabel>(&window, u"lblBatchCountSummary"_s);
        const int gap = count->y() - title->y();
        window.resize(window.width() + 300, window.height() + 400);
        QTRY_COMPARE(window.height() > 600, true);
        QTRY_COMPARE(window.findChild<QPushButton*>(u"btnCloseSummary"_s)->geometry().bottom() > 600, true);
        QCOMPARE(count->y() - title->y(), gap);
    }

    void theSummaryWrapsTheRowsItShowsAndCopiesEveryRowItHolds()
    {
        // Even rows one line, odd rows a message that wraps.
        QList<SummaryRow> rows;
        for (int i = 0; i < 3000; ++i) {
            SummaryRow row;
            row.name = u"/photos/%1.jpg"_s.arg(i);
            row.icon = u"warningFile.png"_s;
            row.message = i % 2 ? u"A long message that cannot stand on one line of the table: "_s.repeated(4)
                                : u"short"_s;
            rows.append(row);
        }
        BatchRunState state;
        state.runSize = state.failed = state.handled = 3000;
        SummaryWindow window;
        window.setSummmaryInfo(BatchTexts::summary(state, 0, QDateTime::currentDateTimeUtc()), rows);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* table = find<QTableView>(&window, u"tblErrorSummary"_s);
        const int oneLine = table->verticalHeader()->defaultSectionSize();
        QTRY_VERIFY(table->rowHeight(1) > 2 * table->rowHeight(0));
        // Rows out of sight are not laid out.
        QCOMPARE(table->rowHeight(2999), oneLine);

        // A wider window gives the shown rows fewer lines.
        const int narrow = table->rowHeight(1);
        window.resize(window.width() + 500, window.height());
        QTRY_VERIFY(table->rowHeight(1) < narrow);

        // The end of the list shows the last row whole, wrapped.
        table->setFocus();
        QTest::keyClick(table, Qt::Key_End, Qt::ControlModifier);
        QTRY_VERIFY(table->rowHeight(2999) > table->rowHeight(2998));
        const QModelIndex last = window.tableModel()->index(2999, SummaryTableModel::MessageColumn);
        QTRY_VERIFY(table->visualRect(last).bottom() < table->viewport()->height());
        QVERIFY(table->visualRect(last).top() >= 0);

        QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
        const QStringList lines = QGuiApplication::clipboard()->text().split(u'\n');
        QCOMPARE(lines.size(), 3000);
        QCOMPARE(lines[0], u"/photos/0.jpg\tshort"_s);
        QCOMPARE(lines[2999], u"/photos/2999.jpg\t"_s + rows[2999].message);
    }

    void theSixthSummaryClosingFromAnEmptyStoreBringsTheRatePrompt()
    {
        clearUserDefaults();
        AppDelegate app;
        Editor& e = *m_editor;
        e.whenSummaryClosed = [&app] { app.countSummaryClosing(); };
        int prompts = 0;
        NotificationCenter::defaultCenter().addObserver(
            this, Notifications::showRatePopup, [&prompts](const Notification&) { ++prompts; });
        processInto(output());
        waitForSummary();
        for (int closing = 1; closing <= 6; ++closing) {
            if (closing > 1)
                e.controller->addSummaryWindow();
            QVERIFY(e.summary()->isVisible());
            e.click(u"btnCloseSummary"_s);
            QVERIFY(!e.summary()->isVisible());
        }
        QTRY_COMPARE(prompts, 1);
        NotificationCenter::defaultCenter().removeObserver(this);
        QCOMPARE(app.defaults().integerForKey(u"rateMeCounter"_s), std::optional<int>(1));
    }

    // ---- The renaming page ----

    void eachRenamingOptionStandsOnTheLineOfItsField()
    {
        OutputOptionsPage* page = m_editor->page;
        QVERIFY(QTest::qWaitForWindowExposed(&m_editor->window));
        const auto middle = [page](const QWidget* widget) { return widget->mapTo(page, widget->rect().center()).y(); };
        const auto caption = [page](const QString& text) {
            const auto labels = page->findChildren<QLabel*>();
            const auto found = std::find_if(labels.begin(), labels.end(), [&](QLabel* l) { return l->text() == text; });
            return found == labels.end() ? nullptr : *found;
        };
        const std::tuple<QString, QString, QString> options[] = {
            { u"btnAddEXIFReplaceFilename"_s, u"Custom name"_s, u"txtEXIFCustomNameShow"_s },
            { u"btnAddEXIFString"_s, u"Prefix / Suffix"_s, u"txtAddPrefixString"_s },
            { u"btnAddEXIFDateTime"_s, u"Date"_s, u"txtEXIFas"_s },
            { u"btnAddEXIFLocation"_s, u"Location"_s, u"btnPlaceGet"_s },
            { u"btnAddEXIFAppendWidthHeight"_s, u"Pixel size"_s, u"txtEXIFWidthHeightShow"_s },
        };
        for (const auto& [box, text, field] : options) {
            QLabel* label = caption(text);
            QVERIFY2(label, qPrintable(text));
            const int line = middle(find<QWidget>(page, field));
            QVERIFY2(std::abs(middle(label) - line) <= 1, qPrintable(text));
            QVERIFY2(std::abs(middle(find<QWidget>(page, box)) - line) <= 1, qPrintable(text));
        }
    }

    void theRenamingPageFollowsTheOptionRules()
    {
        Editor& e = *m_editor;
        OutputOptionsPage* page = e.page;
        auto* custom = find<IMGButton>(page, u"btnAddEXIFReplaceFilename"_s);
        auto* location = find<IMGButton>(page, u"btnAddEXIFLocation"_s);
        auto* place = find<IMGButton>(page, u"btnPlaceGet"_s);
        QVERIFY(!custom->isEnabled() && !find<QWidget>(page, u"btnRefresh"_s)->isEnabled());
        QCOMPARE(find<IMGButton>(page, u"btnKeepOriginalFileName"_s)->currentImageName(), u"radio_btn_sel copy"_s);

        e.click(u"btnEditOriginalName"_s);
        QVERIFY(custom->isEnabled() && !place->isEnabled());
        QCOMPARE(find<IMGButton>(page, u"btnEditOriginalName"_s)->currentImageName(), u"radio_btn_sel copy"_s);
        e.click(u"btnAddEXIFReplaceFilename"_s);
        QCOMPARE(custom->currentImageName(), u"chckbox_sel copy"_s);
        auto* name = find<QLineEdit>(page, u"txtEXIFCustomNameShow"_s);
        QVERIFY(!name->isReadOnly());
        // The typing rules hold in the field: no "/" and no leading space in a name.
        QTest::keyClicks(name, u" Trip/2026"_s);
        QCOMPARE(name->text(), u"Trip2026"_s);
        QCOMPARE(page->getOutputFileRenamingSetting().replaceFilename.customNameValue, u"Trip2026"_s);

        e.click(u"btnAddEXIFLocation"_s);
        QVERIFY(place->isEnabled());
        QCOMPARE(find<QLineEdit>(page, u"txtEXIFLocationShow"_s)->text(), u"{Place}_{City}_{State}_{Country}"_s);
        e.click(u"btnPlaceGet"_s);
        e.click(u"btnStateProvinceGet"_s);
        QCOMPARE(find<QLineEdit>(page, u"txtEXIFLocationShow"_s)->text(), u"{City}_{Country}"_s);
        e.click(u"btnCityGet"_s);
        e.click(u"btnCountryGet"_s);
        QCOMPARE(location->state(), 0);
        QVERIFY(!place->isEnabled());
        QCOMPARE(
            find<QLineEdit>(page, u"txtEXIFLocationShow"_s)->placeholderText(), u"{Place}_{City}_{State}_{Country}"_s);

        e.click(u"btnAddEXIFAppendWidthHeight"_s);
        QCOMPARE(find<QLineEdit>(page, u"txtEXIFWidthHeightShow"_s)->text(), u"Filename_{Width}X{Height}"_s);

        // Keep resets the page.
        e.click(u"btnKeepOriginalFileName"_s);
        QCOMPARE(custom->state(), 0);
        QVERIFY(name->text().isEmpty() && name->isReadOnly());
        QCOMPARE(page->getOutputFileRenamingSetting().renamingOptionIndex, 0);
    }

    void theDateListsOfferListsTwentyFiveToTwentySeven()
    {
        Editor& e = *m_editor;
        OutputOptionsPage* page = e.page;
        struct Opened {
            int type;
            QStringList rows;
            QSize size;
        };
        // Each list opens in the editor's one attached list; the test notes it and
        // closes it again, as a press outside would.
        QList<Opened> opened;
        AttachedPopupTable& popup = e.context.attachedPopup();
        e.click(u"btnEditOriginalName"_s);
        QVERIFY(!find<QWidget>(page, u"btnAddEXIFDateTimeAsOption"_s)->isEnabled());
        e.click(u"btnAddEXIFDateTime"_s);
        for (const char* name :
            { "btnAddEXIFDateTimeAsOption", "btnAddEXIFDateTimeTypeOption", "btnAddEXIFDateTimeFormatOption" }) {
            e.click(QString::fromLatin1(name));
            QVERIFY(popup.isOpen() && page->isListOpen());
            QStringList rows;
            for (int row = 0; row < popup.table()->count(); ++row)
                rows.append(popup.table()->item(row)->text());
            opened.append({ popup.currentType(), rows, popup.table()->size() });
            popup.dismissPanel();
        }
        QCOMPARE(opened.size(), 3);
        QCOMPARE(opened[0].type, 25);
        QCOMPARE(opened[0].rows, (QStringList { u"Prefix"_s, u"Suffix"_s }));
        QCOMPARE(opened[0].size.height(), 68);
        QCOMPARE(opened[1].type, 26);
        QCOMPARE(opened[1].rows.size(), 3);
        QCOMPARE(opened[2].type, 27);
        QCOMPARE(opened[2].rows.size(), 20);
        QCOMPARE(opened[2].size.height(), 186);
        e.click(u"btnAddEXIFDateTimeAsOption"_s);
        popup.choose(1);
        e.click(u"btnAddEXIFDateTimeTypeOption"_s);
        popup.choose(2);
        e.click(u"btnAddEXIFDateTimeFormatOption"_s);
        popup.choose(19);
        QVERIFY(!popup.isOpen());
        QCOMPARE(find<QLineEdit>(page, u"txtEXIFas"_s)->text(), u"Suffix"_s);
        QCOMPARE(find<QLineEdit>(page, u"txtEXIFtype"_s)->text(), u"Modify Date"_s);
        QCOMPARE(find<QLineEdit>(page, u"txtEXIFformat"_s)->text(), u"YYYY-MM-DD_HH-MM-SS"_s);
        const OutputRenamingOptions options = page->getOutputFileRenamingSetting();
        QCOMPARE(options.addEXIFDateTime.asValue, 1);
        QCOMPARE(options.addEXIFDateTime.typeValue, 2);
        QCOMPARE(options.addEXIFDateTime.formatValue, 19);
        // Unticking the date puts its fields back.
        e.click(u"btnAddEXIFDateTime"_s);
        QCOMPARE(find<QLineEdit>(page, u"txtEXIFformat"_s)->text(), u"DDMMYYYY"_s);
    }

    void aDateListClosesOnAChoiceAndThePositionButtonClosesItsOwn()
    {
        Editor& e = *m_editor;
        OutputOptionsPage* page = e.page;
        e.click(u"btnEditOriginalName"_s);
        e.click(u"btnAddEXIFDateTime"_s);
        e.click(u"btnAddEXIFDateTimeAsOption"_s);
        QVERIFY(page->isListOpen());
        // The position button again closes its list without a choice.
        page->btnEXIFDateAsTapped(602);
        QVERIFY(!page->isListOpen());

        e.click(u"btnAddEXIFDateTimeTypeOption"_s);
        QListView* table = e.context.attachedPopup().table();
        QVERIFY(page->isListOpen());
        QTRY_VERIFY(table->isVisible());
        const QModelIndex modify = table->model()->index(2, 0);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(modify).center());
        QVERIFY(!page->isListOpen());
        QCOMPARE(page->model().selectedDateType, 2);
    }

    void nextOpensThePageAndLeavingItShowsTheNoticeWhileRenamingIsInForce()
    {
        Editor& e = *m_editor;
        e.click(u"btnNext"_s);
        QVERIFY(e.pageShown);
        QVERIFY(!e.bar->btnNext()->isEnabled());
        e.click(u"btnEditOriginalName"_s);
        e.click(u"btnAddEXIFString"_s);
        QSignalSpy alerts(e.page, &OutputOptionsPage::alertRequested);
        e.click(u"btnBackToProperties"_s);
        QCOMPARE(e.alertTags(), QList<int> { AlertPrefixOrSuffixBlank });
        QVERIFY(e.pageShown);
        QTest::keyClicks(find<QLineEdit>(e.page, u"txtAddPrefixString"_s), u"A_"_s);
        e.click(u"btnBackToProperties"_s);
        QVERIFY(!e.pageShown);
        QVERIFY(e.bar->vwRenameToast()->isVisibleTo(e.bar));
        QCOMPARE(e.bar->btnNext()->currentImageName(), u"rename_option_Edit_normal"_s);
        QVERIFY(e.bar->btnNext()->isEnabled());
        e.click(u"btnCloseOnToast"_s);
        QVERIFY(!e.bar->vwRenameToast()->isVisibleTo(e.bar));
        QCOMPARE(e.bar->btnNext()->currentImageName(), u"rename_option_normal"_s);
        QCOMPARE(e.page->model().imageRenamingOptions, 0);
    }
};

QTEST_MAIN(BatchWidgetsTest)
#include "BatchWidgetsTest.moc"
