#include "controls/InWindowSheet.h"

#include "controls/WindowKeys.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFocusEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

namespace {

const QColor kVeilColour(0, 0, 0, 110);
const QColor kFrameColour(12, 12, 12);

// Darkens the window behind the sheet and draws the sheet's thin frame, as a window
// of its own would have one.
class SheetVeil : public QWidget {
public:
    SheetVeil(QWidget* host, QDialog* dialog)
        : QWidget(host)
        , m_dialog(dialog)
    {
        setObjectName(QStringLiteral("vwSheetVeil"));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), kVeilColour);
        if (m_dialog && m_dialog->isVisible()) {
            painter.setPen(kFrameColour);
            painter.drawRect(m_dialog->geometry().adjusted(-1, -1, 0, 0));
        }
    }

private:
    QPointer<QDialog> m_dialog;
};

bool takesKeyboard(const QWidget* widget, const QWidget* within)
{
    return within->isAncestorOf(widget) && widget->isVisibleTo(within) && widget->isEnabled()
        && (widget->focusPolicy() & Qt::TabFocus);
}

} // namespace

QWidget* InWindowSheet::hostFor(const QDialog* dialog, const QWidget* parent)
{
    const QWidget* from = parent ? parent : dialog->parentWidget();
    QWidget* host = from ? from->window() : nullptr;
    if (!host || host == dialog || !host->isVisible())
        return nullptr;
    return host;
}

// Whether `object` is `root` or lies below it, through menus and actions too.
static bool liesIn(const QObject* object, const QObject* root)
{
    for (; object; object = object->parent()) {
        if (object == root)
            return true;
    }
    return false;
}

bool InWindowSheet::keepsShortcut(QObject* receiver) const
{
    // A shortcut of the sheet's own, or of another window, goes on; one of the window
    // behind the sheet waits, as behind a window-modal dialog.
    QObjectList owners { receiver };
    if (auto* action = qobject_cast<QAction*>(receiver))
        owners = action->associatedObjects();
    for (const QObject* owner : owners) {
        if (liesIn(owner, m_dialog))
            return true;
    }
    for (const QObject* owner : owners) {
        if (liesIn(owner, m_host))
            return false;
    }
    return true;
}

bool InWindowSheet::isSwallowedByAVeil(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

bool InWindowSheet::present(QDialog* dialog, const QWidget* parent)
{
    QWidget* host = dialog ? hostFor(dialog, parent) : nullptr;
    if (!host)
        return false;
    new InWindowSheet(dialog, host);
    return true;
}

InWindowSheet::InWindowSheet(QDialog* dialog, QWidget* host)
    : m_dialog(dialog)
    , m_host(host)
{
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus->window() == host)
        m_previousFocus = focus;
    if (dialog->testAttribute(Qt::WA_Resized))
        m_givenSize = dialog->size();
    m_givenMinimum = dialog->minimumSize();

    m_veil = new SheetVeil(host, dialog);
    setParent(m_veil);
    m_veil->installEventFilter(this);
    host->installEventFilter(this);
    qApp->installEventFilter(this);
    if (dialog->parentWidget() != host || dialog->windowType() != Qt::SubWindow)
        dialog->setParent(host, Qt::SubWindow);
    // Without a window of its own the dialog paints its own background.
    dialog->setAutoFillBackground(true);
    WindowKeys::treatAsWindow(dialog);
    for (auto* button : dialog->findChildren<QPushButton*>()) {
        if (button->isDefault()) {
            m_defaultButton = button;
            break;
        }
    }
    dialog->installEventFilter(this);
    connect(dialog, &QObject::destroyed, this, &InWindowSheet::end);

    m_veil->setGeometry(host->rect());
    m_veil->show();
    m_veil->raise();
    holdKeyboardBehindVeil();
    dialog->setResult(0);
    place();
    dialog->show();
    dialog->raise();
    place();
    takeKeyboard();
}

QSize InWindowSheet::roomIn(const QSize& window)
{
    return (window - QSize(2 * kMargin, 2 * kMargin)).expandedTo(QSize(1, 1));
}

void InWindowSheet::place()
{
    if (!m_dialog || !m_host || m_placing)
        return;
    m_placing = true;
    const QSize room = roomIn(m_host->size());
    if (const QSize least = m_givenMinimum.boundedTo(room); m_dialog->minimumSize() != least)
        m_dialog->setMinimumSize(least);
    QSize wanted = m_givenSize.value_or(m_dialog->sizeHint()).expandedTo(m_dialog->minimumSizeHint());
    wanted = wanted.boundedTo(m_dialog->maximumSize()).boundedTo(room);
    if (m_dialog->hasHeightForWidth())
        wanted.setHeight(std::max(wanted.height(), m_dialog->heightForWidth(wanted.width())));
    wanted = wanted.boundedTo(room).expandedTo(m_dialog->minimumSize());
    m_dialog->resize(wanted);
    centre();
    m_placing = false;
}

void InWindowSheet::centre()
{
    const QSize size = m_dialog->size();
    m_dialog->move(
        std::max(0, (m_host->width() - size.width()) / 2), std::max(0, (m_host->height() - size.height()) / 2));
    // Only the frame's lines are drawn again, and only when the dialog moved or grew:
    // the veil is translucent, so what it covers is painted again with it, and a
    // sheet whose labels change many times a second (a run's progress) would
    // otherwise paint the whole window behind it at each change.
    if (const QRect frame = m_dialog->geometry().adjusted(-1, -1, 0, 0); m_veil && frame != m_framed) {
        // A point on each side of the lines as well: scaled, a line of one point
        // reaches into the next point's pixels, and its rest would stay on the screen.
        const auto lines = [](const QRect& rect) {
            return rect.isNull() ? QRegion()
                                 : QRegion(rect.adjusted(-1, -1, 2, 2)) - QRegion(rect.adjusted(2, 2, -1, -1));
        };
        m_veil->update(lines(m_framed) + lines(frame));
        m_framed = frame;
    }
}

