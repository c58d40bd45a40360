#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class Presenter;
class QLineEdit;
class QPushButton;
class QToolButton;

// The question the batch start asks: which folder the outputs go to, or "Keep
// Source Folder Path" (each output beside its own source). A small sheet of ours
// ("savePanel"), because the folder dialog cannot carry that choice: it shows the
// folder (at first the one given, by default Pictures/Velloran), lets the user
// change it in the folder dialog, and offers the keep-source button with its tip.
// The folder is kept exactly as chosen: its case is never changed.
class DestinationPanel : public QDialog {
    Q_OBJECT
public:
    struct Answer {
        bool accepted = false; // false: cancelled
        QString folder; // the chosen folder (also given with keepSourceFolder)
        bool keepSourceFolder = false;
    };

    static const QString kKeepSourceTip;

    DestinationPanel(Presenter& presenter, const QString& startFolder, QWidget* parent);

    // Opens the sheet window-modal over its parent; `answered` gets the answer once.
    void ask(std::function<void(const Answer&)> answered);

    QString folder() const { return m_folder; }
    void folderChosen(const QString& folder);

    // The folder dialog, starting in `start`; `chosen` gets the folder as spelt. A
    // cancel, or a folder in the trash, calls nothing.
    static void chooseFolder(Presenter& presenter, QWidget* parent, const QString& objectName, const QString& title,
        const QString& start, std::function<void(const QString&)> chosen);

    // ---- Buttons ----
    void chooseFolderTapped();
    void keepSourceFolderTappedInPannel();

private:
    void finish(bool accepted, bool keepSource);

    Presenter& m_presenter;
    QString m_folder;
    std::function<void(const Answer&)> m_answered;
    QLineEdit* m_txtDestination = nullptr;
    QPushButton* m_btnChooseFolder = nullptr;
    QPushButton* m_btnSourceFolderCheck = nullptr;
    QToolButton* m_btnKeepSourceInfo = nullptr;
    QPushButton* m_btnSelectDestination = nullptr;
    QPushButton* m_btnCancel = nullptr;
};
