#include "batch/intake/PhotoLibraryAlert.h"

#include <QFileInfo>

PhotoLibraryAlert unreadableLibraryAlert(const QString& libraryPath, const QString& reason)
{
    return { PhotoLibraryAlert::Kind::LibraryUnreadable,
        QStringLiteral("The photo library \"%1\" could not be read.").arg(QFileInfo(libraryPath).fileName()), reason };
}
