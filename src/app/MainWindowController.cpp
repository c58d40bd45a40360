#include "app/MainWindowController.h"

#include "app/AppLogging.h"
#include "app/ExifEditorFactory.h"
#include "app/ExifEditorViewInterface.h"
#include "app/Links.h"
#include "batch/intake/PhotoAcceptance.h"
#include "platform/UrlOpener.h"
#include "platform/UserDefaults.h"
#include "controls/BusyPresenter.h"
#include "controls/IMGButton.h"
#include "controls/ImageNamed.h"
#include "controls/MouseDownView.h"
#include "controls/Presenter.h"
#include "controls/QVAppStoreWindow.h"
#include "platform/Trash.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWindow>

namespace {

constexpr int kTitleBarHeight = 30;
const QSize kMainWindowSize(1050, 700);
const QString kAppVersionKey = QStringLiteral("appVersion");
const QString kNotShowPromotionWindowKey = QStringLiteral("notShowPromotionWindow");

// Flat, opaque plates: the title bar and the content background.
const QColor kHeaderColour(20, 20, 20);
const QColor kMainColour(50, 44, 31);

QLabel* plate(QWidget* parent, const QString& name, const QColor& colour)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, colour);
    label->setPalette(palette);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

IMGButton* titleBarButton(const QString& name, const QString& image)
{
    auto* button = new IMGButton;
    button->setObjectName(name);
    button->setImgOffState_En(image + QStringLiteral("-normal"));
    button->setImgOnState_En(image + QStringLiteral("-press"));
    button->setImgMouseHover(image + QStringLiteral("-hover"));
    button->setFixedSize(button->sizeHint());
    return button;
}

QPushButton* pushButton(QWidget* parent, const QString& name, const QString& title)
{
    auto* button = new QPushButton(title, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

// A sheet with a message and the answers No and Yes, named "btnNo<suffix>" and
// "btnYes<suffix>".
struct YesNoSheet {
    QDialog* dialog;
    QVBoxLayout* layout;
    QPushButton* yes;
    QPushButton* no;
};

YesNoSheet yesNoSheet(
    QWidget* parent, const QString& name, const QString& title, const QString& message, const QString& suffix)
{
    auto* dialog = new QDialog(parent);
    dialog->setObjectName(name);
    dialog->setWindowTitle(title);
    auto* layout = new QVBoxLayout(dialog);
    auto* text = new QLabel(message, dialog);
    text->setObjectName(QStringLiteral("lblMessage"));
    layout->addWidget(text);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* no = pushButton(dialog, QStringLiteral("btnNo") + suffix, QObject::tr("No"));
    auto* yes = pushButton(dialog, QStringLiteral("btnYes") + suffix, QObject::tr("Yes"));
    row->addWidget(no);
    row->addWidget(yes);
    layout->addLayout(row);
    return { dialog, layout, yes, no };
}

QRect availableScreenGeometry(const QWidget* widget)
{
    const QScreen* screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(QPoint(0, 0), kMainWindowSize);
}

QPoint centredOn(const QRect& outer, const QSize& size)
{
    return outer.topLeft() + QPoint((outer.width() - size.width()) / 2, (outer.height() - size.height()) / 2);
}

} // namespace

const QString MainWindowController::kTipsPage = QStringLiteral("qrc:/tips/index.html");

MainWindowController::MainWindowController(AppDelegate& app, const AppDelegate::EditorViewFactory& editorViewFactory)
    : m_app(app)
{
    buildMainWindow(editorViewFactory ? editorViewFactory : AppDelegate::EditorViewFactory(createExifEditorView));
    buildAddPhotosWindow();
    buildCloseAppSheet();
    buildRateSheet();
    buildTipsWindow();

    m_endResizeTimer.setSingleShot(true);
    m_endResizeTimer.setInterval(250);
    connect(&m_endResizeTimer, &QTimer::timeout, this, &MainWindowController::windowDidEndLiveResize);

    initSetup();
    showAddPhotosWindow();
}

MainWindowController::~MainWindowController()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    m_vwMouseDownLintener->setDelegate(nullptr);
    m_vwContainerLoadImage->setDelegate(nullptr);
    m_vwMouseDownTips->setDelegate(nullptr);
    // Every other window is a child of the main window.
    delete m_windowMain;
}

ExifEditorViewInterface* MainWindowController::editorView() const
{
    return dynamic_cast<ExifEditorViewInterface*>(m_vwExifEditor);
}

void MainWindowController::showWindow()
{
    m_windowMain->show();
    if (!m_wasExposed && m_windowMain->windowHandle())
        m_windowMain->windowHandle()->installEventFilter(this);
    m_windowMain->raise();
    m_windowMain->activateWindow();
}

