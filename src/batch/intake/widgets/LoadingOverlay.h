#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

// The editor's loading overlay ("vwLoading"): a veil over the whole editor with a
// white plate ("bgLoader") holding a busy bar ("imgLoader"), the text
// ("txtLoading") and the stop button of an adding ("btnstopOnAddPhotos"). Clicks
// on the veil reach nothing below it. Shown as a plain veil (without the plate)
// it only blocks.
class LoadingOverlay : public QWidget {
    Q_OBJECT
public:
    // Without the plate the overlay is a veil only (it never shows text or a button).
    explicit LoadingOverlay(QWidget* parent, bool withPlate = true);

    // The plate with the busy bar and the text.
    void showLoading(const QString& text);
    // The veil alone, without the plate.
    void showVeil();

    QString text() const;
    void setStopButtonVisible(bool visible);
    QPushButton* stopButton() const { return m_stop; }

signals:
    void stopClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QWidget* m_plate = nullptr;
    QProgressBar* m_busy = nullptr;
    QLabel* m_text = nullptr;
    QPushButton* m_stop = nullptr;
};
