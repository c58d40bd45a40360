#pragma once

#include "BenchArguments.h"

#include <QTextStream>

// The write and restore commands: each photo named by the output path builder and
// written by the metadata writer, one after another as the batch worker does.
int runWriting(const BenchArguments& arguments, QTextStream& out, QTextStream& err);
