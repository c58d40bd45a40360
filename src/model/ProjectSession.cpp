#include "model/ProjectSession.h"

#include "model/KeyedCoder.h"

#include <QtConcurrent/QtConcurrentMap>

namespace {
const QString kArrayPresetsKey = QStringLiteral("arrayPresets");
const QString kDateStringKey = QStringLiteral("dateString");
} // namespace

const QString ProjectSession::kClassName = QStringLiteral("ProjectSession");

void ProjectSession::encodeWithCoder(KeyedEncoder& coder) const
{
    if (dateString)
        coder.encodeString(kDateStringKey, *dateString);
    QList<KeyedEncoder> presets;
    presets.reserve(arrayPresets.size());
    for (const auto& preset : arrayPresets) {
        if (!preset)
            continue;
        KeyedEncoder presetCoder(MetaDataObject::kClassName);
        preset->encodeWithCoder(presetCoder);
        presets.append(presetCoder);
    }
    coder.encodeArray(kArrayPresetsKey, presets);
}

ProjectSession ProjectSession::initWithCoder(const KeyedDecoder& coder)
{
    ProjectSession session;
    session.dateString = coder.decodeString(kDateStringKey);
    for (const KeyedDecoder& presetCoder : coder.decodeArray(kArrayPresetsKey, MetaDataObject::kClassName))
        session.arrayPresets.append(MetaDataObject::initWithCoder(presetCoder));
    return session;
}

QByteArray ProjectSession::archivedData(const QList<std::shared_ptr<MetaDataObject>>& presets)
{
    ProjectSession session;
    session.arrayPresets = presets;
    KeyedEncoder coder(kClassName);
    session.encodeWithCoder(coder);
    return coder.toJson();
}

namespace {

// The presets of an archive split at its list, read on the threads of the global
// pool: a list of thousands of presets is mostly parsing, which one thread alone
// would take over a second to do.
ProjectSession::Unarchived presetsOf(const KeyedDecoder::SplitArchive& split)
{
    struct Read {
        bool wellFormed = true;
        std::shared_ptr<MetaDataObject> preset;
    };
    const QList<Read> reads = QtConcurrent::blockingMapped(split.elements, [](const QByteArray& element) {
        Read read;
        if (const auto decoder = KeyedDecoder::fromJson(element, MetaDataObject::kClassName, read.wellFormed))
            read.preset = MetaDataObject::initWithCoder(*decoder);
        return read;
    });
    ProjectSession::Unarchived result;
    for (const Read& read : reads) {
        // One damaged element makes the bytes no archive, as when read whole.
        if (!read.wellFormed)
            return { {}, false };
        if (read.preset)
            result.presets.append(read.preset);
    }
    result.complete = result.presets.size() == reads.size();
    return result;
}

} // namespace

ProjectSession::Unarchived ProjectSession::unarchive(const QByteArray& data)
{
    if (const auto split = KeyedDecoder::splitAtArray(data, kClassName, kArrayPresetsKey.toLatin1()))
        return presetsOf(*split);

    Unarchived result;
    const auto decoder = KeyedDecoder::fromJson(data, kClassName);
    if (!decoder) {
        result.complete = false;
        return result;
    }
    result.presets = initWithCoder(*decoder).arrayPresets;

    // The decoder skips what it cannot read; count what was there to notice it.
    if (decoder->contains(kArrayPresetsKey))
        result.complete = decoder->arraySize(kArrayPresetsKey) == result.presets.size();
    return result;
}
