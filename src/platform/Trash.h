#pragma once

#include <QString>
#include <QStringList>

// The freedesktop.org trash: a path is in the trash when it lies in the user's home
// trash ($XDG_DATA_HOME/Trash, by default ~/.local/share/Trash) or in one of the
// trash folders at the top of the volume that holds it (".Trash-<uid>" and
// ".Trash/<uid>"). Paths are compared as they are spelt on Linux, case-sensitively;
// a path is also compared after resolving symbolic links, so a link into the trash
// counts as in it.
bool isPathInTrash(const QString& path);
// True when any of the paths is in the trash: an adding of several paths is refused
// as a whole, whichever of them lies there.
bool anyPathInTrash(const QStringList& paths);

// The trash folders that may hold the path: the home trash first, then those at the
// top of the path's volume. Absolute and cleaned; whether they exist is not checked.
QStringList trashDirectoriesForPath(const QString& path);
