#pragma once

#include "BenchArguments.h"

#include <QStringList>
#include <QTextStream>

class PhotoFile;

// The code of a photo that no write answered: the run ended before it, or a
// restore has nothing to restore it from. Written photos are 0 (or 7).
constexpr int kBenchNotReachedCode = -1;

// One photo's line: CODE, path (the output, else the source) and message.
QString benchPhotoLine(const PhotoFile& photo, bool reached, const QStringList& warnings);

// The write and restore commands: each photo named by the output path builder and
// written by the metadata writer, one after another as the batch worker does.
int runWriting(const BenchArguments& arguments, QTextStream& out, QTextStream& err);
