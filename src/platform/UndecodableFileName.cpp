#include "platform/UndecodableFileName.h"

#include <QFileInfo>

bool isUndecodableFileName(const QString& path)
{
    return path.contains(QChar::ReplacementCharacter) && !QFileInfo::exists(path);
}

QString undecodableFileNameMessage(const QString& path)
{
    return QStringLiteral("The name of \"%1\" is not valid UTF-8, so the photo cannot be opened; please rename it.")
        .arg(path);
}
