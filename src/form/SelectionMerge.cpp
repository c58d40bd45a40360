#include "form/SelectionMerge.h"

#include "form/FormFieldTable.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"

QList<std::shared_ptr<const MetaDataObject>> SelectionMerge::recordsOf(const QList<std::shared_ptr<PhotoFile>>& photos)
{
    QList<std::shared_ptr<const MetaDataObject>> records;
    records.reserve(photos.size());
    for (const auto& photo : photos) {
        if (photo && photo->metadataObject)
            records.append(photo->metadataObject);
    }
    return records;
}

MergeResult SelectionMerge::updateMetaDataObjectForSelectedFiles(
    const QList<std::shared_ptr<const MetaDataObject>>& records, quint64 generation, const std::atomic<quint64>* latest)
{
    MergeResult result;
    result.generation = generation;
    result.photoCount = static_cast<int>(records.size());

    // The merged fields as indices, so the walk over the photos touches nothing else.
    static const QList<std::size_t> mergedFields = [] {
        QList<std::size_t> indices;
        for (const FormField& f : FormFieldTable::sharedTable().fields()) {
            if (f.merged)
                indices.append(fieldIndex(f.field));
        }
        return indices;
    }();

    auto merged = std::make_shared<MetaDataObject>();
    if (records.isEmpty()) {
        result.merged = merged;
        return result;
    }

    const MetaDataObject& reference = *records.first();
    // still[k]: the k-th merged field is the same in every photo so far.
    QList<std::size_t> same;
    same.reserve(mergedFields.size());
    for (const std::size_t i : mergedFields) {
        const MetadataField f = static_cast<MetadataField>(i);
        if (!reference.field(f).isEmpty()) {
            same.append(i);
            result.hasValue[i] = true;
        }
    }
    // Fields no photo has filled yet, for the placeholders.
    QList<std::size_t> unfilled;
    for (const std::size_t i : mergedFields) {
        if (!result.hasValue[i])
            unfilled.append(i);
    }

    constexpr qsizetype kStopCheckInterval = 1024;
    for (qsizetype p = 1; p < records.size(); ++p) {
        if (latest && p % kStopCheckInterval == 0 && latest->load(std::memory_order_relaxed) != generation)
            return result;
        const MetaDataObject& record = *records[p];
        for (qsizetype k = 0; k < same.size();) {
            const MetadataField f = static_cast<MetadataField>(same[k]);
            if (record.field(f) == reference.field(f))
                ++k;
            else
                same.removeAt(k);
        }
        for (qsizetype k = 0; k < unfilled.size();) {
            const std::size_t i = unfilled[k];
            if (!record.field(static_cast<MetadataField>(i)).isEmpty()) {
                result.hasValue[i] = true;
                unfilled.removeAt(k);
            } else {
                ++k;
            }
        }
    }

    for (const std::size_t i : same) {
        const MetadataField f = static_cast<MetadataField>(i);
        merged->setField(f, reference.field(f));
    }
    result.merged = merged;
    return result;
}
