#include "WidgetTestSupport.h"
#include "app/AppDelegate.h"
#include "app/ExifEditorView.h"
#include "app/MainWindowController.h"
#include "base/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "batch/intake/PhotoIntake.h"
#include "batch/list/PhotoListMenus.h"
#include "batch/list/PhotoListModel.h"
#include "batch/list/ThumbnailCache.h"
#include "batch/alerts/widgets/AlertSheet.h"
#include "batch/intake/widgets/DragDropBox.h"
#include "batch/list/widgets/PhotoListPanel.h"
#include "batch/list/widgets/PhotoThumbnailCell.h"
#include "batch/naming/widgets/ResetRenamePrompt.h"
#include "controls/EditorContext.h"
#include "controls/AttachedPopupTable.h"
#include "controls/UniformListView.h"
#include "form/widgets/MetadataFormView.h"
#include "model/PhotoFile.h"
#include "support/TestGate.h"
#include "viewer/widgets/MetaDataPopupView.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QScrollBar>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The editor view with the other panels replaced by recorders: the test sets
// whether renaming is in force and sees what reaches the form and the batch.
class EditorUnderTest : public ExifEditorView {
public:
    explicit EditorUnderTest(AppDelegate& app, QWidget* parent = nullptr)
        : ExifEditorView(app, parent)
    {
        connect(photoListPanel(), &PhotoListPanel::renamingResetAgreed, this,
            [this] { calls << QStringLiteral("resetRenaming:%1").arg(this->app().editorContext().batchList().size()); });
    }

    void setupUIForSelectedPhotoFiles(const QList<std::shared_ptr<PhotoFile>>& photos) override
    {
        handedToForm.append(int(photos.size()));
    }
    void btnResetTapped() override { calls << QStringLiteral("reset"); }
    void changeViewAccordingToMetadataOtion(int option) override
    {
        calls << QStringLiteral("editingMode:%1").arg(option);
    }
    void disableEnableAllButtonsWhenDropdownOpen(bool disable) override { buttonsOff = disable; }

    QStringList calls;
    QList<int> handedToForm;
    bool buttonsOff = false;
};

// Counts the events of one type a widget receives while it lives.
class EventCounter : public QObject {
public:
    EventCounter(QObject* watched, QEvent::Type type, int& count)
        : m_type(type)
        , m_count(count)
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == m_type)
            ++m_count;
        return false;
    }

private:
    QEvent::Type m_type;
    int& m_count;
};

// A file manager on the session bus, on a connection of its own, that records
// what it was asked to show.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    static constexpr const char* kConnection = "fakeFileManager";

    bool start()
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QLatin1String(kConnection));
        return bus.isConnected() && bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), this,
                   QDBusConnection::ExportAllSlots)
            && bus.registerService(QStringLiteral("org.freedesktop.FileManager1"));
    }
    ~FakeFileManager() override { QDBusConnection::disconnectFromBus(QLatin1String(kConnection)); }

    QStringList calls;

public slots:
    void ShowItems(const QStringList& uris, const QString&) { calls << QStringLiteral("ShowItems ") + uris.join(u' '); }
    void ShowItemProperties(const QStringList& uris, const QString&)
    {
        calls << QStringLiteral("ShowItemProperties ") + uris.join(u' ');
    }
};

} // namespace

class PhotoListTest : public QObject, public RecordedApplication {
    Q_OBJECT

    QTemporaryDir m_home;
    QTemporaryDir m_photos;
    EditorUnderTest* m_editor = nullptr;

    PhotoListPanel* panel() const { return m_editor->photoListPanel(); }
    AttachedPopupTable* popup() const { return &m_editor->context().attachedPopup(); }
    PhotoListModel* model() const { return panel()->model(); }
    UniformListView* list() const { return panel()->tblPhotos(); }

    // Small JPEGs made for the test, named as given.
    QStringList makePhotos(const QStringList& names)
    {
        QStringList paths;
        for (const QString& name : names) {
            const QString path = m_photos.filePath(name);
            QImage image(16, 12, QImage::Format_RGB32);
            image.fill(QColor(90, 120, 60));
            if (!image.save(path, "JPEG"))
                qWarning() << "cannot write" << path;
            paths << path;
        }
        return paths;
    }

    // Drops the files on the editor's drop box.
    void drop(const QStringList& paths)
    {
        QMimeData files;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(QUrl::fromLocalFile(path));
        files.setUrls(urls);
        QVERIFY(panel()->leftBox()->performDrop(&files));
    }

    // Adds the photos and waits until the adding has ended.
    bool addAndWait(const QStringList& paths)
    {
        const int before = model()->count();
        panel()->addPhotosFromPathUrls(paths);
        return QTest::qWaitFor([&] { return !panel()->intake()->isRunning(); }, 5000) && model()->count() > before;
    }

    // Starts an adding of 40 photos read one at a time, so that it still runs when
    // the test acts; answers the paths.
    QStringList startSlowAdding()
    {
        QStringList names;
        for (int i = 0; i < 40; ++i)
            names << QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
        const QStringList paths = makePhotos(names);
        panel()->intake()->setReadThreads(1);
        panel()->intake()->setReadChunkSize(1);
        panel()->intake()->setHandOffSize(1);
        panel()->addPhotosFromPathUrls({ m_photos.path() });
        return paths;
    }

    QPoint checkBoxCentre(int row) const
    {
        return PhotoThumbnailCell::checkBoxRect(list()->visualRect(model()->index(row))).center();
    }

    // The alerts of the one sheet that the presenter was asked, by title.
    QStringList alertTitles() const
    {
        QStringList titles;
        for (const auto& alert : m_presenter->alerts)
            titles << alert.request.objectName + QLatin1Char(':') + alert.request.title;
        return titles;
    }

    void answerLastAlert(int button)
    {
        QVERIFY(!m_presenter->alerts.isEmpty());
        const auto question = m_presenter->alerts.takeLast();
        if (question.answer)
            question.answer(button);
    }

private slots:
    void initTestCase() { isolateUserFolders(m_home.path()); }

    void init()
    {
        clearUserDefaults();
        startApplication();
        m_editor = showEditor<EditorUnderTest>(*m_app, QSize(1000, 640));
        QVERIFY(QTest::qWaitForWindowExposed(m_editor));
    }

