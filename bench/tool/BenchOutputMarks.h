#pragma once

#include "BenchArguments.h"
#include "batch/run/BatchRunner.h"
#include "model/MetadataRestorePoint.h"

#include <QHash>
#include <QString>
#include <memory>

class PhotoFile;

// The marks of the outputs a write of this tool made into another file (which file
// each is, its size and times, as the writer takes them), kept from the write to a restore run
// by another process of the tool: the application restores in the process that
// wrote, which still holds them. A restore puts nothing back over an output it has
// no mark of, or that is no longer the file marked.
//
// One file for the photos of one command (its output folder, or its source folder
// with --keep-source) in the user's cache folder; the file of a folder that is
// gone is removed at the next save.
class BenchOutputMarks {
public:
    explicit BenchOutputMarks(const BenchArguments& arguments);

    // Gives each photo to be restored the mark its output was written with, if any.
    void applyTo(const QList<BatchRunner::WrittenPhoto>& written) const;
    // Takes the marks of the run's photos: those written, those restored (no
    // longer to restore); and keeps the file.
    void record(const QList<std::shared_ptr<PhotoFile>>& photos, bool restoreRun);

private:
    QString m_folder; // what the outputs belong to
    QString m_file;
    QHash<QString, MetadataRestorePoint::WrittenFile> m_marks; // by output path
};
