#include "app/AppDelegate.h"

#include "app/AppLogging.h"
#include "app/ExifEditorFactory.h"
#include "app/Links.h"
#include "app/QuitBackstop.h"
#include "app/MainWindowController.h"
#include "app/OnlineConsentPrompt.h"
#include "app/Reachability.h"
#include "platform/UrlOpener.h"
#include "platform/UserDefaults.h"
#include "batch/intake/DBOperations.h"
#include "batch/run/SummaryRateCounter.h"
#include "batch/alerts/AlertCatalog.h"
#include "controls/DialogPresenter.h"
#include "controls/ImageNamed.h"
#include "controls/QVAppStoreWindow.h"
#include "controls/WindowKeys.h"
#include "model/ProjectSession.h"
#include "platform/ExifToolProcess.h"
#include "platform/RestoreData.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QTimer>

namespace {

AppDelegate* g_shared = nullptr;


// Sends a slot such as "selectAll" to the widget with the keyboard focus, when it has one.
void sendToFocusWidget(std::initializer_list<const char*> methods)
{
    QWidget* widget = QApplication::focusWidget();
    if (!widget)
        return;
    for (const char* slot : methods) {
        const QByteArray signature = QByteArray(slot) + "()";
        if (widget->metaObject()->indexOfMethod(signature.constData()) >= 0) {
            QMetaObject::invokeMethod(widget, slot);
            return;
        }
    }
}

} // namespace


AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent)
    , m_editorContext(new EditorContext(this))
    , m_presenter(std::make_shared<DialogPresenter>())
    , m_urlOpener(std::make_shared<DesktopUrlOpener>())
    , m_terminateHandler([] { QCoreApplication::quit(); })
    , m_editorViewFactory(createExifEditorView)
{
    g_shared = this;
    initVelloranResources();
    // Escape and Ctrl+W in every sheet and child window of the application.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        WindowKeys::install(this);
    createMenuActions();
    m_presetsSaveTimer.setSingleShot(true);
    m_presetsSaveTimer.setInterval(kPresetsSaveDelayMs);
    connect(&m_presetsSaveTimer, &QTimer::timeout, this, &AppDelegate::saveProjectSession);
    if (QCoreApplication::instance()) {
        connect(
            QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &AppDelegate::applicationWillTerminate);
    }
}

AppDelegate::~AppDelegate()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    // The windows go before the state they show.
    m_windowController.reset();
    if (g_shared == this)
        g_shared = nullptr;
}

AppDelegate* AppDelegate::shared()
{
    return g_shared;
}

UserDefaults& AppDelegate::defaults() const
{
    return UserDefaults::standardUserDefaults();
}

void AppDelegate::setPresenter(std::shared_ptr<Presenter> presenter)
{
    if (presenter)
        m_presenter = std::move(presenter);
}

void AppDelegate::setUrlOpener(std::shared_ptr<UrlOpener> opener)
{
    if (opener)
        m_urlOpener = std::move(opener);
}

void AppDelegate::setInternetReachability(std::unique_ptr<Reachability> reachability)
{
    m_internetReachability = std::move(reachability);
}

// ---- Start-up and shut-down ----

void AppDelegate::applicationDidFinishLaunching()
{
    m_editorContext->batchList().clear();
    loadPresetsSettings();
    openMainWindow();
    if (!m_presetsNotReadDetail.isEmpty())
        alertPresetsNotRead();

    // The system's network information may take a moment to load; the window
    // shows first, and nothing waits for the answer.
    QTimer::singleShot(0, this, [this] { registerReachability(); });
    // Runs that were killed left exiftool's work folders and copies of photo
    // libraries behind; a listing of two folders, after the window shows.
    QTimer::singleShot(0, this, [] {
        ExifToolProcess::removeAbandonedWorkFolders(QDir::tempPath());
        LibraryDatabaseCopy::removeAbandoned();
    });
    enableSelectAll(false);
}