    void cleanup()
    {
        delete m_editor;
        m_editor = nullptr;
        if (m_app->myWindowController())
            m_app->terminate();
        m_app.reset();
        for (const QString& name : QDir(m_photos.path()).entryList(QDir::Files))
            QFile::remove(m_photos.filePath(name));
    }

    // ---- The editor view as a composition ----

    void theEditorHoldsItsPanelsByTheirNames()
    {
        QCOMPARE(m_editor->objectName(), QStringLiteral("vwExifEditor"));
        for (const char* name : { "leftBox", "tblPhotos", "lblPhotosCount", "checkMarkUnmarkAll", "btnAddPhoto",
                 "btnRemovePhoto", "vwMetaContainer", "vwExtentionView", "vwBottomBar", "vwLoading" })
            QVERIFY2(m_editor->findChild<QWidget*>(QString::fromLatin1(name)), name);
        QCOMPARE(m_editor->rightStack()->currentWidget(), m_editor->metaContainer());

        // A panel takes its placeholder's place and name.
        auto* form = new QWidget;
        m_editor->setMetaContainer(form);
        QCOMPARE(form->objectName(), QStringLiteral("vwMetaContainer"));
        QCOMPARE(m_editor->rightStack()->currentWidget(), form);
        m_editor->showRenamingPage(true);
        QVERIFY(m_editor->isRenamingPageShown());
        auto* bar = new QWidget;
        m_editor->setBottomBar(bar);
        QCOMPARE(m_editor->bottomBar(), bar);
        QCOMPARE(m_editor->findChildren<QWidget*>(QStringLiteral("vwBottomBar")).size(), 1);
    }

    // ---- The drop path ----

    void aDropAddsThePhotosTicksThemAndFreesTheEditor()
    {
        QSignalSpy loading(&m_editor->context(), &EditorContext::loadingChanged);
        QVERIFY(!m_editor->isViewEnabled());
        drop(makePhotos({ "one.jpg", "two words.jpg", "tr\u00e8s.jpg" }));
        QVERIFY(m_editor->isLoadingShown());
        QVERIFY(!panel()->leftBox()->isDraggingEnabled());
        QVERIFY(m_app->editorContext().isSubWindowOpened());
        QTRY_VERIFY(!panel()->intake()->isRunning());

        QCOMPARE(model()->count(), 3);
        QCOMPARE(model()->checkedCount(), 3);
        QCOMPARE(m_editor->findChild<QLabel*>(QStringLiteral("lblPhotosCount"))->text(), QStringLiteral("Photos(3)"));
        QVERIFY(!m_editor->isLoadingShown());
        QVERIFY(m_editor->isViewEnabled());
        QVERIFY(panel()->leftBox()->isDraggingEnabled());
        QVERIFY(!m_app->editorContext().isSubWindowOpened());
        QVERIFY(m_editor->findChild<QPushButton*>(QStringLiteral("btnRemovePhoto"))->isEnabled());
        QVERIFY(loading.size() >= 2);
        QCOMPARE(loading.first().first().toBool(), true);
        QCOMPARE(loading.last().first().toBool(), false);
        // The form was handed the whole list once, after the adding.
        QCOMPARE(m_editor->handedToForm.value(m_editor->handedToForm.size() - 1), 3);
        QVERIFY(m_presenter->alerts.isEmpty());
    }

    // The drop box's own signal is the road: nothing else carries a drop.
    void theEditorsDropBoxAddsByItsSignalAlone()
    {
        emit panel()->leftBox()->filesDropped(makePhotos({ "signalled.jpg" }));
        QTRY_VERIFY(!panel()->intake()->isRunning());
        QCOMPARE(model()->count(), 1);
    }

    void droppingOnlyPhotosAlreadyListedAddsNothingAndAlerts()
    {
        const QStringList paths = makePhotos({ "a.jpg", "b.jpg" });
        QVERIFY(addAndWait(paths));
        drop(paths);
        QTRY_VERIFY(!panel()->intake()->isRunning());
        QTRY_COMPARE(m_presenter->alerts.size(), 1);
        QCOMPARE(m_editor->alertSheet()->alertTag(), int(AlertPhotosExist));
        QCOMPARE(model()->count(), 2);
        QVERIFY(!m_editor->isLoadingShown());
        QVERIFY(!m_editor->findChild<QPushButton*>(QStringLiteral("btnRemovePhoto"))->isEnabled());
        QVERIFY(!panel()->leftBox()->isDraggingEnabled()); // the sheet holds drops back
        answerLastAlert(0);
        QVERIFY(!m_app->editorContext().isSubWindowOpened());
        QVERIFY(panel()->leftBox()->isDraggingEnabled());
    }

    void aDropOnTheAddPhotosWindowFillsTheEditorOfTheMainWindow()
    {
        delete m_editor; // the application makes its own editor view
        m_editor = nullptr;
        m_app->setTerminateHandler([] {});
        m_app->applicationDidFinishLaunching();
        MainWindowController* controller = m_app->myWindowController();
        QTRY_VERIFY(controller->winAddPhotos()->isVisible());
        auto* box = controller->winAddPhotos()->findChild<DragDropBox*>(QStringLiteral("leftBox"));
        QVERIFY(box);
        auto* editor = qobject_cast<ExifEditorView*>(controller->vwExifEditor());
        QVERIFY(editor);

        QMimeData files;
        files.setUrls({ QUrl::fromLocalFile(makePhotos({ "dropped.jpg" }).first()) });
        QVERIFY(box->performDrop(&files));
        QVERIFY(!controller->winAddPhotos()->isVisible());
        QTRY_COMPARE(editor->photoListPanel()->model()->count(), 1);
        QTRY_VERIFY(!editor->isLoadingShown());
        QVERIFY(editor->isViewEnabled());
    }

