#pragma once

#include <QString>

// What every fuzz target's process needs once, before its first input: the
// application object Qt's plugin lookup expects, the log quiet (the inputs are
// garbage by design; a warning per input would only slow the run), and a work
// folder of its own, on a tmpfs where there is one so that the flush of every
// file written does not wait on a disk. Answers the work folder's path; aborts
// when none can be made. Kept for the life of the process.
QString startFuzzProcess(int* argc, char*** argv, const QString& name);
