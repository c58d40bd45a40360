#pragma once

#include "batch/naming/OutputRenamingOptions.h"

#include <QDateTime>
#include <QList>
#include <QtGlobal>
#include <algorithm>
#include <memory>
#include <optional>

class PhotoFile;

// The counts and times of the current or last batch run, as the progress sheet,
// the bottom line and the summary show them. Changed on the main thread only.
struct BatchRunState {
    // The progress step's statuses: what one finished photo adds to.
    enum ProgressStatus : int { NotProcessed = 0, Processed = 1, ProcessedWithError = 2 };

    qint64 runSize = 0; // photos of the run
    qint64 handled = 0; // photos whose write has finished
    qint64 succeeded = 0;
    qint64 failed = 0; // every failing flag, 7 included
    qint64 notProcessed = 0;

    bool running = false;
    bool isForRestore = false;
    bool stopRequested = false;
    bool endedOnLowSpace = false; // the summary then waits for the low-space alert's OK

    QDateTime startedAt; // UTC
    std::optional<QDateTime> endedAt; // set when the last photo in hand has finished

    // The run's options (output folder, keep-source choice) and its photos, for the output location.
    OutputRenamingOptions options;
    QList<std::shared_ptr<PhotoFile>> photos;

    // Photos neither finished nor failed: those a stop or low space left out.
    qint64 skipped() const { return runSize - notProcessed - succeeded - failed; }

    // handled x 100 / run size, whole percent; 0 for a run without photos.
    qint64 percentDone() const { return runSize > 0 ? handled * 100 / runSize : 0; }

    // Whole seconds from the start to now, or to the end once the run has ended.
    qint64 elapsedSeconds(const QDateTime& now) const
    {
        if (!startedAt.isValid())
            return 0;
        const QDateTime until = endedAt ? *endedAt : now;
        return std::max<qint64>(0, startedAt.secsTo(until));
    }
};
