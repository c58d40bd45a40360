#pragma once

#include <optional>

class MetaDataObject;

// A position in decimal degrees, negative south of the equator and west of Greenwich.
struct GpsPosition {
    double latitude = 0;
    double longitude = 0;
    bool operator==(const GpsPosition&) const = default;
};

// The position ExifWriter::writeMetaDataToFilePath leaves in a photo whose own
// record is held, with the settings and onlyUpdated records as a run hands them
// over: the writer's own preparation of the records (decimal commas, signs of the
// GPS coordinates) and its field passes decide it, so that a name made from it
// names the place the photo will hold. None when the write removes the position,
// leaves it incomplete, or refuses the photo for it. No record is changed.
// Defined with the writer (ExifWriterWriting.cpp).
std::optional<GpsPosition> positionAfterWrite(
    const MetaDataObject& held, const MetaDataObject& settings, const MetaDataObject& onlyUpdated);
