#pragma once

#include "BenchArguments.h"

#include <QStringList>
#include <QTextStream>

// Runs one command of velloran-bench, driving the core as the batch does, and
// answers the exit code: 0 when it ran (whatever became of each photo), 2 when a
// settings or renaming file cannot be used. Per-photo lines go to out, complaints
// about the arguments to err.
int runBenchCommand(const BenchArguments& arguments, QTextStream& out, QTextStream& err);

// The photos under dir that the application's adding of that folder takes, in
// its order: the same walk (hidden entries and photo libraries inside it
// skipped, links to folders not followed) and the same acceptance rules; only
// the limit of one adding is lifted. A file whose name is not valid UTF-8 has no
// path that reaches it again: where it may be a photo it is reported on err, one
// line each, and left out. Every other file the walk does not take is given to
// notTaken (may be null) with the reason, in the walk's order. A photo library
// that cannot be read, or only in part, is reported on err with the alert's text.
struct NotTakenFile {
    QString path;
    QString reason;
};
QStringList benchPhotoPaths(const QString& dir, QTextStream& err, QList<NotTakenFile>* notTaken = nullptr);

// The line of a file the list does not take, as read and thumbs print it.
QString notTakenLine(const QString& path, const QString& reason);

// A text as one field of a line: backslash, tab, newline and carriage return
// become \\ \t \n \r, so that every photo keeps to one line of tab-separated
// fields whatever its name.
QString escapedField(QString text);

// Prints one line and flushes it at once, so that a killed run still shows what
// it did.
void printLine(QTextStream& stream, const QString& line);
