#pragma once

#include "model/MetaDataObject.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

// The root object of the preset archive: the preset list and a date text that
// nothing sets. It is archived with the keyed coder under the class name
// "ProjectSession", the list under "arrayPresets" and the date under "dateString".
class ProjectSession {
public:
    QList<std::shared_ptr<MetaDataObject>> arrayPresets;
    std::optional<QString> dateString;

    static const QString kClassName;
    void encodeWithCoder(KeyedEncoder& coder) const;
    // A missing "arrayPresets" gives an empty list; elements that are not presets are
    // skipped.
    static ProjectSession initWithCoder(const KeyedDecoder& coder);

    // The archive bytes of a session holding the given presets.
    static QByteArray archivedData(const QList<std::shared_ptr<MetaDataObject>>& presets);

    // What reading stored archive bytes gave.
    struct Unarchived {
        QList<std::shared_ptr<MetaDataObject>> presets;
        // False when the bytes are no session archive at all, or when they hold
        // something under "arrayPresets" that could not be read as presets: writing
        // over such bytes would lose what is in them.
        bool complete = true;
    };
    static Unarchived unarchive(const QByteArray& data);
};
