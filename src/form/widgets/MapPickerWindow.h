#pragma once

#include "batch/naming/ReverseGeocoder.h"
#include "form/MapPicker.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class MetaDataObject;
class QGeoPositionInfoSource;
class QLabel;
class QPushButton;
class TileFetcher;
class TileMapView;

// The map picker ("winMapview"): a map ("mapviewRef") with one pin that a click
// places and a drag moves, the place name of the pin, and "Choose", "Remove" and
// "Cancel". It opens on the form's position, else on the user's own position where
// the desktop tells it in time (online only), else on the whole world
// (MapPicker::opening).
//
// Choose hands the pin back (chosen, the form's changeLocationToTitle); Remove asks
// the form to clear its position (removed, removeLocationcordinates). The place name
// comes from the geocoder the host gives, asked off the main thread once the pin
// rests and never twice within a second.
class MapPickerWindow : public QDialog {
    Q_OBJECT
public:
    using GeocoderSource = std::function<std::shared_ptr<ReverseGeocoder>()>;

    // tiles and the geocoder source may be null (the offline map, no place names).
    MapPickerWindow(const MetaDataObject& form, TileFetcher* tiles, GeocoderSource geocoder, QWidget* parent = nullptr);
    ~MapPickerWindow() override;

    TileMapView& mapView() const { return *m_map; }
    std::optional<PickedPosition> pin() const { return m_pin; }
    QString placeName() const { return m_placeName; }
    // Places the pin as a click there does.
    void placePin(const PickedPosition& position);

    void open() override;

signals:
    void chosen(const QString& title, double latitude, double longitude);
    void removed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showPin();
    void scheduleNaming();
    void askPlaceName();
    void namingFinished();
    void startUserPosition();

    TileMapView* m_map = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_coordinates = nullptr;
    QPushButton* m_choose = nullptr;
    QPushButton* m_remove = nullptr;
    GeocoderSource m_geocoder;
    std::optional<PickedPosition> m_pin;
    QString m_placeName;
    bool m_asksUserPosition = false;
    bool m_userMovedTheMap = false;
    QGeoPositionInfoSource* m_positionSource = nullptr;
    // Naming: one question at a time, the latest pin asked when it ends.
    QTimer m_namingTimer;
    QElapsedTimer m_sinceLastQuestion;
    QFutureWatcher<ReverseGeocodeResult> m_naming;
    std::optional<PickedPosition> m_askedFor;
};
