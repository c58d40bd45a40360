#include "app/MainWindowController.h"

#include "app/AddPhotosWindow.h"
#include "app/AppLogging.h"
#include "app/CloseAppSheet.h"
#include "app/ExifEditorFactory.h"
#include "app/ExifEditorViewInterface.h"
#include "app/Links.h"
#include "app/RateSheet.h"
#include "app/ShellWidgets.h"
#include "app/TipsWindow.h"
#include "batch/intake/PhotoAcceptance.h"
#include "platform/UrlOpener.h"
#include "platform/UserDefaults.h"
#include "batch/alerts/AlertCatalog.h"
#include "controls/BusyPresenter.h"
#include "controls/IMGButton.h"
#include "controls/ImageNamed.h"
#include "controls/MouseDownView.h"
#include "controls/Presenter.h"
#include "controls/QVAppStoreWindow.h"
#include "platform/Trash.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWindow>

using ShellWidgets::centredOn;
using ShellWidgets::kHeaderColour;
using ShellWidgets::kMainColour;
using ShellWidgets::plate;
using ShellWidgets::titleBarButton;

namespace {

constexpr int kTitleBarHeight = 30;
const QSize kMainWindowSize(1050, 700);

QRect availableScreenGeometry(const QWidget* widget)
{
    const QScreen* screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(QPoint(0, 0), kMainWindowSize);
}

} // namespace

MainWindowController::MainWindowController(AppDelegate& app, const AppDelegate::EditorViewFactory& editorViewFactory)
    : m_app(app)
{
    buildMainWindow(editorViewFactory ? editorViewFactory : AppDelegate::EditorViewFactory(createExifEditorView));

    m_addPhotos = new AddPhotosWindow(m_windowMain, m_vwExifEditor);
    connect(m_addPhotos, &AddPhotosWindow::addPhotosTapped, this, &MainWindowController::btnAddPhotosTapped);
    connect(m_addPhotos, &AddPhotosWindow::addFoldersTapped, this, &MainWindowController::btnAddFoldersTapped);
    connect(m_addPhotos, &AddPhotosWindow::addLibraryTapped, this, &MainWindowController::btnAddiPhotosTapped);
    connect(m_addPhotos, &AddPhotosWindow::closeTapped, this, &MainWindowController::btnCloseAddPhotoWinTapped);
    connect(m_addPhotos, &AddPhotosWindow::filesDropped, this, &MainWindowController::filesDroppedOnAddPhotos);

    m_closeAppSheet = new CloseAppSheet(m_windowMain);
    connect(m_closeAppSheet, &CloseAppSheet::quitConfirmed, m_windowMain, &QWidget::close);

    m_rateSheet = new RateSheet(m_windowMain);
    connect(m_rateSheet, &RateSheet::answered, this, &MainWindowController::rateSheetAnswered);

    m_tips = new TipsWindow(m_windowMain, [this](const QUrl& url) { m_app.urlOpener().openUrl(url); });

    m_addPhotosTimer.setSingleShot(true);
    m_addPhotosTimer.setInterval(300);
    connect(&m_addPhotosTimer, &QTimer::timeout, this, &MainWindowController::addPhotoWindow);

    initSetup();
    showAddPhotosWindow();
}

MainWindowController::~MainWindowController()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    m_vwMouseDownLintener->setDelegate(nullptr);
    m_addPhotos->dragArea()->setDelegate(nullptr);
    // Every other window is a child of the main window.
    delete m_windowMain;
}

ExifEditorViewInterface* MainWindowController::editorView() const
{
    return dynamic_cast<ExifEditorViewInterface*>(m_vwExifEditor);
}

QWidget* MainWindowController::winAddPhotos() const
{
    return m_addPhotos->window();
}

QDialog* MainWindowController::alertCloseApp() const
{
    return m_closeAppSheet->dialog();
}

QDialog* MainWindowController::winRateus() const
{
    return m_rateSheet->dialog();
}

