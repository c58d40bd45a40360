#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// What a restore of a photo that a run wrote needs, made by the writer and used up
// by a restore.
struct MetadataRestorePoint {
    // A file as a run left it: which file it is (device and inode), its size, and
    // its modification and change times in nanoseconds. Any write to it moves its
    // change time, which no program can set back; a file put in its place is
    // another inode.
    struct WrittenFile {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modified = 0;
        qint64 changed = 0;
        bool operator==(const WrittenFile&) const = default;
    };

    // Written in place: the file that holds what it takes to put back every byte of
    // the photo as it was before that run (see platform/RestoreData).
    QString dataPath;
    // Written to another file: that file as the run left it, so that a restore never
    // puts the source back over an output changed since.
    std::optional<WrittenFile> output;
};
