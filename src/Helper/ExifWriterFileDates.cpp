#include "Helper/ExifWriter.h"
#include "base/DatePattern.h"
#include "base/Logging.h"
#include "platform/FileAttributes.h"

bool ExifWriter::checkForReadOnlyFilePath(const QString& path) const
{
    return !FileAttributes::isWritable(path);
}

bool ExifWriter::checkForLockedFile(const QString& path) const
{
    if (!FileAttributes::isImmutable(path))
        return false;
    qCInfo(lcMetadata) << "File is locked";
    return true;
}

std::optional<QDateTime> ExifWriter::fileDateFromText(const QString& text)
{
    if (text.isEmpty())
        return std::nullopt;
    static const DatePattern recordPattern(QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    const std::optional<QDateTime> wallClock = recordPattern.read(text);
    if (!wallClock)
        return std::nullopt;
    return WallClock::toMoment(*wallClock);
}

void ExifWriter::upadteDateTimeOffileInSystem(
    const QString& path, const MetaDataObject& record, const QString& creationDate, const QString& modifyDate) const
{
    Q_UNUSED(record);
    if (const std::optional<QDateTime> modified = fileDateFromText(modifyDate)) {
        if (!FileAttributes::setModificationTime(path, *modified))
            qCWarning(lcMetadata).noquote() << "Cannot set the modification time of" << path;
    }
    if (fileDateFromText(creationDate))
        qCDebug(lcMetadata).noquote() << "The creation date of" << path << "cannot be set on this system";
}
