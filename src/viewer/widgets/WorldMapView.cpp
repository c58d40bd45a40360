#include "viewer/widgets/WorldMapView.h"

#include "controls/ImageNamed.h"

#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QVariantAnimation>
#include <QWheelEvent>
#include <cmath>

namespace {

constexpr double kZoomStep = 2.0;
constexpr int kAnimationMs = 250;
constexpr int kButtonSize = 22;
constexpr int kMargin = 6;
const QRectF kWorld(-180, -90, 360, 180); // degrees, y upwards

struct Look {
    QColor sea;
    QColor seaDeep;
    bool shaded;
    QColor land;
    QColor coast; // transparent: not drawn
    QColor border;
    Qt::PenStyle borderStyle;
};

Look lookOf(WorldMapView::MapType type)
{
    switch (type) {
    case WorldMapView::MapType::Road:
        return { QColor(0xaa, 0xd3, 0xdf), QColor(0xaa, 0xd3, 0xdf), false, QColor(0xf2, 0xef, 0xe9),
            QColor(0x7f, 0xa7, 0xb8), QColor(0x9a, 0x8c, 0xa8), Qt::DashLine };
    case WorldMapView::MapType::Satellite:
        return { QColor(0x1d, 0x3f, 0x6e), QColor(0x0b, 0x1e, 0x3b), true, QColor(), Qt::transparent, Qt::transparent,
            Qt::NoPen };
    case WorldMapView::MapType::Hybrid:
        break;
    }
    return { QColor(0x1d, 0x3f, 0x6e), QColor(0x0b, 0x1e, 0x3b), true, QColor(), Qt::transparent,
        QColor(0xf3, 0xe3, 0x9a), Qt::SolidLine };
}

// Land shaded by latitude in degree space: ice at the poles, forest towards the
// equator, a dry band at the tropics.
QBrush shadedLand()
{
    QLinearGradient gradient(QPointF(0, 90), QPointF(0, -90));
    gradient.setColorAt(0.00, QColor(0xf4, 0xf7, 0xf8));
    gradient.setColorAt(0.10, QColor(0xc9, 0xd2, 0xc9));
    gradient.setColorAt(0.22, QColor(0x4a, 0x63, 0x3a));
    gradient.setColorAt(0.35, QColor(0x6b, 0x7a, 0x3f));
    gradient.setColorAt(0.40, QColor(0xa8, 0x91, 0x5c)); // northern deserts
    gradient.setColorAt(0.50, QColor(0x2f, 0x5d, 0x2a));
    gradient.setColorAt(0.62, QColor(0x8f, 0x80, 0x52));
    gradient.setColorAt(0.75, QColor(0x55, 0x6b, 0x3c));
    gradient.setColorAt(0.88, QColor(0xd8, 0xde, 0xdc));
    gradient.setColorAt(1.00, QColor(0xf4, 0xf7, 0xf8));
    return QBrush(gradient);
}

double interpolated(double from, double to, double t)
{
    return from + (to - from) * t;
}

// Spans change by factors, so they are interpolated on a log scale.
double interpolatedSpan(double from, double to, double t)
{
    if (from <= 0 || to <= 0)
        return to;
    return std::exp(interpolated(std::log(from), std::log(to), t));
}

} // namespace

WorldMapView::WorldMapView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("mapView"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    setCursor(Qt::OpenHandCursor);

    m_zoomIn = new QToolButton(this);
    m_zoomIn->setObjectName(QStringLiteral("btnZoomIn"));
    m_zoomIn->setText(QStringLiteral("+"));
    m_zoomIn->setToolTip(tr("Zoom in"));
    m_zoomOut = new QToolButton(this);
    m_zoomOut->setObjectName(QStringLiteral("btnZoomOut"));
    m_zoomOut->setText(QStringLiteral("\u2212"));
    m_zoomOut->setToolTip(tr("Zoom out"));
    for (QToolButton* button : { m_zoomIn, m_zoomOut }) {
        button->setFixedSize(kButtonSize, kButtonSize);
        button->setFocusPolicy(Qt::NoFocus);
        button->setCursor(Qt::ArrowCursor);
    }
    // A photo without a usable position says so in the middle of the map, where no
    // edge can cut the words off; a drag or a wheel over it still reaches the map.
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("lblPinTitle"));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    m_title->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_title->setStyleSheet(QStringLiteral("QLabel { background: rgba(255, 255, 255, 235); color: #202020;"
                                          " border: 1px solid rgba(0, 0, 0, 60); border-radius: 5px;"
                                          " padding: 4px 8px; }"));
    m_title->hide();
    connect(m_zoomIn, &QToolButton::clicked, this, &WorldMapView::zoomIn);
    connect(m_zoomOut, &QToolButton::clicked, this, &WorldMapView::zoomOut);
    setOutlines(bundledOutlines());
}

