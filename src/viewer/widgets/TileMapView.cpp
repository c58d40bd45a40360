#include "viewer/widgets/TileMapView.h"

#include "controls/ImageNamed.h"
#include "viewer/MapOutlines.h"
#include "viewer/MapPlaces.h"
#include "viewer/OfflineMapTiles.h"
#include "viewer/TileFetcher.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QWheelEvent>
#include <cmath>

namespace {

constexpr int kButtonSize = 22;
constexpr int kMargin = 6;

} // namespace

TileMapView::TileMapView(QWidget* parent)
    : QWidget(parent)
{
    initVelloranResources(); // the bundled outlines
    m_offline = std::make_unique<OfflineMapTiles>(MapOutlines::bundled());
    setObjectName(QStringLiteral("mapView"));
    setFocusPolicy(Qt::StrongFocus);
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
    connect(m_zoomIn, &QToolButton::clicked, this, &TileMapView::zoomIn);
    connect(m_zoomOut, &QToolButton::clicked, this, &TileMapView::zoomOut);
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("lblPinTitle"));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    m_title->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_title->setStyleSheet(QStringLiteral("QLabel { background: rgba(255, 255, 255, 235); color: #202020;"
                                          " border: 1px solid rgba(0, 0, 0, 60); border-radius: 5px;"
                                          " padding: 4px 8px; }"));
    m_title->hide();
}

TileMapView::~TileMapView() = default;

void TileMapView::setTileFetcher(TileFetcher* fetcher)
{
    replaceFetcher(m_fetcher, fetcher);
}

void TileMapView::setSatelliteTileFetcher(TileFetcher* fetcher)
{
    replaceFetcher(m_satelliteFetcher, fetcher);
}

void TileMapView::replaceFetcher(QPointer<TileFetcher>& slot, TileFetcher* fetcher)
{
    if (slot)
        slot->disconnect(this);
    slot = fetcher;
    watchFetcher(fetcher);
    changed();
}

TileFetcher* TileMapView::activeFetcher() const
{
    return m_mapType == MapType::Road ? m_fetcher.data() : m_satelliteFetcher.data();
}

void TileMapView::watchFetcher(TileFetcher* fetcher)
{
    if (!fetcher)
        return;
    connect(fetcher, &TileFetcher::tileReady, this, [this, fetcher](const TileKey& key) {
        // Only a tile of the frame shown: the look's source, at the level it draws from.
        if (fetcher == activeFetcher() && key.zoom == std::min(m_viewport.zoom(), fetcher->deepestZoom())) {
            m_cacheValid = false;
            update();
        }
    });
    connect(fetcher, &TileFetcher::tileFailed, this, [this] { update(); });
}

void TileMapView::setMapType(MapType type)
{
    if (type == m_mapType)
        return;
    m_mapType = type;
    changed();
}

void TileMapView::setRegion(const MapRegion& region)
{
    m_region = region;
    m_followsRegion = true;
    fitRegion();
    changed();
}

void TileMapView::fitRegion()
{
    const double span = std::max(m_region.latitudeDelta, m_region.longitudeDelta);
    const int zoom = WebMercator::zoomForSpan(m_region.centerLatitude, span, QSizeF(size()));
    m_viewport = MapViewport(QPointF(m_region.centerLongitude, m_region.centerLatitude), zoom, QSizeF(size()));
}

void TileMapView::setPin(double latitude, double longitude, const QString& title)
{
    m_pin = Pin { QPointF(longitude, latitude), title };
    layoutControls();
    update();
}

void TileMapView::removePins()
{
    m_pin.reset();
    layoutControls();
    update();
}

QPointF TileMapView::pinCoordinate() const
{
    return m_pin ? m_pin->coordinate : QPointF();
}

QString TileMapView::pinTitle() const
{
    return m_pin ? m_pin->title : QString();
}

void TileMapView::showLocation(const MetaDataViewerLocation& location)
{
    setPin(location.latitude, location.longitude, location.title);
    setRegion(location.region);
}

void TileMapView::zoomIn()
{
    m_followsRegion = false;
    m_viewport.setZoom(m_viewport.zoom() + 1);
    changed();
}

void TileMapView::zoomOut()
{
    m_followsRegion = false;
    m_viewport.setZoom(m_viewport.zoom() - 1);
    changed();
}

void TileMapView::changed()
{
    m_cacheValid = false;
    requestTiles();
    update();
}

void TileMapView::requestTiles()
{
    TileFetcher* fetcher = activeFetcher();
    if (!fetcher || size().isEmpty())
        return;
    // Beyond the source's deepest level several tiles share one source tile.
    QList<TileKey> keys;
    for (const auto& tile : m_viewport.tilesInView()) {
        const TileKey key = WebMercator::sourceOf(tile.key, fetcher->deepestZoom()).key;
        if (!keys.contains(key))
            keys.append(key);
    }
    fetcher->request(keys);
}

