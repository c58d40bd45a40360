#include "controls/WindowKeys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QWindow>

namespace {

constexpr const char* kPanelProperty = "windowKeysPanel";

bool isPanel(const QWidget* widget)
{
    return widget->property(kPanelProperty).toBool();
}

// The window, or the marked panel, that a widget lies in.
const QWidget* frameOf(const QWidget* widget)
{
    while (widget && !widget->isWindow() && !isPanel(widget))
        widget = widget->parentWidget();
    return widget;
}

bool isChildWindow(const QWidget* window)
{
    if (isPanel(window))
        return true;
    if (!window->isWindow() || !window->parentWidget())
        return false;
    switch (window->windowType()) {
    case Qt::Window:
    case Qt::Dialog:
    case Qt::Sheet:
    case Qt::Tool:
        return true;
    default:
        return false;
    }
}

// As the window system's close button: the window hears a spontaneous close, and
// whatever it does on its close button (ask, refuse, end a run) it does here.
void closeAsItsCloseButton(QWidget* window)
{
    if (QWindow* handle = window->windowHandle())
        handle->close();
    else
        window->close();
}

} // namespace

WindowKeys* WindowKeys::install(QObject* owner)
{
    auto* keys = new WindowKeys(owner);
    qApp->installEventFilter(keys);
    return keys;
}

QAbstractButton* WindowKeys::cancelButton(QWidget* window)
{
    if (!window)
        return nullptr;
    const auto buttons = window->findChildren<QAbstractButton*>();
    for (QAbstractButton* button : buttons) {
        if (frameOf(button) != window || !button->isVisibleTo(window))
            continue;
        const QString title = button->text().remove(u'&').trimmed();
        if (title == QLatin1String("No") || title == QLatin1String("Cancel"))
            return button;
    }
    return nullptr;
}

void WindowKeys::treatAsWindow(QWidget* panel)
{
    panel->setProperty(kPanelProperty, true);
}

QWidget* WindowKeys::keyboardTarget(const QWidget* within, bool last)
{
    QWidget* target = nullptr;
    for (QWidget* next = within->nextInFocusChain(); next && next != within; next = next->nextInFocusChain()) {
        if (within->isAncestorOf(next) && next->isVisibleTo(within) && next->isEnabled()
            && (next->focusPolicy() & Qt::TabFocus)) {
            target = next;
            if (!last)
                break;
        }
    }
    return target;
}

bool WindowKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto* window = static_cast<QWidget*>(watched);
    if (!isChildWindow(window))
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool escape = key->key() == Qt::Key_Escape && !(key->modifiers() & ~Qt::KeypadModifier);
    const bool closeKey = key->matches(QKeySequence::Close);
    if (!escape && !closeKey)
        return false;
    if (QAbstractButton* cancel = cancelButton(window)) {
        // A declining button that is off for now (the window is busy) holds the key too.
        if (cancel->isEnabled())
            cancel->click();
        return true;
    }
    if (escape && qobject_cast<QDialog*>(window))
        return false;
    closeAsItsCloseButton(window);
    return true;
}
