#include "app/AppLogging.h"

Q_LOGGING_CATEGORY(lcApp, "velloran.app", QtInfoMsg)
