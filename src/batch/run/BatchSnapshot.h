#pragma once

#include "batch/naming/OutputRenamingOptions.h"

#include <QList>
#include <QStringList>
#include <memory>

class MetaDataObject;
class PhotoFile;

// What one batch run works on, copied on the main thread when the run starts, so
// that the writers never read or change a record the form may show or edit while
// they work: the settings record, its edited-fields-only twin and their date
// settings, each photo, and the renaming options with the output folder. A photo's
// records are never changed once it is listed, so its copy shares them with the
// live photo: a run over 100,000 photos costs the copies of the photos' own fields,
// not of their records. The live photos are kept by identity only, to hand the
// results back to them on the main thread.
class BatchSnapshot {
public:
    // Now: every photo is copied before the call returns. Later: the records and the
    // list are taken, and copyPhotos() copies the photos, a part at a time if need be.
    enum class Copying { Now, Later };

    // A normal run over the ticked photos of the batch list, in list order.
    // settings is the form's record, onlyUpdated its edited-fields-only twin.
    static BatchSnapshot forTickedPhotos(const QList<std::shared_ptr<PhotoFile>>& batchList,
        const MetaDataObject& settings, const MetaDataObject& onlyUpdated, const OutputRenamingOptions& options,
        Copying copying = Copying::Now);

    // A run over the given photos, whatever their ticks; batchList names every
    // source of the batch, so that no output lands on one.
    static BatchSnapshot forPhotos(const QList<std::shared_ptr<PhotoFile>>& photos,
        const QList<std::shared_ptr<PhotoFile>>& batchList, const MetaDataObject& settings,
        const MetaDataObject& onlyUpdated, const OutputRenamingOptions& options, Copying copying = Copying::Now);

    // Copies up to `count` more photos, in list order; true once every photo has its
    // copy. On the thread that owns the photos, with nothing changing them in between.
    bool copyPhotos(qsizetype count);
    bool isCopied() const { return workCopies.size() == photos.size(); }

    // A record that shares nothing with the original: the texts, the edited flags,
    // the mode, the clear flags, the name and six date settings of its own.
    static std::shared_ptr<MetaDataObject> deepCopy(const MetaDataObject& record);

    // The photo as a writer gets it: every field copied, the restore point (which a
    // write in place extends) a copy of its own, the records shared.
    static std::shared_ptr<PhotoFile> workCopy(const PhotoFile& photo);

    bool isEmpty() const { return photos.isEmpty(); }

    QList<std::shared_ptr<PhotoFile>> photos; // the live photos; only the main thread touches them
    QList<std::shared_ptr<PhotoFile>> workCopies; // one per photo, in the same order
    std::shared_ptr<MetaDataObject> settings;
    std::shared_ptr<MetaDataObject> onlyUpdated;
    OutputRenamingOptions options;
    QStringList batchSourcePaths;
};