void TileMapView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_followsRegion)
        fitRegion();
    else
        m_viewport.setViewSize(QSizeF(size()));
    layoutControls();
    changed();
}

void TileMapView::layoutControls()
{
    const int x = width() - kMargin - kButtonSize;
    m_zoomIn->move(x, kMargin);
    m_zoomOut->move(x, kMargin + kButtonSize + 2);
    const QString title = pinTitle();
    if (title.isEmpty()) {
        m_title->hide();
        return;
    }
    m_title->setText(title);
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

void TileMapView::paintEvent(QPaintEvent*)
{
    const qreal ratio = devicePixelRatioF();
    if (!m_cacheValid || m_cache.size() != size() * ratio) {
        m_cache = QPixmap(size() * ratio);
        m_cache.setDevicePixelRatio(ratio);
        QPainter cachePainter(&m_cache);
        paintFrame(cachePainter);
        // A frame with holes is drawn again when their tiles come.
        m_cacheValid = true;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_cache);
    painter.setRenderHint(QPainter::Antialiasing);
    paintPin(painter);
    paintAttribution(painter);
}

void TileMapView::paintFrame(QPainter& painter)
{
    QRegion missing(rect());
    m_drewEnlarged = false;
    m_labelled = 0;
    if (TileFetcher* fetcher = activeFetcher()) {
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        for (const auto& tile : m_viewport.tilesInView()) {
            const WebMercator::TileSource source = WebMercator::sourceOf(tile.key, fetcher->deepestZoom());
            const QImage image = fetcher->tile(source.key);
            if (image.isNull())
                continue;
            const QRect target(tile.topLeft.toPoint(), QSize(WebMercator::kTileSize, WebMercator::kTileSize));
            painter.drawImage(QRectF(target), image, source.part);
            m_drewEnlarged = m_drewEnlarged || source.enlarged;
            missing -= target;
        }
        painter.restore();
    }
    const QRegion drawn = QRegion(rect()) - missing;
    m_drewImagery = m_mapType != MapType::Road && !drawn.isEmpty();
    // Hybrid: the offline map's borders and places over the imagery.
    if (m_drewImagery && m_mapType == MapType::Hybrid) {
        painter.save();
        painter.setClipRegion(drawn);
        for (const auto& tile : m_viewport.tilesInView()) {
            const QRect target(tile.topLeft.toPoint(), QSize(WebMercator::kTileSize, WebMercator::kTileSize));
            if (drawn.intersects(target))
                painter.drawImage(target.topLeft(), m_offline->bordersOverlay(tile.key));
        }
        paintPlaces(painter, drawn);
        painter.restore();
    }
    m_drewOffline = !missing.isEmpty();
    if (m_drewOffline)
        paintOffline(painter, missing);
}

void TileMapView::paintOffline(QPainter& painter, const QRegion& where)
{
    painter.save();
    painter.setClipRegion(where);
    painter.fillRect(rect(), OfflineMapTiles::seaColour(m_mapType)); // beyond the poles' rows too
    // Without imagery, satellite draws what hybrid draws over it: the land and sea
    // stand in for the imagery, and the borders and places are what the credit names.
    for (const auto& tile : m_viewport.tilesInView()) {
        const QRect target(tile.topLeft.toPoint(), QSize(WebMercator::kTileSize, WebMercator::kTileSize));
        if (!where.intersects(target))
            continue;
        painter.drawImage(target.topLeft(), m_offline->tile(tile.key, m_mapType));
        if (m_mapType == MapType::Satellite)
            painter.drawImage(target.topLeft(), m_offline->bordersOverlay(tile.key));
    }
    paintPlaces(painter, where);
    painter.restore();
}

void TileMapView::paintPlaces(QPainter& painter, const QRegion& where)
{
    const quint32 minimum = MapPlaces::minimumPopulationAt(m_viewport.zoom());
    const QRectF view = QRectF(rect()).adjusted(-4, -4, 4, 4);
    const QFontMetrics metrics(font());
    const bool shaded = m_mapType != MapType::Road;
    QList<QRect> taken; // labels never overlap; bigger places come first
    painter.setPen(Qt::NoPen);
    // From the places' world pixels at zoom 0 to the view, without projecting each
    // again; x wrapped to the copy nearest the centre, as MapViewport::toView does.
    const double scale = std::exp2(m_viewport.zoom());
    const double worldWidth = WebMercator::kTileSize * scale;
    const QPointF origin = m_viewport.toView(QPointF(-180, WebMercator::kMaximumLatitude));
    const double centreX = width() / 2.0;
    for (const MapPlace& place : MapPlaces::all()) {
        if (place.population < minimum)
            break;
        QPointF point = origin + place.worldPixel * scale;
        point.setX(point.x() - std::round((point.x() - centreX) / worldWidth) * worldWidth);
        if (!view.contains(point) || !where.contains(point.toPoint()))
            continue;
        const QRect label = metrics.boundingRect(place.name).translated(point.toPoint() + QPoint(5, 4));
        bool free = true;
        for (const QRect& other : std::as_const(taken)) {
            if (other.intersects(label)) {
                free = false;
                break;
            }
        }
        if (!free)
            continue; // a dot without its name would only clutter the map
        painter.setBrush(shaded ? QColor(0xff, 0xff, 0xff) : QColor(0x55, 0x55, 0x55));
        painter.drawEllipse(point, 2.5, 2.5);
        taken.append(label);
        painter.setPen(shaded ? Qt::white : QColor(0x30, 0x30, 0x30));
        painter.drawText(label.bottomLeft() - QPoint(0, metrics.descent()), place.name);
        painter.setPen(Qt::NoPen);
        ++m_labelled;
    }
}

void TileMapView::paintPin(QPainter& painter) const
{
    if (!m_pin)
        return;
    const QPointF tip = m_viewport.toView(m_pin->coordinate);
    if (!m_pin->title.isEmpty())
        return; // a photo without a usable position: the title says so
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

QString TileMapView::attributionText() const
{
    QString text;
    if (m_mapType == MapType::Road) {
        text = kAttribution;
    } else if (m_drewImagery) {
        text = kImageryAttribution;
        if (m_drewEnlarged && m_satelliteFetcher)
            text += tr(" (level %1 enlarged)").arg(m_satelliteFetcher->deepestZoom());
    }
    if (m_drewOffline) {
        const QString offline = tr("Offline map: outlines and GeoNames places");
        text = text.isEmpty() ? offline : offline + QStringLiteral(" | ") + text;
    }
    return text;
}

void TileMapView::paintAttribution(QPainter& painter) const
{
    const QString text = attributionText();
    if (text.isEmpty())
        return;
    QFont small = font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() - 2));
    painter.setFont(small);
    const QFontMetrics metrics(small);
    const QRect box = metrics.boundingRect(text).adjusted(-4, -1, 4, 1);
    const QRect placed(width() - box.width(), height() - box.height(), box.width(), box.height());
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 200));
    painter.drawRect(placed);
    painter.setPen(QColor(0x20, 0x20, 0x20));
    painter.drawText(placed, Qt::AlignCenter, text);
}

