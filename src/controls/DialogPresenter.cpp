#include "controls/DialogPresenter.h"

#include "controls/InWindowSheet.h"

#include <QAbstractItemView>
#include <QDialog>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QPushButton>

namespace {

// Qt's own file dialog, taught to choose files and folders at once: its accept
// button takes whatever is selected in the list, where the plain dialog would open
// a selected folder instead.
class FilesAndFoldersDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    QStringList chosenPaths() const { return m_chosen.isEmpty() ? selectedFiles() : m_chosen; }

    void accept() override
    {
        m_chosen.clear();
        for (auto* view : findChildren<QAbstractItemView*>()) {
            const QString name = view->objectName();
            if (!view->isVisible() || (name != QLatin1String("listView") && name != QLatin1String("treeView")))
                continue;
            for (const QModelIndex& index : view->selectionModel()->selectedRows())
                m_chosen << index.data(QFileSystemModel::FilePathRole).toString();
        }
        if (m_chosen.isEmpty()) {
            QFileDialog::accept();
            return;
        }
        QDialog::accept();
    }

private:
    QStringList m_chosen;
};

} // namespace

void DialogPresenter::presentSheet(QDialog* sheet, std::function<void(int)> finished)
{
    if (!sheet)
        return;
    if (finished) {
        QObject::connect(
            sheet, &QDialog::finished, sheet, [finished = std::move(finished)](int result) { finished(result); },
            Qt::SingleShotConnection);
    }
    if (InWindowSheet::present(sheet))
        return;
    sheet->setWindowModality(Qt::WindowModal);
    sheet->open();
    sheet->raise();
    sheet->activateWindow();
}

void DialogPresenter::presentAlert(QWidget* parent, const AlertRequest& request, std::function<void(int)> answered)
{
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName(request.objectName);
    box->setWindowTitle(request.title);
    box->setText(request.message);
    box->setInformativeText(request.informativeText);
    switch (request.icon) {
    case AlertRequest::Icon::Information:
        box->setIcon(QMessageBox::Information);
        break;
    case AlertRequest::Icon::Warning:
        box->setIcon(QMessageBox::Warning);
        break;
    case AlertRequest::Icon::Critical:
        box->setIcon(QMessageBox::Critical);
        break;
    case AlertRequest::Icon::None:
        break;
    }
    QList<QAbstractButton*> buttons;
    for (const QString& title : request.buttons) {
        QPushButton* button = box->addButton(title, QMessageBox::AcceptRole);
        buttons.append(button);
        if (buttons.size() == 1)
            box->setDefaultButton(button);
    }
    QObject::connect(box, &QMessageBox::finished, box, [box, buttons, answered = std::move(answered)] {
        if (answered)
            answered(static_cast<int>(buttons.indexOf(box->clickedButton())));
    });
    if (InWindowSheet::present(box, parent))
        return;
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

void DialogPresenter::presentOpenPanel(
    QWidget* parent, const OpenPanelRequest& request, std::function<void(const QStringList&)> chosen)
{
    const bool filesAndFolders = request.chooseFiles && request.chooseDirectories;
    QFileDialog* panel = filesAndFolders ? new FilesAndFoldersDialog(parent, request.title, request.directory)
                                         : new QFileDialog(parent, request.title, request.directory);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setObjectName(request.objectName);
    panel->setAcceptMode(QFileDialog::AcceptOpen);
    panel->setLabelText(QFileDialog::Accept, request.prompt);
    if (!request.nameFilters.isEmpty())
        panel->setNameFilters(request.nameFilters);
    if (request.chooseDirectories && !request.chooseFiles) {
        panel->setFileMode(QFileDialog::Directory);
        panel->setOption(QFileDialog::ShowDirsOnly);
    } else {
        panel->setFileMode(request.multipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    // A dialog of the desktop's own cannot be drawn inside the window.
    const bool inWindow = InWindowSheet::hostFor(panel, parent) != nullptr;
    if (filesAndFolders || inWindow)
        panel->setOption(QFileDialog::DontUseNativeDialog);
    // Drawn inside the window it cannot be resized.
    panel->setSizeGripEnabled(!inWindow);
    panel->setOption(QFileDialog::ReadOnly, !request.canCreateDirectories);
    QObject::connect(
        panel, &QFileDialog::finished, panel, [panel, filesAndFolders, chosen = std::move(chosen)](int result) {
            QStringList paths;
            if (result == QDialog::Accepted) {
                paths = filesAndFolders ? static_cast<FilesAndFoldersDialog*>(panel)->chosenPaths()
                                        : panel->selectedFiles();
            }
            if (chosen)
                chosen(paths);
        });
    if (InWindowSheet::present(panel, parent))
        return;
    panel->setWindowModality(Qt::WindowModal);
    panel->open();
}
