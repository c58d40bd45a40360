#pragma once

#include "model/MetadataFields.h"

#include <QList>
#include <QMetaType>
#include <atomic>
#include <bitset>
#include <memory>

class MetaDataObject;
class PhotoFile;

// What one merge of the ticked photos gives the form.
struct MergeResult {
    quint64 generation = 0;
    int photoCount = 0;
    // The values the photos have in common; null when the merge was overtaken by a
    // newer one and stopped.
    std::shared_ptr<MetaDataObject> merged;
    // Which fields any photo fills (for the "Multiple values" placeholders).
    std::bitset<kMetadataFieldCount> hasValue;
};
Q_DECLARE_METATYPE(MergeResult)

// The merge rule of the selection: a field keeps its text only when every photo
// holds the same non-empty text (compared exactly); pixel sizes, resolutions and
// the GPS date stamp are never merged. Texts are shared with the photos' records,
// never copied.
class SelectionMerge {
public:
    // The photos' records, taken on the thread that owns the list, so that the merge
    // reads records that cannot be swapped under it.
    static QList<std::shared_ptr<const MetaDataObject>> recordsOf(const QList<std::shared_ptr<PhotoFile>>& photos);

    // updateMetaDataObjectForSelectedFiles: the merged record of the records, in
    // list order. No records give a new empty record. When latest is given, the
    // merge stops (answering a null record) as soon as it no longer holds generation.
    static MergeResult updateMetaDataObjectForSelectedFiles(const QList<std::shared_ptr<const MetaDataObject>>& records,
        quint64 generation = 0, const std::atomic<quint64>* latest = nullptr);
};
