#include "batch/BatchLog.h"

Q_LOGGING_CATEGORY(lcBatch, "velloran.batch")