    void theDropBoxHandsOnFilesRefusesImagesAndReportsADropWithoutData()
    {
        DragDropBox box;
        QSignalSpy drops(&box, &DragDropBox::filesDropped);
        box.setPresenter(m_presenter.get());

        QMimeData image;
        image.setImageData(QImage(4, 4, QImage::Format_RGB32));
        image.setUrls({ QUrl::fromLocalFile(QStringLiteral("/tmp/x.jpg")) });
        QVERIFY(!box.performDrop(&image));
        QVERIFY(drops.isEmpty());
        QVERIFY(m_presenter->alerts.isEmpty());

        QMimeData nothing;
        QVERIFY(!box.performDrop(&nothing));
        QCOMPARE(m_presenter->alerts.size(), 1);
        QCOMPARE(m_presenter->alerts.first().request.objectName, QStringLiteral("alertPasteError"));

        QMimeData files;
        files.setUrls(
            { QUrl::fromLocalFile(QStringLiteral("/tmp/b.jpg")), QUrl::fromLocalFile(QStringLiteral("/tmp/a.jpg")) });
        QVERIFY(box.performDrop(&files));
        QCOMPARE(drops.size(), 1);
        QCOMPARE(drops.first().first().toStringList(),
            QStringList({ QStringLiteral("/tmp/b.jpg"), QStringLiteral("/tmp/a.jpg") }));
    }

    void aDropWhileRenamingIsInForceWaitsForTheAnswer()
    {
        QVERIFY(addAndWait(makePhotos({ "first.jpg" })));
        m_editor->context().setRenamingInForce(true);
        m_editor->calls.clear();
        ResetRenamePrompt* sheet = panel()->resetRenameSheet();

        // No: nothing is added, nothing reset.
        drop(makePhotos({ "held.jpg" }));
        QVERIFY(sheet->isVisible());
        // Tab goes as the controls stand: the box, No on the left, then Yes.
        sheet->dontShowCheckBox()->setFocus();
        QTest::keyClick(sheet->dontShowCheckBox(), Qt::Key_Tab);
        QCOMPARE(sheet->focusWidget(), sheet->noButton());
        QTest::keyClick(sheet->noButton(), Qt::Key_Tab);
        QCOMPARE(sheet->focusWidget(), sheet->yesButton());
        QVERIFY(m_app->editorContext().isSubWindowOpened()); // until the sheet is answered
        QVERIFY(!m_editor->isViewEnabled());
        QVERIFY(!panel()->leftBox()->isDraggingEnabled());
        QCOMPARE(panel()->resetRenameRequest().heldPaths().size(), 1);
        sheet->noButton()->click();
        QVERIFY(!sheet->isVisible());
        QVERIFY(!m_app->editorContext().isSubWindowOpened());
        QVERIFY(panel()->resetRenameRequest().heldPaths().isEmpty());
        QVERIFY(!panel()->intake()->isRunning());
        QCOMPARE(model()->count(), 1);
        QVERIFY(m_editor->calls.isEmpty());
        QVERIFY(m_editor->isViewEnabled());
        // Presets and the renaming button come back together with the editor.
        QVERIFY(m_editor->findChild<QWidget*>(QStringLiteral("btnPresets"))->isEnabled());
        QVERIFY(m_editor->findChild<QWidget*>(QStringLiteral("btnNext"))->isEnabled());
        QVERIFY(!m_app->defaults().boolForKey(QStringLiteral("notShowRenameResetPopup")));

        // Yes: renaming is reset while the list still holds one photo, then the drop comes in.
        drop(makePhotos({ "held.jpg", "held2.jpg" }));
        QVERIFY(sheet->isVisible());
        sheet->yesButton()->click();
        QCOMPARE(m_editor->calls.value(0), QStringLiteral("resetRenaming:1"));
        QVERIFY(m_editor->isLoadingShown()); // the adding keeps its overlay
        QTRY_VERIFY(!panel()->intake()->isRunning());
        QCOMPARE(model()->count(), 3);
        QVERIFY(m_editor->isViewEnabled());
    }

    void doNotShowAgainIsKeptWhicheverAnswer()
    {
        QVERIFY(addAndWait(makePhotos({ "first.jpg" })));
        m_editor->context().setRenamingInForce(true);
        ResetRenamePrompt* sheet = panel()->resetRenameSheet();
        drop(makePhotos({ "second.jpg" }));
        QVERIFY(sheet->isVisible());
        sheet->dontShowCheckBox()->setChecked(true);
        sheet->noButton()->click();
        QCOMPARE(model()->count(), 1);
        QVERIFY(m_app->defaults().boolForKey(QStringLiteral("notShowRenameResetPopup")));

        // From now on a drop goes ahead without the question, and so does a removal.
        drop(makePhotos({ "second.jpg" }));
        QVERIFY(!sheet->isVisible());
        QTRY_COMPARE(model()->count(), 2);
        QTRY_VERIFY(!panel()->intake()->isRunning());
        m_editor->findChild<QPushButton*>(QStringLiteral("btnRemovePhoto"))->click();
        QVERIFY(!sheet->isVisible());
        QCOMPARE(model()->count(), 0);
    }

    void aRemovalWhileRenamingIsInForceWaitsForYes()
    {
        QVERIFY(addAndWait(makePhotos({ "a.jpg", "b.jpg" })));
        m_editor->context().setRenamingInForce(true);
        ResetRenamePrompt* sheet = panel()->resetRenameSheet();
        auto* remove = m_editor->findChild<QPushButton*>(QStringLiteral("btnRemovePhoto"));
        model()->toggleCheckMark(0);
        remove->click();
        QVERIFY(sheet->isVisible());
        sheet->noButton()->click();
        QCOMPARE(model()->count(), 2);
        remove->click();
        sheet->yesButton()->click();
        QCOMPARE(model()->count(), 1);
        QCOMPARE(model()->photoAt(0)->fileName, QStringLiteral("a.jpg"));
    }

    void photosChosenInTheTrashAreRefused()
    {
        const QString trash = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Trash/files");
        QVERIFY(QDir().mkpath(trash));
        const QString path = trash + QStringLiteral("/gone.jpg");
        QVERIFY(QImage(8, 8, QImage::Format_RGB32).save(path, "JPEG"));
        const QStringList outside = makePhotos({ "kept.jpg" });
        panel()->popupAddPhotosTappedWithIndex(PhotoListMenus::AddPhotos);
        QCOMPARE(m_presenter->panels.size(), 1);
        QCOMPARE(m_presenter->panels.first().request.prompt, QStringLiteral("Add Photos"));
        // Any chosen path in the trash refuses the choice, not only the first.
        m_presenter->answerPanel({ outside.first(), path });
        QCOMPARE(m_presenter->alerts.size(), 1);
        QCOMPARE(m_presenter->alerts.first().request.objectName, QStringLiteral("alertTrash"));
        QVERIFY(!panel()->intake()->isRunning());
        QCOMPARE(model()->count(), 0);

        // A drop and the File menu take the same path.
        drop({ outside.first(), trash });
        m_editor->addPhotosFromPathUrls({ QUrl::fromLocalFile(path) }, false);
        QCOMPARE(alertTitles(), QStringList({ "alertTrash:", "alertTrash:", "alertTrash:" }));
        QVERIFY(!panel()->intake()->isRunning());
        QCOMPARE(model()->count(), 0);
    }

