#pragma once

#include <QString>

// The way back of a photo that a run wrote in place: the file that holds what it
// takes to put back every byte of the photo as it was before that run (see
// platform/RestoreData). The writer makes it and a restore uses it up.
struct MetadataRestorePoint {
    QString dataPath;
};
