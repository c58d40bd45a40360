#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class IMGButton;
class QDialog;
class QLabel;
class QPushButton;
class QVBoxLayout;
class QWidget;

// The small pieces the shell's windows are built from.
namespace ShellWidgets {

// Flat, opaque plates: the title bar and the content background.
inline const QColor kHeaderColour(20, 20, 20);
inline const QColor kMainColour(50, 44, 31);

// A plate of one colour that lets the mouse through.
QLabel* plate(QWidget* parent, const QString& name, const QColor& colour);

// A button of the title bar's kind, drawn from "<image>-normal", "-press" and "-hover".
IMGButton* titleBarButton(const QString& name, const QString& image);

// A push button that Return on another control does not press.
QPushButton* pushButton(QWidget* parent, const QString& name, const QString& title);

// A sheet with a message and the answers No and Yes, named "btnNo<suffix>" and
// "btnYes<suffix>".
struct YesNoSheet {
    QDialog* dialog;
    QVBoxLayout* layout;
    QPushButton* yes;
    QPushButton* no;
};
YesNoSheet yesNoSheet(
    QWidget* parent, const QString& name, const QString& title, const QString& message, const QString& suffix);

// The top left corner that centres `size` on `outer`.
QPoint centredOn(const QRect& outer, const QSize& size);

} // namespace ShellWidgets