    void theFileMenuTakesThePathOfADrop()
    {
        QVERIFY(addAndWait(makePhotos({ "first.jpg" })));
        m_editor->context().setRenamingInForce(true);
        ResetRenamePrompt* sheet = panel()->resetRenameSheet();
        m_editor->addPhotosFromPathUrls({ QUrl::fromLocalFile(makePhotos({ "menu.jpg" }).first()) }, false);
        QVERIFY(sheet->isVisible()); // renaming is reset first, as for a drop
        QCOMPARE(panel()->resetRenameRequest().heldPaths().size(), 1);
        sheet->yesButton()->click();
        QTRY_VERIFY(!panel()->intake()->isRunning());
        QCOMPARE(model()->count(), 2);
    }

    void pathsArrivingWhileAnAddingRunsAreRefusedAloud()
    {
        QTemporaryDir other;
        const QString late = other.filePath(QStringLiteral("late.jpg"));
        QVERIFY(QImage(8, 8, QImage::Format_RGB32).save(late, "JPEG"));
        startSlowAdding();
        QVERIFY(panel()->intake()->isRunning());

        drop({ late });
        m_editor->addPhotosFromPathUrls({ QUrl::fromLocalFile(late) }, false);
        panel()->addPhotosFromPathUrls({ late });
        QCOMPARE(m_presenter->alerts.size(), 3);
        for (const auto& alert : m_presenter->alerts) {
            QCOMPARE(alert.request.objectName, QStringLiteral("alertAddingRuns"));
            QCOMPARE(alert.request.message,
                QStringLiteral("Photos are still being added. Please wait until they are all in the list."));
        }
        QTRY_VERIFY(!panel()->intake()->isRunning());
        QVERIFY(!panel()->model()->containsPath(late));
    }

    void quittingDuringAnAddingWaitsForThePhotosInHandBeforeTheArchiveIsWritten()
    {
        m_app->setTerminateHandler([] {});
        int listedAtArchive = -1;
        bool runningAtArchive = true;
        connect(m_app.get(), &AppDelegate::terminating, this, [&] {
            listedAtArchive = model()->count();
            runningAtArchive = panel()->intake()->isRunning();
        });
        startSlowAdding();
        QCOMPARE(m_app->workers().count(), 1);

        m_app->terminate();
        QVERIFY(!runningAtArchive);
        QCOMPARE(listedAtArchive, panel()->lastSummary().totalPhotoToAdd);
        QVERIFY(listedAtArchive > 0 || panel()->lastSummary().isPHOTOS_PROCESSING_STOPPED);
        QCOMPARE(m_app->workers().count(), 0);
        // Nothing new starts while the application ends.
        panel()->addPhotosFromPathUrls({ m_photos.path() });
        QVERIFY(!panel()->intake()->isRunning());
    }

    void theMainButtonsCarryTheirToolTips()
    {
        QPushButton process(m_editor);
        process.setObjectName(QStringLiteral("btnProcess"));
        m_editor->setToolTips();
        QCOMPARE(process.toolTip(), QStringLiteral("Click here to start process"));
        QCOMPARE(m_editor->findChild<QPushButton*>(QStringLiteral("btnAddPhoto"))->toolTip(),
            QStringLiteral("Click here to add photos."));
    }

    // ---- Clicks on the rows ----

    void aSingleClickOnTheCheckMarkTogglesAfterTheDelay()
    {
        QVERIFY(addAndWait(makePhotos({ "a.jpg", "b.jpg" })));
        m_editor->handedToForm.clear();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, checkBoxCentre(1));
        QVERIFY(panel()->cell()->isClickPending());
        QVERIFY(model()->photoAt(1)->isSelected); // not yet: a second click may follow
        QTRY_VERIFY(!model()->photoAt(1)->isSelected);
        QVERIFY(model()->photoAt(0)->isSelected);
        QCOMPARE(m_editor->handedToForm, QList<int>({ 1 }));

