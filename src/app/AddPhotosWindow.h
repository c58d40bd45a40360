#pragma once

#include <QObject>

class MouseDownView;
class QDialog;
class QWidget;

// The add-photos window ("winAddPhotos"), in front of the main window at start: a
// drop box ("leftBox", from the editor factory) and the buttons "btnAddPhotos",
// "btnAddFolders", "btnAddiPhotos" and "btnCloseAddPhotoWin". It ends only through
// its buttons: Escape does nothing, and a close from the window system is its close
// button. What a button does is its owner's.
class AddPhotosWindow : public QObject {
    Q_OBJECT
public:
    explicit AddPhotosWindow(QWidget* mainWindow);

    QDialog* window() const { return m_window; }
    MouseDownView* dragArea() const { return m_vwContainerLoadImage; }
    bool isVisible() const;

    // Shows the window, window-modal, centred on the main window (nothing when it is
    // already in front).
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_mainWindow;
    QDialog* m_window = nullptr;
    MouseDownView* m_vwContainerLoadImage = nullptr;
};
