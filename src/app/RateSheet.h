#pragma once

#include <QObject>

class QCheckBox;
class QDialog;
class QWidget;

// The rate sheet ("winRateus"): asks whether the user would rate the application,
// with "btnCheckDontShowRateUs" to stop asking for this version. Escape is the No
// answer, as the sheet has no other way out (the application's window keys press
// No). The sheet only answers; what follows an answer is its presenter's.
class RateSheet : public QObject {
    Q_OBJECT
public:
    explicit RateSheet(QWidget* window);

    QDialog* dialog() const { return m_dialog; }
    bool dontAskAgain() const;

signals:
    // The sheet has closed with Yes (`yes`) or No.
    void answered(bool yes);

private:
    void answer(bool yes);

    QDialog* m_dialog = nullptr;
    QCheckBox* m_btnCheckDontShowRateUs = nullptr;
};
