#pragma once

#include "batch/run/BatchTexts.h"

#include <QDialog>

class LinkButton;
class QLabel;
class QPushButton;
class QTableView;
class SummaryTableModel;

// The sheet that follows every batch run ("winSummary"): its title, the counts,
// the elapsed time, where the outputs went (a link that opens the folder, or a
// note when the photos stayed in several source folders) and the table of the
// run's errors and warnings. The texts come from BatchTexts; the window draws them.
class SummaryWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 720;

    explicit SummaryWindow(QWidget* parent = nullptr);

    // Fills the sheet for a run that has ended.
    void setSummmaryInfo(const SummaryTexts& texts, QList<SummaryRow> rows);

    SummaryTableModel* tableModel() const { return m_model; }
    // The folder the link opens.
    QString outputFolder() const { return m_outputFolder; }

signals:
    void openOutputFolderRequested(const QString& folder);
    void closeRequested();

private:
    void copySelectedRows();

    QLabel* m_lblSummaryTitle = nullptr;
    QLabel* m_lblBatchCountSummary = nullptr;
    QLabel* m_lblPhotoProcessedSummary = nullptr;
    QLabel* m_lblPhotoSkippedSummary = nullptr;
    QLabel* m_lblTimeElapsedSummary = nullptr;
    QLabel* m_lblOutputDirectorySummary = nullptr;
    LinkButton* m_btnOpenOutputFolder = nullptr;
    QLabel* m_txtDestinationSourceFolder = nullptr;
    QLabel* m_lblErrorsSummary = nullptr;
    QWidget* m_vwErrorTable = nullptr;
    QTableView* m_tblErrorSummary = nullptr;
    SummaryTableModel* m_model = nullptr;
    QPushButton* m_btnCloseSummary = nullptr;
    QString m_outputFolder;
};
