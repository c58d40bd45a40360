#include "batch/run/BatchTexts.h"

#include "services/ExifWriter.h"
#include "services/Utils.h"
#include "batch/run/BatchRunState.h"
#include "model/PhotoFile.h"

#include <QFileInfo>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

QString plural(qint64 count)
{
    return count > 1 ? u"s"_s : QString();
}

bool isDigitAt(const QString& text, qsizetype index)
{
    return index >= 0 && index < text.size() && text.at(index).isDigit();
}

} // namespace

ColouredText BatchTexts::coloured(const QString& text, const QStringList& numbers)
{
    ColouredText result { text, {} };
    for (const QString& number : numbers) {
        if (number.trimmed().isEmpty())
            continue;
        for (qsizetype at = text.indexOf(number); at >= 0; at = text.indexOf(number, at + 1)) {
            // A number that starts or ends with a digit must not run on into another digit.
            const bool joinsBefore = number.front().isDigit() && isDigitAt(text, at - 1);
            const bool joinsAfter = number.back().isDigit() && isDigitAt(text, at + number.size());
            if (!joinsBefore && !joinsAfter)
                result.accentRanges.append({ at, number.size() });
        }
    }
    std::sort(result.accentRanges.begin(), result.accentRanges.end(),
        [](const ColouredText::Range& a, const ColouredText::Range& b) { return a.start < b.start; });
    // A range inside another one (the failed count inside the elapsed text) adds nothing.
    QList<ColouredText::Range> merged;
    for (const ColouredText::Range& range : result.accentRanges) {
        if (!merged.isEmpty() && range.start < merged.back().start + merged.back().length) {
            const qsizetype end = std::max(merged.back().start + merged.back().length, range.start + range.length);
            merged.back().length = end - merged.back().start;
        } else {
            merged.append(range);
        }
    }
    result.accentRanges = merged;
    return result;
}

ColouredText BatchTexts::batchLine(const BatchRunState& state)
{
    const QString size = QString::number(state.runSize);
    const QString succeeded = QString::number(state.succeeded);
    return coloured(u"Batch Count: %1  |  Photos Processed: %2"_s.arg(size, succeeded), { size, succeeded });
}

QString BatchTexts::elapsedText(const BatchRunState& state, const QDateTime& now)
{
    // A run of under a second still shows a number, set as the shorter texts are.
    const QString text = Utils::sharedUtils().timeFormattedString(state.elapsedSeconds(now));
    return text.isEmpty() ? u" 0 seconds"_s : text;
}

ColouredText BatchTexts::bottomLine(const BatchRunState& state, const QDateTime& now)
{
    const QString percent = QString::number(state.percentDone()) + u" %"_s;
    const QString failed = QString::number(state.failed);
    const QString elapsed = elapsedText(state, now);
    const QString text = u"Process Completed: %1  |  Error%2 reported: %3  |  Time elapsed: %4 approx."_s.arg(
        percent, plural(state.failed), failed, elapsed);
    return coloured(text, { percent, failed, elapsed });
}

OutputLocation BatchTexts::outputLocation(const BatchRunState& state)
{
    OutputLocation location;
    location.folder = state.options.ouptputFolderPathName;
    if (state.options.sourseFolderSelected != 1 || state.photos.isEmpty())
        return location;
    const QString first = QFileInfo(state.photos.front()->filePath).absolutePath();
    const bool oneFolder = std::all_of(state.photos.begin(), state.photos.end(),
        [&first](const auto& photo) { return QFileInfo(photo->filePath).absolutePath() == first; });
    if (oneFolder) {
        location.folder = first;
    } else {
        location.showLink = false;
        location.showNote = true;
    }
    return location;
}

SummaryTexts BatchTexts::summary(const BatchRunState& state, qint64 warnings, const QDateTime& now)
{
    SummaryTexts texts;
    texts.title = summaryTitle(state);
    texts.batchCount = QString::number(state.runSize);
    texts.processed = QString::number(state.succeeded);
    texts.skipped = QString::number(state.skipped());
    texts.elapsed = elapsedText(state, now);
    texts.errorsAndWarnings = errorsAndWarningsLine(state.failed, warnings);
    texts.showsErrorTable = showsErrorTable(state.failed, warnings);
    texts.height = summaryHeight(state.failed, warnings);
    texts.location = outputLocation(state);
    return texts;
}

QString BatchTexts::summaryTitle(const BatchRunState& state)
{
    return state.skipped() > 0 ? u"Batch Process Stopped"_s : u"Batch Process Finished"_s;
}

QString BatchTexts::errorsAndWarningsLine(qint64 failed, qint64 warnings)
{
    return u"Error%1 Found(%2) Warning%3 Found(%4)"_s.arg(plural(failed))
        .arg(failed)
        .arg(plural(warnings))
        .arg(warnings);
}

SummaryRow BatchTexts::summaryRow(const PhotoFile& record)
{
    SummaryRow row;
    row.name = record.filePath;
    row.icon = u"errorFile.png"_s;
    row.colour = SummaryRow::Colour::Red;
    row.message = record.processMsg;
    switch (record.processStatus) {
    case MetadataWriteResult::SourceMissing:
        row.message = u"This photo is not available at the Source location."_s;
        break;
    case MetadataWriteResult::RawCameraKept:
        row.icon = u"warningFile.png"_s;
        row.colour = SummaryRow::Colour::Yellow;
        row.message = u"Camera related info(Camera make, Camera model name) can't write for %1 image format"_s.arg(
            record.fileExtension.toUpper());
        break;
    case PhotoRenameNoDate:
    case PhotoRenameNoLocation:
    case PhotoRenameAdjusted:
    case PhotoChangeNotMade:
        row.icon = u"warningFile.png"_s;
        row.colour = SummaryRow::Colour::Yellow;
        break;
    default:
        break;
    }
    return row;
}
