#pragma once

#include <QString>

// The path under which a photo may be opened for reading, or "" when it may not.
//
// Only regular files are opened: a FIFO or a device named like a photo would block
// the reading thread forever. The answer is absolute, so that exiv2 never takes a
// relative "http://..." text for a remote file.
QString openablePhotoPath(const QString& path);
