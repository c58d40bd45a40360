#include "controls/IMGButton.h"

#include "controls/ImageNamed.h"

#include <QPainter>

IMGButton::IMGButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
}

void IMGButton::setImgOffState_En(const QString& name)
{
    m_off = name;
    update();
}

void IMGButton::setImgOnState_En(const QString& name)
{
    m_on = name;
    update();
}

void IMGButton::setImgMouseHover(const QString& name)
{
    m_hover = name;
    update();
}

void IMGButton::setState(int state)
{
    m_state = state ? 1 : 0;
    update();
}

QString IMGButton::currentImageName() const
{
    // A disabled button keeps showing its state: the ticks and choices of a page
    // stay as they are while a drop-down list switches the page's buttons off.
    if (!isEnabled())
        return m_state && !m_on.isEmpty() ? m_on : m_off;
    if ((isDown() || m_state) && !m_on.isEmpty())
        return m_on;
    if (m_hovered && !m_hover.isEmpty())
        return m_hover;
    return m_off;
}

QSize IMGButton::sizeHint() const
{
    return QSize(24, 24);
}

void IMGButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPixmap pixmap = imageNamed(currentImageName(), size(), devicePixelRatioF());
    if (!isEnabled())
        painter.setOpacity(0.4);
    painter.drawPixmap(0, 0, pixmap);
}

void IMGButton::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void IMGButton::leaveEvent(QEvent* event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}
