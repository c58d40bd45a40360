#pragma once

#include <QObject>

class QAbstractButton;
class QWidget;

// The keys that every child window of the application shares, handled here once
// for all of them:
// - Escape answers a sheet or an alert with its "No" or "Cancel" button; a dialog
//   without one keeps its own Escape, and another child window (the viewer, the
//   tips) closes;
// - Ctrl+W closes the front child window: through its "No" or "Cancel" where it
//   has one, else as the window's own close button does.
// A key counts only when it reaches the window, so a field or list that uses it
// keeps it. The main window (a window without a parent) and the drop-down bubbles
// keep their own keys. A panel that the main window draws inside itself as a
// child window (the tips) counts as one once it is marked with treatAsWindow.
class WindowKeys : public QObject {
    Q_OBJECT
public:
    // Watches the keys of the whole application until `owner` is destroyed.
    static WindowKeys* install(QObject* owner);

    // The button that declines in `window`: a visible "No" or "Cancel" of its own;
    // null when it has none.
    static QAbstractButton* cancelButton(QWidget* window);

    // Gives `panel`, a widget drawn inside its window, the keys of a child window:
    // they count when they reach it, and closing it sends it a close event.
    static void treatAsWindow(QWidget* panel);

    // The first control inside `within` that Tab reaches, or the last (Shift+Tab);
    // null when none may take the keyboard.
    static QWidget* keyboardTarget(const QWidget* within, bool last);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};