std::shared_ptr<const MapOutlines> WorldMapView::bundledOutlines()
{
    static const std::shared_ptr<const MapOutlines> outlines = []() -> std::shared_ptr<const MapOutlines> {
        initVelloranResources();
        auto read = MapOutlines::fromFile(kBundledOutlines);
        if (!read)
            return nullptr;
        return std::make_shared<const MapOutlines>(std::move(*read));
    }();
    return outlines;
}

WorldMapView::~WorldMapView() = default;

bool WorldMapView::loadOutlines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return loadOutlines(file);
}

bool WorldMapView::loadOutlines(QIODevice& device)
{
    auto outlines = MapOutlines::fromDevice(device);
    if (!outlines)
        return false;
    setOutlines(std::make_shared<const MapOutlines>(std::move(*outlines)));
    return true;
}

void WorldMapView::setOutlines(std::shared_ptr<const MapOutlines> outlines)
{
    m_outlines = std::move(outlines);
    rebuildPaths();
    m_cacheValid = false;
    update();
}

void WorldMapView::rebuildPaths()
{
    m_land = QPainterPath();
    m_land.setFillRule(Qt::WindingFill);
    m_coasts = QPainterPath();
    m_borders = QPainterPath();
    if (!m_outlines)
        return;
    for (const QPolygonF& ring : m_outlines->landRings())
        m_land.addPolygon(ring);
    for (const MapOutlines::Line& line : m_outlines->lines()) {
        QPainterPath& path = line.kind == MapOutlines::LineKind::Border ? m_borders : m_coasts;
        path.moveTo(line.points.first());
        for (qsizetype i = 1; i < line.points.size(); ++i)
            path.lineTo(line.points[i]);
    }
}

void WorldMapView::setMapType(MapType type)
{
    if (type == m_mapType)
        return;
    m_mapType = type;
    m_cacheValid = false;
    update();
}

void WorldMapView::setMapTypeForTag(int tag)
{
    setMapType(tag == 1 ? MapType::Road : tag == 2 ? MapType::Satellite : MapType::Hybrid);
}

void WorldMapView::setRegion(const MapRegion& region, bool animated)
{
    stopAnimation();
    if (!animated || !isVisible() || m_projection.isEmpty()) {
        m_projection.setRegion(region);
        changed();
        return;
    }
    const MapRegion from = m_projection.visibleRegion();
    auto* animation = new QVariantAnimation(this);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setDuration(kAnimationMs);
    animation->setEasingCurve(QEasingCurve::InOutCubic);
    connect(animation, &QVariantAnimation::valueChanged, this, [this, from, region](const QVariant& value) {
        const double t = value.toDouble();
        m_projection.setRegion(MapRegion { interpolated(from.centerLatitude, region.centerLatitude, t),
            interpolated(from.centerLongitude, region.centerLongitude, t),
            interpolatedSpan(from.latitudeDelta, region.latitudeDelta, t),
            interpolatedSpan(from.longitudeDelta, region.longitudeDelta, t) });
        changed();
    });
    connect(animation, &QVariantAnimation::finished, this, [this, region] {
        m_projection.setRegion(region);
        changed();
    });
    m_animation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void WorldMapView::stopAnimation()
{
    if (m_animation) {
        m_animation->disconnect(this);
        m_animation->stop();
    }
}

void WorldMapView::setPin(double latitude, double longitude, const QString& title)
{
    m_pin = Pin { QPointF(longitude, latitude), title };
    layoutTitle();
    update();
}

void WorldMapView::removePins()
{
    m_pin.reset();
    layoutTitle();
    update();
}

QPointF WorldMapView::pinCoordinate() const
{
    return m_pin ? m_pin->coordinate : QPointF();
}

QString WorldMapView::pinTitle() const
{
    return m_pin ? m_pin->title : QString();
}

void WorldMapView::showLocation(const MetaDataViewerLocation& location)
{
    removePins();
    setPin(location.latitude, location.longitude, location.title);
    setRegion(location.region, location.animated);
}

void WorldMapView::zoomIn()
{
    stopAnimation();
    m_projection.zoomBy(kZoomStep, rect().center());
    changed();
}

void WorldMapView::zoomOut()
{
    stopAnimation();
    m_projection.zoomBy(1 / kZoomStep, rect().center());
    changed();
}

void WorldMapView::changed()
{
    m_cacheValid = false;
    update();
    emit visibleRegionChanged();
}

void WorldMapView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_projection.setViewSize(QSizeF(size()));
    layoutButtons();
    layoutTitle();
    changed();
}

void WorldMapView::layoutButtons()
{
    const int x = width() - kMargin - kButtonSize;
    m_zoomIn->move(x, kMargin);
    m_zoomOut->move(x, kMargin + kButtonSize + 2);
}

