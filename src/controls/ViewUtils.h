#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QString>

class QAbstractButton;
class QWidget;

// Small helpers for windows and buttons that any view may use.
namespace ViewUtils {

// The top left corner that centres `size` on `outer`: half the difference of the
// sizes from outer's corner (a window larger than its parent starts before it).
QPoint centredOn(const QRect& outer, const QSize& size);

// Moves a top-level window, its size kept, so that its frame is centred on the parent
// window's frame, and shows it. Where the window system places windows itself
// (Wayland), only the showing takes effect.
void setWindow(QWidget* window, const QWidget* parentWindow);

// The button's title becomes `title`, drawn centred in `colour`.
void setButtonTitleFor(QAbstractButton* button, const QString& title, const QColor& colour);

// The button's title keeps its text and takes the colour.
void setButton(QAbstractButton* button, const QColor& fontColor);

// A borderless button filled with `colour`, its title white.
void styleButton(QAbstractButton* button, const QColor& colour);

} // namespace ViewUtils
