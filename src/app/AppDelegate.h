#pragma once

#include "base/NotificationCenter.h"
#include "base/WorkerRegistry.h"
#include "controls/EditorContext.h"
#include "controls/WindowServices.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

class MainWindowController;
class Presenter;
class QUrl;
class QAction;
class QMenuBar;
class QWidget;
class Reachability;
class UrlOpener;
class UserDefaults;

// The application delegate: start-up and shut-down, and the state the whole
// application shares for the run. Every part reaches it through AppDelegate::shared().
//
// The state is read and written on the main thread; the two flags a worker may set
// are atomic. It lends the window's panels its services (WindowServices).
// The preset list outlives the run through the preset archive under
// "PROJECT_SESSION", written shortly after the list changes and at termination.
class AppDelegate : public QObject, public WindowServices {
    Q_OBJECT
public:
    using EditorViewFactory = std::function<QWidget*(QWidget* parent)>;

    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    // The running delegate (the last one made and not yet destroyed).
    static AppDelegate* shared();

    // ---- Start-up and shut-down ----
    void applicationDidFinishLaunching();
    // Stops and waits for the running workers, then writes the preset archive. The
    // wait lasts kQuitWorkersBound at most; then the presets are written and the
    // process ends (QuitBackstop).
    // Runs once, whichever path ends the application.
    void applicationWillTerminate();
    // Ends the application: applicationWillTerminate, then the event loop ends.
    void terminate();
    bool isTerminating() const { return m_terminating; }

    // ---- Preset archive ----
    void saveProjectSession();
    // Reads the presets. Where they could not be read (a damaged archive, or a
    // settings file that was no INI file), start-up then says so in an alert
    // that names where their bytes were kept.
    void loadPresetsSettings();
    // Whoever changes arrayPresets in place calls this (the presets panel's
    // presetsChanged is connected to it); the archive is written kPresetsSaveDelayMs
    // after the first of a run of changes, once for the whole run.
    void presetsDidChange();
    bool isPresetsSavePending() const { return m_presetsSaveTimer.isActive(); }
    static constexpr int kPresetsSaveDelayMs = 300;

    // ---- Main window ----
    void openMainWindow();
    MainWindowController* myWindowController() const { return m_windowController.get(); }
    // Brings the main window to the front (a later start of the application asked).
    void activateMainWindow();
    // Start-up is timed from this timer to the main window's first showing.
    void setLaunchTimer(const QElapsedTimer& timer) { m_launchTimer = timer; }
    // Hides "Select All" and shows "Deselect All" while flag is true (open panels).
    void enableSelectAll(bool flag);
    QMenuBar* createMenuBar(QWidget* parent);

    // ---- Window close paths ----
    void handleWindowClose(const Notification& notification);
    void mainWindowCloseNotification(const Notification& notification);
    void handleWindowClose_Main(QObject* object, QObject* userInfoObject);

    // ---- Menu actions ----
    // Quit from the menu: the main window's close path (which asks about pending
    // edits), or the end at once when there is no window.
    void btnQuitApp();
    void btnHelpTapped();
    void showTips();
    // True when the page opened; then the running version is stored under "appVersion".
    bool btnRateOnAppstoreTapped();
    // An alert saying that no browser took the page.
    void alertPageNotOpened(const QUrl& url);
    // The batch summary closed: counts toward the rate prompt ("rateMeCounter") and,
    // when it is due, asks for it 0.2 s later (Notifications::showRatePopup).
    // Nothing is counted once the running version is rated ("appVersion").
    void countSummaryClosing();
    bool isRunningVersionRated() const;
    // Tag 0 opens the project's page; other tags do nothing.
    void helpMenuItemTapped(int tag);

    // ---- Reachability ----
    void registerReachability();
    void reachabilityChanged(const Notification& notification);
    void updateInterfaceWithReachability(const Reachability* reachability);
    Reachability* internetReachability() const { return m_internetReachability.get(); }
    // Tests hand in a monitor of their own before start-up.
    void setInternetReachability(std::unique_ptr<Reachability> reachability);

    // ---- Services, replaceable by tests ----
    Presenter& presenter() const override { return *m_presenter; }
    void setPresenter(std::shared_ptr<Presenter> presenter);
    UrlOpener& urlOpener() const override { return *m_urlOpener; }
    void setUrlOpener(std::shared_ptr<UrlOpener> opener);
    UserDefaults& defaults() const override;
    WorkerRegistry& workers() override { return m_workers; }
    // What ending the event loop means (default: QCoreApplication::quit()).
    void setTerminateHandler(std::function<void()> handler) { m_terminateHandler = std::move(handler); }
    // How long the end waits for the workers, and what ends the process after that
    // (default: _exit(0)). The whole end stays within 2 s.
    static constexpr std::chrono::milliseconds kQuitWorkersBound { 1500 };
    void setQuitBackstop(std::chrono::milliseconds bound, std::function<void()> endProcess)
    {
        m_quitBound = bound;
        m_quitBackstopEnd = std::move(endProcess);
    }
    void setEditorViewFactory(EditorViewFactory factory) { m_editorViewFactory = std::move(factory); }

    // ---- Application-wide state ----
    // The editor's shared state, the batch list among it.
    EditorContext& editorContext() const override { return *m_editorContext; }
    bool isExifEditingFirstTime = false;
    std::atomic<bool> isProcessingWithFileSystem { false };
    std::shared_ptr<MetaDataObject> selectedMetatDataSettingObj;
    std::shared_ptr<MetaDataObject> selectedMetatDataSettingObjOnlyUpdatedFields;
    QList<std::shared_ptr<MetaDataObject>> arrayPresets;
    int networkStatus = 0;
    bool isInternetAvailable = false;
    bool isInternetAvailableUsingDataProvider = false;
    bool isInternetAvailableUsingWiFi = false;
    bool connectionRequired = false;

    QAction* menuSelectAll = nullptr;
    QAction* menuDeselectAll = nullptr;


signals:
    // The event loop is about to end (after the archive is written).
    void terminating();
    // The preset archive was written.
    void presetsSaved();

private:
    // Ends the helper processes, after the workers or when they did not stop in time.
    static void endHelpers();
    void createMenuActions();
    void alertPresetsNotRead();

    EditorContext* m_editorContext = nullptr;
    std::unique_ptr<MainWindowController> m_windowController;
    std::unique_ptr<Reachability> m_internetReachability;
    std::shared_ptr<Presenter> m_presenter;
    std::shared_ptr<UrlOpener> m_urlOpener;
    WorkerRegistry m_workers;
    std::function<void()> m_terminateHandler;
    std::chrono::milliseconds m_quitBound = kQuitWorkersBound;
    std::function<void()> m_quitBackstopEnd; // empty: _exit(0)
    EditorViewFactory m_editorViewFactory;
    QList<QAction*> m_fileActions;
    QList<QAction*> m_helpActions;
    QAction* m_onlineServicesAction = nullptr;
    QAction* m_quitAction = nullptr;
    QElapsedTimer m_launchTimer;
    QTimer m_presetsSaveTimer;
    QString m_presetsNotReadDetail; // where the unread presets were kept; "" when they were read
    bool m_terminating = false;
    bool m_willTerminateDone = false;
};
