#pragma once

#include <QString>
#include <QStringList>

// The desktop's icon for a file, by the file's type: the icon theme's names for
// that type, the most particular first (its own icon, then its family's, such as
// "image-jpeg" then "image-x-generic"). The type comes from the file's content
// where it can be read, else from its name; an unknown type gives the names of
// "application/octet-stream". Safe on any thread; reads at most the file's start.
namespace FileTypeIcon {

QStringList iconNames(const QString& path);

} // namespace FileTypeIcon
