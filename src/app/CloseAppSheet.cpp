#include "app/CloseAppSheet.h"

#include "app/ShellWidgets.h"

#include <QDialog>
#include <QPushButton>

CloseAppSheet::CloseAppSheet(QWidget* window)
    : QObject(window)
{
    const ShellWidgets::YesNoSheet sheet = ShellWidgets::yesNoSheet(window, QStringLiteral("alertCloseApp"),
        tr("Quit Velloran"),
        tr("Your changes to the metadata have not been written to any photo yet.\n"
           "Do you want to quit Velloran anyway?"),
        QStringLiteral("OnCloseApp"));
    m_dialog = sheet.dialog;
    sheet.no->setDefault(true);
    connect(sheet.yes, &QPushButton::clicked, this, [this] {
        m_dialog->done(QDialog::Accepted);
        emit quitConfirmed();
    });
    // Escape answers No as well; the presenter clears the sub-window fact whichever way the sheet closes.
    connect(sheet.no, &QPushButton::clicked, this, [this] { m_dialog->done(QDialog::Rejected); });
}
