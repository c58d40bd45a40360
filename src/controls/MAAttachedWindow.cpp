#include "controls/MAAttachedWindow.h"

#include <QPainter>
#include <QPainterPath>

MAAttachedWindow::MAAttachedWindow(QWidget* view, const QPoint& point, QWidget* window, int side, double distance)
    : QWidget(window, Qt::Tool | Qt::FramelessWindowHint)
    , m_view(view)
    , m_window(window)
    , m_point(point)
    , m_side(side)
    , m_distance(distance)
{
    setAttribute(Qt::WA_TranslucentBackground);
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
    const QPoint anchor = attachedPoint();
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
    setGeometry(QRect(topLeft, total));
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

void MAAttachedWindow::paintEvent(QPaintEvent*)
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
    if (m_hasArrow && arrow > 0) {
        const double base = m_arrowBaseWidth / 2;
        const QPointF tip = QPointF(mapFromGlobal(attachedPoint()));
        QPolygonF triangle;
        switch (m_side) {
        case Above:
            triangle << QPointF(tip.x() - base, body.bottom()) << QPointF(tip.x(), body.bottom() + arrow)
                     << QPointF(tip.x() + base, body.bottom());
            break;
        case Below:
            triangle << QPointF(tip.x() - base, body.top()) << QPointF(tip.x(), body.top() - arrow)
                     << QPointF(tip.x() + base, body.top());
            break;
        case Left:
            triangle << QPointF(body.right(), tip.y() - base) << QPointF(body.right() + arrow, tip.y())
                     << QPointF(body.right(), tip.y() + base);
            break;
        default:
            triangle << QPointF(body.left(), tip.y() - base) << QPointF(body.left() - arrow, tip.y())
                     << QPointF(body.left(), tip.y() + base);
            break;
        }
        QPainterPath arrowPath;
        arrowPath.addPolygon(triangle);
        arrowPath.closeSubpath();
        path = path.united(arrowPath);
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(m_borderWidth > 0 ? QPen(m_borderColor, m_borderWidth) : Qt::NoPen);
    painter.setBrush(m_backgroundColor);
    painter.drawPath(path);
}
