#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

class MouseDownView;
class QVAppStoreWindow;
class QWidget;

// The add-photos window ("winAddPhotos"), in front of the main window at start: a
// drop box ("leftBox", from the editor factory) and the buttons "btnAddPhotos",
// "btnAddFolders", "btnAddiPhotos" and "btnCloseAddPhotoWin". It ends only through
// its buttons; Escape does nothing. What a button does is its owner's. The window
// itself sets no sub-window fact: the add-photos panel asked from it holds the fact
// while that panel is up, so nothing has to clear it by hand when the window goes.
//
// It is an overlay inside the main window, not a window of its own: centred on the
// main window over a veil ("vwAddPhotosVeil") that covers the content below the
// title bar, takes every press and holds back the view behind it from the keyboard.
// So it stays centred wherever the window system puts windows (Wayland lets no
// window place itself), and dragging its background moves the main window.
class AddPhotosWindow : public QObject {
    Q_OBJECT
public:
    // behind: the view the veil covers, switched off for the keyboard while it is up.
    AddPhotosWindow(QVAppStoreWindow* mainWindow, QWidget* behind);

    QWidget* window() const { return m_window; }
    MouseDownView* dragArea() const { return m_vwContainerLoadImage; }
    bool isVisible() const;

    // Shows the window centred on the main window (nothing when it is already up).
    void show();
    void hide();
    // Where panels and alerts asked from it go: this window while it is up, else the
    // main window.
    QWidget* panelParent() const;

signals:
    void addPhotosTapped();
    void addFoldersTapped();
    void addLibraryTapped();
    void closeTapped();
    // Files were dropped on its drop box: their absolute paths, in the drag's order.
    void filesDropped(const QStringList& paths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    QVAppStoreWindow* m_mainWindow;
    // The main window's content, kept apart: its events still come while the main
    // window is being destroyed, when it can no longer be asked for it.
    QWidget* m_contentView;
    QWidget* m_behind;
    // Where the keyboard was when the window came, to go back there when it goes.
    QPointer<QWidget> m_focusBefore;
    QWidget* m_veil = nullptr;
    QWidget* m_window = nullptr;
    MouseDownView* m_vwContainerLoadImage = nullptr;
};