// ---- Building the windows ----

void MainWindowController::buildMainWindow(const AppDelegate::EditorViewFactory& editorViewFactory)
{
    m_windowMain = new QVAppStoreWindow;
    m_windowMain->setObjectName(QStringLiteral("windowMain"));
    m_windowMain->setTitle(QStringLiteral("Velloran"));
    m_windowMain->setWindowIcon(QIcon(imageResourcePath(QStringLiteral("velloran"))));
    m_windowMain->installEventFilter(this);
    connect(m_windowMain, &QVAppStoreWindow::windowWillClose, this, [this](QVAppStoreWindow* window) {
        windowWillClose(window);
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

void MainWindowController::buildAddPhotosWindow()
{
    m_winAddPhotos = new QDialog(m_windowMain, Qt::Dialog | Qt::FramelessWindowHint);
    m_winAddPhotos->setObjectName(QStringLiteral("winAddPhotos"));
    m_winAddPhotos->setWindowTitle(tr("Add Photos"));
    m_winAddPhotos->setFixedSize(560, 380);
    m_winAddPhotos->installEventFilter(this);

    m_vwContainerLoadImage = new MouseDownView(m_winAddPhotos);
    m_vwContainerLoadImage->setObjectName(QStringLiteral("vwContainerLoadImage"));
    m_vwContainerLoadImage->setAutoFillBackground(true);
    QPalette palette = m_vwContainerLoadImage->palette();
    palette.setColor(QPalette::Window, QColor(246, 243, 236));
    palette.setColor(QPalette::WindowText, QColor(40, 36, 28));
    m_vwContainerLoadImage->setPalette(palette);
    auto* outer = new QVBoxLayout(m_winAddPhotos);
    // A thin dark frame sets the light window off against the main window.
    outer->setContentsMargins(1, 1, 1, 1);
    m_winAddPhotos->setAutoFillBackground(true);
    QPalette framePalette = m_winAddPhotos->palette();
    framePalette.setColor(QPalette::Window, QColor(12, 12, 12));
    m_winAddPhotos->setPalette(framePalette);
    outer->addWidget(m_vwContainerLoadImage);

    auto* layout = new QVBoxLayout(m_vwContainerLoadImage);
    layout->setContentsMargins(18, 10, 18, 22);
    layout->setSpacing(12);

    auto* closeRow = new QHBoxLayout;
    auto* close = titleBarButton(QStringLiteral("btnCloseAddPhotoWin"), QStringLiteral("close"));
    connect(close, &QAbstractButton::clicked, this, &MainWindowController::btnCloseAddPhotoWinTapped);
    closeRow->addWidget(close);
    closeRow->addStretch(1);
    layout->addLayout(closeRow);

    auto* title = new QLabel(tr("Add photos to get started"), m_vwContainerLoadImage);
    title->setObjectName(QStringLiteral("lblAddPhotosTitle"));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);

    m_leftBox = createAddPhotosDropBox(m_vwContainerLoadImage);
    if (m_leftBox->objectName().isEmpty())
        m_leftBox->setObjectName(QStringLiteral("leftBox"));
    m_leftBox->setMinimumHeight(150);
    m_leftBox->setStyleSheet(QStringLiteral("#leftBox { border: 2px dashed #b9ad95; border-radius: 10px; }"));
    auto* boxLayout = new QVBoxLayout(m_leftBox);
    auto* hint = new QLabel(tr("Drop photos, folders or a photo library here"), m_leftBox);
    hint->setObjectName(QStringLiteral("lblDropHint"));
    hint->setAlignment(Qt::AlignCenter);
    hint->setStyleSheet(QStringLiteral("color: #7a705c;"));
    boxLayout->addWidget(hint);
    layout->addWidget(m_leftBox, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    auto* addPhotos = pushButton(m_vwContainerLoadImage, QStringLiteral("btnAddPhotos"), tr("Add Photos"));
    auto* addFolders = pushButton(m_vwContainerLoadImage, QStringLiteral("btnAddFolders"), tr("Add Folder"));
    auto* addLibrary = pushButton(m_vwContainerLoadImage, QStringLiteral("btnAddiPhotos"), tr("Add Photos Library"));
    connect(addPhotos, &QPushButton::clicked, this, &MainWindowController::btnAddPhotosTapped);
    connect(addFolders, &QPushButton::clicked, this, &MainWindowController::btnAddFoldersTapped);
    connect(addLibrary, &QPushButton::clicked, this, &MainWindowController::btnAddiPhotosTapped);
    for (QPushButton* button : { addPhotos, addFolders, addLibrary }) {
        button->setMinimumHeight(32);
        buttons->addWidget(button, 1);
    }
    layout->addLayout(buttons);
}

void MainWindowController::buildCloseAppSheet()
{
    const YesNoSheet sheet = yesNoSheet(m_windowMain, QStringLiteral("alertCloseApp"), tr("Quit Velloran"),
        tr("Your changes to the metadata have not been written to any photo yet.\n"
           "Do you want to quit Velloran anyway?"),
        QStringLiteral("OnCloseApp"));
    m_alertCloseApp = sheet.dialog;
    sheet.no->setDefault(true);
    connect(sheet.yes, &QPushButton::clicked, this, &MainWindowController::btnYesOnCloseAppTapped);
    connect(sheet.no, &QPushButton::clicked, this, &MainWindowController::btnNoOnCloseAppTapped);
    // Escape answers No; the presenter clears the busy flag whichever way the sheet closes.
}

void MainWindowController::buildRateSheet()
{
    const YesNoSheet sheet = yesNoSheet(m_windowMain, QStringLiteral("winRateus"), tr("Rate Velloran"),
        tr("Is Velloran useful to you?\nWould you take a moment to rate it and tell others?\n\n"
           "Velloran closes after your answer."),
        QStringLiteral("OnRateUs"));
    m_winRateus = sheet.dialog;
    m_btnCheckDontShowRateUs = new QCheckBox(tr("Do not ask again for this version"), m_winRateus);
    m_btnCheckDontShowRateUs->setObjectName(QStringLiteral("btnCheckDontShowRateUs"));
    sheet.layout->insertWidget(1, m_btnCheckDontShowRateUs);
    sheet.yes->setDefault(true);
    connect(sheet.yes, &QPushButton::clicked, this, &MainWindowController::btnYesOnRateUsTapped);
    connect(sheet.no, &QPushButton::clicked, this, &MainWindowController::btnNoOnRateUsTapped);
    // Escape is the No answer too: the sheet has no other way out.
    m_winRateus->installEventFilter(this);
}

void MainWindowController::buildTipsWindow()
{
    m_winTips = new QWidget(m_windowMain, Qt::Tool | Qt::FramelessWindowHint);
    m_winTips->setObjectName(QStringLiteral("winTips"));
    m_winTips->setWindowTitle(tr("Tips"));
    m_winTips->resize(640, 480);
    m_winTips->installEventFilter(this);
    auto* layout = new QVBoxLayout(m_winTips);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);

    m_vwMouseDownTips = new MouseDownView(m_winTips);
    m_vwMouseDownTips->setObjectName(QStringLiteral("vwMouseDownTips"));
    m_vwMouseDownTips->setFixedHeight(22);
    m_vwMouseDownTips->setAutoFillBackground(true);
    QPalette palette = m_vwMouseDownTips->palette();
    palette.setColor(QPalette::Window, kHeaderColour);
    palette.setColor(QPalette::WindowText, QColor(230, 225, 214));
    m_vwMouseDownTips->setPalette(palette);
    auto* tipsTitle = new QLabel(tr("Tips"), m_vwMouseDownTips);
    tipsTitle->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* titleLayout = new QHBoxLayout(m_vwMouseDownTips);
    titleLayout->setContentsMargins(8, 0, 8, 0);
    titleLayout->addWidget(tipsTitle, 0, Qt::AlignCenter);
    layout->addWidget(m_vwMouseDownTips);

    m_webViewTips = new QTextBrowser(m_winTips);
    m_webViewTips->setObjectName(QStringLiteral("webViewTips"));
    m_webViewTips->setOpenLinks(false);
    // The page is read, not edited or selected.
    m_webViewTips->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(m_webViewTips, &QTextBrowser::anchorClicked, this, &MainWindowController::tipsLinkActivated);
    layout->addWidget(m_webViewTips, 1);
}

// ---- Set-up ----

void MainWindowController::initSetup()
{
    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(this, Notifications::showTips, [this](const Notification&) { showTipsNotification(); });
    center.addObserver(this, Notifications::showRatePopup, [this](const Notification&) { showAlertForRateApp(); });
    center.addObserver(this, Notifications::showLoading, [this](const Notification&) { showLoadingNotification(); });
    center.addObserver(this, Notifications::hideLoading, [this](const Notification&) { hideLoadingNotification(); });

    setupTitleBarViewForWindow();
    m_vwMouseDownLintener->setDelegate(this);
    m_vwMouseDownTips->setDelegate(this);
}

void MainWindowController::setupViewInitialSize()
{
    // The size holds even on a screen smaller than it: the window then starts
    // above and left of the visible area's origin.
    const QRect visible = availableScreenGeometry(m_windowMain);
    m_windowMain->setMinSize(kMainWindowSize);
    m_windowMain->setGeometry(QRect(centredOn(visible, kMainWindowSize), kMainWindowSize));
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
    NotificationCenter::defaultCenter().addObserver(
        this, Notifications::fileDragDrop, [this](const Notification& n) { handleFileDragDropNotification(n); });
}

// ---- Window events ----

void MainWindowController::windowDidResize()
{
    NotificationCenter::defaultCenter().post(Notifications::windowResized);
    m_endResizeTimer.start();
}

void MainWindowController::windowDidEndLiveResize()
{
    NotificationCenter::defaultCenter().post(Notifications::windowEndResizing);
}

bool MainWindowController::windowShouldClose()
{
    m_app.isSubWindowOpened = false;
    return true;
}

void MainWindowController::windowWillClose(QWidget* window)
{
    if (window != m_windowMain && window == m_winTips)
        closeQuickTourClicked();
}

bool MainWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_wasExposed && event->type() == QEvent::Expose && watched == m_windowMain->windowHandle()
        && m_windowMain->windowHandle()->isExposed()) {
        m_wasExposed = true;
        watched->removeEventFilter(this);
        emit mainWindowExposed();
    } else if (watched == m_windowMain) {
        switch (event->type()) {
        case QEvent::Close:
            windowShouldClose();
            break;
        case QEvent::Resize:
            windowDidResize();
            break;
        case QEvent::WindowStateChange:
            NotificationCenter::defaultCenter().post(Notifications::windowEndResizing);
            break;
        default:
            break;
        }
    } else if (watched == m_vwTopContainer && event->type() == QEvent::Resize) {
        m_headerBG->setGeometry(m_vwTopContainer->rect());
        m_vwMouseDownLintener->setGeometry(m_vwTopContainer->rect());
        m_headerBG->lower();
        m_vwMouseDownLintener->stackUnder(m_vwTopContainer->findChild<QMenuBar*>());
    } else if (watched == m_winAddPhotos) {
        // The add-photos window ends only through its buttons: Escape does nothing,
        // and a close from the window system is its close button.
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            return true;
        if (event->type() == QEvent::Close && m_winAddPhotos->isVisible() && event->spontaneous()) {
            event->ignore();
            QMetaObject::invokeMethod(this, &MainWindowController::btnCloseAddPhotoWinTapped, Qt::QueuedConnection);
            return true;
        }
    } else if (watched == m_winRateus) {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            btnNoOnRateUsTapped();
            return true;
        }
    } else if (watched == m_winTips && event->type() == QEvent::Close) {
        windowWillClose(m_winTips);
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

void MainWindowController::showLoadingNotification()
{
    m_btnCloseWindow->setEnabled(false);
    m_btnZoomWindow->setEnabled(false);
}

void MainWindowController::hideLoadingNotification()
{
    m_btnCloseWindow->setEnabled(true);
    m_btnZoomWindow->setEnabled(true);
}

void MainWindowController::handleFileDragDropNotification(const Notification&)
{
    if (m_winAddPhotos->isVisible())
        hideAddPhotosWindow();
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

void MainWindowController::closeWindowActionShowRate(bool)
{
    ExifEditorViewInterface* editor = editorView();
    if (!m_app.arraySelectedImagesToProcess.isEmpty() && editor && editor->isParamsChanged()) {
        BusyPresenter(m_app.presenter(), m_app.isSubWindowOpened).presentSheet(m_alertCloseApp, {});
        return;
    }
    m_windowMain->close();
}

// ---- Close-app sheet ----

void MainWindowController::btnYesOnCloseAppTapped()
{
    m_alertCloseApp->done(QDialog::Accepted);
    m_windowMain->close();
}

void MainWindowController::btnNoOnCloseAppTapped()
{
    m_alertCloseApp->done(QDialog::Rejected);
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
    else if (view == m_vwContainerLoadImage)
        window = m_winAddPhotos;
    else if (view == m_vwMouseDownTips)
        window = m_winTips;
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
    QTimer::singleShot(300, this, &MainWindowController::addPhotoWindow);
}

void MainWindowController::addPhotoWindow()
{
    if (m_winAddPhotos->isVisible() && m_winAddPhotos->isActiveWindow())
        return;
    m_winAddPhotos->move(centredOn(m_windowMain->geometry(), m_winAddPhotos->size()));
    m_winAddPhotos->setWindowModality(Qt::WindowModal);
    m_winAddPhotos->show();
    m_winAddPhotos->raise();
    m_winAddPhotos->activateWindow();
    setTitleBarButtonsEnabled(false, false, false);
    m_windowMain->setResizable(false);
    m_vwContainerLoadImage->setDelegate(this);
}

void MainWindowController::hideAddPhotosWindow()
{
    m_windowMain->show();
    m_windowMain->raise();
    m_windowMain->activateWindow();
    m_winAddPhotos->hide();
    setTitleBarButtonsEnabled(true, true, true);
    m_windowMain->setResizable(true);
    m_app.isSubWindowOpened = false;
    NotificationCenter::defaultCenter().post(Notifications::setupExifEditorView);
}

void MainWindowController::btnCloseAddPhotoWinTapped()
{
    m_windowMain->hide();
    m_winAddPhotos->hide();
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
    QWidget* parent = m_winAddPhotos->isVisible() ? static_cast<QWidget*>(m_winAddPhotos) : m_windowMain;
    BusyPresenter(m_app.presenter(), m_app.isSubWindowOpened)
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
    QWidget* parent = m_winAddPhotos->isVisible() ? static_cast<QWidget*>(m_winAddPhotos) : m_windowMain;
    m_app.presenter().presentOpenPanel(
        parent, request, [this](const QStringList& paths) { panelDidEnd(paths); });
}

void MainWindowController::panelDidEnd(const QStringList& paths)
{
    m_app.enableSelectAll(false);
    if (paths.isEmpty())
        return;
    if (anyPathInTrash(paths)) {
        QWidget* parent = m_winAddPhotos->isVisible() ? static_cast<QWidget*>(m_winAddPhotos) : m_windowMain;
        m_app.presenter().presentAlert(parent, AlertRequest::photosInTrash(), {});
        return;
    }
    hideAddPhotosWindow();
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
    BusyPresenter(m_app.presenter(), m_app.isSubWindowOpened).presentSheet(m_winRateus, {});
}

void MainWindowController::btnYesOnRateUsTapped()
{
    m_winRateus->done(QDialog::Accepted);
    m_app.btnRateOnAppstoreTapped();
    leaveAfterRateAnswer();
}

void MainWindowController::btnNoOnRateUsTapped()
{
    m_winRateus->done(QDialog::Rejected);
    leaveAfterRateAnswer();
}

void MainWindowController::leaveAfterRateAnswer()
{
    UserDefaults& defaults = m_app.defaults();
    if (m_btnCheckDontShowRateUs->isChecked()) {
        defaults.setString(QCoreApplication::applicationVersion(), kAppVersionKey);
        defaults.synchronize();
    }
    // Either answer ends the application.
    if (defaults.boolForKey(kNotShowPromotionWindowKey)) {
        m_windowMain->close();
        return;
    }
    NotificationCenter::defaultCenter().post(Notifications::mainWindowClose, nullptr,
        { { Notifications::objectKey, QVariant::fromValue<QObject*>(m_windowMain) } });
    m_windowMain->hide();
}

// ---- Tips ----

void MainWindowController::showTipsNotification()
{
    showTipsScreen();
}

void MainWindowController::showTipsScreen()
{
    qCInfo(lcApp) << "main windowController  showTipsScreen";
    setTipsWinFrame();
    if (!m_isTipsDisplayed) {
        m_webViewTips->setSource(QUrl(kTipsPage));
        m_isTipsDisplayed = true;
        m_winTips->raise();
        m_winTips->activateWindow();
    } else {
        m_webViewTips->backward();
    }
}

void MainWindowController::setTipsWinFrame()
{
    m_winTips->move(centredOn(m_windowMain->geometry(), m_winTips->size()));
    m_winTips->show();
}

void MainWindowController::closeQuickTourClicked()
{
    if (!m_winTips->isActiveWindow())
        return;
    m_winTips->hide();
    m_windowMain->raise();
    m_windowMain->activateWindow();
}

void MainWindowController::tipsLinkActivated(const QUrl& url)
{
    if (url.scheme() == QLatin1String("app")) {
        if (url.path() == QLatin1String("close-tips"))
            closeQuickTourClicked();
        else
            qCInfo(lcApp) << "the tips page may not call" << url.toString();
        return;
    }
    const QUrl resolved = m_webViewTips->source().resolved(url);
    if (resolved.scheme() == QLatin1String("qrc")) {
        m_webViewTips->setSource(resolved);
        return;
    }
    m_app.urlOpener().openUrl(resolved);
}

void MainWindowController::openHelpUrl()
{
    m_app.urlOpener().openUrl(QUrl(Links::projectPage));
}

void MainWindowController::saveProjectSession()
{
    m_app.saveProjectSession();
}
