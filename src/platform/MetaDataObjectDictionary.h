#pragma once

#include "model/MetadataFields.h"

#include <QString>
#include <optional>
#include <utility>

// The image-property dictionary entry that a record field is read from and written
// to by MetaDataObject's dictionary conversion: its group ("{TIFF}", "{Exif}",
// "{GPS}", "{IPTC}") and key. Nothing for a field without one (the XMP fields).
std::optional<std::pair<QString, QString>> dictionaryEntryOfField(MetadataField field);
