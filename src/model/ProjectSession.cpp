#include "model/ProjectSession.h"

#include "model/KeyedCoder.h"

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

ProjectSession::Unarchived ProjectSession::unarchive(const QByteArray& data)
{
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
