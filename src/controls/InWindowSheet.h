#pragma once

#include <QEvent>
#include <QList>
#include <QObject>
#include <QRect>
#include <QPointer>
#include <QSize>
#include <optional>
#include <utility>

class QDialog;
class QPushButton;
class QWidget;

// A dialog drawn inside the window it belongs to, over a veil ("vwSheetVeil") that
// covers the whole window and takes every press: the window-modal sheet of a window
// system that lets no window place itself (Wayland) or has no window manager to
// hand the keyboard back when a dialog window goes (a bare X server).
//
// The dialog becomes a child of that window for good (a sub-window, so Tab stays
// inside it), centred on the window at its wanted size, never larger than the
// window; it follows the window's size and its own contents. It takes the keyboard
// when it shows, counts as a window for Escape and Ctrl+W (WindowKeys), holds back
// the shortcuts of the window behind it, and when it hides the veil goes and the
// keyboard returns to where it was. Return presses its default button from any
// control that leaves the key. While it is up nothing behind the veil takes the
// keyboard: Tab and Shift+Tab go round the dialog's own controls, a focus or a key
// that still lands behind the veil is handed to the dialog, so Escape always answers
// it. Whatever is raised over the veil later (a pop-up, another sheet) is not behind.
class InWindowSheet : public QObject {
    Q_OBJECT
public:
    // Room kept between the dialog and the window's edges where the window is small.
    static constexpr int kMargin = 12;
    // The most a sheet may take of a window of that size: all but kMargin on each
    // side, never less than a point.
    static QSize roomIn(const QSize& window);

    // The window `dialog` is drawn in when presented for `parent` (or, without one,
    // for the dialog's own parent): null when that window is not on the screen, when
    // the dialog is then shown as a window of its own.
    static QWidget* hostFor(const QDialog* dialog, const QWidget* parent);

    // Shows `dialog` inside the window hostFor names, with its result reset as open()
    // does; false, leaving the dialog alone, where there is no such window.
    static bool present(QDialog* dialog, const QWidget* parent = nullptr);

    // A press, move or wheel turn: what a veil keeps from the window behind it.
    static bool isSwallowedByAVeil(QEvent::Type type);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    InWindowSheet(QDialog* dialog, QWidget* host);
    void place();
    // Centres the dialog at the size it has and draws its frame there.
    void centre();
    void takeKeyboard();
    void end();
    bool keepsShortcut(QObject* receiver) const;
    bool liesBehindVeil(const QObject* object) const;
    void holdKeyboardBehindVeil();
    void releaseKeyboardBehindVeil();
    // The dialog's first control for the keyboard, or its last (Shift+Tab).
    QWidget* keyboardTarget(bool last) const;

    QPointer<QDialog> m_dialog;
    QPointer<QWidget> m_host;
    QPointer<QWidget> m_veil;
    QPointer<QWidget> m_previousFocus;
    // The dialog's default button as it was presented. A push button keeps its dialog's
    // default only in a dialog that is a window: here the sheet gives it back.
    QPointer<QPushButton> m_defaultButton;
    // The controls behind the veil that took the keyboard, with how they took it.
    QList<std::pair<QPointer<QWidget>, Qt::FocusPolicy>> m_heldFocus;
    // The size the dialog was given before it was presented, kept over its hint.
    std::optional<QSize> m_givenSize;
    // Its own least size, lowered to the room the window has while it is drawn there
    // (a small screen, a large scale) and given back when it goes.
    QSize m_givenMinimum;
    bool m_placing = false;
    QRect m_framed; // where the veil last drew the dialog's frame
    bool m_ended = false;
};
