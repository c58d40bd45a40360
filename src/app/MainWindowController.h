#pragma once

#include "app/AppDelegate.h"
#include "app/TipsWindow.h"
#include "controls/MouseDownViewDelegate.h"

#include <QDialog>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QTimer>

class AddPhotosWindow;
class AppDelegate;
class CloseAppSheet;
class ExifEditorViewInterface;
class IMGButton;
class MouseDownView;
class QLabel;
class QTextBrowser;
class QVAppStoreWindow;
class RateSheet;

// The main window and the paths between the windows in front of it: the 1050 x 700
// main window with its own 30-point title bar and buttons, and when the add-photos
// window (AddPhotosWindow), the close-app sheet (CloseAppSheet), the rate sheet
// (RateSheet) and the tips window (TipsWindow) come and what their answers do.
//
// The editor view that fills the window comes from the factory it is given (the
// application's is createExifEditorView()); when that view implements
// ExifEditorViewInterface, closing asks it for pending edits and the open panels
// hand it the chosen paths.
//
// Widgets carry the names of their outlets as object names ("btnCloseWindow",
// "winAddPhotos", "alertCloseApp", …).
class MainWindowController : public QObject, public MouseDownViewDelegate {
    Q_OBJECT
public:
    MainWindowController(AppDelegate& app, const AppDelegate::EditorViewFactory& editorViewFactory);
    ~MainWindowController() override;

    void showWindow();

    QVAppStoreWindow* windowMain() const { return m_windowMain; }
    QWidget* vwExifEditor() const { return m_vwExifEditor; }
    ExifEditorViewInterface* editorView() const;
    QWidget* winAddPhotos() const;
    QDialog* alertCloseApp() const;
    QDialog* winRateus() const;
    QWidget* winTips() const;
    QTextBrowser* webViewTips() const;
    bool isFullscreenEnable() const { return m_isFullscreenEnable; }

    // ---- Set-up ----
    void initSetup();
    void setupViewInitialSize();
    // Where the window starts, and its least size: 1050 x 700 centred on the visible
    // area of the screen, shrunk to that area where it is smaller.
    static QRect initialGeometry(const QRect& visible);
    void setupTitleBarViewForWindow();

    // ---- The editor's events ----
    // The editor's loading overlay came (true) or went: close and zoom follow it.
    void loadingChanged(bool shown);
    // Photos dropped on the add-photos window: it goes, and they are added.
    void filesDroppedOnAddPhotos(const QStringList& paths);

    // ---- Title bar ----
    void btnCloseWindowTapped();
    void btnMinimizeWindowTapped();
    void btnZoomWindowTapped();
    void closeWindowActionShowRate(bool showRate);

    // ---- Dragging windows by their background ----
    void mouseDown(QMouseEvent* event, MouseDownView* view) override;
    void mouseDragged(QMouseEvent* event, MouseDownView* view) override;
    // Where a window dragged by hand goes: the pointer minus where the drag started
    // inside it, never with its top above the top of the screen.
    static QPoint draggedOrigin(const QPoint& pointerOnScreen, const QPoint& initialLocation, const QRect& screen);

    // ---- Add-photos window and open panels ----
    void showAddPhotosWindow();
    void addPhotoWindow();
    void hideAddPhotosWindow();
    // The add-photos window goes and the main window comes to the front (the
    // editor's part of hiding the add-photos window).
    void showExifEditorWindow();
    void btnCloseAddPhotoWinTapped();
    void btnAddPhotosTapped();
    void btnAddFoldersTapped();
    void btnAddiPhotosTapped();
    // kind 0: files; 1: files and folders.
    void showAddPhotosPanel(int kind);
    void showIphotosPanel();

    // ---- Rate sheet and tips ----
    void showAlertForRateApp();
    void showTipsScreen();
    void openHelpUrl();
    // What a link of the tips page does (TipsWindow::tipsLinkActivated).
    void tipsLinkActivated(const QUrl& url);

    // Offered for the editor: writes the preset archive as the application does.
    void saveProjectSession();

    static constexpr const QString& kTipsPage = TipsWindow::kTipsPage;

signals:
    // The main window is on the screen for the first time.
    void mainWindowExposed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMainWindow(const AppDelegate::EditorViewFactory& editorViewFactory);
    void setTitleBarButtonsEnabled(bool close, bool minimise, bool zoom);
    void panelDidEnd(const QStringList& paths);
    // Hands chosen or dropped paths to the editor, which adds them.
    void addChosenPaths(const QStringList& paths);
    void rateSheetAnswered(bool yes);
    // Asks the close-app question when the form holds edits never written to the
    // ticked photos; false when there is nothing to ask.
    bool askBeforeClosing();
    void moveByHand(QWidget* window, const QPoint& pointerOnScreen);

    AppDelegate& m_app;

    QVAppStoreWindow* m_windowMain = nullptr;
    QWidget* m_mainScreenView = nullptr;
    QWidget* m_vwTopContainer = nullptr;
    IMGButton* m_btnCloseWindow = nullptr;
    IMGButton* m_btnMinimizeWindow = nullptr;
    IMGButton* m_btnZoomWindow = nullptr;
    QLabel* m_headerBG = nullptr;
    QLabel* m_mainBG = nullptr;
    MouseDownView* m_vwMouseDownLintener = nullptr;
    QWidget* m_vwLoading = nullptr;
    QLabel* m_bgLoader = nullptr;
    QWidget* m_vwExifEditor = nullptr;

    AddPhotosWindow* m_addPhotos = nullptr;
    CloseAppSheet* m_closeAppSheet = nullptr;
    RateSheet* m_rateSheet = nullptr;
    TipsWindow* m_tips = nullptr;

    QPoint m_initialLocation;
    bool m_movedBySystem = false;
    bool m_isFullscreenEnable = false;
    bool m_wasExposed = false;
    QTimer m_addPhotosTimer;
};