void TileMapView::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0)
        return event->ignore();
    m_followsRegion = false;
    m_viewport.setZoom(m_viewport.zoom() + (delta > 0 ? 1 : -1), event->position());
    changed();
    event->accept();
}

bool TileMapView::pinHit(QPointF viewPoint) const
{
    if (!m_pin || !m_pin->title.isEmpty())
        return false;
    // The stem and the head as paintPin draws them, with a little room around.
    const QPointF tip = m_viewport.toView(m_pin->coordinate);
    return QRectF(tip.x() - 9, tip.y() - 27, 18, 30).contains(viewPoint);
}

void TileMapView::movePinTo(QPointF viewPoint)
{
    const QPointF coordinate = m_viewport.toCoordinate(viewPoint);
    setPin(coordinate.y(), coordinate.x());
}

void TileMapView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_pressedAt = event->position();
    m_dragged = false;
    m_draggingPin = m_pinDraggable && pinHit(event->position());
    if (m_draggingPin)
        m_grabOffset = m_viewport.toView(m_pin->coordinate) - event->position();
    m_dragFrom = event->position();
    setCursor(Qt::ClosedHandCursor);
}

void TileMapView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragFrom)
        return QWidget::mouseMoveEvent(event);
    // Where a click places the pin, its small shake moves nothing.
    if (m_pinDraggable && !m_dragged
        && (event->position() - m_pressedAt).manhattanLength() < QApplication::startDragDistance())
        return;
    m_dragged = true;
    if (m_draggingPin) {
        movePinTo(event->position() + m_grabOffset);
        return;
    }
    m_followsRegion = false;
    m_viewport.panBy(event->position() - *m_dragFrom);
    m_dragFrom = event->position();
    changed();
}

void TileMapView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_dragFrom)
        return QWidget::mouseReleaseEvent(event);
    // A click on the pin itself leaves it where it is.
    const bool placed = m_draggingPin ? m_dragged : m_pinDraggable && !m_dragged;
    if (placed)
        movePinTo(event->position() + (m_draggingPin ? m_grabOffset : QPointF()));
    m_dragFrom.reset();
    m_draggingPin = false;
    setCursor(Qt::OpenHandCursor);
    if (placed)
        emit pinMoved(m_pin->coordinate.y(), m_pin->coordinate.x());
}

void TileMapView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseDoubleClickEvent(event);
    m_followsRegion = false;
    m_viewport.setZoom(m_viewport.zoom() + 1, event->position());
    changed();
}

void TileMapView::keyPressEvent(QKeyEvent* event)
{
    const double step = std::min(width(), height()) / 4.0;
    QPointF pan;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return zoomIn();
    case Qt::Key_Minus:
        return zoomOut();
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
        return QWidget::keyPressEvent(event);
    }
    m_followsRegion = false;
    m_viewport.panBy(pan);
    changed();
}
