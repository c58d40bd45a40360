#include "batch/run/widgets/DestinationPanel.h"

#include "controls/ImageNamed.h"
#include "controls/Presenter.h"
#include "platform/Trash.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

const QString DestinationPanel::kKeepSourceTip = u"This option will allow you to save your output files in the same "
                                                 u"source folder. Note: Files with same names will be overwritten."_s;

DestinationPanel::DestinationPanel(Presenter& presenter, const QString& startFolder, QWidget* parent)
    : QDialog(parent)
    , m_presenter(presenter)
    , m_folder(startFolder)
{
    setObjectName(u"savePanel"_s);
    setWindowTitle(tr("Save Image"));
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumWidth(560);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 16);
    layout->setSpacing(12);
    auto* prompt = new QLabel(tr("Select Destination Folder"), this);
    QFont bold = prompt->font();
    bold.setBold(true);
    prompt->setFont(bold);
    layout->addWidget(prompt);

    auto* folderRow = new QHBoxLayout;
    m_txtDestination = new QLineEdit(QDir::toNativeSeparators(m_folder), this);
    m_txtDestination->setObjectName(u"txtDestinationFolder"_s);
    m_txtDestination->setReadOnly(true);
    m_btnChooseFolder = new QPushButton(tr("Change…"), this);
    m_btnChooseFolder->setObjectName(u"btnChooseFolder"_s);
    folderRow->addWidget(m_txtDestination, 1);
    folderRow->addWidget(m_btnChooseFolder);
    layout->addLayout(folderRow);

    // The accessory row: keep each photo in its own folder, with its tip.
    auto* keepRow = new QHBoxLayout;
    keepRow->addStretch();
    m_btnSourceFolderCheck = new QPushButton(tr("Keep Source Folder Path"), this);
    m_btnSourceFolderCheck->setObjectName(u"btnSourceFolderCheck"_s);
    m_btnSourceFolderCheck->setFixedSize(170, 25);
    m_btnSourceFolderCheck->setStyleSheet(u"QPushButton { background: rgb(51, 151, 247); color: white; border: none;"
                                          u" border-radius: 4px; }"
                                          u"QPushButton:pressed { background: rgb(31, 121, 217); }"_s);
    m_btnKeepSourceInfo = new QToolButton(this);
    m_btnKeepSourceInfo->setObjectName(u"btnKeepSourceInfo"_s);
    m_btnKeepSourceInfo->setAutoRaise(true);
    m_btnKeepSourceInfo->setIcon(QIcon(imageNamed(u"infoBtn"_s, QSize(20, 20), devicePixelRatioF())));
    m_btnKeepSourceInfo->setToolTip(kKeepSourceTip);
    keepRow->addWidget(m_btnSourceFolderCheck);
    keepRow->addWidget(m_btnKeepSourceInfo);
    layout->addLayout(keepRow);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_btnCancel = new QPushButton(tr("Cancel"), this);
    m_btnCancel->setObjectName(u"btnCancelDestination"_s);
    m_btnSelectDestination = new QPushButton(tr("Select Destination Folder"), this);
    m_btnSelectDestination->setObjectName(u"btnSelectDestination"_s);
    m_btnSelectDestination->setDefault(true);
    buttons->addWidget(m_btnCancel);
    buttons->addWidget(m_btnSelectDestination);
    layout->addLayout(buttons);

    connect(m_btnChooseFolder, &QPushButton::clicked, this, &DestinationPanel::chooseFolderTapped);
    connect(m_btnSourceFolderCheck, &QPushButton::clicked, this, &DestinationPanel::keepSourceFolderTappedInPannel);
    // The tip also shows on a click, not only on hovering.
    connect(m_btnKeepSourceInfo, &QToolButton::clicked, this, [this] {
        QToolTip::showText(m_btnKeepSourceInfo->mapToGlobal(QPoint(0, m_btnKeepSourceInfo->height())), kKeepSourceTip,
            m_btnKeepSourceInfo);
    });
    connect(m_btnSelectDestination, &QPushButton::clicked, this, [this] { finish(true, false); });
    connect(m_btnCancel, &QPushButton::clicked, this, [this] { finish(false, false); });
    // Escape or the window's close button cancels.
    connect(this, &QDialog::rejected, this, [this] {
        if (m_answered)
            finish(false, false);
    });
}

void DestinationPanel::ask(std::function<void(const Answer&)> answered)
{
    m_answered = std::move(answered);
    m_presenter.presentSheet(this, {});
}

void DestinationPanel::chooseFolder(Presenter& presenter, QWidget* parent, const QString& objectName,
    const QString& title, const QString& start, std::function<void(const QString&)> chosen)
{
    // The dialog opens in the folder, which may not be there yet (the default one).
    QDir().mkpath(start);
    OpenPanelRequest request;
    request.objectName = objectName;
    request.title = title;
    request.prompt = tr("Select Destination Folder");
    request.chooseFiles = false;
    request.chooseDirectories = true;
    request.multipleSelection = false;
    request.canCreateDirectories = true;
    request.directory = start;
    presenter.presentOpenPanel(parent, request, [chosen = std::move(chosen)](const QStringList& paths) {
        // A folder in the trash is no place for outputs: the choice is dropped.
        if (!paths.isEmpty() && !isPathInTrash(paths.first()))
            chosen(QDir::cleanPath(paths.first()));
    });
}

void DestinationPanel::chooseFolderTapped()
{
    chooseFolder(m_presenter, this, u"openPanelDestination"_s, tr("Save Image"), m_folder,
        [this](const QString& folder) { folderChosen(folder); });
}

void DestinationPanel::folderChosen(const QString& folder)
{
    m_folder = folder;
    m_txtDestination->setText(QDir::toNativeSeparators(m_folder));
}

void DestinationPanel::keepSourceFolderTappedInPannel()
{
    finish(true, true);
}

void DestinationPanel::finish(bool accepted, bool keepSource)
{
    auto answered = std::move(m_answered);
    m_answered = nullptr;
    done(accepted ? QDialog::Accepted : QDialog::Rejected);
    if (answered)
        answered(Answer { accepted, m_folder, keepSource });
}
