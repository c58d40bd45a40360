#pragma once

#include "controls/MAAttachedWindow.h"

#include <QList>
#include <QListWidget>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <optional>

class QAbstractButton;
class QScrollArea;
class QWidget;

// The attached drop-down list of the interface, and the host of an attached panel:
// a list of rows 30 points high ("tblPopupOptions") or a view such as the date
// panel, in an MAAttachedWindow below a control (above it where the window ends too
// soon). One pop-up shows one list or view at a time: opening another closes it.
//
// While it is open it holds its window's keyboard (MAAttachedWindow), however it was
// opened: Escape closes it and the keyboard goes back to the control that opened it.
// A press anywhere outside it closes it without a choice (an event filter on the
// application sees every press), and the buttons of the buttons root, when one is
// set, are disabled. A press
// outside gives them back at once and goes on to what it was aimed at (on the
// control that opened the pop-up it only closes it); after any other closing they
// come back 0.3 s later, so that the click that chose a row cannot press a button
// under it.
// Choosing a row (a click, or Return on the current row) closes the list first and
// then hands the row to the handler it was opened with.
class AttachedPopupTable : public QObject {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 30;
    static constexpr int kEnableButtonsDelayMs = 300;
    static constexpr int kMaxVisibleRows = 10;
    static constexpr int kMaxFittedWidth = 420;

    // How a list opens; every member may be left as it is.
    struct ListOptions {
        // flagCurrentAttachPopupType: the tag the list is known by while it is open.
        int type = -1;
        // The row shown selected and scrolled into view (-1: none).
        int currentRow = -1;
        // The list's size; empty: as wide as its widest row (at least the anchor, at
        // most kMaxFittedWidth) and at most kMaxVisibleRows rows high.
        QSize size;
        // Where the arrow points, in the anchor's coordinates; by default the middle
        // of the anchor's lower edge (of its upper edge when the list opens above).
        std::optional<QPoint> point;
    };

    explicit AttachedPopupTable(QObject* parent = nullptr);
    ~AttachedPopupTable() override;

    // The object names of the pop-up's window ("attachedPopUpWindow") and of its
    // list ("tblPopupOptions").
    void setWindowName(const QString& name) { m_windowName = name; }
    void setTableName(const QString& name) { m_tableName = name; }
    // The view whose buttons are disabled while the pop-up is open (none by default).
    void setButtonsRoot(QWidget* root) { m_buttonsRoot = root; }
    // A button with this property set to true stays enabled while a list is open.
    static constexpr const char* kStaysEnabledProperty = "staysEnabledWithLists";
    // Presses inside the other pop-up's window do not close this one (a list opened
    // from inside a panel).
    void setCompanion(AttachedPopupTable* companion) { m_companion = companion; }

    // addAttachedPopupTableAtPoint: opens `rows` beside `anchor`; `chosen` gets the
    // row the user picks, after the list has closed.
    void open(
        QWidget* anchor, const QStringList& rows, std::function<void(int row)> chosen, const ListOptions& options);
    void open(QWidget* anchor, const QStringList& rows, std::function<void(int row)> chosen)
    {
        open(anchor, rows, std::move(chosen), ListOptions());
    }
    // A panel beside the anchor, scrolling where it is taller than the window. The
    // pop-up does not own the view: it is handed back to its former parent, hidden,
    // when the pop-up closes.
    void showView(QWidget* anchor, QWidget* view);

    // Chooses a row as a click would (a row the list does not have does nothing).
    void choose(int row);
    // dismissPanel: closes the pop-up without a choice (nothing when it is closed).
    void dismissPanel();
    // Closes the pop-up for good as its owner goes: the window goes at once, with a
    // view inside it, and nobody is told.
    void discard();

    bool isOpen() const { return !m_window.isNull(); }
    // flagCurrentAttachPopupType: the open list's tag, -1 when none is open.
    int currentType() const { return m_window ? m_type : -1; }
    MAAttachedWindow* attachedWindow() const { return m_window; }
    // The open list ("tblPopupOptions"), or nullptr.
    QListWidget* table() const { return m_list; }

signals:
    // The pop-up opened or closed.
    void openChanged(bool open);
    // kEnableButtonsDelayMs after the pop-up closed, unless it opened again, or at
    // once when a press outside closed it: the moment for buttons switched off while
    // it was open to come back.
    void buttonsReleased();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void attach(QWidget* anchor, QWidget* view, const std::optional<QPoint>& point);
    QSize fittedSize(QWidget* anchor, const QListWidget& list) const;
    void disableButtons();
    void releaseButtons();

    QPointer<QWidget> m_buttonsRoot;
    QString m_windowName = QStringLiteral("attachedPopUpWindow");
    QString m_tableName = QStringLiteral("tblPopupOptions");
    QPointer<MAAttachedWindow> m_window;
    QPointer<QWidget> m_anchor;
    QPointer<QListWidget> m_list;
    QPointer<QWidget> m_view;
    QPointer<QWidget> m_viewParent;
    // Around a view taller than the window, while it is shown.
    QPointer<QScrollArea> m_scroll;
    QPointer<AttachedPopupTable> m_companion;
    int m_type = -1;
    std::function<void(int)> m_chosen;
    QList<QPointer<QAbstractButton>> m_disabledButtons;
    QTimer m_enableTimer;
};
