#pragma once

#include "Helper/FLTImageMetadata.h"

#include <QString>

class MetaDataObject;

namespace Exiv2 {
class XmpData;
} // namespace Exiv2

// The metadata reader and writer over exiv2. It holds no state: one shared
// instance serves every thread, and every operation works on its arguments
// alone. Each group of operations lives in its own source file:
//   ExifWriter.cpp        the shared instance and the value texts of the reader
//   ExifWriterReader.cpp  reading a photo's metadata into a record
// exiv2 is called only inside the operation that needs it, and none of its
// exceptions leaves that operation.
class ExifWriter {
public:
    static ExifWriter& sharedInstance();

    ExifWriter(const ExifWriter&) = delete;
    ExifWriter& operator=(const ExifWriter&) = delete;

    // ---- Reading (ExifWriterReader.cpp) ----

    // Fills the record's text fields from the photo's Exif, IPTC and XMP data
    // through the keys of the field-to-tag table and answers the record. Only the
    // 80 text fields change; a field whose tag family the file lacks keeps its
    // text. Reading is a header read: no pixel is decoded. When the file cannot
    // be opened or its metadata is damaged, the failure is logged and the record
    // is answered untouched.
    MetaDataObject& readMetaFromPath(const QString& path, MetaDataObject& record) const;

    // ---- Value texts of the reader (ExifWriter.cpp) ----

    // Exif degrees, minutes and seconds (one to three numbers) as "%f" decimal
    // degrees, never negative: d + m/60 + s/3600 at full precision. No number,
    // four or more, or one that is not finite gives "". A value that is no list
    // is answered unchanged.
    MetadataValue extractGPSDataStringFromString(const MetadataValue& value) const;

    // A list's first number as "%f" text ("" for an empty list or a number that is
    // not finite); a value that is no list is answered unchanged.
    MetadataValue extractStringFromArrVal(const MetadataValue& value) const;

    // D°M'S" with an optional hemisphere letter after the seconds mark as decimal
    // degrees, negative for "W" and "S"; 0 unless the three marks stand in this
    // order.
    double getDegreesStringToDecimal(const QString& text) const;

    // Whether the XMP data holds a datum with exactly this key. Key texts are
    // compared, so a key of a namespace that exiv2 does not know is never built.
    bool isPrismKeyExist(const Exiv2::XmpData& xmpData, const FLTImageMetadata& formatter, const QString& key) const;

    // Whether the text, trimmed and without its "/" characters, holds only
    // decimal digits (an empty remainder counts).
    static bool isStringContansNumericValuesOnly(const QString& text);

    // A rational that a file stores as text ("28/10") as the "%f" text of its
    // quotient; anything else, a text typed by a person above all, stays.
    static QString exifFractionText(const QString& text);

    // An XMP GPS coordinate "DDD,MM.mmk" or "DDD,MM,SSk" as "%f" signed decimal
    // degrees; a text without "," (a plain decimal) stays.
    static QString xmpCoordinateText(const QString& text);

private:
    ExifWriter() = default;
};
