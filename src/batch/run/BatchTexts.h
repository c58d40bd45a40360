#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class PhotoFile;
struct BatchRunState;

// A line of the batch texts: dark grey, with the numbers it shows in the accent blue.
struct ColouredText {
    struct Range {
        qsizetype start = 0;
        qsizetype length = 0;
        bool operator==(const Range&) const = default;
    };

    QString text;
    QList<Range> accentRanges; // in order, never overlapping
};

// Where the summary and the bottom line point for the run's outputs: the folder
// link, or (keep-source runs over photos of several folders) the note instead.
struct OutputLocation {
    bool showLink = true;
    QString folder; // the link's text: the folder the outputs went to
    bool showNote = false;
};

// One row of the summary's error and warning table.
struct SummaryRow {
    enum class Colour { Red, Yellow };

    QString name; // the photo's path, also its tool tip
    QString icon; // "errorFile.png" or "warningFile.png"
    Colour colour = Colour::Red;
    QString message; // also its tool tip
};

// Everything the summary sheet writes, for one run.
struct SummaryTexts {
    QString title;
    QString batchCount;
    QString processed;
    QString skipped;
    QString elapsed;
    QString errorsAndWarnings; // shown only with showsErrorTable
    bool showsErrorTable = false;
    int height = 250;
    OutputLocation location;
};

// The texts of a batch run: the batch line, the bottom line, the summary sheet
// and its table. Plain functions of the run's counts, so that every window shows
// the same words for the same run.
class BatchTexts {
public:
    // "Batch Count: 12  |  Photos Processed: 10", both numbers coloured.
    static ColouredText batchLine(const BatchRunState& state);

    // "Process Completed: 50 %  |  Errors reported: 2  |  Time elapsed:  3 seconds approx."
    // with the percentage, the error count and the elapsed text coloured.
    static ColouredText bottomLine(const BatchRunState& state, const QDateTime& now);

    // The elapsed text of the run: frozen once it has ended.
    static QString elapsedText(const BatchRunState& state, const QDateTime& now);

    // Colours every stand-alone occurrence of each number text: one that is not part
    // of a longer number ("1" in "10" or "2" in "12 %" is not).
    static ColouredText coloured(const QString& text, const QStringList& numbers);

    // The summary of a run that has ended; warnings is the number of warning records.
    static SummaryTexts summary(const BatchRunState& state, qint64 warnings, const QDateTime& now);

    // The folder link or the note, for the run's options and photos. A keep-source run
    // names the folder of its photos when all of them come from one folder (by full
    // path: two folders of the same name elsewhere are two folders).
    static OutputLocation outputLocation(const BatchRunState& state);

    // "Batch Process Stopped" when photos were left out, else "Batch Process Finished".
    static QString summaryTitle(const BatchRunState& state);

    // "Error Found(1) Warning Found(0)", "Errors Found(2) Warnings Found(2)": the
    // failed count (flag 7 included) and the warning records.
    static QString errorsAndWarningsLine(qint64 failed, qint64 warnings);

    // The line and the table are shown, and the sheet is tall, only with an error or a warning.
    static bool showsErrorTable(qint64 failed, qint64 warnings) { return failed > 0 || warnings > 0; }
    static int summaryHeight(qint64 failed, qint64 warnings) { return showsErrorTable(failed, warnings) ? 450 : 250; }

    // How the table shows an error or warning record, by its status: 1 and 2, 8 and any
    // other code as errors; 7 (written, a raw file's camera kept) and the renaming
    // warnings 10 to 12 and a change not made (13) with the warning icon. 7 still
    // counts as an error.
    static SummaryRow summaryRow(const PhotoFile& record);
};
