#include "controls/LinkButton.h"

LinkButton::LinkButton(QWidget* parent)
    : QPushButton(parent)
{
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void LinkButton::setTitle(const QString& title, double fontSize, bool bold, const QColor& color)
{
    QFont font = this->font();
    if (fontSize > 0)
        font.setPointSizeF(fontSize);
    font.setBold(bold);
    font.setUnderline(true);
    setFont(font);
    QPalette palette = this->palette();
    for (auto role : { QPalette::ButtonText, QPalette::WindowText })
        palette.setColor(role, color);
    setPalette(palette);
    setText(title);
}