QWidget* MainWindowController::winTips() const
{
    return m_tips->window();
}

QTextBrowser* MainWindowController::webViewTips() const
{
    return m_tips->page();
}

void MainWindowController::showWindow()
{
    m_windowMain->show();
    if (!m_wasExposed && m_windowMain->windowHandle())
        m_windowMain->windowHandle()->installEventFilter(this);
    m_windowMain->raise();
    m_windowMain->activateWindow();
}

// ---- Building the main window ----

void MainWindowController::buildMainWindow(const AppDelegate::EditorViewFactory& editorViewFactory)
{
    m_windowMain = new QVAppStoreWindow;
    m_windowMain->setObjectName(QStringLiteral("windowMain"));
    m_windowMain->setTitle(QStringLiteral("Velloran"));
    m_windowMain->setWindowIcon(QIcon(imageResourcePath(QStringLiteral("velloran"))));
    m_windowMain->installEventFilter(this);
    connect(m_windowMain, &QVAppStoreWindow::windowWillClose, this, [](QVAppStoreWindow* window) {
        NotificationCenter::defaultCenter().post(Notifications::windowWillClose, window);
    });

    // The title bar: a plate, the drag area over it, the menu bar, and the
    // window's own three buttons, which the window lays out.
    m_vwTopContainer = new QWidget;
    m_vwTopContainer->setObjectName(QStringLiteral("vwTopContainer"));
    m_headerBG = plate(m_vwTopContainer, QStringLiteral("headerBG"), kHeaderColour);
    m_vwMouseDownLintener = new MouseDownView(m_vwTopContainer);
    m_vwMouseDownLintener->setObjectName(QStringLiteral("vwMouseDownLintener"));
    auto* barLayout = new QHBoxLayout(m_vwTopContainer);
    barLayout->setContentsMargins(84, 0, 0, 0);
    QMenuBar* menuBar = m_app.createMenuBar(m_vwTopContainer);
    menuBar->setStyleSheet(QStringLiteral("QMenuBar { background: transparent; color: #e6e1d6; }"
                                          "QMenuBar::item { padding: 4px 10px; background: transparent; }"
                                          "QMenuBar::item:selected { background: #3b362b; border-radius: 3px; }"));
    barLayout->addWidget(menuBar, 0, Qt::AlignVCenter);
    barLayout->addStretch(1);
    m_vwTopContainer->installEventFilter(this);

    m_btnCloseWindow = titleBarButton(QStringLiteral("btnCloseWindow"), QStringLiteral("close"));
    m_btnMinimizeWindow = titleBarButton(QStringLiteral("btnMinimizeWindow"), QStringLiteral("min"));
    m_btnZoomWindow = titleBarButton(QStringLiteral("btnZoomWindow"), QStringLiteral("max"));
    connect(m_btnCloseWindow, &QAbstractButton::clicked, this, &MainWindowController::btnCloseWindowTapped);
    connect(m_btnMinimizeWindow, &QAbstractButton::clicked, this, &MainWindowController::btnMinimizeWindowTapped);
    connect(m_btnZoomWindow, &QAbstractButton::clicked, this, &MainWindowController::btnZoomWindowTapped);
    m_windowMain->setTrafficLightButtons({ m_btnCloseWindow, m_btnMinimizeWindow, m_btnZoomWindow });

    // The content: its plate, the editor view over it, and the loading overlay.
    m_mainScreenView = new QWidget(m_windowMain->contentView());
    m_mainScreenView->setObjectName(QStringLiteral("mainScreenView"));
    auto* contentLayout = new QVBoxLayout(m_windowMain->contentView());
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->addWidget(m_mainScreenView);

    m_mainBG = plate(m_mainScreenView, QStringLiteral("mainBG"), kMainColour);
    m_vwExifEditor = editorViewFactory(m_mainScreenView);
    if (m_vwExifEditor->objectName().isEmpty())
        m_vwExifEditor->setObjectName(QStringLiteral("vwExifEditor"));
    m_vwLoading = new QWidget(m_mainScreenView);
    m_vwLoading->setObjectName(QStringLiteral("vwLoading"));
    m_bgLoader = plate(m_vwLoading, QStringLiteral("bgLoader"), QColor(0, 0, 0, 250));
    m_vwLoading->hide();

    auto* stack = new QGridLayout(m_mainScreenView);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->addWidget(m_mainBG, 0, 0);
    stack->addWidget(m_vwExifEditor, 0, 0);
    stack->addWidget(m_vwLoading, 0, 0);
    auto* loaderLayout = new QGridLayout(m_vwLoading);
    loaderLayout->addWidget(m_bgLoader, 0, 0, Qt::AlignCenter);
    m_bgLoader->setFixedSize(160, 120);
}

