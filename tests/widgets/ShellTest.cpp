#include "WidgetTestSupport.h"
#include "app/AppDelegate.h"
#include "app/Links.h"
#include "app/MainWindowController.h"
#include "app/QuitBackstop.h"
#include "app/Reachability.h"
#include "app/SingleInstance.h"
#include "app/UnixSignalWatcher.h"
#include "base/Notifications.h"
#include "platform/OnlineServices.h"
#include "platform/UserDefaults.h"
#include "controls/IMGButton.h"
#include "controls/QVAppStoreWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>
#include <atomic>
#include <csignal>
#include <future>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A network monitor whose answer the test sets.
class FakeReachability : public Reachability {
public:
    bool startNotifier() override { return true; }
    NetworkState currentState() const override { return state; }
    NetworkState state;
};

QSettings storedDefaults()
{
    return QSettings(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velloran"), QStringLiteral("Velloran"));
}

} // namespace

class ShellTest : public QObject, public RecordedApplication {
    Q_OBJECT

private:
    // One launch of the application with its services replaced by recorders.
    void launch()
    {
        startApplication();
        m_terminations = 0;
        m_app->setTerminateHandler([this] { ++m_terminations; });
        m_app->setEditorViewFactory([this](QWidget* parent) {
            m_editor = new FakeEditorView(parent);
            return m_editor;
        });
        auto reachability = std::make_unique<FakeReachability>();
        m_reachability = reachability.get();
        m_app->setInternetReachability(std::move(reachability));
        m_app->applicationDidFinishLaunching();
    }
    // The application ends and is started again in the same process.
    void restart()
    {
        m_app->terminate();
        m_app.reset();
        launch();
    }
    MainWindowController* controller() const { return m_app->myWindowController(); }
    template <typename T> T* find(QWidget* root, const char* name) const
    {
        T* widget = root->findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qWarning("no widget named %s", name);
        return widget;
    }
    void waitForAddPhotosWindow() { QTRY_VERIFY(controller()->winAddPhotos()->isVisible()); }
    void givePhotosAndEdits(bool edits)
    {
        m_app->editorContext().batchList().append(std::make_shared<PhotoFile>());
        m_editor->paramsChanged = edits;
    }

