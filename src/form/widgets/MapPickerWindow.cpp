#include "form/widgets/MapPickerWindow.h"

#include "viewer/MapRegion.h"
#include "viewer/TileFetcher.h"
#include "viewer/widgets/TileMapView.h"

#include <QEvent>
#include <QGeoPositionInfoSource>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <chrono>

namespace {

// The longest a place name is waited for off the main thread; the online geocoder
// keeps its own, shorter limit and falls back to the offline places.
constexpr auto kLongestNaming = std::chrono::seconds(20);

ReverseGeocodeResult askGeocoder(const std::shared_ptr<ReverseGeocoder>& geocoder, PickedPosition position)
{
    if (std::optional<ReverseGeocodeResult> answer
        = reverseGeocodeWithin(*geocoder, position.latitude, position.longitude, kLongestNaming))
        return std::move(*answer);
    return { QStringLiteral("The place name did not come in time."), std::nullopt };
}

} // namespace

MapPickerWindow::MapPickerWindow(
    const MetaDataObject& form, TileFetcher* tiles, GeocoderSource geocoder, QWidget* parent)
    : QDialog(parent)
    , m_geocoder(std::move(geocoder))
{
    setObjectName(QStringLiteral("winMapview"));
    setWindowTitle(tr("Choose a Position"));
    setWindowModality(Qt::WindowModal);
    resize(760, 540);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(6);
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("lblMapTitle"));
    m_title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_coordinates = new QLabel(this);
    m_coordinates->setObjectName(QStringLiteral("lblMapCoordinates"));
    m_coordinates->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_coordinates->setStyleSheet(QStringLiteral("color: #555;"));
    layout->addWidget(m_title);
    layout->addWidget(m_coordinates);

    m_map = new TileMapView(this);
    m_map->setObjectName(QStringLiteral("mapviewRef"));
    m_map->setTileFetcher(tiles);
    m_map->setPinDraggable(true);
    m_map->installEventFilter(this);
    connect(m_map, &TileMapView::pinMoved, this, [this](double latitude, double longitude) {
        placePin({ latitude, longitude });
    });
    layout->addWidget(m_map, 1);

    auto* buttons = new QHBoxLayout;
    m_remove = new QPushButton(tr("Remove"), this);
    m_remove->setObjectName(QStringLiteral("btnRemoveLocation"));
    m_remove->setToolTip(tr("Clear the position of the ticked photos"));
    m_remove->setAutoDefault(false);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("btnCancelMap"));
    cancel->setAutoDefault(false);
    m_choose = new QPushButton(tr("Choose"), this);
    m_choose->setObjectName(QStringLiteral("btnChooseLocation"));
    m_choose->setDefault(true);
    auto* hint = new QLabel(tr("Click the map to place the pin, drag the pin to move it."), this);
    hint->setStyleSheet(QStringLiteral("color: #666;"));
    buttons->addWidget(m_remove);
    buttons->addSpacing(12);
    buttons->addWidget(hint);
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(m_choose);
    layout->addLayout(buttons);

    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_remove, &QPushButton::clicked, this, [this] {
        emit removed();
        accept();
    });
    connect(m_choose, &QPushButton::clicked, this, [this] {
        if (!m_pin)
            return;
        emit chosen(m_placeName, m_pin->latitude, m_pin->longitude);
        accept();
    });

    m_namingTimer.setSingleShot(true);
    connect(&m_namingTimer, &QTimer::timeout, this, &MapPickerWindow::askPlaceName);
    connect(&m_naming, &QFutureWatcher<ReverseGeocodeResult>::finished, this, &MapPickerWindow::namingFinished);

    const MapPicker::Opening opening = MapPicker::opening(form, tiles && tiles->isOnline());
    m_asksUserPosition = opening.asksUserPosition;
    if (opening.pin) {
        m_map->setRegion(
            { opening.center.latitude, opening.center.longitude, opening.spanDegrees, opening.spanDegrees });
        m_pin = opening.pin;
        scheduleNaming();
    } else {
        m_map->setRegion(MapRegion::world());
    }
    showPin();
}

MapPickerWindow::~MapPickerWindow() = default;

void MapPickerWindow::open()
{
    if (m_asksUserPosition && !m_pin)
        startUserPosition();
    QDialog::open();
    m_map->setFocus();
}

void MapPickerWindow::startUserPosition()
{
    // Asked only now, never required: without a source, an answer in time or the
    // user's leave, the map stays on the world.
    m_positionSource = QGeoPositionInfoSource::createDefaultSource(this);
    if (!m_positionSource)
        return;
    connect(m_positionSource, &QGeoPositionInfoSource::positionUpdated, this, [this](const QGeoPositionInfo& info) {
        if (m_pin || m_userMovedTheMap || !info.isValid())
            return;
        const QGeoCoordinate at = info.coordinate();
        m_map->setRegion({ at.latitude(), at.longitude(), MapPicker::kPositionSpan, MapPicker::kPositionSpan });
    });
    m_positionSource->requestUpdate(MapPicker::kUserPositionTimeoutMs);
}

void MapPickerWindow::placePin(const PickedPosition& position)
{
    m_pin = position;
    showPin();
    scheduleNaming();
}

void MapPickerWindow::showPin()
{
    m_choose->setEnabled(m_pin.has_value());
    if (!m_pin) {
        m_map->removePins();
        m_title->setText(tr("No position chosen yet"));
        m_coordinates->clear();
        return;
    }
    m_map->setPin(m_pin->latitude, m_pin->longitude);
    m_coordinates->setText(MapPicker::coordinateText(m_pin->latitude, m_pin->longitude));
    if (!m_placeName.isEmpty())
        m_title->setText(m_placeName);
    else if (!m_geocoder)
        m_title->setText(tr("Position"));
    else
        m_title->setText(tr("Looking up the place name\u2026"));
    m_map->setToolTip(m_title->text());
}

void MapPickerWindow::scheduleNaming()
{
    m_placeName.clear();
    if (!m_geocoder)
        return;
    m_namingTimer.start(
        MapPicker::delayBeforeAsking(m_sinceLastQuestion.isValid() ? m_sinceLastQuestion.elapsed() : -1));
}

void MapPickerWindow::askPlaceName()
{
    if (!m_pin || m_naming.isRunning())
        return; // a question still out: its end asks for the pin as it is then
    std::shared_ptr<ReverseGeocoder> geocoder = m_geocoder ? m_geocoder() : nullptr;
    if (!geocoder)
        return;
    m_askedFor = m_pin;
    m_sinceLastQuestion.start();
    const PickedPosition position = *m_pin;
    m_naming.setFuture(QtConcurrent::run([geocoder, position] { return askGeocoder(geocoder, position); }));
}

void MapPickerWindow::namingFinished()
{
    const ReverseGeocodeResult result = m_naming.result();
    if (m_askedFor != m_pin) {
        scheduleNaming(); // the pin moved while the question was out
        return;
    }
    m_placeName = result.address ? MapPicker::placeTitle(*result.address) : QString();
    showPin();
    if (m_placeName.isEmpty())
        m_title->setText(result.failed() ? tr("No place name: %1").arg(result.error) : tr("No place known here"));
}

bool MapPickerWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Once the user moved the map, a late answer about the user's own position no
    // longer moves it.
    if (watched == m_map) {
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::Wheel || type == QEvent::KeyPress)
            m_userMovedTheMap = true;
    }
    return QDialog::eventFilter(watched, event);
}
