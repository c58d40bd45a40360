#include "controls/MouseDownView.h"

#include <QMouseEvent>
#include <QWheelEvent>

MouseDownView::MouseDownView(QWidget* parent)
    : QWidget(parent)
{
}

void MouseDownView::mousePressEvent(QMouseEvent* event)
{
    if (!m_delegate)
        return QWidget::mousePressEvent(event);
    if (event->button() == Qt::RightButton)
        m_delegate->rightMouseDown(event);
    else
        m_delegate->mouseDown(event, this);
    event->accept();
}

void MouseDownView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!m_delegate)
        return QWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::RightButton)
        m_delegate->rightMouseDown(event);
    else
        m_delegate->mouseDoubbleClicked(event, this);
    event->accept();
}

void MouseDownView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_delegate || event->buttons() == Qt::NoButton)
        return QWidget::mouseMoveEvent(event);
    m_delegate->mouseDragged(event, this);
    event->accept();
}

void MouseDownView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_delegate)
        return QWidget::mouseReleaseEvent(event);
    m_delegate->mouseUp(event, this);
    event->accept();
}

void MouseDownView::leaveEvent(QEvent* event)
{
    if (m_delegate)
        m_delegate->mouseExited(event, this);
    QWidget::leaveEvent(event);
}

void MouseDownView::wheelEvent(QWheelEvent* event)
{
    if (!m_delegate)
        return QWidget::wheelEvent(event);
    m_delegate->scrollWheel(event, this);
}
