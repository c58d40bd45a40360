#pragma once

#include <QDialog>
#include <QString>

class GRProgressIndicator;
class QLabel;
class QPushButton;
class ThumbnailCache;

// The sheet that covers the editor while a batch runs ("winProcessProgress"): a
// preview of the photo being written ("imgvwCurrentPhoto"), the progress bar
// (0 to 100), the photo's path ("lblCurrntFilePath"), the counts and the stop
// button. It only shows what the run reports; the stop goes to whoever runs it.
class ProcessProgressSheet : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPreviewWidth = 160;
    static constexpr int kPreviewHeight = 120;

    explicit ProcessProgressSheet(QWidget* parent = nullptr);
    ~ProcessProgressSheet() override;

    // A new run of runSize photos: bar at 0, the placeholder preview, no path.
    void startRun(qint64 runSize, bool isForRestore);
    // The photo being written: its path and, once loaded off the main thread, its preview.
    void setCurrentPhoto(const QString& filePath);
    // handled of runSize photos finished, failed of them with an error.
    void setProgress(qint64 handled, qint64 runSize, qint64 failed);
    // The run's last photo is done: the preview goes back to the placeholder.
    void showPlaceholder();

    QString currentPhoto() const { return m_currentPath; }
    QString countsText() const;

signals:
    void stopRequested();

private:
    void showThumbnail(const QString& path);

    ThumbnailCache* m_thumbnails = nullptr;
    QString m_currentPath;
    QLabel* m_title = nullptr;
    QLabel* m_imgvwCurrentPhoto = nullptr;
    GRProgressIndicator* m_progressIndicator = nullptr;
    QLabel* m_lblCurrntFilePath = nullptr;
    QLabel* m_lblProgressCounts = nullptr;
    QPushButton* m_btnStopProcess = nullptr;
};
