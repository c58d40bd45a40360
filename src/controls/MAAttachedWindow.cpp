#include "controls/MAAttachedWindow.h"

#include "controls/WindowKeys.h"

#include <QAction>
#include <QApplication>
#include <QBitmap>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QPainter>
#include <algorithm>

namespace {

// Gives a control the keyboard once it is enabled again (a pop-up's buttons come back
// a moment after it closed), unless the keyboard has found a place in its window by then.
class FocusWhenEnabled : public QObject {
public:
    explicit FocusWhenEnabled(QWidget* control)
        : QObject(control)
    {
        control->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* control = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::EnabledChange && control->isEnabled()) {
            if (!control->window()->focusWidget() && control->isVisible())
                control->setFocus(Qt::PopupFocusReason);
            deleteLater();
        }
        return false;
    }
};

bool liesIn(const QObject* object, const QObject* root)
{
    for (; object; object = object->parent()) {
        if (object == root)
            return true;
    }
    return false;
}

} // namespace

MAAttachedWindow::MAAttachedWindow(QWidget* view, const QPoint& point, QWidget* window, int side, double distance)
    // A sub-window: Tab and Shift+Tab go round its own controls.
    : QWidget(window, Qt::SubWindow)
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

void MAAttachedWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    takeKeyboard();
}

void MAAttachedWindow::hideEvent(QHideEvent* event)
{
    if (m_holding) {
        qApp->removeEventFilter(this);
        m_holding = false;
    }
    // Hidden with its window (a minimised window) it keeps the keyboard for its return.
    if (isHidden())
        giveKeyboardBack();
    QWidget::hideEvent(event);
}

void MAAttachedWindow::takeKeyboard()
{
    if (!m_holding) {
        qApp->installEventFilter(this);
        m_holding = true;
    }
    // The window's own focus, whether or not the window system gave it the keyboard.
    QWidget* focus = window()->focusWidget();
    if (focus && (focus == this || isAncestorOf(focus)))
        return;
    if (!m_focusReturn)
        m_focusReturn = focus;
    keyboardTarget(Qt::PopupFocusReason)->setFocus(Qt::PopupFocusReason);
}

QWidget* MAAttachedWindow::keyboardTarget(Qt::FocusReason reason) const
{
    // The control that had the keyboard last, unless Tab or Shift+Tab comes round.
    QWidget* target = focusWidget();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || !target || !isAncestorOf(target)
        || !target->isVisibleTo(this) || !target->isEnabled())
        target = WindowKeys::keyboardTarget(this, reason == Qt::BacktabFocusReason);
    return target ? target : const_cast<MAAttachedWindow*>(this);
}

void MAAttachedWindow::giveKeyboardBack()
{
    QWidget* focus = window()->focusWidget();
    if (focus && focus != this && !isAncestorOf(focus))
        return; // it has gone elsewhere already (a press outside)
    if (m_focusReturn && m_focusReturn->isEnabled() && m_focusReturn->isVisible()) {
        m_focusReturn->setFocus(Qt::PopupFocusReason);
        return;
    }
    // Not to whatever comes next in the window: nowhere until its control is back.
    if (focus)
        focus->clearFocus();
    if (m_focusReturn && !m_focusReturn->isEnabled())
        new FocusWhenEnabled(m_focusReturn);
}

bool MAAttachedWindow::liesBehind(const QObject* object) const
{
    const QWidget* host = parentWidget();
    if (!host || !object->isWidgetType() || static_cast<const QWidget*>(object)->window() != host)
        return false;
    if (object == host)
        return true;
    const QObject* top = object;
    while (top->parent() != host)
        top = top->parent();
    if (top == this)
        return false;
    const QObjectList& stack = host->children();
    return stack.indexOf(top) < stack.indexOf(this);
}

bool MAAttachedWindow::holdsShortcut(QObject* receiver) const
{
    // A shortcut of the bubble's own goes on; one of the window behind it waits.
    QObjectList owners { receiver };
    if (auto* action = qobject_cast<QAction*>(receiver))
        owners = action->associatedObjects();
    bool behind = false;
    for (const QObject* owner : std::as_const(owners)) {
        if (liesIn(owner, this))
            return false;
        behind = behind || liesIn(owner, parentWidget());
    }
    return behind;
}

void MAAttachedWindow::keyPressEvent(QKeyEvent* event)
{
    // What its controls leave goes no further: the window behind never sees it.
    event->accept();
}

void MAAttachedWindow::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
}

bool MAAttachedWindow::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Shortcut)
        return holdsShortcut(watched);
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::FocusIn)
        return false;
    if (type == QEvent::KeyPress && watched->isWidgetType()
        && (watched == this || isAncestorOf(static_cast<QWidget*>(watched)))) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Escape || (key->modifiers() & ~Qt::KeypadModifier))
            return false;
        if (isSignalConnected(QMetaMethod::fromSignal(&MAAttachedWindow::dismissRequested)))
            emit dismissRequested();
        else
            hide();
        return true;
    }
    if (!liesBehind(watched))
        return false;
    const Qt::FocusReason reason
        = type == QEvent::FocusIn ? static_cast<QFocusEvent*>(event)->reason() : Qt::OtherFocusReason;
    // A press gives the keyboard where it lands: the press then closes the bubble, or
    // not, as its owner decides.
    if (reason == Qt::MouseFocusReason)
        return false;
    QWidget* target = keyboardTarget(reason);
    target->setFocus(reason);
    if (type != QEvent::FocusIn)
        QCoreApplication::sendEvent(target, event);
    return true;
}
