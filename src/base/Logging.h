#pragma once

#include <QLoggingCategory>

// Every logging category of the program, in one place so that a reader sees
// what can be switched on with QT_LOGGING_RULES (for example
// "velloran.metadata.debug=true").

// Reading and writing metadata, exiv2's own messages, image properties and thumbnails.
Q_DECLARE_LOGGING_CATEGORY(lcMetadata)
// The photo batch: intake, photo libraries, the run and its outputs, geocoding.
Q_DECLARE_LOGGING_CATEGORY(lcBatch)
// The metadata form: its resources (the country list) and its records.
Q_DECLARE_LOGGING_CATEGORY(lcForm)