void WorldMapView::layoutTitle()
{
    const QString title = m_pin ? m_pin->title : QString();
    if (title.isEmpty()) {
        m_title->hide();
        return;
    }
    m_title->setText(title);
    // As wide as the words on one line where the view has room, else wrapped to the view.
    m_title->setWordWrap(false);
    const int oneLine = m_title->sizeHint().width();
    m_title->setWordWrap(true);
    const int labelWidth = std::max(1, std::min(oneLine, width() - 2 * kMargin));
    const int labelHeight = m_title->heightForWidth(labelWidth);
    m_title->setGeometry(QRect((width() - labelWidth) / 2, std::max(0, (height() - labelHeight) / 2), labelWidth,
        std::max(labelHeight, m_title->minimumSizeHint().height())));
    m_title->show();
    m_title->raise();
}

void WorldMapView::paintEvent(QPaintEvent*)
{
    const qreal ratio = devicePixelRatioF();
    if (!m_cacheValid || m_cache.size() != size() * ratio) {
        m_cache = QPixmap(size() * ratio);
        m_cache.setDevicePixelRatio(ratio);
        QPainter cachePainter(&m_cache);
        paintMap(cachePainter);
        m_cacheValid = true;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_cache);
    painter.setRenderHint(QPainter::Antialiasing);
    paintPin(painter);
}

void WorldMapView::paintMap(QPainter& painter)
{
    painter.fillRect(rect(), palette().window());
    if (m_projection.isEmpty())
        return;
    const Look look = lookOf(m_mapType);
    const QTransform toView = m_projection.transform();
    const QRectF world = toView.mapRect(kWorld);
    painter.setClipRect(world);

    QLinearGradient sea(world.topLeft(), world.bottomLeft());
    sea.setColorAt(0, look.seaDeep);
    sea.setColorAt(0.5, look.sea);
    sea.setColorAt(1, look.seaDeep);
    painter.fillRect(world, sea);

    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(toView);
    painter.setPen(Qt::NoPen);
    painter.setBrush(look.shaded ? shadedLand() : QBrush(look.land));
    painter.drawPath(m_land);
    painter.setBrush(Qt::NoBrush);

    if (look.coast != Qt::transparent) {
        QPen pen(look.coast, 0.8);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.drawPath(m_coasts);
    }
    if (look.border != Qt::transparent) {
        QPen pen(look.border, 0.9, look.borderStyle);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.drawPath(m_borders);
    }
}

void WorldMapView::paintPin(QPainter& painter) const
{
    if (!m_pin || m_projection.isEmpty())
        return;
    const QPointF tip = m_projection.toView(m_pin->coordinate);
    if (!m_pin->title.isEmpty()) {
        // The grey, struck-through pin of a photo without a usable position.
        const QSize pinSize(24, 32);
        const QPixmap pin = imageNamed(QStringLiteral("pin_no_location.png"), pinSize, devicePixelRatioF());
        painter.drawPixmap(QPointF(tip.x() - pinSize.width() / 2.0, tip.y() - pinSize.height()), pin);
    } else {
        // A red pin standing on its point: a stem and a round head.
        const QColor head(0xe5, 0x39, 0x35);
        painter.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.6));
        painter.drawLine(tip, tip - QPointF(0, 14));
        painter.setPen(QPen(head.darker(140), 1));
        painter.setBrush(head);
        painter.drawEllipse(tip - QPointF(0, 18), 6, 6);
        painter.setBrush(Qt::white);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(tip - QPointF(2, 20), 1.6, 1.6);
    }
}

void WorldMapView::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    stopAnimation();
    m_projection.zoomBy(std::pow(kZoomStep, delta / 240.0), event->position());
    changed();
    event->accept();
}

void WorldMapView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    stopAnimation();
    m_dragFrom = event->position();
    setCursor(Qt::ClosedHandCursor);
}

void WorldMapView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragFrom)
        return QWidget::mouseMoveEvent(event);
    m_projection.panBy(event->position() - *m_dragFrom);
    m_dragFrom = event->position();
    changed();
}

void WorldMapView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_dragFrom)
        return QWidget::mouseReleaseEvent(event);
    m_dragFrom.reset();
    setCursor(Qt::OpenHandCursor);
}

void WorldMapView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseDoubleClickEvent(event);
    stopAnimation();
    m_projection.zoomBy(kZoomStep, event->position());
    changed();
}

void WorldMapView::keyPressEvent(QKeyEvent* event)
{
    const double step = std::min(width(), height()) / 4.0;
    QPointF pan;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomIn();
        return;
    case Qt::Key_Minus:
        zoomOut();
        return;
    case Qt::Key_Left:
        pan = QPointF(step, 0);
        break;
    case Qt::Key_Right:
        pan = QPointF(-step, 0);
        break;
    case Qt::Key_Up:
        pan = QPointF(0, step);
        break;
    case Qt::Key_Down:
        pan = QPointF(0, -step);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    stopAnimation();
    m_projection.panBy(pan);
    changed();
}
