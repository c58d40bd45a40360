#include "batch/naming/widgets/ResetRenamePrompt.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ResetRenamePrompt::ResetRenamePrompt(QWidget* parent)
    : QDialog(parent, Qt::Sheet)
{
    setObjectName(QStringLiteral("winResetRename"));
    setWindowTitle(tr("Renaming will be reset"));

    auto* title = new QLabel(tr("RESET RENAMING OPTIONS"), this);
    title->setObjectName(QStringLiteral("lblResetRenameTitle"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* message = new QLabel(tr("Adding or removing photos puts the renaming options back to keeping each "
                                  "photo's own file name. Do you wish to proceed?"),
        this);
    message->setObjectName(QStringLiteral("lblResetRenameMsg"));
    message->setWordWrap(true);

    m_check = new QCheckBox(tr("Do not show this message again"), this);
    m_check->setObjectName(QStringLiteral("checkDontShoeResetRename"));
    m_yes = new QPushButton(tr("Yes"), this);
    m_yes->setObjectName(QStringLiteral("btnYesOnResetRename"));
    m_no = new QPushButton(tr("No"), this);
    m_no->setObjectName(QStringLiteral("btnNoOnResetRename"));
    m_no->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_check, 1);
    buttons->addWidget(m_no);
    buttons->addWidget(m_yes);
    // Tab goes as the controls stand: the box, No, then Yes.
    setTabOrder(m_check, m_no);
    setTabOrder(m_no, m_yes);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 16);
    layout->addWidget(title);
    layout->addWidget(message);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    setFixedWidth(440);

    connect(m_yes, &QPushButton::clicked, this, [this] {
        m_answering = true;
        done(QDialog::Accepted);
        m_answering = false;
        emit answeredYes(m_check->isChecked());
    });
    connect(m_no, &QPushButton::clicked, this, [this] {
        m_answering = true;
        done(QDialog::Rejected);
        m_answering = false;
        emit answeredNo(m_check->isChecked());
    });
}

void ResetRenamePrompt::prepare()
{
    m_check->setChecked(false);
}

void ResetRenamePrompt::reject()
{
    if (m_answering) {
        QDialog::reject();
        return;
    }
    m_no->click();
}
