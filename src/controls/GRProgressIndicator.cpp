#include "controls/GRProgressIndicator.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {

// The width of the bands the bar is drawn in (see paintEvent).
constexpr int kBandWidth = 16;

} // namespace

GRProgressIndicator::GRProgressIndicator(QWidget* parent)
    : QWidget(parent)
{
    m_animation.setDuration(200);
    m_animation.setEasingCurve(QEasingCurve::OutCubic);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_displayed = value.toDouble();
        update();
    });
}

void GRProgressIndicator::setMinValue(double value)
{
    m_min = value;
    update();
}

void GRProgressIndicator::setMaxValue(double value)
{
    m_max = value;
    update();
}

void GRProgressIndicator::setDoubleValue(double value)
{
    const double previous = m_value;
    m_value = value;
    m_animation.stop();
    if (value > previous && isVisible()) {
        m_animation.setStartValue(m_displayed);
        m_animation.setEndValue(value);
        m_animation.start();
    } else {
        m_displayed = value;
        update();
    }
}

void GRProgressIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = track.height() / 2;
    const double span = m_max - m_min;
    const double fraction = span > 0 ? qBound(0.0, (m_displayed - m_min) / span, 1.0) : 0.0;
    QRectF bar = track;
    bar.setWidth(qMax(track.height(), track.width() * fraction));
    QLinearGradient gradient(bar.topLeft(), bar.bottomLeft());
    gradient.setColorAt(0, QColor(88, 160, 240));
    gradient.setColorAt(1, QColor(38, 112, 214));
    // The track's antialiased outline is drawn in so many pieces that the raster
    // engine shares them among the global pool's threads and waits for them: while a
    // run's writers kept every core busy, a frame of the bar's animation held the
    // window up to 28 ms. Drawn a narrow band at a time, a band's pieces are too few
    // to share, and every pixel comes out as in one piece. (At another scale the
    // outline is filled as a shape, which bands do not spare.)
    const int band = devicePixelRatioF() == 1.0 ? kBandWidth : width();
    for (int x = 0; x < width(); x += band) {
        if (band < width())
            painter.setClipRect(QRect(x, 0, std::min(band, width() - x), height()));
        painter.setPen(QColor(0, 0, 0, 50));
        painter.setBrush(QColor(225, 225, 225));
        painter.drawRoundedRect(track, radius, radius);
        if (fraction <= 0 || x > bar.right())
            continue;
        painter.setPen(Qt::NoPen);
        painter.setBrush(gradient);
        painter.drawRoundedRect(bar, radius, radius);
    }
}
