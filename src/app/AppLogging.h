#pragma once

#include <QLoggingCategory>

// Diagnostics of the application shell: start-up, windows, reachability.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