void AppDelegate::applicationWillTerminate()
{
    if (m_willTerminateDone)
        return;
    m_willTerminateDone = true;
    {
        // A worker may be writing a photo: it finishes the one in hand, and the
        // presets are saved after it. One that does not stop within the bound does
        // not keep the application alive: the backstop saves the presets as they
        // are now, from a store of its own, and ends the process.
        const QByteArray presets = ProjectSession::archivedData(arrayPresets);
        const QString storeFile = defaults().fileName();
        const QuitBackstop backstop(
            m_quitBound,
            [presets, storeFile] {
                UserDefaults store(storeFile);
                store.setPresetArchive(presets);
                store.synchronize();
                endHelpers();
                RestoreData::removeAll();
            },
            m_quitBackstopEnd);
        m_workers.stopAll();
    }
    endHelpers();
    saveProjectSession();
    // The way back of the last run is offered only while the application runs.
    RestoreData::removeAll();
}

void AppDelegate::endHelpers()
{
    // The writers' exiftool processes would otherwise wait for commands until
    // their threads end.
    ExifToolProcess::endAll();
}

void AppDelegate::terminate()
{
    if (m_terminating)
        return;
    m_terminating = true;
    qCInfo(lcApp) << "terminating";
    applicationWillTerminate();
    emit terminating();
    if (m_terminateHandler)
        m_terminateHandler();
}

// ---- Preset archive ----

void AppDelegate::saveProjectSession()
{
    m_presetsSaveTimer.stop(); // this write takes the pending changes along
    UserDefaults& store = defaults();
    store.setPresetArchive(ProjectSession::archivedData(arrayPresets));
    if (!store.synchronize())
        qCWarning(lcApp) << "the presets could not be written to" << store.fileName();
    emit presetsSaved();
}

void AppDelegate::loadPresetsSettings()
{
    arrayPresets.clear();
    m_presetsNotReadDetail.clear();
    UserDefaults& store = defaults();
    if (!store.unreadableFileKept().isEmpty()) {
        m_presetsNotReadDetail = AlertCatalog::settingsFileKept(store.unreadableFileKept());
        qCWarning(lcApp).noquote() << "the settings file could not be read; its bytes are kept in"
                                   << store.unreadableFileKept();
    }
    const std::optional<QByteArray> stored = store.presetArchive();
    if (!stored)
        return;
    const QByteArray& data = *stored;
    const ProjectSession::Unarchived read = ProjectSession::unarchive(data);
    arrayPresets = read.presets;
    if (!read.complete) {
        // Keep what could not be read before the next save writes over it.
        const QString keptUnder = store.keepUnreadablePresetArchive(data);
        store.synchronize();
        qCWarning(lcApp).nospace() << "the stored presets could not be read completely (" << read.presets.size()
                                   << " read); the stored bytes are kept under " << keptUnder;
        m_presetsNotReadDetail = AlertCatalog::presetsKept(store.fileName(), keptUnder, int(read.presets.size()));
    }
}

void AppDelegate::alertPresetsNotRead()
{
    presenter().presentAlert(m_windowController ? m_windowController->windowMain() : nullptr,
        AlertCatalog::presetsNotRead(m_presetsNotReadDetail), {});
}

void AppDelegate::presetsDidChange()
{
    // Typing in the preset window changes the list on every key; the archive is
    // written once the changes have come for a moment, not on each.
    if (!m_presetsSaveTimer.isActive())
        m_presetsSaveTimer.start();
}

// ---- Main window ----

void AppDelegate::openMainWindow()
{
    if (!m_windowController) {
        m_windowController = std::make_unique<MainWindowController>(*this, m_editorViewFactory);
        connect(
            m_windowController.get(), &MainWindowController::mainWindowExposed, this, [this] {
                if (m_launchTimer.isValid())
                    qCInfo(lcApp).noquote()
                        << QStringLiteral("main window shown %1 ms after start").arg(m_launchTimer.elapsed());
            });
        auto& center = NotificationCenter::defaultCenter();
        center.addObserver(
            this, Notifications::windowWillClose, [this](const Notification& n) { handleWindowClose(n); });
        center.addObserver(
            this, Notifications::mainWindowClose, [this](const Notification& n) { mainWindowCloseNotification(n); });
    }
    m_windowController->showWindow();
}

