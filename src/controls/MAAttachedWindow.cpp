#include "controls/MAAttachedWindow.h"

#include <QBitmap>
#include <QPainter>
#include <algorithm>

MAAttachedWindow::MAAttachedWindow(QWidget* view, const QPoint& point, QWidget* window, int side, double distance)
    : QWidget(window)
    , m_view(view)
    , m_window(window)
    , m_point(point)
    , m_side(side)
    , m_distance(distance)
{
    setObjectName(QStringLiteral("attachedWindow"));
    if (view)
        view->setParent(this);
    reposition();
}

QMarginsF MAAttachedWindow::bubbleMargins() const
{
    const double inset = m_borderWidth + m_cornerRadius / 2;
    QMarginsF margins(inset, inset, inset, inset);
    switch (m_side) {
    case Above:
        margins.setBottom(margins.bottom() + arrowSpace());
        break;
    case Below:
        margins.setTop(margins.top() + arrowSpace());
        break;
    case Left:
        margins.setRight(margins.right() + arrowSpace());
        break;
    default:
        margins.setLeft(margins.left() + arrowSpace());
        break;
    }
    return margins;
}

QPoint MAAttachedWindow::attachedPoint() const
{
    return m_window ? m_window->mapToGlobal(m_point) : m_point;
}

void MAAttachedWindow::reposition()
{
    const QSize viewSize = m_view ? m_view->size() : QSize();
    const QMarginsF margins = bubbleMargins();
    const QSize total(qCeil(viewSize.width() + margins.left() + margins.right()),
        qCeil(viewSize.height() + margins.top() + margins.bottom()));
    const QPoint anchor = m_point;
    const int distance = qRound(m_distance);
    QPoint topLeft;
    switch (m_side) {
    case Above:
        topLeft = QPoint(anchor.x() - total.width() / 2, anchor.y() - distance - total.height());
        break;
    case Below:
        topLeft = QPoint(anchor.x() - total.width() / 2, anchor.y() + distance);
        break;
    case Left:
        topLeft = QPoint(anchor.x() - distance - total.width(), anchor.y() - total.height() / 2);
        break;
    default:
        topLeft = QPoint(anchor.x() + distance, anchor.y() - total.height() / 2);
        break;
    }
    // Along the side it hangs from, the bubble stays inside its window; its arrow
    // still points at the point.
    if (m_window && (m_side == Above || m_side == Below))
        topLeft.setX(std::clamp(topLeft.x(), 0, std::max(0, m_window->width() - total.width())));
    else if (m_window)
        topLeft.setY(std::clamp(topLeft.y(), 0, std::max(0, m_window->height() - total.height())));
    setGeometry(QRect(topLeft, total));
    updateMask();
    if (m_view)
        m_view->move(qRound(margins.left()), qRound(margins.top()));
    update();
}

void MAAttachedWindow::setBorderColor(const QColor& color)
{
    m_borderColor = color;
    update();
}

void MAAttachedWindow::setBackgroundColor(const QColor& color)
{
    m_backgroundColor = color;
    update();
}

void MAAttachedWindow::setHasArrow(int hasArrow)
{
    m_hasArrow = hasArrow != 0;
    reposition();
}

void MAAttachedWindow::setCornerRadius(double radius)
{
    m_cornerRadius = qMax(0.0, radius);
    reposition();
}

void MAAttachedWindow::setBorderWidth(double width)
{
    m_borderWidth = qMax(0.0, width);
    reposition();
}

void MAAttachedWindow::setArrowHeight(double height)
{
    m_arrowHeight = qMax(0.0, height);
    reposition();
}

QPainterPath MAAttachedWindow::shape() const
{
    const double arrow = arrowSpace();
    const double half = m_borderWidth / 2;
    QRectF body = QRectF(rect()).adjusted(half, half, -half, -half);
    switch (m_side) {
    case Above:
        body.setBottom(body.bottom() - arrow);
        break;
    case Below:
        body.setTop(body.top() + arrow);
        break;
    case Left:
        body.setRight(body.right() - arrow);
        break;
    default:
        body.setLeft(body.left() + arrow);
        break;
    }
    QPainterPath path;
    path.addRoundedRect(body, m_cornerRadius, m_cornerRadius);
    if (!m_hasArrow || arrow <= 0)
        return path;
    // The tip points at the point even where the bubble was kept inside the window,
    // but its base stays on the bubble's straight edge.
    const double base = m_arrowBaseWidth / 2;
    const QPointF tip = QPointF(m_point - pos());
    const double across = std::clamp(tip.x(), body.left() + m_cornerRadius + base,
        std::max(body.left() + m_cornerRadius + base, body.right() - m_cornerRadius - base));
    const double down = std::clamp(tip.y(), body.top() + m_cornerRadius + base,
        std::max(body.top() + m_cornerRadius + base, body.bottom() - m_cornerRadius - base));
    QPolygonF triangle;
    switch (m_side) {
    case Above:
        triangle << QPointF(across - base, body.bottom()) << QPointF(tip.x(), body.bottom() + arrow)
                 << QPointF(across + base, body.bottom());
        break;
    case Below:
        triangle << QPointF(across - base, body.top()) << QPointF(tip.x(), body.top() - arrow)
                 << QPointF(across + base, body.top());
        break;
    case Left:
        triangle << QPointF(body.right(), down - base) << QPointF(body.right() + arrow, tip.y())
                 << QPointF(body.right(), down + base);
        break;
    default:
        triangle << QPointF(body.left(), down - base) << QPointF(body.left() - arrow, tip.y())
                 << QPointF(body.left(), down + base);
        break;
    }
    QPainterPath arrowPath;
    arrowPath.addPolygon(triangle);
    arrowPath.closeSubpath();
    return path.united(arrowPath);
}

void MAAttachedWindow::updateMask()
{
    if (size().isEmpty())
        return;
    // The shape and the pixels its smoothed border touches.
    QBitmap mask(size());
    mask.fill(Qt::color0);
    QPainter painter(&mask);
    painter.setPen(QPen(Qt::color1, m_borderWidth + 2));
    painter.setBrush(Qt::color1);
    painter.drawPath(shape());
    painter.end();
    setMask(mask);
}

void MAAttachedWindow::resizeEvent(QResizeEvent* event)
{
    updateMask();
    QWidget::resizeEvent(event);
}

void MAAttachedWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(m_borderWidth > 0 ? QPen(m_borderColor, m_borderWidth) : Qt::NoPen);
    painter.setBrush(m_backgroundColor);
    painter.drawPath(shape());
}
