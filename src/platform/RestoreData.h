#pragma once

#include "model/MetadataRestorePoint.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <optional>

class KeptSourceFile;
struct stat;

// The way back of a photo replaced in place: what it takes to put back every byte
// of the file as it was before the write, kept in a file of its own in a private
// folder (0700) of this process under the user's cache directory.
//
// The new file and the old one usually share a long end (a JPEG's image data, a
// HEIF file's media data). What is kept is the old file's bytes before that end,
// compressed by zstd with the new file's bytes before it as the dictionary (long
// distance matching, a window the size of the file), so that it takes about as
// many bytes as the write changed; the old bytes themselves where that is no
// smaller. A restore rebuilds the old file from the new one and this data alone.
//
// The folder is reached from the user's home one folder at a time, none of them a
// symbolic link and each the user's own (OwnedFolder), and the data is written and
// read through that checked folder's descriptor, never by its path. It is written
// through the replacer (a temporary file, flushed, renamed): its file is either
// whole or absent. It holds a hash of the whole new file and one of its payload: a
// restore puts nothing back over a photo that is not, to the byte, the one written,
// nor from data that is not as it was kept. It is removed when the next run starts and
// when the application quits; the folder of a process that died is removed by the
// next one that keeps data.
class RestoreData {
public:
    // Makes and keeps the data that turns the file about to replace originalPath
    // back into the file now there. newFd is that new file, complete (its flush follows);
    // newHead its first bytes, as they were given to the replacer; whatever follows
    // them in newFd is the original's own end (what the replacer's append copied).
    // Sets dataPath to the data file's path and answers nothing; or answers why the
    // data could not be kept, and then the photo must not be replaced.
    static std::optional<QString> keep(const QString& originalPath, int newFd, QByteArrayView newHead, QString& dataPath);

    // Puts the file described by the data at dataPath back at photoPath, through the
    // replacer, with the modification time it had then. Answers why not: the photo
    // was changed since (another program edited it, even by one byte with its time
    // put back), the data is damaged or was kept by another version, or the data or
    // the photo cannot be read or written. The photo is untouched then.
    static std::optional<QString> restore(const QString& dataPath, const QString& photoPath);

    // The output a run has just written at path (renamed into place), as it left
    // it; written is the new file's status taken before the rename. Nothing when
    // the path no longer names that file.
    static std::optional<MetadataRestorePoint::WrittenFile> markOfWritten(
        const QString& path, const struct stat& written);
    // Whether the file open as file is still, untouched, the one marked; else why
    // not (it was changed since the run).
    static std::optional<QString> checkWritten(
        const KeptSourceFile& file, const MetadataRestorePoint::WrittenFile& mark);
    // The refusal of a restore over a photo or output changed since the run.
    static QString changedSinceMessage(const QString& path);

    // Removes one data file (a restore that is no longer offered).
    static void discard(const QString& dataPath);
    // Removes this process's folder with everything in it; for quitting.
    static void removeAll();

    // The folder of this process; made (0700) when missing. Empty when it cannot be.
    static QString folder(QString* error = nullptr);

    // Tests only: the folder that stands for the user's home and the path under it
    // of the folder in which each process makes its own; an empty home puts the
    // cache directory back.
    static void setBaseFolderForTesting(const QString& home, const QString& relative);
};
