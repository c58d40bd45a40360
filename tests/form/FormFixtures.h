#pragma once

#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"

#include <QList>
#include <initializer_list>
#include <memory>
#include <utility>

// A photo of the batch list whose record holds the given fields (no file behind it).
inline std::shared_ptr<PhotoFile> photoWith(std::initializer_list<std::pair<MetadataField, QString>> fields)
{
    auto photo = std::make_shared<PhotoFile>();
    auto record = std::make_shared<MetaDataObject>();
    for (const auto& [field, text] : fields)
        record->setField(field, text);
    photo->metadataObject = record;
    photo->isSelected = true;
    return photo;
}

inline QString countriesJsonPath()
{
    return QStringLiteral(VELLORAN_RESOURCES_DIR "/countries.json");
}
