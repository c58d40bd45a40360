#pragma once

#include "controls/MouseDownViewDelegate.h"

#include <QWidget>

// A plain view that hands its mouse events to a delegate: a single click is
// mouseDown, a second click of a double click is mouseDoubbleClicked, a move with a
// button held is mouseDragged. The delegate is not owned; whoever sets it clears it
// before it goes away (the owners here own the view as well).
class MouseDownView : public QWidget {
    Q_OBJECT
public:
    explicit MouseDownView(QWidget* parent = nullptr);

    void setDelegate(MouseDownViewDelegate* delegate) { m_delegate = delegate; }
    MouseDownViewDelegate* delegate() const { return m_delegate; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    MouseDownViewDelegate* m_delegate = nullptr;
};
