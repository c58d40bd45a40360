#pragma once

#include <QObject>

class QDialog;
class QWidget;

// The close-app sheet ("alertCloseApp"): asked before the main window closes while
// the form holds edits that were never written. Yes quits, No stays; Escape is No.
// The sheet only answers: whoever presents it decides what a Yes does.
class CloseAppSheet : public QObject {
    Q_OBJECT
public:
    explicit CloseAppSheet(QWidget* window);

    QDialog* dialog() const { return m_dialog; }

signals:
    // Yes was pressed; the sheet has closed.
    void quitConfirmed();

private:
    QDialog* m_dialog = nullptr;
};
