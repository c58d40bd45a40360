#pragma once

#include "BenchArguments.h"
#include "batch/run/BatchRunner.h"

#include <QStringList>
#include <QTextStream>

class PhotoFile;

// The code of a photo that no write answered: the run ended before it, or a
// restore has nothing to restore it from. Written photos are 0 (or 7).
constexpr int kBenchNotReachedCode = -1;

// One photo's line: CODE, path (the output, else the source) and message. A
// photo the run did not reach says why, when the run knows (whyNotReached).
QString benchPhotoLine(
    const PhotoFile& photo, bool reached, const QStringList& warnings, const QString& whyNotReached = QString());

// The write and restore commands: each photo named by the output path builder and
// written by the metadata writer, one after another as the batch worker does.
// freeSpace replaces the file system's answer to the run's free-space guard (tests).
int runWriting(const BenchArguments& arguments, QTextStream& out, QTextStream& err,
    const BatchRunner::FreeSpaceProbe& freeSpace = {});
