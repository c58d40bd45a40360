#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

// The sheet that asks before photos are added or removed while renaming is in
// force ("winResetRename"): a message, the "do not ask again" check box
// ("checkDontShoeResetRename") and Yes and No ("btnYesOnResetRename",
// "btnNoOnResetRename"). It only asks; RenameResetPrompt holds the request and
// the rules. Escape or a close answers No.
class ResetRenamePrompt : public QDialog {
    Q_OBJECT
public:
    explicit ResetRenamePrompt(QWidget* parent);

    // Clears the check box for the next question.
    void prepare();

    QPushButton* yesButton() const { return m_yes; }
    QPushButton* noButton() const { return m_no; }
    QCheckBox* dontShowCheckBox() const { return m_check; }

signals:
    // Each answer carries the state of the check box.
    void answeredYes(bool dontShowAgain);
    void answeredNo(bool dontShowAgain);

protected:
    void reject() override;

private:
    QCheckBox* m_check = nullptr;
    QPushButton* m_yes = nullptr;
    QPushButton* m_no = nullptr;
    bool m_answering = false;
};
