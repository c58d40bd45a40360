#pragma once

#include <QLoggingCategory>

// Diagnostics of the photo batch: intake, photo libraries, the run and its outputs.
Q_DECLARE_LOGGING_CATEGORY(lcBatch)
