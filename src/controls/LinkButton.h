#pragma once

#include <QPushButton>

// A flat button that reads as a link: an underlined title of a chosen size, weight
// and colour, and a pointing hand over it.
class LinkButton : public QPushButton {
    Q_OBJECT
public:
    explicit LinkButton(QWidget* parent = nullptr);

    void setTitle(const QString& title, double fontSize, bool bold, const QColor& color);
};
