#pragma once

class QEvent;
class QMouseEvent;
class QWheelEvent;
class MouseDownView;

// What a MouseDownView tells its delegate. Every operation is optional: the
// defaults do nothing.
class MouseDownViewDelegate {
public:
    virtual ~MouseDownViewDelegate() = default;
    virtual void mouseDown(QMouseEvent*, MouseDownView*) { }
    virtual void mouseDragged(QMouseEvent*, MouseDownView*) { }
    virtual void mouseUp(QMouseEvent*, MouseDownView*) { }
    virtual void mouseExited(QEvent*, MouseDownView*) { }
    virtual void scrollWheel(QWheelEvent*, MouseDownView*) { }
    virtual void mouseDoubbleClicked(QMouseEvent*, MouseDownView*) { }
    virtual void rightMouseDown(QMouseEvent*) { }
};
