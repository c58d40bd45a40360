#include "platform/Trash.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>
#include <unistd.h>

namespace {

QString homeTrashDirectory()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    // The XDG base-directory rules ignore a relative $XDG_DATA_HOME.
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(dataHome + QStringLiteral("/Trash"));
}

bool isInside(const QString& path, const QString& folder)
{
    if (path == folder)
        return true;
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    return path.startsWith(prefix);
}

// The nearest existing folder at or above the path: a volume is found only for
// something that exists.
QString nearestExisting(const QString& path)
{
    QString current = path;
    while (!current.isEmpty() && !QFileInfo::exists(current)) {
        const QString parent = QFileInfo(current).path();
        if (parent == current)
            break;
        current = parent;
    }
    return current;
}

bool isInAnyTrash(const QString& path, const QStringList& trashes)
{
    for (const QString& trash : trashes) {
        if (isInside(path, trash))
            return true;
    }
    return false;
}

} // namespace

QStringList trashDirectoriesForPath(const QString& path)
{
    QStringList result { homeTrashDirectory() };
    const QStorageInfo volume(nearestExisting(QDir::cleanPath(QDir(path).absolutePath())));
    if (volume.isValid()) {
        const QString top = volume.rootPath();
        const QString uid = QString::number(::getuid());
        result << QDir::cleanPath(top + QStringLiteral("/.Trash-") + uid)
               << QDir::cleanPath(top + QStringLiteral("/.Trash/") + uid);
    }
    return result;
}

bool isPathInTrash(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QString cleaned = QDir::cleanPath(QDir(path).absolutePath());
    const QStringList trashes = trashDirectoriesForPath(cleaned);
    if (isInAnyTrash(cleaned, trashes))
        return true;

    // A symbolic link into the trash, or a trash reached through a linked home.
    const QString canonical = QFileInfo(cleaned).canonicalFilePath();
    if (canonical.isEmpty())
        return false;
    QStringList canonicalTrashes;
    for (const QString& trash : trashes) {
        const QString resolved = QFileInfo(trash).canonicalFilePath();
        canonicalTrashes << (resolved.isEmpty() ? trash : resolved);
    }
    return isInAnyTrash(canonical, canonicalTrashes);
}

bool anyPathInTrash(const QStringList& paths)
{
    return std::any_of(paths.begin(), paths.end(), [](const QString& path) { return isPathInTrash(path); });
}
