#include "base/Logging.h"

// Debug lines (one per key read) are off unless QT_LOGGING_RULES asks for them.
Q_LOGGING_CATEGORY(lcMetadata, "velloran.metadata", QtInfoMsg)
Q_LOGGING_CATEGORY(lcBatch, "velloran.batch")
Q_LOGGING_CATEGORY(lcForm, "velloran.form")
