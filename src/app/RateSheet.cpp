#include "app/RateSheet.h"

#include "app/ShellWidgets.h"

#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <QVBoxLayout>

RateSheet::RateSheet(QWidget* window)
    : QObject(window)
{
    const ShellWidgets::YesNoSheet sheet = ShellWidgets::yesNoSheet(window, QStringLiteral("winRateus"),
        tr("Rate Velloran"),
        tr("Is Velloran useful to you?\nWould you take a moment to rate it and tell others?\n\n"
           "Velloran closes after your answer."),
        QStringLiteral("OnRateUs"));
    m_dialog = sheet.dialog;
    m_btnCheckDontShowRateUs = new QCheckBox(tr("Do not ask again for this version"), m_dialog);
    m_btnCheckDontShowRateUs->setObjectName(QStringLiteral("btnCheckDontShowRateUs"));
    sheet.layout->insertWidget(1, m_btnCheckDontShowRateUs);
    sheet.yes->setDefault(true);
    connect(sheet.yes, &QPushButton::clicked, this, [this] { answer(true); });
    connect(sheet.no, &QPushButton::clicked, this, [this] { answer(false); });
}

bool RateSheet::dontAskAgain() const
{
    return m_btnCheckDontShowRateUs->isChecked();
}

void RateSheet::answer(bool yes)
{
    m_dialog->done(yes ? QDialog::Accepted : QDialog::Rejected);
    emit answered(yes);
}
