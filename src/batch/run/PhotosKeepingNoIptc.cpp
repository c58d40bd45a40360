#include "batch/run/PhotosKeepingNoIptc.h"

#include "services/ExifWriter.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"

using namespace Qt::Literals::StringLiterals;

QString PhotosKeepingNoIptc::kindsText() const
{
    if (kinds.size() < 2)
        return kinds.value(0);
    return kinds.first(kinds.size() - 1).join(u", "_s) + u" and "_s + kinds.last();
}

PhotosKeepingNoIptc PhotosKeepingNoIptc::among(
    const QList<std::shared_ptr<PhotoFile>>& batchList, const MetaDataObject& settings)
{
    PhotosKeepingNoIptc found;
    const MetaDataObject nothingRead;
    for (const std::shared_ptr<PhotoFile>& photo : batchList) {
        if (!photo || !photo->isSelected)
            continue;
        ++found.ticked;
        // The photo's own values as read: a field that shows one of them is no edit.
        const MetaDataObject* held = photo->metadataObjectOriginal ? photo->metadataObjectOriginal.get()
            : photo->metadataObject                                 ? photo->metadataObject.get()
                                                                    : &nothingRead;
        if (photo->kind.keepsIptc || !ExifWriter::editSetsIptc(settings, *held))
            continue;
        ++found.count;
        const QString& kind = photo->kind.name;
        if (!kind.isEmpty() && !found.kinds.contains(kind))
            found.kinds.append(kind);
    }
    return found;
}
