#include "platform/FileTypeIcon.h"

#include <QMimeDatabase>

namespace FileTypeIcon {

QStringList iconNames(const QString& path)
{
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    QStringList names;
    for (const QString& name : { type.iconName(), type.genericIconName() }) {
        if (!name.isEmpty() && !names.contains(name))
            names.append(name);
    }
    return names;
}

} // namespace FileTypeIcon
