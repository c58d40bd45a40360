#pragma once

#include "controls/MAAttachedWindow.h"

#include <QList>
#include <QListWidget>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>

class QAbstractButton;
class QWidget;

// One attached pop-up of the form (an MAAttachedWindow below a control): a
// drop-down list with rows 30 points high, or a panel such as the date panel.
// While it is open a click anywhere outside it closes it (an event filter on the
// application sees every mouse press), and the buttons of the form are disabled;
// they are enabled again 0.3 s after it closes, so that the click that closed the
// list cannot press a button under it.
class FormAttachedPopup : public QObject {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 30;
    static constexpr int kEnableButtonsDelayMs = 300;
    static constexpr int kMaxVisibleRows = 10;

    // owner: the form whose buttons are disabled while the pop-up is open.
    FormAttachedPopup(QWidget* owner, const QString& windowName);
    ~FormAttachedPopup() override;

    // addAttachedPopupTableAtPoint: a list below the anchor; chosen gets the row the
    // user picks, after the list has closed. The current row is shown selected.
    void showList(QWidget* anchor, const QStringList& rows, int currentRow, std::function<void(int row)> chosen);
    // A panel below the anchor. The pop-up does not own the view: it is handed
    // back to its former parent, hidden, when the pop-up closes.
    void showView(QWidget* anchor, QWidget* view);

    // dismissPanel: closes the pop-up (nothing when it is closed).
    void dismissPanel();
    // Closes the pop-up for good as its owner goes: the window goes at once, with
    // the view inside it.
    void discard();
    bool isOpen() const { return !m_window.isNull(); }
    MAAttachedWindow* attachedWindow() const { return m_window; }
    // The list of the open pop-up ("tblPopupOptions"), or nullptr.
    QListWidget* table() const { return m_list; }

    // The view whose buttons are disabled while the pop-up is open (the form by
    // default; the editor view when the form sits in it).
    void setButtonsRoot(QWidget* root) { m_buttonsRoot = root; }

    // Clicks inside the other pop-up's window do not close this one (a list opened
    // from inside a panel).
    void setCompanion(FormAttachedPopup* companion) { m_companion = companion; }

signals:
    // The pop-up opened or closed (the form freezes its scrolling while it is open).
    void openChanged(bool open);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void open(QWidget* anchor, QWidget* view);
    void disableButtons();
    void enableButtonsAfterDelay();

    QWidget* m_owner;
    QPointer<QWidget> m_buttonsRoot;
    QString m_windowName;
    QPointer<MAAttachedWindow> m_window;
    QPointer<QListWidget> m_list;
    QPointer<QWidget> m_view;
    QPointer<QWidget> m_viewParent;
    QPointer<FormAttachedPopup> m_companion;
    std::function<void(int)> m_chosen;
    QList<QPointer<QAbstractButton>> m_disabledButtons;
    QTimer m_enableTimer;
};