QWidget* InWindowSheet::keyboardTarget(bool last) const
{
    return WindowKeys::keyboardTarget(m_dialog, last);
}

void InWindowSheet::takeKeyboard()
{
    m_host->activateWindow();
    QWidget* focus = QApplication::focusWidget();
    if (focus && m_dialog->isAncestorOf(focus))
        return;
    QWidget* target = nullptr;
    for (auto* button : m_dialog->findChildren<QPushButton*>()) {
        if (button->isDefault() && takesKeyboard(button, m_dialog)) {
            target = button;
            break;
        }
    }
    if (!target)
        target = keyboardTarget(false);
    if (target)
        target->setFocus(Qt::ActiveWindowFocusReason);
    else
        m_dialog->setFocus(Qt::ActiveWindowFocusReason);
}

bool InWindowSheet::liesBehindVeil(const QObject* object) const
{
    if (!m_host || !m_veil || !object || !object->isWidgetType())
        return false;
    // The child of the window it lies in: stacked below the veil, it is behind it.
    const QObject* top = object;
    while (top->parent() && top->parent() != m_host)
        top = top->parent();
    if (top->parent() != m_host || top == m_veil || top == m_dialog)
        return false;
    const QObjectList& stack = m_host->children();
    return stack.indexOf(top) < stack.indexOf(m_veil);
}

void InWindowSheet::holdKeyboardBehindVeil()
{
    // Tab goes round the controls that may take the keyboard: with none behind the
    // veil, it stays in the dialog, whether or not the window is active.
    for (QWidget* widget : m_host->findChildren<QWidget*>()) {
        if (widget->focusPolicy() == Qt::NoFocus || !liesBehindVeil(widget))
            continue;
        m_heldFocus.append({ widget, widget->focusPolicy() });
        widget->setFocusPolicy(Qt::NoFocus);
    }
}

void InWindowSheet::releaseKeyboardBehindVeil()
{
    // Backwards: a control with a focus proxy hands its policy on to the proxy.
    for (auto held = m_heldFocus.crbegin(); held != m_heldFocus.crend(); ++held) {
        if (held->first && held->first->focusPolicy() == Qt::NoFocus)
            held->first->setFocusPolicy(held->second);
    }
    m_heldFocus.clear();
}

void InWindowSheet::end()
{
    if (m_ended)
        return;
    m_ended = true;
    qApp->removeEventFilter(this);
    if (m_host)
        m_host->removeEventFilter(this);
    if (m_dialog)
        m_dialog->removeEventFilter(this);
    releaseKeyboardBehindVeil();
    if (m_dialog)
        m_dialog->setMinimumSize(m_givenMinimum);
    // The keyboard goes back where it was once the answer has been handed on (it may
    // switch the window's controls back on), unless the answer has put it elsewhere.
    QTimer::singleShot(0, m_host, [previous = m_previousFocus, dialog = m_dialog] {
        QWidget* focus = QApplication::focusWidget();
        if (previous && previous->isVisible() && previous->isEnabled()
            && (!focus || !dialog || focus == dialog || dialog->isAncestorOf(focus)))
            previous->setFocus(Qt::ActiveWindowFocusReason);
    });
    if (m_veil) {
        m_veil->hide();
        m_veil->deleteLater();
    }
}

bool InWindowSheet::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Shortcut)
        return !keepsShortcut(watched);
    if ((type == QEvent::FocusIn || type == QEvent::KeyPress || type == QEvent::KeyRelease) && m_dialog
        && m_dialog->isVisible() && liesBehindVeil(watched)) {
        // A control made behind the veil while the dialog is up can still take the
        // keyboard: it goes to the dialog, and so does the key. Tab past the dialog's
        // last control comes round to its first, Shift+Tab to its last.
        const Qt::FocusReason reason
            = type == QEvent::FocusIn ? static_cast<QFocusEvent*>(event)->reason() : Qt::OtherFocusReason;
        QWidget* target = m_dialog->focusWidget();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || !target
            || !m_dialog->isAncestorOf(target))
            target = keyboardTarget(reason == Qt::BacktabFocusReason);
        if (!target)
            target = m_dialog;
        target->setFocus(reason);
        if (type == QEvent::KeyPress)
            QCoreApplication::sendEvent(target, event);
        return true;
    }
    if (type == QEvent::FocusIn && m_defaultButton && m_dialog && watched->isWidgetType()
        && m_dialog->isAncestorOf(static_cast<QWidget*>(watched))) {
        // Qt hands the default from button to button only inside a dialog that is a
        // window: once the keyboard left the default button, no button would take
        // Return. A control that leaves Return to the dialog gives the default back.
        const auto* button = qobject_cast<QPushButton*>(watched);
        if (!button || !button->autoDefault())
            m_defaultButton->setDefault(true);
    }
    if (watched == m_veil) {
        // The veil is the sheet's modality: what is pressed on it goes nowhere.
        return isSwallowedByAVeil(type);
    }
    if (watched == m_host && type == QEvent::Resize) {
        if (m_veil)
            m_veil->setGeometry(m_host->rect());
        place();
    } else if (watched == m_dialog) {
        if (type == QEvent::LayoutRequest)
            place();
        else if (type == QEvent::Resize && !m_placing && m_host)
            centre(); // a message box sets its own size after its layout has been asked
        else if (type == QEvent::Hide && m_dialog->isHidden())
            end();
    }
    return QObject::eventFilter(watched, event);
}
