#pragma once

#include "batch/run/BatchTexts.h"

#include <QWidget>

class IMGButton;
class QLabel;
class QPushButton;

// The bar under the photo list and the form ("vwBottomBar"): the renaming button
// (btnNext) with the renaming notice (vwRenameToast), Reset, Restore and Process,
// the batch line (lblBatchInfo) and the bottom information line
// (lblProcessInfoBottom). It draws; BatchController decides, the buttons' enabled
// state too.
class BatchBottomBar : public QWidget {
    Q_OBJECT
public:
    explicit BatchBottomBar(QWidget* parent = nullptr);

    IMGButton* btnNext() const { return m_btnNext; }
    QPushButton* btnProcess() const { return m_btnProcess; }
    QPushButton* btnRestore() const { return m_btnRestore; }
    QPushButton* btnReset() const { return m_btnReset; }
    QWidget* vwRenameToast() const { return m_vwRenameToast; }
    QLabel* lblBatchInfo() const { return m_lblBatchInfo; }
    QLabel* lblProcessInfoBottom() const { return m_lblProcessInfoBottom; }

    // The Next button's image: "rename_option_normal" or "rename_option_Edit_normal".
    void setNextImage(const QString& name);
    void setRenameToastVisible(bool visible);
    void setBatchInfo(const ColouredText& line);
    void setProcessInfoAtBottm(const ColouredText& line);

    // Another panel's button in the row, just before the renaming button (the presets' drop-down).
    void insertBeforeNext(QWidget* button);

    // The line as rich text: dark grey, its numbers in the accent blue.
    static QString richText(const ColouredText& line);

signals:
    void closeToastRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The two lines side by side where they fit, else one above the other: a narrow
    // window (a small screen, a large scale) would draw them over each other.
    void layOutLines();

    class QBoxLayout* m_lines = nullptr;
    class QHBoxLayout* m_buttons = nullptr;
    IMGButton* m_btnNext = nullptr;
    QPushButton* m_btnProcess = nullptr;
    QPushButton* m_btnRestore = nullptr;
    QPushButton* m_btnReset = nullptr;
    QWidget* m_vwRenameToast = nullptr;
    QLabel* m_lblBatchInfo = nullptr;
    QLabel* m_lblProcessInfoBottom = nullptr;
};
