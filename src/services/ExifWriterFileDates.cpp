#include "services/ExifWriter.h"
#include "base/DatePattern.h"
#include "base/Logging.h"
#include "platform/FileAttributes.h"

#include <QFileInfo>

bool ExifWriter::checkForReadOnlyFilePath(const QString& path) const
{
    return !FileAttributes::isWritable(path);
}

bool ExifWriter::checkForReadOnlyParentFolderPath(const QString& folderPath) const
{
    // Making a file in a folder takes writing and searching it.
    return !FileAttributes::isWritable(folderPath) || !QFileInfo(folderPath).isDir()
        || !QFileInfo(folderPath).isExecutable();
}

bool ExifWriter::checkForReadOnlyParentFolder(const QVariantMap& folder) const
{
    return checkForReadOnlyParentFolderPath(folder.value(QStringLiteral("FolderPath")).toString());
}

QString ExifWriter::convertedDate(const QString& date, const QString& inFormat, const QString& convertedFormat) const
{
    // Only the given pattern: the writer's callers ask for that pattern and no other,
    // so a text in some other form answers "".
    if (date.isEmpty())
        return QString();
    const std::optional<QDateTime> read = DatePattern(inFormat).read(date);
    return read ? DatePattern(convertedFormat).print(*read) : QString();
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
