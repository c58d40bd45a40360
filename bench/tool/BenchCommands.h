#pragma once

#include "BenchArguments.h"

#include <QStringList>
#include <QTextStream>

// Runs one command of velloran-bench, driving the core as the batch does, and
// answers the exit code: 0 when it ran (whatever became of each photo), 2 when a
// settings or renaming file cannot be used. Per-photo lines go to out, complaints
// about the arguments to err.
int runBenchCommand(const BenchArguments& arguments, QTextStream& out, QTextStream& err);

// The image files under dir, recursively, in a stable order: files whose
// extension (any case) names a format the readers know. Hidden files count;
// links to folders are not followed.
QStringList benchPhotoPaths(const QString& dir);
