#pragma once

#include "model/MetadataFields.h"

#include <QList>
#include <QMap>
#include <QString>
#include <optional>
#include <utility>

class FormRecordEditor;
class MetaDataObject;

// A position on the map picker: decimal degrees, north and east positive.
struct PickedPosition {
    double latitude = 0;
    double longitude = 0;
    bool operator==(const PickedPosition&) const = default;
};

// The rules of the map picker, without a widget: where its map opens, what choosing
// or removing a position puts into the form and the pin's title. The window only
// paints and binds.
namespace MapPicker {

// Degrees of map around a position the picker opens on, as the viewer shows one.
inline constexpr double kPositionSpan = 0.55;
// How long the picker waits for the desktop to tell the user's own position; a
// position that comes later is not used.
inline constexpr int kUserPositionTimeoutMs = 4000;
// A place name is asked once the pin has rested this long, and never sooner than a
// second after the last question (the geocoder's pause).
inline constexpr int kSettleMs = 400;
inline constexpr int kGeocoderPauseMs = 1000;

// The position the form's GPS fields hold: both coordinates numbers (a decimal comma
// allowed, as the writer takes it) within range, "S" and "W" making them negative.
std::optional<PickedPosition> formPosition(const MetaDataObject& form);

// Where the map opens: on the form's position with its pin when the ticked photos
// share one; otherwise on the whole world, asking the desktop for the user's own
// position, which only moves the view (no photo was taken there yet). That question
// is asked only online: the desktop's position service may look the user up with a
// third party (nearby wireless networks sent to a location service), which the user
// allows with online maps and place names, not with "Offline Only".
struct Opening {
    std::optional<PickedPosition> pin;
    PickedPosition center;
    double spanDegrees = 360;
    bool asksUserPosition = false;
};
Opening opening(const MetaDataObject& form, bool online);

// changeLocationToTitle: the four GPS fields as the reader makes them (the magnitude
// as "%f" decimal degrees, the hemisphere as "N"/"S" and "E"/"W"), in the order a
// user would type them.
QList<std::pair<MetadataField, QString>> locationEdits(double latitude, double longitude);
// removeLocationcordinates: the four GPS fields emptied, which a write erases.
QList<std::pair<MetadataField, QString>> removalEdits();

// The picker's hand-over to the form that opened it, through the form's editor, as
// typing the texts would: each field stored with its edited flag. The title names the
// place; no field holds it.
void changeLocationToTitle(FormRecordEditor& editor, const QString& title, double latitude, double longitude);
void removeLocationcordinates(FormRecordEditor& editor);

// The pin's title from a geocoder's address: "Name, City, State, Country", each part
// once and only when present; "" when the address names nothing.
QString placeTitle(const QMap<QString, QString>& address);
// The position in degrees, minutes and seconds with its hemispheres:
// 48° 51' 24" N, 2° 21' 8" E.
QString coordinateText(double latitude, double longitude);

// How long to wait before asking for the place name of a pin that moved now, when
// the last question went msSinceLastQuestion ago (negative: never asked).
int delayBeforeAsking(qint64 msSinceLastQuestion);

} // namespace MapPicker
