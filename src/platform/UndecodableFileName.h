#pragma once

#include <QString>

// A file whose name is not valid UTF-8 cannot be named by a QString: Qt turns the
// invalid bytes into U+FFFD, and the text then names no file at all. Such a path
// must be reported, never mistaken for a missing file or dropped in silence.

// Whether the path text stands for a file name that was not valid UTF-8: it holds
// U+FFFD and no file answers to it.
bool isUndecodableFileName(const QString& path);

// The message for the user, naming the file as well as its text allows.
QString undecodableFileNameMessage(const QString& path);