        // A click beside the check mark changes nothing.
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, checkBoxCentre(0) + QPoint(120, 0));
        QVERIFY(!panel()->cell()->isClickPending());
    }

    void aDoubleClickIsReportedOnceAndTicksNothing()
    {
        QVERIFY(addAndWait(makePhotos({ "a.jpg" })));
        QSignalSpy doubles(panel(), &PhotoListPanel::photoDoubleClicked);
        // A double click arrives as a press and release, then the double click and its release.
        QWidget* viewport = list()->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, checkBoxCentre(0));
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, checkBoxCentre(0));
        QTRY_COMPARE(doubles.size(), 1);
        QVERIFY(!panel()->cell()->isClickPending());
        QVERIFY(model()->photoAt(0)->isSelected);

        // A triple click also ends in one report.
        QTest::mouseClick(viewport, Qt::LeftButton, {}, checkBoxCentre(0));
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, checkBoxCentre(0));
        QTest::mouseClick(viewport, Qt::LeftButton, {}, checkBoxCentre(0));
        QTRY_COMPARE(doubles.size(), 2);
        QTRY_VERIFY(!panel()->cell()->isClickPending());
        QCOMPARE(doubles.size(), 2);
        QVERIFY(model()->photoAt(0)->isSelected);
    }

    void aDelayedClickActsOnThePhotoPressedNotOnItsRow()
    {
        QVERIFY(addAndWait(makePhotos({ "a.jpg", "b.jpg" })));
        const std::shared_ptr<PhotoFile> pressed = model()->photoAt(0);
        const std::shared_ptr<PhotoFile> next = model()->photoAt(1);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, checkBoxCentre(0));
        model()->removePhoto(pressed); // the row now holds another photo
        QTRY_VERIFY(!panel()->cell()->isClickPending());
        QVERIFY(next->isSelected);
        QCOMPARE(model()->checkedCount(), 1);
    }

    void markUnmarkAllFromTheBoxAndTheKeyboard()
    {
        QVERIFY(addAndWait(makePhotos({ "a.jpg", "b.jpg" })));
        auto* box = m_editor->findChild<QCheckBox*>(QStringLiteral("checkMarkUnmarkAll"));
        QVERIFY(box->isChecked());
        m_editor->handedToForm.clear();
        box->click();
        QCOMPARE(model()->checkedCount(), 0);
        QVERIFY(!box->isChecked());
        QCOMPARE(m_editor->handedToForm, QList<int>({ 0 }));

        list()->setFocus();
        QTest::keyClick(list(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(model()->checkedCount(), 2);
        QVERIFY(box->isChecked());
        QTest::keyClick(list(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(list(), Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
        QTest::keyClick(list(), Qt::Key_A);
        QCOMPARE(model()->checkedCount(), 2);
        QTest::keyClick(list(), Qt::Key_M, Qt::ControlModifier);
        QCOMPARE(model()->checkedCount(), 0);

        // Where the platform tells the right Control key apart, it marks nothing.
        const quint32 rightControl = 0xffe4;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 0, rightControl, 0);
        QCoreApplication::sendEvent(list(), &press);
        QTest::keyClick(list(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(model()->checkedCount(), 0);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier, 0, rightControl, 0);
        QCoreApplication::sendEvent(list(), &release);
        QTest::keyClick(list(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(model()->checkedCount(), 2);
    }

    void theKeyboardMovesTheCurrentRowAndTicksIt()
    {
        QVERIFY(addAndWait(makePhotos({ "a.jpg", "b.jpg", "c.jpg" })));
        m_editor->findChild<QCheckBox*>(QStringLiteral("checkMarkUnmarkAll"))->click();
        QCOMPARE(model()->checkedCount(), 0);
        list()->window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(list()->window()));
        list()->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(list()->currentIndex().row(), 0);
        QTest::keyClick(list(), Qt::Key_Down);
        QCOMPARE(list()->currentIndex().row(), 1);
        QTest::keyClick(list(), Qt::Key_Space);
        QCOMPARE(model()->checkedCount(), 1);
        QVERIFY(model()->index(1, 0).data(PhotoListModel::IsSelectedRole).toBool());
        QTest::keyClick(list(), Qt::Key_Space);
        QCOMPARE(model()->checkedCount(), 0);
        // Ctrl+A reaches the list before any window shortcut.
        QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_A, Qt::ControlModifier);
        QCoreApplication::sendEvent(list(), &override);
        QVERIFY(override.isAccepted());
    }

    void onlyTheVisibleRowsGetThumbnailsOnceTheListRests()
    {
        QStringList names;
        for (int i = 0; i < 60; ++i)
            names << QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
        QVERIFY(addAndWait(makePhotos(names)));
        auto state = [&](int row) {
            return ThumbnailCache::State(model()->index(row).data(PhotoListModel::ThumbnailStateRole).toInt());
        };
        QTRY_COMPARE(state(0), ThumbnailCache::State::Ready);
        QCOMPARE(state(59), ThumbnailCache::State::Missing);

        list()->scrollToBottom();
        QVERIFY(panel()->isThumbnailLoadPending());
        QCOMPARE(state(59), ThumbnailCache::State::Missing); // not while scrolling
        QTRY_COMPARE(state(59), ThumbnailCache::State::Ready);
        QCOMPARE(state(30), ThumbnailCache::State::Missing);
    }

    // An adding of 100,000 photos hands them over a few hundred at a time: a hand-off
    // below the shown rows must not paint them again, nor lay out every row.
    void photosHandedOnBelowTheShownRowsRepaintNoneOfThem()
    {
        QStringList names;
        for (int i = 0; i < 30; ++i)
            names << QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
        QVERIFY(addAndWait(makePhotos(names)));
        QTRY_COMPARE(model()->index(0).data(PhotoListModel::ThumbnailStateRole).toInt(),
            int(ThumbnailCache::State::Ready));
        QTRY_VERIFY(!panel()->isThumbnailLoadPending());
        const int rowHeight = list()->visualRect(model()->index(0)).height();
        QVERIFY(rowHeight > 0);
        QVERIFY(list()->visualRect(model()->index(29)).top() > list()->viewport()->height());

        int paints = 0;
        EventCounter counter(list()->viewport(), QEvent::Paint, paints);
        // What the adding and its thumbnails left to paint lands first: on a slow
        // build the last thumbnail's repaint can still be on its way.
        for (int tries = 0; tries < 20; ++tries) {
            paints = 0;
            QTest::qWait(50);
            if (paints == 0)
                break;
        }
        QCOMPARE(paints, 0);
        QList<std::shared_ptr<PhotoFile>> more;
        for (int i = 0; i < 500; ++i)
            more.append(std::make_shared<PhotoFile>(m_photos.filePath(QStringLiteral("more%1.jpg").arg(i)), false));
        model()->appendPhotos(more);
        QTest::qWait(50);
        QCOMPARE(paints, 0);
        QCOMPARE(list()->verticalScrollBar()->maximum(), 530 * rowHeight - list()->viewport()->height());

        // The rows are where their numbers put them, for the mouse and the keyboard.
        list()->scrollTo(model()->index(400), QAbstractItemView::PositionAtTop);
        QCOMPARE(list()->indexAt(QPoint(5, rowHeight / 2)).row(), 400);
        QCOMPARE(list()->visualRect(model()->index(401)).top(), rowHeight);
        list()->setFocus(Qt::TabFocusReason);
        list()->setCurrentIndex(model()->index(400));
        QTest::keyClick(list(), Qt::Key_PageDown);
        QCOMPARE(list()->currentIndex().row(), 400 + list()->viewport()->height() / rowHeight);
        QTest::keyClick(list(), Qt::Key_End);
        QCOMPARE(list()->currentIndex().row(), 529);
        QCOMPARE(list()->visualRect(model()->index(529)).bottom(), list()->viewport()->height() - 1);

        // A change of rows above the shown ones paints nothing; ticking every row
        // paints the shown ones; a removal gives the range back.
        QTest::qWait(20);
        paints = 0;
        QVERIFY(model()->toggleCheckMark(3));
        QTest::qWait(20);
        QCOMPARE(paints, 0);
        model()->selectAll();
        QTRY_VERIFY(paints > 0);
        paints = 0;
        model()->removePhotos({ model()->photoAt(529) });
        QTRY_COMPARE(list()->verticalScrollBar()->maximum(), 529 * rowHeight - list()->viewport()->height());
        QTRY_VERIFY(paints > 0);
    }

    // ---- The photo menu ----

    void thePhotoMenuOpensOnlyForARowOfTheList()
    {
        QVERIFY(addAndWait(makePhotos({ "a.jpg", "b.jpg" })));
        AttachedPopupTable* popup = &m_editor->context().attachedPopup();
        panel()->btnInfoTappedAtLocation(QPoint(10, 10), 2, false);
        panel()->btnInfoTappedAtLocation(QPoint(10, 10), -1, true);
        QVERIFY(!popup->isOpen());
        QVERIFY(m_presenter->alerts.isEmpty());

        // A right click anywhere on a row opens the menu of that row.
        const QPoint onRow = list()->visualRect(model()->index(1)).center();
        QTest::mouseClick(list()->viewport(), Qt::RightButton, {}, onRow);
        QVERIFY(popup->isOpen());
        QCOMPARE(popup->currentType(), AttachPopupPhotoMenu);
        QCOMPARE(popup->table()->model()->rowCount(), 5);
        QCOMPARE(popup->table()->size(), QSize(190, 163));

        // Its photo goes while the menu is open: the choice does nothing.
        const QString path = model()->photoAt(1)->filePath;
        model()->removePhoto(model()->photoAt(1));
        popup->choose(PhotoListMenus::OpenWithImageViewer);
        QVERIFY(!popup->isOpen());
        QVERIFY(m_opener->opened.isEmpty());
        QVERIFY(!path.isEmpty());
    }

    void thePhotoMenuOpensRevealsAndAsksForInfo()
    {
        QVERIFY(addAndWait(makePhotos({ "a.jpg", "b.jpg" })));
        QSignalSpy info(panel(), &PhotoListPanel::metadataViewerRequested);
        const QString path = model()->photoAt(1)->filePath;
        auto openMenuAndChoose = [&](int row) {
            panel()->btnInfoTappedAtLocation(QPoint(40, 40), 1, false);
            QVERIFY(popup()->isOpen());
            popup()->choose(row);
        };
        openMenuAndChoose(PhotoListMenus::OpenWithImageViewer);
        QCOMPARE(m_opener->opened, QList<QUrl>({ QUrl::fromLocalFile(path) }));
        // Without a file manager on the session bus, our viewer shows the photo.
        openMenuAndChoose(PhotoListMenus::GetInfo);
        QTRY_COMPARE(info.size(), 1);
        QCOMPARE(info.first().first().toInt(), 1);
        // The editor's viewer is built for it and shows the photo.
        QVERIFY(m_editor->metaDataPopup() && m_editor->metaDataPopup()->isVisible());
        m_editor->metaDataPopup()->close();
        // Without a file manager on the session bus the folder opens.
        openMenuAndChoose(PhotoListMenus::ShowInFileManager);
        QTRY_COMPARE(m_opener->opened.size(), 2);
        QCOMPARE(m_opener->opened.last(), QUrl::fromLocalFile(m_photos.path()));
        // When the desktop opens neither, an alert says so.
        m_opener->succeeds = false;
        openMenuAndChoose(PhotoListMenus::OpenWithImageViewer);
        QCOMPARE(m_presenter->alerts.size(), 1);
        openMenuAndChoose(PhotoListMenus::ShowInFileManager);
        QTRY_COMPARE(m_presenter->alerts.size(), 2);
        m_opener->succeeds = true;
        openMenuAndChoose(PhotoListMenus::RemovePhoto);
        QCOMPARE(model()->count(), 1);
        QCOMPARE(model()->photoAt(0)->fileName, QStringLiteral("a.jpg"));
    }

    void aFileManagerOnTheBusShowsThePhotoAndItsInformation()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus (the test runs under dbus-run-session)");
        QVERIFY(addAndWait(makePhotos({ "a.jpg", "b.jpg" })));
        FakeFileManager fileManager;
        QVERIFY(fileManager.start());
        QSignalSpy info(panel(), &PhotoListPanel::metadataViewerRequested);
        const QString uri = QUrl::fromLocalFile(model()->photoAt(1)->filePath).toString();
        for (int row : { PhotoListMenus::GetInfo, PhotoListMenus::ShowInFileManager }) {
            panel()->btnInfoTappedAtLocation(QPoint(40, 40), 1, false);
            popup()->choose(row);
        }
        QTRY_COMPARE(fileManager.calls,
            QStringList({ QStringLiteral("ShowItemProperties ") + uri, QStringLiteral("ShowItems ") + uri }));
        // Answered by the file manager: neither our viewer nor the folder opens.
        QTRY_VERIFY(panel()->findChildren<QDBusPendingCallWatcher*>().isEmpty());
        QVERIFY(info.isEmpty());
        QVERIFY(m_opener->opened.isEmpty());
    }

    void aMissingPhotoGivesAlert103WhoseButtonRemovesEveryMissingPhoto()
    {
        const QStringList paths = makePhotos({ "a.jpg", "b.jpg", "c.jpg" });
        QVERIFY(addAndWait(paths));
        QFile::remove(paths.at(0));
        QFile::remove(paths.at(2));
        panel()->btnInfoTappedAtLocation(QPoint(10, 10), 2, false);
        QVERIFY(!popup()->isOpen());
        QCOMPARE(m_presenter->alerts.size(), 1);
        QCOMPARE(m_editor->alertSheet()->alertTag(), int(AlertRemoveFromBatch));
        QCOMPARE(m_presenter->alerts.first().request.buttons, QStringList({ QStringLiteral("Remove From Batch") }));
        answerLastAlert(0);
        QTRY_COMPARE(model()->count(), 1);
        QTRY_VERIFY(!m_editor->isLoadingShown());
        QCOMPARE(model()->photoAt(0)->filePath, paths.at(1));
        QCOMPARE(m_editor->findChild<QLabel*>(QStringLiteral("lblPhotosCount"))->text(), QStringLiteral("Photos(1)"));
    }

    void aRowWithoutAPictureShowsItsTypesIconFromTheTheme()
    {
        // A theme of the test's own with one red type icon.
        QTemporaryDir themes;
        QVERIFY(QDir(themes.path()).mkpath(QStringLiteral("test-theme/48x48/mimetypes")));
        QFile index(themes.filePath(QStringLiteral("test-theme/index.theme")));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write("[Icon Theme]\nName=test-theme\nDirectories=48x48/mimetypes\n\n"
                    "[48x48/mimetypes]\nSize=48\nType=Fixed\n");
        index.close();
        QImage red(48, 48, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(themes.filePath(QStringLiteral("test-theme/48x48/mimetypes/image-x-generic.png"))));
        const QStringList searchPaths = QIcon::themeSearchPaths();
        const QString themeName = QIcon::themeName();
        QIcon::setThemeSearchPaths({ themes.path() });
        QIcon::setThemeName(QStringLiteral("test-theme"));

        QStandardItemModel rows(1, 1);
        rows.setData(rows.index(0, 0), int(ThumbnailCache::State::Unavailable), PhotoListModel::ThumbnailStateRole);
        const auto paintedCentre = [&](const QStringList& names) {
            rows.setData(rows.index(0, 0), names, PhotoListModel::TypeIconNamesRole);
            QImage row(300, PhotoThumbnailCell::kRowHeight, QImage::Format_RGB32);
            row.fill(Qt::white);
            QPainter painter(&row);
            QStyleOptionViewItem option;
            option.rect = row.rect();
            PhotoThumbnailCell(nullptr).paint(&painter, option, rows.index(0, 0));
            painter.end();
            return row.pixelColor(PhotoThumbnailCell::thumbnailRect(row.rect()).center());
        };
        // The family's icon where the theme has none of the type's own; our photo file where it has
        // neither, never the "not available" sign of a picture that failed to decode.
        const QColor typeIcon = paintedCentre({ QStringLiteral("image-jpeg"), QStringLiteral("image-x-generic") });
        const QColor ourPicture = paintedCentre({ QStringLiteral("text-plain") });
        QIcon::setThemeSearchPaths(searchPaths);
        QIcon::setThemeName(themeName);
        QCOMPARE(typeIcon, QColor(Qt::red));
        QVERIFY(ourPicture != QColor(Qt::red));
        QVERIFY(ourPicture != paintedCentre({}));
    }

    void theMenusOfTheListAndTheMetadataOptions()
    {
        QVERIFY(addAndWait(makePhotos({ "a.jpg" })));
        m_editor->calls.clear();
        m_editor->findChild<QPushButton*>(QStringLiteral("btnAddPhoto"))->click();
        QCOMPARE(popup()->currentType(), AttachPopupAddPhotos);
        QCOMPARE(popup()->table()->size(), QSize(190, 66));
        popup()->choose(PhotoListMenus::AddFolder);
        QCOMPARE(m_presenter->panels.size(), 1);
        QVERIFY(m_presenter->panels.first().request.chooseDirectories);
        QVERIFY(m_app->editorContext().isSubWindowOpened());
        // While the add panel is up the menu offers Deselect All, as over the main window's panels.
        QVERIFY(!m_app->menuSelectAll->isVisible() && m_app->menuDeselectAll->isVisible());
        m_presenter->answerPanel({});
        QVERIFY(!m_app->editorContext().isSubWindowOpened());
        QVERIFY(m_app->menuSelectAll->isVisible() && !m_app->menuDeselectAll->isVisible());
        QCOMPARE(model()->count(), 1);

        // The metadata options open from their button by the form, pointing below it, by
        // a click or from the keyboard, once the form has a ticked photo to edit.
        auto* more = m_editor->metaContainer()->findChild<QAbstractButton*>(QStringLiteral("btnMetadataMoreOptions"));
        QVERIFY(more && more->isVisible());
        m_editor->metadataFormView()->setupUIForSelectedPhotoFiles(m_editor->context().checkedPhotos());
        QTRY_VERIFY(more->isEnabled());
        QVERIFY(!more->toolTip().isEmpty());
        QTest::mouseClick(more, Qt::LeftButton);
        QCOMPARE(popup()->currentType(), AttachPopupMetadataMoreOptions);
        QCOMPARE(popup()->table()->size(), QSize(150, 66));
        QCOMPARE(popup()->attachedWindow()->attachedPoint(),
            more->mapToGlobal(PhotoListMenus::metadataMoreOptionsAnchor(more->size()).toPoint()));
        popup()->choose(PhotoListMenus::CleanMetadata);
        QTRY_VERIFY(more->isEnabled());
        more->setFocus(Qt::TabFocusReason);
        QVERIFY(more->hasFocus());
        QTest::keyClick(more, Qt::Key_Space);
        QCOMPARE(popup()->currentType(), AttachPopupMetadataMoreOptions);
        popup()->choose(PhotoListMenus::Reset);
        QCOMPARE(m_editor->calls, QStringList({ QStringLiteral("editingMode:2"), QStringLiteral("reset") }));
        // It goes off and on with the rest of the editor.
        QTRY_VERIFY(more->isEnabled());
        m_editor->enableView(false);
        QVERIFY(!more->isEnabled());
        m_editor->enableView(true);
        QVERIFY(more->isEnabled());

        // A click outside an open list closes it; the other buttons are off while it is open and back at
        // once, so that the click that closed it reaches what it was aimed at.
        m_editor->findChild<QPushButton*>(QStringLiteral("btnAddPhoto"))->click();
        QVERIFY(popup()->isOpen());
        QVERIFY(m_editor->buttonsOff);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, QPoint(150, 300));
        QVERIFY(!popup()->isOpen());
        QVERIFY(!m_editor->buttonsOff);
    }

    // ---- Removal ----

    void removeTakesTheTickedPhotosAndAsksWhenNoneIsTicked()
    {
        QVERIFY(addAndWait(makePhotos({ "a.jpg", "b.jpg", "c.jpg" })));
        auto* remove = m_editor->findChild<QPushButton*>(QStringLiteral("btnRemovePhoto"));
        model()->toggleCheckMark(1);
        remove->click();
        QCOMPARE(model()->count(), 1);
        QCOMPARE(model()->photoAt(0)->fileName, QStringLiteral("b.jpg"));
        QVERIFY(model()->photoAt(0)->isSelected); // the refresh ticks what is left

        model()->markUnmarkAll();
        QCOMPARE(model()->checkedCount(), 0);
        remove->click();
        QCOMPARE(model()->count(), 1);
        QCOMPARE(m_presenter->alerts.size(), 1);
        QCOMPARE(m_presenter->alerts.first().request.objectName, QStringLiteral("winNoNewPhotos"));

        model()->markUnmarkAll();
        remove->click();
        QCOMPARE(model()->count(), 0);
        QVERIFY(!remove->isEnabled());
        QVERIFY(!m_editor->isViewEnabled());
        QCOMPARE(m_editor->findChild<QLabel*>(QStringLiteral("lblPhotosCount"))->text(), QStringLiteral("Photos"));
    }

    void theStopButtonEndsAnAdding()
    {
        // The second photo is read only after the click, so the click always
        // comes while photos are still to be read.
        const auto clicked = std::make_shared<TestGate>(1);
        const TestGate::ScopedOpening opening(clicked);
        panel()->intake()->setPhotoReader([clicked](const QString& path) {
            clicked->pass();
            return PhotoIntake::readPhotoFile(path);
        });
        const QStringList paths = startSlowAdding();
        auto* stop = m_editor->findChild<QPushButton*>(QStringLiteral("btnstopOnAddPhotos"));
        QVERIFY(stop->isVisible());
        stop->click();
        clicked->open();
        QVERIFY(!stop->isVisible());
        QTRY_VERIFY(!panel()->intake()->isRunning());
        QVERIFY(!m_editor->isLoadingShown());
        QVERIFY(panel()->lastSummary().isPHOTOS_PROCESSING_STOPPED);
        QVERIFY(model()->count() < paths.size());
        QCOMPARE(model()->count(), panel()->lastSummary().totalPhotoToAdd);
    }

    // ---- The alert sheet ----

    void theAlertSheetShowsEachTagOnceAndHandsTheButtonBack()
    {
        EditorContext context;
        QWidget window;
        AlertSheet sheet(&window, *m_presenter, context);
        AlertCounts counts;
        counts.damagedFileCount = 1;

        const QList<int> known { 100, 101, 102, 103, 104, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 117 };
        for (int tag : known) {
            QVERIFY2(sheet.show(tag, counts), qPrintable(QString::number(tag)));
            QVERIFY(context.isSubWindowOpened());
            QVERIFY(!sheet.show(AlertFeedback, counts)); // one sheet at a time
            QCOMPARE(m_presenter->alerts.size(), 1);
            const auto question = m_presenter->alerts.takeFirst();
            QCOMPARE(question.request.objectName, QStringLiteral("winAlert"));
            const AlertContent content = *AlertCatalog::alertForTag(tag, counts);
            QCOMPARE(question.request.title, content.title);
            QCOMPARE(question.request.informativeText, content.message);
            question.answer(0);
            QVERIFY(!context.isSubWindowOpened());
            QVERIFY(!sheet.isShown());
        }
        for (int tag : { 99, 105, 118 })
            QVERIFY(!sheet.show(tag, counts));
        context.setSubWindowOpened(true); // the overlay or another sheet is up
        QVERIFY(!sheet.show(AlertPhotosExist, counts));
        QVERIFY(m_presenter->alerts.isEmpty());
    }

    // The list's alert reaches the editor's one sheet with the list's own answer,
    // which runs once the editor is given back (Presets and Next by page first).
    void theListsAlertCarriesItsAnswerToTheSheet()
    {
        QVERIFY(addAndWait(makePhotos({ "a.jpg" })));
        auto* next = m_editor->findChild<QAbstractButton*>(QStringLiteral("btnNext"));
        QList<AlertButton> answers;
        bool givenBack = false;
        emit panel()->alertRequested(AlertPhotosExist, [&](AlertButton button) {
            answers.append(button);
            givenBack = m_editor->isViewEnabled() && panel()->leftBox()->isDraggingEnabled() && next->isEnabled();
        });
        QCOMPARE(alertTitles(), QStringList { QStringLiteral("winAlert:PHOTO EXISTS") });
        QVERIFY(!m_editor->isViewEnabled());
        QVERIFY(!next->isEnabled());
        answerLastAlert(0);
        QCOMPARE(answers, QList<AlertButton> { AlertButtonOk });
        QVERIFY(givenBack);
    }

    void theAlertButtonsTakeTheirPaths()
    {
        EditorContext context;
        QWidget window;
        AlertSheet sheet(&window, *m_presenter, context);
        QList<AlertButton> answers;
        auto record = [&](AlertButton button) {
            QVERIFY(!context.isSubWindowOpened()); // the next alert may come from the answer
            answers.append(button);
        };
        sheet.show(AlertStartProcess, {}, record);
        QCOMPARE(
            m_presenter->alerts.first().request.buttons, QStringList({ QStringLiteral("Yes"), QStringLiteral("No") }));
        answerLastAlert(1);
        sheet.show(AlertStartProcess, {}, record);
        answerLastAlert(-1); // closed without a button: No
        sheet.show(AlertNoPhotosToAdd, {}, record);
        answerLastAlert(-1);
        QCOMPARE(answers, QList<AlertButton>({ AlertButtonNo, AlertButtonNo, AlertButtonOk }));

        // Through the editor, as the batch asks: the answer reaches the asker's
        // continuation, with the editor already given back.
        QList<AlertButton> batchAnswers;
        bool enabledWhenAnswered = false;
        m_editor->showAlert(AlertNoRenamingOption, [&](AlertButton button) {
            batchAnswers.append(button);
            enabledWhenAnswered = m_editor->isViewEnabled();
        });
        QVERIFY(!m_editor->isViewEnabled());
        answerLastAlert(0);
        QCOMPARE(batchAnswers, QList<AlertButton>({ AlertButtonYes }));
        QVERIFY(enabledWhenAnswered);
    }
};

QTEST_MAIN(PhotoListTest)
#include "PhotoListTest.moc"
