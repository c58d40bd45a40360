#include "controls/ViewUtils.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QWidget>

namespace ViewUtils {

QPoint centredOn(const QRect& outer, const QSize& size)
{
    return outer.topLeft() + QPoint((outer.width() - size.width()) / 2, (outer.height() - size.height()) / 2);
}

void setWindow(QWidget* window, const QWidget* parentWindow)
{
    if (!window)
        return;
    if (parentWindow) {
        // The frame includes the title bar the window manager adds; move() places it.
        const QRect frame = window->frameGeometry();
        window->move(centredOn(parentWindow->frameGeometry(), frame.size()));
    }
    window->show();
}

void setButtonTitleFor(QAbstractButton* button, const QString& title, const QColor& colour)
{
    if (!button)
        return;
    // Qt's buttons draw their titles centred.
    button->setText(title);
    setButton(button, colour);
}

void setButton(QAbstractButton* button, const QColor& fontColor)
{
    if (!button)
        return;
    QPalette palette = button->palette();
    for (QPalette::ColorGroup group : { QPalette::Active, QPalette::Inactive })
        palette.setColor(group, QPalette::ButtonText, fontColor);
    button->setPalette(palette);
}

void styleButton(QAbstractButton* button, const QColor& colour)
{
    if (!button)
        return;
    setButton(button, Qt::white);
    if (auto* push = qobject_cast<QPushButton*>(button))
        push->setFlat(true);
    button->setAutoFillBackground(true);
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, colour);
    palette.setColor(QPalette::Window, colour);
    button->setPalette(palette);
}

} // namespace ViewUtils
