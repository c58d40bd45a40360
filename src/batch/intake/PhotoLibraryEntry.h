#pragma once

#include <QHashFunctions>
#include <QString>

// One listed version of a Photos library: a master file and one of its versions.
// Two versions of one master give two entries with the same imagePath.
struct PhotoLibraryEntry {
    QString modelId; // the version's model id
    QString uuid; // the master's uuid
    QString imagePath; // <library>/Masters/<master's image path>
    qint64 fileSize = 0; // the master's file size
    QString originalFileName; // the version's file name
    QString uuidRKVersion; // the version's uuid
    QString description; // the version's extended description, spaces and tabs trimmed; "" when missing

    bool operator==(const PhotoLibraryEntry&) const = default;
};

// Intake merges the entries of one library as a set.
inline size_t qHash(const PhotoLibraryEntry& entry, size_t seed = 0) noexcept
{
    return qHashMulti(seed, entry.modelId, entry.uuid, entry.imagePath, entry.fileSize, entry.originalFileName,
        entry.uuidRKVersion, entry.description);
}