// ---- Set-up ----

void MainWindowController::initSetup()
{
    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(this, Notifications::showTips, [this](const Notification&) { showTipsScreen(); });
    center.addObserver(this, Notifications::showRatePopup, [this](const Notification&) { showAlertForRateApp(); });
    // While the editor's loading overlay is up the window is neither closed nor zoomed.
    connect(&m_app.editorContext(), &EditorContext::loadingChanged, this, &MainWindowController::loadingChanged);

    setupTitleBarViewForWindow();
    m_vwMouseDownLintener->setDelegate(this);
}

void MainWindowController::setupViewInitialSize()
{
    // On a screen smaller than the window (a small one, or a large scale) the window
    // and its least size shrink to the visible area: its title bar and menus must
    // stay on the screen, where the window can still be moved and used.
    const QRect placed = initialGeometry(availableScreenGeometry(m_windowMain));
    m_windowMain->setMinSize(placed.size());
    m_windowMain->setGeometry(placed);
}

QRect MainWindowController::initialGeometry(const QRect& visible)
{
    const QSize size = kMainWindowSize.boundedTo(visible.size());
    return QRect(centredOn(visible, size), size);
}

void MainWindowController::setupTitleBarViewForWindow()
{
    setupViewInitialSize();
    m_windowMain->setTitleBarView(m_vwTopContainer);
    m_windowMain->setTitleBarHeight(kTitleBarHeight);
    m_windowMain->setCenterTrafficLightButtons(false);
    m_windowMain->setTrafficLightButtonsTopMargin(3);
    m_windowMain->setTrafficLightButtonsLeftMargin(7);
    m_windowMain->setShowsTitle(false);
    m_windowMain->layoutTrafficLightButtons();
    m_vwTopContainer->setCursor(Qt::ArrowCursor);
    m_mainBG->show();
    m_headerBG->show();
}

// ---- Window events ----

bool MainWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_wasExposed && event->type() == QEvent::Expose && watched == m_windowMain->windowHandle()
        && m_windowMain->windowHandle()->isExposed()) {
        m_wasExposed = true;
        watched->removeEventFilter(this);
        emit mainWindowExposed();
    } else if (watched == m_vwTopContainer && event->type() == QEvent::Resize) {
        m_headerBG->setGeometry(m_vwTopContainer->rect());
        m_vwMouseDownLintener->setGeometry(m_vwTopContainer->rect());
        m_headerBG->lower();
        m_vwMouseDownLintener->stackUnder(m_vwTopContainer->findChild<QMenuBar*>());
    }
    return QObject::eventFilter(watched, event);
}

// ---- Notifications ----

void MainWindowController::setTitleBarButtonsEnabled(bool close, bool minimise, bool zoom)
{
    m_btnCloseWindow->setEnabled(close);
    m_btnMinimizeWindow->setEnabled(minimise);
    m_btnZoomWindow->setEnabled(zoom);
}

void MainWindowController::loadingChanged(bool shown)
{
    m_btnCloseWindow->setEnabled(!shown);
    m_btnZoomWindow->setEnabled(!shown);
}

