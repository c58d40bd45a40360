#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

class GRProgressIndicator;
class QLabel;
class QPushButton;
class ThumbnailCache;

// The sheet that covers the editor while a batch runs ("winProcessProgress"): a
// preview of the photo being written ("imgvwCurrentPhoto"), the progress bar
// (0 to 100), the photo's path ("lblCurrntFilePath"), the counts and the stop
// button. It only shows what the run reports; the stop goes to whoever runs it.
// The path and the counts are drawn together, at most once an interval.
class ProcessProgressSheet : public QDialog {
    Q_OBJECT
public:
    static constexpr int kPreviewWidth = 160;
    static constexpr int kPreviewHeight = 120;
    // The path, preview and counts follow the run at most this often: photos start
    // by the thousand a second, and drawing each would keep the main thread busy for
    // most of the run.
    static constexpr int kPhotoIntervalMs = 100;

    explicit ProcessProgressSheet(QWidget* parent = nullptr);
    ~ProcessProgressSheet() override;

    // A new run of runSize photos: bar at 0, the placeholder preview, no path.
    void startRun(qint64 runSize, bool isForRestore);
    // The photo being written: its path and, once loaded off the main thread, its
    // preview. A photo that starts within kPhotoIntervalMs of the last one shown is
    // shown when the interval ends, unless a later one has started by then.
    void setCurrentPhoto(const QString& filePath);
    // handled of runSize photos finished, failed of them with an error: shown with
    // the path, at once or when the interval ends.
    void setProgress(qint64 handled, qint64 runSize, qint64 failed);
    // The run's last photo is done: what waits for the interval shows at once, and
    // the preview goes back to the placeholder.
    void showPlaceholder();

    QString currentPhoto() const { return m_currentPath; }
    // The photo whose path and preview the sheet shows.
    QString shownPhoto() const { return m_shownPath; }
    QString countsText() const;

    // Escape, Ctrl+W and the window's close button ask for the stop as the Stop
    // button does, once; the sheet itself stays until the run has ended.
    void reject() override;

signals:
    void stopRequested();
    // The counts were drawn (at once or when the interval ended): what shows the
    // same counts elsewhere draws them now.
    void countsShown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Counts {
        qint64 handled = 0;
        qint64 runSize = 0;
        qint64 failed = 0;
    };

    void showCurrentPhoto();
    bool intervalOver() const;
    void showCounts();
    // The shown photo's path in two lines at most, shortened to the label's width.
    void showPath();
    void showThumbnail(const QString& path);

    ThumbnailCache* m_thumbnails = nullptr;
    QString m_currentPath;
    QString m_shownPath;
    Counts m_counts;
    QTimer m_photoInterval;
    // Since the path or the counts were last drawn.
    QElapsedTimer m_countsShown;
    QLabel* m_title = nullptr;
    QLabel* m_imgvwCurrentPhoto = nullptr;
    GRProgressIndicator* m_progressIndicator = nullptr;
    QLabel* m_lblCurrntFilePath = nullptr;
    QLabel* m_lblProgressCounts = nullptr;
    QPushButton* m_btnStopProcess = nullptr;
};
