#include "platform/OpenablePhotoPath.h"

#include <QFileInfo>

QString openablePhotoPath(const QString& path)
{
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    return info.isFile() ? info.absoluteFilePath() : QString();
}