void MainWindowController::filesDroppedOnAddPhotos(const QStringList& paths)
{
    // A drop is a choice of photos, as the add panel's is, on the same road.
    hideAddPhotosWindow();
    addChosenPaths(paths);
}

// ---- Title bar ----

void MainWindowController::btnCloseWindowTapped()
{
    closeWindowActionShowRate(true);
}

void MainWindowController::btnMinimizeWindowTapped()
{
    m_windowMain->showMinimized();
    m_btnMinimizeWindow->setState(1);
}

void MainWindowController::btnZoomWindowTapped()
{
    m_isFullscreenEnable = !m_isFullscreenEnable;
    if (m_isFullscreenEnable)
        m_windowMain->showFullScreen();
    else
        m_windowMain->showNormal();
    m_btnMinimizeWindow->setEnabled(!m_isFullscreenEnable);
}

bool MainWindowController::askBeforeClosing()
{
    ExifEditorViewInterface* editor = editorView();
    if (m_app.editorContext().batchList().isEmpty() || !editor || !editor->isParamsChanged())
        return false;
    BusyPresenter(m_app.presenter(), m_app.editorContext()).presentSheet(m_closeAppSheet->dialog(), {});
    return true;
}

void MainWindowController::closeWindowActionShowRate(bool)
{
    if (!askBeforeClosing())
        m_windowMain->close();
}

// ---- Dragging ----

QPoint MainWindowController::draggedOrigin(
    const QPoint& pointerOnScreen, const QPoint& initialLocation, const QRect& screen)
{
    QPoint origin = pointerOnScreen - initialLocation;
    if (origin.y() < screen.top())
        origin.setY(screen.top());
    return origin;
}

void MainWindowController::mouseDown(QMouseEvent* event, MouseDownView* view)
{
    m_initialLocation = view->mapTo(view->window(), event->position().toPoint());
    // Where the window system can move the window, it does (X11 and Wayland alike).
    QWindow* handle = view->window()->windowHandle();
    m_movedBySystem = handle && handle->startSystemMove();
}

void MainWindowController::mouseDragged(QMouseEvent* event, MouseDownView* view)
{
    if (m_movedBySystem)
        return;
    QWidget* window = nullptr;
    if (view == m_vwMouseDownLintener)
        window = m_windowMain;
    else if (view == m_addPhotos->dragArea())
        window = m_windowMain; // the add-photos window lies inside it
    if (window)
        moveByHand(window, event->globalPosition().toPoint());
}

void MainWindowController::moveByHand(QWidget* window, const QPoint& pointerOnScreen)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const QRect screenFrame = screen ? screen->geometry() : QRect();
    window->move(draggedOrigin(pointerOnScreen, m_initialLocation, screenFrame));
}

// ---- Add-photos window and panels ----

void MainWindowController::showAddPhotosWindow()
{
    m_addPhotosTimer.start();
}

void MainWindowController::addPhotoWindow()
{
    m_addPhotos->show();
    setTitleBarButtonsEnabled(false, false, false);
    m_windowMain->setResizable(false);
    m_addPhotos->dragArea()->setDelegate(this);
}

void MainWindowController::hideAddPhotosWindow()
{
    // Photos that came before the window (a drop, a second start) leave it away.
    m_addPhotosTimer.stop();
    showExifEditorWindow();
    setTitleBarButtonsEnabled(true, true, true);
    m_windowMain->setResizable(true);
    if (ExifEditorViewInterface* editor = editorView())
        editor->initSetup();
}

void MainWindowController::showExifEditorWindow()
{
    m_windowMain->show();
    m_windowMain->raise();
    m_windowMain->activateWindow();
    m_addPhotos->hide();
}

void MainWindowController::btnCloseAddPhotoWinTapped()
{
    m_windowMain->hide();
    m_addPhotos->hide();
    closeWindowActionShowRate(false);
}

void MainWindowController::btnAddPhotosTapped()
{
    showAddPhotosPanel(0);
}

void MainWindowController::btnAddFoldersTapped()
{
    showAddPhotosPanel(1);
}