void AppDelegate::activateMainWindow()
{
    if (!m_windowController)
        return;
    QWidget* window = m_windowController->windowMain();
    if (window->isMinimized())
        window->showNormal();
    m_windowController->showWindow();
}

void AppDelegate::enableSelectAll(bool flag)
{
    menuSelectAll->setVisible(!flag);
    menuDeselectAll->setVisible(flag);
}

void AppDelegate::createMenuActions()
{
    auto makeAction = [this](const QString& text, const QString& objectName, auto slot) {
        auto* action = new QAction(text, this);
        action->setObjectName(objectName);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    auto controller = [this](void (MainWindowController::*method)()) {
        return [this, method] {
            if (m_windowController)
                (m_windowController.get()->*method)();
        };
    };

    QAction* addPhotos = makeAction(
        tr("Add Photos…"), QStringLiteral("menuAddPhotos"), controller(&MainWindowController::btnAddPhotosTapped));
    addPhotos->setShortcut(QKeySequence::Open);
    QAction* addFolder = makeAction(
        tr("Add Folder…"), QStringLiteral("menuAddFolder"), controller(&MainWindowController::btnAddFoldersTapped));
    addFolder->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    QAction* addLibrary = makeAction(tr("Add Photos Library…"), QStringLiteral("menuAddPhotosLibrary"),
        controller(&MainWindowController::btnAddiPhotosTapped));
    m_fileActions = { addPhotos, addFolder, addLibrary };
    m_quitAction = makeAction(tr("Quit"), QStringLiteral("menuQuit"), [this] { btnQuitApp(); });
    m_quitAction->setShortcut(QKeySequence::Quit);

    menuSelectAll
        = makeAction(tr("Select All"), QStringLiteral("menuSelectAll"), [] { sendToFocusWidget({ "selectAll" }); });
    menuSelectAll->setShortcut(QKeySequence::SelectAll);
    menuDeselectAll = makeAction(tr("Deselect All"), QStringLiteral("menuDeselectAll"), [] {
        sendToFocusWidget({ "deselect", "clearSelection" });
    });
    menuDeselectAll->setShortcut(QKeySequence::Deselect);

    QAction* tips = makeAction(tr("Tips"), QStringLiteral("menuTips"), [this] { showTips(); });
    QAction* help = makeAction(tr("Velloran Help"), QStringLiteral("menuHelp"), [this] { btnHelpTapped(); });
    help->setShortcut(QKeySequence::HelpContents);
    QAction* rate = makeAction(tr("Rate Velloran…"), QStringLiteral("menuRate"), [this] {
        if (!btnRateOnAppstoreTapped())
            alertPageNotOpened(QUrl(Links::projectPage));
    });
    m_helpActions = { tips, help, rate };

    // The answer to the question about online maps and place names, changed at will.
    m_onlineServicesAction = makeAction(tr("Use Online Maps and Place Names"), QStringLiteral("menuOnlineServices"),
        [this](bool checked) { OnlineConsentPrompt::setOnline(*this, checked); });
    m_onlineServicesAction->setCheckable(true);
}

QMenuBar* AppDelegate::createMenuBar(QWidget* parent)
{
    auto* bar = new QMenuBar(parent);
    bar->setObjectName(QStringLiteral("menuBar"));
    bar->setNativeMenuBar(false);
    QMenu* file = bar->addMenu(tr("&File"));
    file->addActions(m_fileActions);
    file->addSeparator();
    file->addAction(m_quitAction);
    QMenu* edit = bar->addMenu(tr("&Edit"));
    edit->addAction(menuSelectAll);
    edit->addAction(menuDeselectAll);
    edit->addSeparator();
    edit->addAction(m_onlineServicesAction);
    connect(edit, &QMenu::aboutToShow, this,
        [this] { m_onlineServicesAction->setChecked(OnlineConsentPrompt::isOnlineChosen(*this)); });
    QMenu* help = bar->addMenu(tr("&Help"));
    help->addActions(m_helpActions);
    return bar;
}

// ---- Window close paths ----

void AppDelegate::handleWindowClose(const Notification& notification)
{
    // Decided on a later pass of the event loop, whichever thread posted.
    QPointer<QObject> object = notification.object;
    QPointer<QObject> userInfoObject = notification.userInfo.value(Notifications::objectKey).value<QObject*>();
    QMetaObject::invokeMethod(
        this, [this, object, userInfoObject] { handleWindowClose_Main(object, userInfoObject); }, Qt::QueuedConnection);
}

void AppDelegate::mainWindowCloseNotification(const Notification& notification)
{
    handleWindowClose(notification);
}

void AppDelegate::handleWindowClose_Main(QObject* object, QObject* userInfoObject)
{
    if (qobject_cast<QVAppStoreWindow*>(object) || qobject_cast<QVAppStoreWindow*>(userInfoObject))
        terminate();
}

// ---- Menu actions ----

void AppDelegate::btnQuitApp()
{
    // The menu's quit is the window's close button: pending edits are asked about first.
    if (m_windowController)
        m_windowController->closeWindowActionShowRate(true);
    else
        terminate();
}

void AppDelegate::btnHelpTapped()
{
    if (!m_urlOpener->openUrl(QUrl(Links::projectPage)))
        alertPageNotOpened(QUrl(Links::projectPage));
}

void AppDelegate::alertPageNotOpened(const QUrl& url)
{
    // Without a browser the click would otherwise do nothing visible.
    presenter().presentAlert(
        m_windowController ? m_windowController->windowMain() : nullptr, AlertCatalog::pageNotOpened(url), {});
}

void AppDelegate::showTips()
{
    NotificationCenter::defaultCenter().post(Notifications::showTips);
}

bool AppDelegate::btnRateOnAppstoreTapped()
{
    const bool opened = m_urlOpener->openUrl(QUrl(Links::projectPage));
    if (opened)
        defaults().setRatedVersion(QCoreApplication::applicationVersion());
    return opened;
}

bool AppDelegate::isRunningVersionRated() const
{
    // An absent key is no version: not equal.
    const std::optional<QString> rated = defaults().ratedVersion();
    return rated && *rated == QCoreApplication::applicationVersion();
}

void AppDelegate::countSummaryClosing()
{
    const SummaryRateCounter::Step step
        = SummaryRateCounter::summaryClosed(defaults().rateMeCounter(), isRunningVersionRated());
    if (step.store)
        defaults().setRateMeCounter(*step.store);
    if (step.showPrompt)
        QTimer::singleShot(200, this, [] { NotificationCenter::defaultCenter().post(Notifications::showRatePopup); });
}

void AppDelegate::helpMenuItemTapped(int tag)
{
    if (tag == 0)
        btnHelpTapped();
}

// ---- Reachability ----

void AppDelegate::registerReachability()
{
    NotificationCenter::defaultCenter().addObserver(
        this, Notifications::reachabilityChanged, [this](const Notification& n) { reachabilityChanged(n); });
    if (!m_internetReachability)
        m_internetReachability = Reachability::reachabilityForInternetConnection();
    if (!m_internetReachability->startNotifier())
        qCInfo(lcApp) << "no network information from the system; the internet counts as not reachable";
    updateInterfaceWithReachability(m_internetReachability.get());
}

void AppDelegate::reachabilityChanged(const Notification& notification)
{
    updateInterfaceWithReachability(qobject_cast<Reachability*>(notification.object.data()));
}

void AppDelegate::updateInterfaceWithReachability(const Reachability* reachability)
{
    const int status = reachability ? reachability->currentReachabilityStatus() : 0;
    networkStatus = status;
    isInternetAvailable = status != NetworkReachability::NotReachable;
    isInternetAvailableUsingDataProvider = status == NetworkReachability::ReachableViaWWAN;
    connectionRequired = reachability && reachability->connectionRequired();
    isInternetAvailableUsingWiFi = status == NetworkReachability::ReachableViaWiFi;
    qCInfo(lcApp).noquote() << NetworkReachability::availabilityLine(NetworkReachability::Status(status));
}
