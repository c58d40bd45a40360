#pragma once

#include <QString>

// Where the shared sample photos are: read them in place, never write beside them.
inline QString samplesDir()
{
    return QStringLiteral(VELLORAN_SAMPLES_DIR);
}