void MainWindowController::btnAddiPhotosTapped()
{
    showIphotosPanel();
}

void MainWindowController::showAddPhotosPanel(int kind)
{
    OpenPanelRequest request;
    request.objectName = QStringLiteral("addPhotosPanel");
    request.prompt = tr("Add Photos");
    request.chooseFiles = true;
    request.chooseDirectories = kind == 1;
    request.multipleSelection = true;
    request.canCreateDirectories = true;
    request.nameFilters = PhotoAcceptance::addPhotosNameFilters();
    m_app.enableSelectAll(true);
    QWidget* parent = m_addPhotos->panelParent();
    BusyPresenter(m_app.presenter(), m_app.editorContext())
        .presentOpenPanel(parent, request, [this](const QStringList& paths) { panelDidEnd(paths); });
}

void MainWindowController::showIphotosPanel()
{
    OpenPanelRequest request;
    request.objectName = QStringLiteral("photosLibraryPanel");
    // Only libraries with the RKMaster/RKVersion tables are read.
    request.prompt = tr("Add iPhoto Library");
    // A photo library is a folder on this system: the panel picks it whole.
    request.chooseFiles = true;
    request.chooseDirectories = true;
    request.treatPackagesAsFiles = true;
    request.multipleSelection = true;
    request.directory = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    m_app.enableSelectAll(true);
    QWidget* parent = m_addPhotos->panelParent();
    m_app.presenter().presentOpenPanel(
        parent, request, [this](const QStringList& paths) { panelDidEnd(paths); });
}

void MainWindowController::panelDidEnd(const QStringList& paths)
{
    m_app.enableSelectAll(false);
    if (paths.isEmpty())
        return;
    if (anyPathInTrash(paths)) {
        QWidget* parent = m_addPhotos->panelParent();
        m_app.presenter().presentAlert(parent, AlertCatalog::photosInTrash(), {});
        return;
    }
    hideAddPhotosWindow();
    addChosenPaths(paths);
}

void MainWindowController::addChosenPaths(const QStringList& paths)
{
    QList<QUrl> urls;
    urls.reserve(paths.size());
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    if (ExifEditorViewInterface* editor = editorView())
        editor->addPhotosFromPathUrls(urls, false);
    else
        qCInfo(lcApp) << "no editor view to add" << urls.size() << "chosen items to";
}

// ---- Rate sheet ----

void MainWindowController::showAlertForRateApp()
{
    // The sheet is shown without blocking: the flag holds until it is answered.
    BusyPresenter(m_app.presenter(), m_app.editorContext()).presentSheet(m_rateSheet->dialog(), {});
}

void MainWindowController::rateSheetAnswered(bool yes)
{
    if (yes)
        m_app.btnRateOnAppstoreTapped();
    UserDefaults& defaults = m_app.defaults();
    if (m_rateSheet->dontAskAgain()) {
        defaults.setRatedVersion(QCoreApplication::applicationVersion());
        defaults.synchronize();
    }
    // Either answer ends the application, by the close button's path: edits that
    // were never written are asked about first, and No to that keeps the window.
    if (askBeforeClosing())
        return;
    if (defaults.notShowPromotionWindow()) {
        m_windowMain->close();
        return;
    }
    NotificationCenter::defaultCenter().post(Notifications::mainWindowClose, nullptr,
        { { Notifications::objectKey, QVariant::fromValue<QObject*>(m_windowMain) } });
    m_windowMain->hide();
}

// ---- Tips ----

void MainWindowController::showTipsScreen()
{
    m_tips->showTipsScreen();
}

void MainWindowController::tipsLinkActivated(const QUrl& url)
{
    m_tips->tipsLinkActivated(url);
}

void MainWindowController::openHelpUrl()
{
    m_app.urlOpener().openUrl(QUrl(Links::projectPage));
}

void MainWindowController::saveProjectSession()
{
    m_app.saveProjectSession();
}
