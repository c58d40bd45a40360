#pragma once

#include <QColor>
#include <QPainterPath>
#include <QPointer>
#include <QWidget>

// A bubble that carries a view beside a point of a window, with an optional arrow
// pointing at the point. The arrow's tip (or, without an arrow, the bubble's edge
// centre) sits at the point, `distance` away from it. Used for the drop-down lists
// and the date pickers of the forms.
//
// The bubble is a child widget of the window, raised above its other children, not
// a window of its own: it stays beside its point wherever the window system puts
// windows (Wayland lets no window place itself), and the toolkit draws it over the
// window's own pixels, so its rounded corners and the sides of its arrow show the
// window behind them with or without a compositor. It stays inside the window
// across; its mask is its shape, so a press beside the arrow or in a corner reaches
// what lies under it.
//
// While it shows it holds its window's keyboard as a sheet does, however it was
// opened: it takes the keyboard (its view's control that had it last, else its first
// control), Tab and Shift+Tab go round its own controls, a key or a focus that still
// lands on the window behind it is handed to it, the shortcuts of the window behind
// it wait, and Escape asks its owner to close it (dismissRequested). What lies over
// it (a list opened from inside it, a sheet) is not behind it. A press of the mouse
// still reaches the window: its owner decides what a press outside does. When it
// hides the keyboard goes back to the control it came from (or the one set with
// setFocusReturn), at once, or as soon as that control is enabled again.
class MAAttachedWindow : public QWidget {
    Q_OBJECT
public:
    // Where the bubble sits relative to the point.
    enum Side : int {
        Above = 0,
        Below = 1, // centred under the point
        Left = 2,
        Right = 3,
    };

    // view: shown inside the bubble, reparented to it; point: in `window`'s
    // coordinates; window: the window the bubble lies in (it goes with it).
    MAAttachedWindow(QWidget* view, const QPoint& point, QWidget* window, int side, double distance);

    QWidget* view() const { return m_view; }

    void setBorderColor(const QColor& color);
    void setBackgroundColor(const QColor& color);
    void setHasArrow(int hasArrow);
    void setCornerRadius(double radius);
    void setBorderWidth(double width);
    void setArrowHeight(double height);
    QColor borderColor() const { return m_borderColor; }
    QColor backgroundColor() const { return m_backgroundColor; }
    bool hasArrow() const { return m_hasArrow; }
    double cornerRadius() const { return m_cornerRadius; }
    double borderWidth() const { return m_borderWidth; }
    double arrowHeight() const { return m_arrowHeight; }

    // Where the arrow points, in global coordinates.
    QPoint attachedPoint() const;

    // Places the bubble again for the point, e.g. after its view changed size.
    void reposition();

    // The bubble's outline with its arrow, in its own coordinates.
    QPainterPath shape() const;

    // The control the keyboard goes back to when the bubble hides (by default the one
    // that had it when the bubble showed).
    void setFocusReturn(QWidget* control) { m_focusReturn = control; }

signals:
    // Escape was pressed while the bubble held the keyboard: the owner closes it.
    // Without an owner listening, the bubble hides itself.
    void dismissRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    double arrowSpace() const { return m_hasArrow ? m_arrowHeight : 0.0; }
    QMarginsF bubbleMargins() const;
    void updateMask();
    void takeKeyboard();
    void giveKeyboardBack();
    // Where the keyboard goes in the bubble for a focus of that reason.
    QWidget* keyboardTarget(Qt::FocusReason reason) const;
    // A widget of the bubble's window stacked below it (the window itself too).
    bool liesBehind(const QObject* object) const;
    bool holdsShortcut(QObject* receiver) const;

    QPointer<QWidget> m_view;
    QPointer<QWidget> m_window;
    QPoint m_point;
    int m_side;
    double m_distance;
    QColor m_borderColor { 0, 0, 0, 60 };
    QColor m_backgroundColor { 255, 255, 255 };
    bool m_hasArrow = true;
    double m_cornerRadius = 6;
    double m_borderWidth = 1;
    double m_arrowHeight = 10;
    double m_arrowBaseWidth = 20;
    QPointer<QWidget> m_focusReturn;
    bool m_holding = false;
};
