#include "app/ShellWidgets.h"
#include "controls/ViewUtils.h"

#include "controls/IMGButton.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ShellWidgets {

QLabel* plate(QWidget* parent, const QString& name, const QColor& colour)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, colour);
    label->setPalette(palette);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

IMGButton* titleBarButton(const QString& name, const QString& image)
{
    auto* button = new IMGButton;
    button->setObjectName(name);
    button->setImgOffState_En(image + QStringLiteral("-normal"));
    button->setImgOnState_En(image + QStringLiteral("-press"));
    button->setImgMouseHover(image + QStringLiteral("-hover"));
    button->setFixedSize(button->sizeHint());
    return button;
}

QPushButton* pushButton(QWidget* parent, const QString& name, const QString& title)
{
    auto* button = new QPushButton(title, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

YesNoSheet yesNoSheet(
    QWidget* parent, const QString& name, const QString& title, const QString& message, const QString& suffix)
{
    auto* dialog = new QDialog(parent);
    dialog->setObjectName(name);
    dialog->setWindowTitle(title);
    auto* layout = new QVBoxLayout(dialog);
    auto* text = new QLabel(message, dialog);
    text->setObjectName(QStringLiteral("lblMessage"));
    layout->addWidget(text);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* no = pushButton(dialog, QStringLiteral("btnNo") + suffix, QObject::tr("No"));
    auto* yes = pushButton(dialog, QStringLiteral("btnYes") + suffix, QObject::tr("Yes"));
    row->addWidget(no);
    row->addWidget(yes);
    layout->addLayout(row);
    return { dialog, layout, yes, no };
}

QPoint centredOn(const QRect& outer, const QSize& size)
{
    return ViewUtils::centredOn(outer, size);
}

} // namespace ShellWidgets