    QTemporaryDir m_home;
    FakeEditorView* m_editor = nullptr;
    FakeReachability* m_reachability = nullptr;
    int m_terminations = 0;

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        isolateUserFolders(m_home.path());
        QCoreApplication::setApplicationVersion(QStringLiteral("3.1.4"));
    }
    void init()
    {
        clearUserDefaults();
        launch();
    }
    void cleanup() { m_app.reset(); }

    void firstLaunchShowsTheMainWindowWithNoPresets()
    {
        QVERIFY(m_app->arrayPresets.isEmpty());
        QVAppStoreWindow* window = controller()->windowMain();
        QTRY_VERIFY(window->isVisible());
        QCOMPARE(window->size(), QSize(1050, 700));
        QCOMPARE(window->minimumSize(), QSize(1050, 700));
        QCOMPARE(window->titleBarHeight(), 30.0);
        QVERIFY(m_app->menuSelectAll->isVisible());
        QVERIFY(!m_app->menuDeselectAll->isVisible());
        QVERIFY(find<QWidget>(window, "vwExifEditor"));
        for (const char* name : { "btnCloseWindow", "btnMinimizeWindow", "btnZoomWindow", "vwTopContainer",
                 "vwMouseDownLintener", "mainBG", "headerBG" })
            QVERIFY2(find<QWidget>(window, name), name);
        QCOMPARE(find<IMGButton>(window, "btnCloseWindow")->imgOffState_En(), QStringLiteral("close-normal"));
    }

    // A 1600 x 1000 screen at a scale of 2 shows 800 x 500: the window fits it, title
    // bar and all, instead of starting above and left of it.
    void theWindowStartsCentredAndShrinksToASmallScreen()
    {
        QCOMPARE(MainWindowController::initialGeometry(QRect(0, 0, 1600, 1000)), QRect(275, 150, 1050, 700));
        QCOMPARE(MainWindowController::initialGeometry(QRect(0, 0, 800, 500)), QRect(0, 0, 800, 500));
        QCOMPARE(MainWindowController::initialGeometry(QRect(100, 30, 1000, 970)), QRect(100, 165, 1000, 700));
    }

    void theAddPhotosWindowComesUpInFrontOfADisabledTitleBar()
    {
        waitForAddPhotosWindow();
        QVAppStoreWindow* window = controller()->windowMain();
        // Inside the main window, centred on it, whatever the window system does with windows.
        QWidget* addPhotos = controller()->winAddPhotos();
        QVERIFY(!addPhotos->isWindow());
        QCOMPARE(addPhotos->window(), window);
        QCOMPARE(QRect(addPhotos->mapTo(window, QPoint(0, 0)), addPhotos->size()).center(), window->rect().center());
        // The veil takes the press meant for the editor behind it.
        QVERIFY(!m_editor->isEnabled());
        QVERIFY(!m_editor->isAncestorOf(QApplication::widgetAt(window->mapToGlobal(QPoint(5, 100)))));
        for (const char* name : { "btnCloseWindow", "btnMinimizeWindow", "btnZoomWindow" })
            QVERIFY2(!find<QWidget>(window, name)->isEnabled(), name);
        QVERIFY(!window->isResizable());
        QCOMPARE(m_editor->setUps, 0);
    }

    void presetsSurviveARestart()
    {
        auto summer = std::make_shared<MetaDataObject>();
        summer->name = QStringLiteral("Sommer in Köln");
        summer->setCopyright(QStringLiteral("© Ærø"));
        summer->dateTimeConfigCreationDate()->tagConfigureOption = DateTimeConfiguration::ChosenDate;
        summer->dateTimeConfigCreationDate()->stringSelectedDate = QStringLiteral("2024:07:01 12:00:00");
        auto tokyo = std::make_shared<MetaDataObject>();
        tokyo->name = QStringLiteral("東京の夜");
        m_app->arrayPresets = { summer, tokyo };
        m_app->presetsDidChange();
        // Written shortly, not only at the end.
        QTRY_VERIFY(storedDefaults().contains(UserDefaults::kPresetArchiveKey));

        restart();
        QCOMPARE(m_app->arrayPresets.size(), 2);
        QCOMPARE(m_app->arrayPresets[0]->name, summer->name);
        QCOMPARE(m_app->arrayPresets[0]->Copyright(), summer->Copyright());
        QVERIFY(*m_app->arrayPresets[0]->dateTimeConfigCreationDate() == *summer->dateTimeConfigCreationDate());
        QCOMPARE(m_app->arrayPresets[1]->name, tokyo->name);
    }

    void aRunOfPresetChangesWritesTheArchiveOnce()
    {
        QSignalSpy saved(m_app.get(), &AppDelegate::presetsSaved);
        auto preset = std::make_shared<MetaDataObject>();
        m_app->arrayPresets.insert(0, preset);
        // One change a keystroke, as typing a name in the preset window gives.
        const QString name = QStringLiteral("New Configuration");
        for (int i = 1; i <= name.size(); ++i) {
            preset->name = name.left(i);
            m_app->presetsDidChange();
        }
        QVERIFY(m_app->isPresetsSavePending());
        QCOMPARE(saved.size(), 0);
        QTRY_COMPARE(saved.size(), 1);
        UserDefaults store(storedDefaults().fileName());
        QVERIFY(store.dataForKey(UserDefaults::kPresetArchiveKey).contains("New Configuration"));
        QVERIFY(!m_app->isPresetsSavePending()); // no second write follows
    }

    void aPendingPresetChangeIsWrittenAtQuit()
    {
        auto preset = std::make_shared<MetaDataObject>();
        preset->name = QStringLiteral("Last Minute");
        m_app->arrayPresets.insert(0, preset);
        m_app->presetsDidChange();
        QSignalSpy saved(m_app.get(), &AppDelegate::presetsSaved);
        m_app->terminate();
        QCOMPARE(saved.size(), 1);
        QVERIFY(!m_app->isPresetsSavePending());
        UserDefaults store(storedDefaults().fileName());
        QVERIFY(store.dataForKey(UserDefaults::kPresetArchiveKey).contains("Last Minute"));
    }

    void savingThePresetsAgainKeepsTheArchiveSize()
    {
        // Presets of a few values each, as the archive holds them: saving them
        // again must not write out every default they leave unsaid.
        QByteArray archive = "{\"$class\":\"ProjectSession\",\"arrayPresets\":[";
        for (int i = 0; i < 1000; ++i) {
            archive += (i ? "," : "");
            archive += QStringLiteral("{\"$class\":\"MetaDataObject\",\"Artist\":\"Zoë %1\",\"name\":\"Préréglage "
                                      "%1 写真\"}")
                           .arg(i)
                           .toUtf8();
        }
        archive += "]}";
        {
            UserDefaults store(storedDefaults().fileName());
            store.setData(archive, UserDefaults::kPresetArchiveKey);
        }
        const QString file = storedDefaults().fileName();
        const qint64 stored = QFileInfo(file).size();
        for (int round = 0; round < 10; ++round) {
            m_app->loadPresetsSettings();
            QCOMPARE(m_app->arrayPresets.size(), 1000);
            m_app->saveProjectSession();
            QCOMPARE(QFileInfo(file).size(), stored);
        }
        QCOMPARE(m_app->arrayPresets[7]->Artist(), QStringLiteral("Zoë 7"));
        QVERIFY(!storedDefaults().contains(UserDefaults::kUnreadablePresetArchiveKey));
    }

    void aWorkerThatDoesNotStopCannotKeepTheApplicationFromEnding()
    {
        // The worker answers its stop only once the backstop has given up on it.
        std::promise<void> released;
        std::shared_future<void> release = released.get_future().share();
        std::atomic<int> ends { 0 };
        QByteArray savedBeforeTheEnd;
        m_app->setQuitBackstop(std::chrono::milliseconds(20), [&] {
            ++ends;
            savedBeforeTheEnd = UserDefaults(storedDefaults().fileName()).dataForKey(UserDefaults::kPresetArchiveKey);
            released.set_value();
        });
        auto preset = std::make_shared<MetaDataObject>();
        preset->name = QStringLiteral("Kept Through A Hang");
        m_app->arrayPresets.insert(0, preset);
        WorkerRegistry::Registration stuck = m_app->workers().add([release] { release.wait(); });

        m_app->terminate();

        QCOMPARE(ends.load(), 1);
        QVERIFY(savedBeforeTheEnd.contains("Kept Through A Hang"));
        QCOMPARE(m_terminations, 1);
    }

    void theBackstopEndsNothingOnceDisarmedAndDoesNotWaitForLastWordsThatHang()
    {
        std::atomic<int> ends { 0 };
        std::atomic<int> spoken { 0 };
        {
            QuitBackstop backstop(std::chrono::seconds(30), [&] { ++spoken; }, [&] { ++ends; });
        }
        QCOMPARE(ends.load(), 0);
        QCOMPARE(spoken.load(), 0);

        auto hang = std::make_shared<std::promise<void>>();
        std::shared_future<void> unhang = hang->get_future().share();
        std::promise<void> ended;
        std::future<void> endedFuture = ended.get_future();
        QuitBackstop backstop(std::chrono::milliseconds(1), [unhang] { unhang.wait(); }, [&] { ended.set_value(); });
        QCOMPARE(endedFuture.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        hang->set_value();
    }

    void anEmptyListIsArchivedAtQuit()
    {
        m_app->terminate();
        QCOMPARE(m_terminations, 1);
        QVERIFY(storedDefaults().contains(UserDefaults::kPresetArchiveKey));
        restart();
        QVERIFY(m_app->arrayPresets.isEmpty());
    }

    void anUnreadableArchiveIsKeptBeforeItIsWrittenOver()
    {
        m_app.reset();
        const QByteArray damaged("{\"$class\":\"ProjectSession\",\"arrayPresets\":[{\"$cla");
        {
            QSettings settings = storedDefaults();
            settings.setValue(UserDefaults::kPresetArchiveKey, damaged);
        }
        launch();
        QVERIFY(m_app->arrayPresets.isEmpty());
        // The start says so, and where the bytes are.
        QCOMPARE(m_presenter->alerts.size(), 1);
        const AlertRequest& alert = m_presenter->alerts.first().request;
        QCOMPARE(alert.objectName, QStringLiteral("alertPresetsNotRead"));
        QCOMPARE(alert.message, QStringLiteral("The presets could not be read."));
        QVERIFY(alert.informativeText.contains(storedDefaults().fileName()));
        QVERIFY(alert.informativeText.contains(UserDefaults::kUnreadablePresetArchiveKey));
        m_app->terminate();
        {
            QSettings settings = storedDefaults();
            QCOMPARE(settings.value(UserDefaults::kUnreadablePresetArchiveKey).toByteArray(), damaged);
            QVERIFY(settings.value(UserDefaults::kPresetArchiveKey).toByteArray() != damaged);
        }

        // A second damaged archive is kept beside the first, never over it.
        m_app.reset();
        const QByteArray damagedAgain("{\"$class\":\"ProjectSession\",\"arrayPre");
        storedDefaults().setValue(UserDefaults::kPresetArchiveKey, damagedAgain);
        launch();
        QCOMPARE(m_presenter->alerts.size(), 1);
        QVERIFY(m_presenter->alerts.first().request.informativeText.contains(
            QStringLiteral("PROJECT_SESSION.unreadable.2")));
        m_app->terminate();
        QSettings settings = storedDefaults();
        QCOMPARE(settings.value(UserDefaults::kUnreadablePresetArchiveKey).toByteArray(), damaged);
        QCOMPARE(settings.value(QStringLiteral("PROJECT_SESSION.unreadable.2")).toByteArray(), damagedAgain);
        QVERIFY(settings.value(UserDefaults::kPresetArchiveKey).toByteArray() != damagedAgain);
    }

    void openingTheMainWindowAgainKeepsOneController()
    {
        MainWindowController* first = controller();
        m_app->openMainWindow();
        QCOMPARE(controller(), first);
        const auto windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(),
                     [](QWidget* w) { return qobject_cast<QVAppStoreWindow*>(w) != nullptr; }),
            1);
    }

    void theCloseButtonEndsTheApplicationWithoutPendingEdits_data()
    {
        QTest::addColumn<bool>("photos");
        QTest::addColumn<bool>("edits");
        QTest::newRow("no photos, no edits") << false << false;
        QTest::newRow("no photos, edits") << false << true;
        QTest::newRow("photos, no edits") << true << false;
    }
    void theCloseButtonEndsTheApplicationWithoutPendingEdits()
    {
        QFETCH(bool, photos);
        QFETCH(bool, edits);
        if (photos)
            m_app->editorContext().batchList().append(std::make_shared<PhotoFile>());
        m_editor->paramsChanged = edits;
        controller()->btnCloseWindowTapped();
        QTRY_COMPARE(m_terminations, 1);
        QVERIFY(!controller()->alertCloseApp()->isVisible());
    }

    void pendingEditsAskBeforeClosing()
    {
        givePhotosAndEdits(true);
        QDialog* sheet = controller()->alertCloseApp();
        controller()->btnCloseWindowTapped();
        QTRY_VERIFY(sheet->isVisible());
        QVERIFY(m_app->editorContext().isSubWindowOpened());
        // Drawn inside the main window, over a veil that takes every press.
        QCOMPARE(sheet->parentWidget(), controller()->windowMain());
        QVERIFY(!sheet->isWindow());

        QTest::mouseClick(find<QPushButton>(sheet, "btnNoOnCloseApp"), Qt::LeftButton);
        QVERIFY(!sheet->isVisible());
        QVERIFY(!m_app->editorContext().isSubWindowOpened());
        QVERIFY(controller()->windowMain()->isVisible());
        QTest::qWait(0);
        QCOMPARE(m_terminations, 0);

        controller()->btnCloseWindowTapped();
        QTRY_VERIFY(sheet->isVisible());
        QTest::mouseClick(find<QPushButton>(sheet, "btnYesOnCloseApp"), Qt::LeftButton);
        QVERIFY(!m_app->editorContext().isSubWindowOpened());
        QTRY_COMPARE(m_terminations, 1);
    }

    void quitFromTheMenuAsksAboutPendingEditsLikeTheCloseButton()
    {
        givePhotosAndEdits(true);
        QDialog* sheet = controller()->alertCloseApp();
        auto* quit = m_app->findChild<QAction*>(QStringLiteral("menuQuit"));
        QVERIFY(quit);
        quit->trigger();
        QTRY_VERIFY(sheet->isVisible());
        QTest::mouseClick(find<QPushButton>(sheet, "btnNoOnCloseApp"), Qt::LeftButton);
        QTest::qWait(0);
        QCOMPARE(m_terminations, 0);

        // Without pending edits it ends at once.
        m_editor->paramsChanged = false;
        quit->trigger();
        QTRY_COMPARE(m_terminations, 1);
        QVERIFY(!sheet->isVisible());
    }

    void theEditMenuChangesTheAnswerAboutOnlineMapsAndPlaceNames()
    {
        auto* online = m_app->findChild<QAction*>(QStringLiteral("menuOnlineServices"));
        QVERIFY(online && online->isCheckable());
        NotificationSpy changed(Notifications::onlineServicesChanged);
        online->trigger();
        QCOMPARE(OnlineServices::settingsFrom(m_app->defaults()).consent, OnlineServices::Consent::Online);
        online->trigger();
        QCOMPARE(OnlineServices::settingsFrom(m_app->defaults()).consent, OnlineServices::Consent::OfflineOnly);
        QCOMPARE(changed.received.size(), 2);
    }

    void aCloseFromElsewhereDoesNotAsk()
    {
        givePhotosAndEdits(true);
        controller()->windowMain()->close();
        QTRY_COMPARE(m_terminations, 1);
        QVERIFY(!controller()->alertCloseApp()->isVisible());
    }

    void mainWindowCloseEndsTheApplicationEvenWhenTheWindowIsHidden()
    {
        controller()->windowMain()->hide();
        NotificationCenter::defaultCenter().post(Notifications::mainWindowClose, nullptr,
            { { Notifications::objectKey, QVariant::fromValue<QObject*>(controller()->windowMain()) } });
        QTRY_COMPARE(m_terminations, 1);
    }

    void closingAnotherWindowDoesNotEndTheApplication()
    {
        waitForAddPhotosWindow();
        NotificationCenter::defaultCenter().post(Notifications::windowWillClose, controller()->winAddPhotos());
        NotificationCenter::defaultCenter().post(Notifications::mainWindowClose, nullptr,
            { { Notifications::objectKey, QVariant::fromValue<QObject*>(m_app.get()) } });
        QTest::qWait(0);
        QCOMPARE(m_terminations, 0);
    }

    void theAddPhotosWindowsCloseButtonEndsTheApplication()
    {
        waitForAddPhotosWindow();
        QTest::mouseClick(find<QWidget>(controller()->winAddPhotos(), "btnCloseAddPhotoWin"), Qt::LeftButton);
        QTRY_COMPARE(m_terminations, 1);
    }

    void addingPhotosHandsThePathsToTheEditor()
    {
        waitForAddPhotosWindow();
        QTest::mouseClick(find<QPushButton>(controller()->winAddPhotos(), "btnAddPhotos"), Qt::LeftButton);
        QCOMPARE(m_presenter->panels.size(), 1);
        const OpenPanelRequest& request = m_presenter->panels.last().request;
        QCOMPARE(request.prompt, QStringLiteral("Add Photos"));
        QVERIFY(request.chooseFiles && !request.chooseDirectories && request.multipleSelection);
        QVERIFY(request.nameFilters.first().contains("*.ppm") && request.nameFilters.first().contains("*.PCT"));
        // Camera HEIF files come as ".HIF", which a folder add takes too.
        QVERIFY(request.nameFilters.first().contains("*.HIF"));
        QVERIFY(m_app->editorContext().isSubWindowOpened());
        QVERIFY(!m_app->menuSelectAll->isVisible());
        QVERIFY(m_app->menuDeselectAll->isVisible());

        const QString photo = m_home.path() + "/Pictures/a.jpg";
        m_presenter->answerPanel({ photo, m_home.path() + "/Pictures/b.jpg" });
        QVERIFY(!controller()->winAddPhotos()->isVisible());
        QVERIFY(!m_app->editorContext().isSubWindowOpened());
        QVERIFY(m_app->menuSelectAll->isVisible());
        QCOMPARE(m_editor->setUps, 1);
        QCOMPARE(m_editor->added.size(), 2);
        QCOMPARE(m_editor->added.first(), QUrl::fromLocalFile(photo));
        QVERIFY(!m_editor->addedAsLibrary);
        QVERIFY(find<QWidget>(controller()->windowMain(), "btnCloseWindow")->isEnabled());
        QVERIFY(controller()->windowMain()->isResizable());
    }

    void aCancelledPanelLeavesTheAddPhotosWindow()
    {
        waitForAddPhotosWindow();
        QTest::mouseClick(find<QPushButton>(controller()->winAddPhotos(), "btnAddFolders"), Qt::LeftButton);
        QVERIFY(m_presenter->panels.last().request.chooseDirectories);
        m_presenter->answerPanel({});
        QVERIFY(controller()->winAddPhotos()->isVisible());
        QVERIFY(!m_app->editorContext().isSubWindowOpened());
        QVERIFY(m_editor->added.isEmpty());
    }

    void thePhotoLibraryPanelStartsInPictures()
    {
        waitForAddPhotosWindow();
        QTest::mouseClick(find<QPushButton>(controller()->winAddPhotos(), "btnAddiPhotos"), Qt::LeftButton);
        const OpenPanelRequest& request = m_presenter->panels.last().request;
        QCOMPARE(request.prompt, QStringLiteral("Add iPhoto Library"));
        QCOMPARE(request.directory, QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
        QVERIFY(request.treatPackagesAsFiles);
        QVERIFY(!m_app->editorContext().isSubWindowOpened());
        QVERIFY(!m_app->menuSelectAll->isVisible());
        m_presenter->answerPanel({ m_home.path() + "/Pictures/Old.photolibrary" });
        QCOMPARE(m_editor->added.size(), 1);
    }

    void photosInTheTrashAreRefused()
    {
        waitForAddPhotosWindow();
        const QString trashed = qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/files/IMG_0001.JPG";
        QTest::mouseClick(find<QPushButton>(controller()->winAddPhotos(), "btnAddPhotos"), Qt::LeftButton);
        m_presenter->answerPanel({ trashed });
        QCOMPARE(m_presenter->alerts.size(), 1);
        QCOMPARE(m_presenter->alerts.first().request.buttons, QStringList { "OK" });
        QVERIFY(controller()->winAddPhotos()->isVisible());
        QVERIFY(m_editor->added.isEmpty());
    }

    void showingTheEditorTakesTheAddPhotosWindowAwayAndRaisesTheMainWindow()
    {
        waitForAddPhotosWindow();
        controller()->showExifEditorWindow();
        QVERIFY(!controller()->winAddPhotos()->isVisible());
        QVERIFY(controller()->windowMain()->isVisible());
    }

    void loadingDisablesCloseAndZoom()
    {
        controller()->hideAddPhotosWindow();
        QWidget* window = controller()->windowMain();
        // The editor's context alone tells the window: no editor view stands between.
        m_app->editorContext().setLoading(true, QStringLiteral("Adding"));
        QVERIFY(!find<QWidget>(window, "btnCloseWindow")->isEnabled());
        QVERIFY(!find<QWidget>(window, "btnZoomWindow")->isEnabled());
        QVERIFY(find<QWidget>(window, "btnMinimizeWindow")->isEnabled());
        m_app->editorContext().setLoading(false, {});
        QVERIFY(find<QWidget>(window, "btnCloseWindow")->isEnabled());
        QVERIFY(find<QWidget>(window, "btnZoomWindow")->isEnabled());
    }

    void zoomTogglesFullScreenAndTheMinimiseButton()
    {
        controller()->hideAddPhotosWindow();
        QWidget* minimise = find<QWidget>(controller()->windowMain(), "btnMinimizeWindow");
        controller()->btnZoomWindowTapped();
        QVERIFY(controller()->isFullscreenEnable());
        QVERIFY(!minimise->isEnabled());
        controller()->btnZoomWindowTapped();
        QVERIFY(!controller()->isFullscreenEnable());
        QVERIFY(minimise->isEnabled());
    }

    void aDraggedWindowKeepsItsTopOnTheScreen()
    {
        const QRect screen(0, 0, 1920, 1080);
        QCOMPARE(MainWindowController::draggedOrigin({ 500, 300 }, { 100, 10 }, screen), QPoint(400, 290));
        QCOMPARE(MainWindowController::draggedOrigin({ 500, 5 }, { 100, 10 }, screen), QPoint(400, 0));
        QCOMPARE(MainWindowController::draggedOrigin({ -50, 2000 }, { 100, 10 }, screen), QPoint(-150, 1990));
    }

    void helpAndRateSayWhenNoBrowserTookThePage()
    {
        m_opener->succeeds = false;
        for (const char* item : { "menuHelp", "menuRate" }) {
            m_presenter->alerts.clear();
            m_app->findChild<QAction*>(QString::fromLatin1(item))->trigger();
            QCOMPARE(m_presenter->alerts.size(), 1);
            QCOMPARE(m_presenter->alerts.first().request.objectName, QStringLiteral("alertPageNotOpened"));
        }
        m_opener->succeeds = true;
        m_presenter->alerts.clear();
        m_app->findChild<QAction*>(QStringLiteral("menuHelp"))->trigger();
        QVERIFY(m_presenter->alerts.isEmpty());
    }

    void theRateSheetsYesOpensTheProjectPageAndEndsTheApplication()
    {
        NotificationSpy closing(Notifications::mainWindowClose);
        NotificationCenter::defaultCenter().post(Notifications::showRatePopup);
        QDialog* sheet = controller()->winRateus();
        QTRY_VERIFY(sheet->isVisible());
        QVERIFY(m_app->editorContext().isSubWindowOpened()); // until the sheet is answered, not only while it opens
        QTest::mouseClick(find<QPushButton>(sheet, "btnYesOnRateUs"), Qt::LeftButton);
        QVERIFY(!m_app->editorContext().isSubWindowOpened());
        QCOMPARE(m_opener->opened, QList<QUrl> { QUrl(Links::projectPage) });
        QCOMPARE(m_app->defaults().stringForKey("appVersion"), std::optional<QString>("3.1.4"));
        QCOMPARE(closing.received.size(), 1);
        QCOMPARE(closing.received.first().userInfo.value(Notifications::objectKey).value<QObject*>(),
            controller()->windowMain());
        QVERIFY(!controller()->windowMain()->isVisible());
        QTRY_COMPARE(m_terminations, 1);
    }

    void theRateSheetsAnswerAsksAboutUnwrittenEditsFirst()
    {
        givePhotosAndEdits(true);
        controller()->showAlertForRateApp();
        QTest::mouseClick(find<QPushButton>(controller()->winRateus(), "btnNoOnRateUs"), Qt::LeftButton);
        QDialog* sheet = controller()->alertCloseApp();
        QTRY_VERIFY(sheet->isVisible());
        QVERIFY(m_app->editorContext().isSubWindowOpened());
        QTest::mouseClick(find<QPushButton>(sheet, "btnNoOnCloseApp"), Qt::LeftButton);
        QTest::qWait(0);
        QCOMPARE(m_terminations, 0);
        QVERIFY(controller()->windowMain()->isVisible());

        controller()->showAlertForRateApp();
        QTest::mouseClick(find<QPushButton>(controller()->winRateus(), "btnYesOnRateUs"), Qt::LeftButton);
        QTRY_VERIFY(sheet->isVisible());
        QTest::mouseClick(find<QPushButton>(sheet, "btnYesOnCloseApp"), Qt::LeftButton);
        QTRY_COMPARE(m_terminations, 1);
    }

    void theRateSheetsAnswersStoreTheVersionOnlyWhenAsked_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("pageOpens");
        QTest::addColumn<bool>("dontAskAgain");
        QTest::addColumn<bool>("stored");
        QTest::newRow("no") << "btnNoOnRateUs" << true << false << false;
        QTest::newRow("no, do not ask again") << "btnNoOnRateUs" << true << true << true;
        QTest::newRow("yes, page fails") << "btnYesOnRateUs" << false << false << false;
        QTest::newRow("yes, page fails, do not ask again") << "btnYesOnRateUs" << false << true << true;
        // The application's window keys make Escape the No answer.
        QTest::newRow("escape, do not ask again") << "Escape" << true << true << true;
    }
    void theRateSheetsAnswersStoreTheVersionOnlyWhenAsked()
    {
        QFETCH(QString, answer);
        QFETCH(bool, pageOpens);
        QFETCH(bool, dontAskAgain);
        QFETCH(bool, stored);
        m_opener->succeeds = pageOpens;
        controller()->showAlertForRateApp();
        QDialog* sheet = controller()->winRateus();
        find<QCheckBox>(sheet, "btnCheckDontShowRateUs")->setChecked(dontAskAgain);
        if (answer == "Escape")
            QTest::keyClick(sheet, Qt::Key_Escape);
        else
            QTest::mouseClick(sheet->findChild<QPushButton*>(answer), Qt::LeftButton);
        QVERIFY(!sheet->isVisible());
        QCOMPARE(m_app->defaults().contains("appVersion"), stored);
        QCOMPARE(m_opener->opened.size(), answer == "btnYesOnRateUs" ? 1 : 0);
        QTRY_COMPARE(m_terminations, 1);
    }

    void theSixthSummaryClosingBringsTheRateSheet()
    {
        NotificationSpy prompts(Notifications::showRatePopup);
        for (int closing = 1; closing <= 5; ++closing)
            m_app->countSummaryClosing();
        QCOMPARE(m_app->defaults().integerForKey("rateMeCounter"), std::optional<int>(5));
        m_app->countSummaryClosing();
        QCOMPARE(m_app->defaults().integerForKey("rateMeCounter"), std::optional<int>(1));
        QTRY_COMPARE(prompts.received.size(), 1);
        QTRY_VERIFY(controller()->winRateus()->isVisible());
    }

    void nothingIsCountedOnceThisVersionIsRated()
    {
        m_app->defaults().setString("3.1.3", "appVersion");
        QVERIFY(!m_app->isRunningVersionRated());
        m_app->defaults().setString("3.1.4", "appVersion");
        QVERIFY(m_app->isRunningVersionRated());
        m_app->countSummaryClosing();
        QVERIFY(!m_app->defaults().contains("rateMeCounter"));
    }

    void withoutPromotionTheRateAnswerClosesTheWindow()
    {
        m_app->defaults().setBool(true, "notShowPromotionWindow");
        NotificationSpy closing(Notifications::mainWindowClose);
        controller()->showAlertForRateApp();
        QTest::mouseClick(find<QPushButton>(controller()->winRateus(), "btnNoOnRateUs"), Qt::LeftButton);
        QVERIFY(closing.received.isEmpty());
        QTRY_COMPARE(m_terminations, 1);
    }

    void theTipsPageClosesThroughItsAnchor()
    {
        controller()->hideAddPhotosWindow();
        m_app->showTips();
        QWidget* tips = controller()->winTips();
        QTextBrowser* page = controller()->webViewTips();
        QTRY_VERIFY(tips->isVisible());
        QCOMPARE(tips->window(), controller()->windowMain());
        QCOMPARE(tips->geometry().center(), controller()->windowMain()->rect().center());
        QCOMPARE(page->source(), QUrl(MainWindowController::kTipsPage));
        QVERIFY(page->toPlainText().contains("Velloran"));
        QTRY_VERIFY(tips->isActiveWindow());

        controller()->tipsLinkActivated(QUrl("app:quit"));
        QVERIFY(tips->isVisible());
        QCOMPARE(m_terminations, 0);
        controller()->tipsLinkActivated(QUrl("https://example.org/guide"));
        QCOMPARE(m_opener->opened, QList<QUrl> { QUrl("https://example.org/guide") });

        controller()->tipsLinkActivated(QUrl("app:close-tips"));
        QVERIFY(!tips->isVisible());
        QTRY_VERIFY(controller()->windowMain()->isActiveWindow());
    }

    // The tips are drawn inside the main window, take the keyboard each time they
    // come, and still close on the keys of a window.
    void escapeAndCtrlWCloseTheTips()
    {
        controller()->hideAddPhotosWindow();
        QWidget* tips = controller()->winTips();
        // The user was typing in the window when the tips were asked for.
        auto* field = new QLineEdit(m_editor);
        field->show();
        for (const QKeySequence& keys : { QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close) }) {
            field->setFocus();
            m_app->showTips();
            QTRY_VERIFY(tips->isActiveWindow());
            QTRY_COMPARE(QApplication::focusWidget(), controller()->webViewTips());
            QTest::keySequence(QApplication::focusWidget(), keys);
            QVERIFY2(!tips->isVisible(), qPrintable(keys.toString()));
        }
    }

    void showingTheTipsAgainGoesBackInsteadOfReloading()
    {
        controller()->hideAddPhotosWindow();
        m_app->showTips();
        QTextBrowser* page = controller()->webViewTips();
        controller()->tipsLinkActivated(QUrl("#presets"));
        QCOMPARE(page->source().fragment(), QStringLiteral("presets"));
        m_app->showTips();
        QCOMPARE(page->source(), QUrl(MainWindowController::kTipsPage));
    }

    void reachabilityIsRecordedOnEveryChange()
    {
        QTRY_VERIFY(m_app->internetReachability());
        QTest::qWait(0);
        QCOMPARE(m_app->networkStatus, 0);
        QVERIFY(!m_app->isInternetAvailable);

        m_reachability->state = { true, NetworkReachability::State::Online, NetworkReachability::Transport::WiFi };
        m_reachability->notifyChanged();
        QCOMPARE(m_app->networkStatus, 1);
        QVERIFY(m_app->isInternetAvailable && m_app->isInternetAvailableUsingWiFi);
        QVERIFY(!m_app->isInternetAvailableUsingDataProvider);

        m_reachability->state.transport = NetworkReachability::Transport::Cellular;
        m_reachability->notifyChanged();
        QCOMPARE(m_app->networkStatus, 2);
        QVERIFY(m_app->isInternetAvailableUsingDataProvider && !m_app->isInternetAvailableUsingWiFi);

        m_reachability->state.state = NetworkReachability::State::Local;
        m_reachability->notifyChanged();
        QCOMPARE(m_app->networkStatus, 0);
        QVERIFY(!m_app->isInternetAvailable);
    }

    void aSecondStartBringsTheFirstToTheFront()
    {
        const QString lock = m_home.path() + "/runtime/test.lock";
        const QString socket = m_home.path() + "/runtime/test.socket";
        SingleInstance first(lock, socket);
        QVERIFY(first.tryToRun());
        QSignalSpy activation(&first, &SingleInstance::activationRequested);

        SingleInstance second(lock, socket);
        QVERIFY(!second.tryToRun());
        QVERIFY(second.activateRunningInstance());
        QVERIFY(activation.wait());

        controller()->hideAddPhotosWindow();
        controller()->windowMain()->showMinimized();
        connect(&first, &SingleInstance::activationRequested, m_app.get(), &AppDelegate::activateMainWindow);
        QVERIFY(second.activateRunningInstance());
        QTRY_VERIFY(!controller()->windowMain()->isMinimized());
    }

    void aLaterStartFindsNobodyWhenTheFirstIsGone()
    {
        const QString lock = m_home.path() + "/runtime/gone.lock";
        const QString socket = m_home.path() + "/runtime/gone.socket";
        {
            SingleInstance first(lock, socket);
            QVERIFY(first.tryToRun());
        }
        SingleInstance later(lock, socket);
        QVERIFY(!later.activateRunningInstance(200));
        QVERIFY(later.tryToRun());
    }

    void anotherUsersFilesInTheSharedFolderDoNotKeepUsFromStarting()
    {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray temporary = qgetenv("TMPDIR");
        const QString shared = m_home.path() + "/shared-tmp";
        QVERIFY(QDir().mkpath(shared));
        QVERIFY(::chmod(QFile::encodeName(shared).constData(), 01777) == 0);
        // What another user could leave there before our first start: the lock's
        // old fixed name, and the folders a runtime folder would fall back to.
        const QString uid = QString::number(::geteuid());
        const QByteArray theirLock = QFile::encodeName(shared + "/velloran-" + uid + ".lock");
        QFile(QFile::decodeName(theirLock)).open(QIODevice::WriteOnly);
        if (::chown(theirLock.constData(), 4242, 4242) != 0)
            QSKIP("Making a file of another owner needs root");
        for (const QString& name : { QString("runtime-") + QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name),
                 QString("velloran-") + uid }) {
            const QByteArray folder = QFile::encodeName(shared + "/" + name);
            QVERIFY(::mkdir(folder.constData(), 0777) == 0);
            QVERIFY(::chmod(folder.constData(), 0777) == 0);
            QVERIFY(::chown(folder.constData(), 4242, 4242) == 0);
        }
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(shared));
        const QString lock = SingleInstance::defaultPath(QStringLiteral("lock"));
        const QString socket = SingleInstance::defaultPath(QStringLiteral("socket"));
        {
            SingleInstance instance;
            QVERIFY(instance.tryToRun());
        }
        qputenv("XDG_RUNTIME_DIR", runtime);
        qputenv("TMPDIR", temporary);
        QVERIFY(!lock.startsWith(shared));
        QCOMPARE(QFileInfo(lock).path(), QFileInfo(socket).path());
        struct stat folder { };
        QVERIFY(::lstat(QFile::encodeName(QFileInfo(lock).path()).constData(), &folder) == 0);
        QCOMPARE(folder.st_uid, ::geteuid());
        QCOMPARE(folder.st_mode & 0777, 0700u);
    }

    void theSettingsAreTheUsersAlone()
    {
        const QString path = m_home.path() + "/open.ini";
        QFile open(path);
        QVERIFY(open.open(QIODevice::WriteOnly));
        open.close();
        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        UserDefaults defaults(path);
        defaults.setString("x", "presets");
        QVERIFY(defaults.synchronize());
        QCOMPARE(QFile::permissions(path) & 0x0FFF, QFile::ReadUser | QFile::WriteUser);
        const QString fresh = m_home.path() + "/fresh/settings.ini";
        UserDefaults(fresh).setString("x", "presets");
        QCOMPARE(QFile::permissions(fresh) & 0x0FFF, QFile::ReadUser | QFile::WriteUser);
    }

    void aTerminationSignalEndsTheApplicationTheOrdinaryWay()
    {
        UnixSignalWatcher watcher;
        connect(&watcher, &UnixSignalWatcher::terminationRequested, m_app.get(), &AppDelegate::terminate);
        ::raise(SIGHUP);
        QTRY_COMPARE(m_terminations, 1);
        QVERIFY(storedDefaults().contains(UserDefaults::kPresetArchiveKey));
    }

    void terminationWaitsForRunningWorkersBeforeSaving()
    {
        QStringList order;
        auto worker = m_app->workers().add([&] {
            order << "worker stopped";
            QVERIFY(!storedDefaults().contains(UserDefaults::kPresetArchiveKey));
        });
        m_app->terminate();
        order << (storedDefaults().contains(UserDefaults::kPresetArchiveKey) ? "saved" : "not saved");
        QCOMPARE(order, (QStringList { "worker stopped", "saved" }));
    }
};

QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
