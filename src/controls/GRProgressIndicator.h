#pragma once

#include <QVariantAnimation>
#include <QWidget>

// A progress bar between a minimum and a maximum. A value that grows is shown with
// a short animation; one that shrinks is shown at once. doubleValue() is always the
// value last set, whatever the bar is drawing.
class GRProgressIndicator : public QWidget {
    Q_OBJECT
public:
    explicit GRProgressIndicator(QWidget* parent = nullptr);

    void setMinValue(double value);
    void setMaxValue(double value);
    void setDoubleValue(double value);
    double minValue() const { return m_min; }
    double maxValue() const { return m_max; }
    double doubleValue() const { return m_value; }

    // The value the bar draws now (behind doubleValue() while it animates).
    double displayedValue() const { return m_displayed; }
    bool isAnimating() const { return m_animation.state() == QAbstractAnimation::Running; }

    QSize sizeHint() const override { return QSize(200, 12); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_min = 0;
    double m_max = 100;
    double m_value = 0;
    double m_displayed = 0;
    QVariantAnimation m_animation;
};
