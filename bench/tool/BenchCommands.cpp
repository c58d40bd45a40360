#include "BenchCommands.h"

#include "BenchWriting.h"
#include "services/Utils.h"
#include "batch/intake/PhotoIntakeWalk.h"
#include "model/PhotoFile.h"
#include "platform/OpenablePhotoPath.h"
#include "platform/UndecodableFileName.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace {

QString rate(double count, double seconds)
{
    return seconds > 0 ? QString::number(count / seconds, 'f', 1) : u"inf"_s;
}

void printNotTaken(const QList<NotTakenFile>& notTaken, QTextStream& out)
{
    for (const NotTakenFile& file : notTaken)
        printLine(out, notTakenLine(file.path, file.reason));
}

// A photo that gave nothing: one the list would not take (no regular file, not
// readable) says why; any other failed.
void printFailure(QTextStream& out, const QString& failure, const QString& path)
{
    const QString problem = regularFileProblem(path);
    printLine(out, problem.isEmpty() ? failure + u"\t"_s + escapedField(path) : notTakenLine(path, problem));
}

int runRead(const BenchArguments& arguments, QTextStream& out, QTextStream& err)
{
    QList<NotTakenFile> notTaken;
    QElapsedTimer timer;
    timer.start();
    const QStringList paths = benchPhotoPaths(arguments.sourceDir, err, &notTaken);
    printNotTaken(notTaken, out);
    for (const QString& path : paths) {
        const PhotoFile photo(path, false);
        // The batch list refuses a photo without a pixel size.
        if (photo.width <= 0 || photo.height <= 0)
            printFailure(out, u"no pixel size"_s, path);
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    out << paths.size() << " photos, " << QString::number(seconds, 'f', 3) << " s, "
        << rate(double(paths.size()), seconds) << " photos/s";
    if (!paths.isEmpty())
        out << ", " << QString::number(seconds * 1000 / double(paths.size()), 'f', 3) << " ms/photo";
    printLine(out, QString());
    return 0;
}

int runThumbs(const BenchArguments& arguments, QTextStream& out, QTextStream& err)
{
    QList<NotTakenFile> notTaken;
    QElapsedTimer timer;
    timer.start();
    const QStringList paths = benchPhotoPaths(arguments.sourceDir, err, &notTaken);
    printNotTaken(notTaken, out);
    const Utils& utils = Utils::sharedUtils();
    for (const QString& path : paths) {
        if (utils.getThumbnailImageAtFilePath(path, QSizeF(96, 70)).isNull())
            printFailure(out, u"no thumbnail"_s, path);
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    out << paths.size() << " photos, " << QString::number(seconds, 'f', 3) << " s, "
        << rate(double(paths.size()), seconds) << " photos/s";
    printLine(out, QString());
    return 0;
}

} // namespace

QString notTakenLine(const QString& path, const QString& reason)
{
    return u"not taken\t%1\t%2"_s.arg(escapedField(path), escapedField(reason));
}

QStringList benchPhotoPaths(const QString& dir, QTextStream& err, QList<NotTakenFile>* notTaken)
{
    // The application's own walk and acceptance rules; only the limit of one adding is lifted.
    QStringList undecodable;
    PhotoIntakeWalk::Options options;
    options.maxPhotos = std::numeric_limits<int>::max();
    PhotoAcceptance acceptance;
    options.onUndecodableName = [&](const QByteArray& file) {
        const QString path = QString::fromUtf8(file);
        // The undecodable bytes may stand in the extension itself: such a name may be a photo's too.
        if (acceptance.typeVerdict(path) == PhotoVerdict::Accepted
            || PhotoAcceptance::extensionOf(path).contains(QChar::ReplacementCharacter))
            undecodable.append(path);
    };
    if (notTaken) {
        options.onRefused = [notTaken](const QString& path, PhotoVerdict verdict) {
            // A name that is not UTF-8 has its own line on err.
            if (verdict != PhotoVerdict::UndecodableName)
                notTaken->append({ path, photoVerdictText(verdict, path) });
        };
    }
    const std::atomic<bool> stop = false;
    // A photo library that could not be read, or only in part, says so as the application's alert does.
    PhotoIntakeWalk walk({}, options, stop, [&err](const PhotoLibraryAlert& alert) {
        printLine(err, u"velloran-bench: "_s + escapedField(alert.message + u' ' + alert.informativeText));
    });
    QStringList paths;
    walk.run({ QDir::cleanPath(dir) }, [&](const QString& path) { paths.append(path); });
    std::sort(undecodable.begin(), undecodable.end());
    for (const QString& path : undecodable)
        printLine(err, u"velloran-bench: "_s + escapedField(undecodableFileNameMessage(path)));
    return paths;
}

QString escapedField(QString text)
{
    // The backslash first, so that the escapes made next are not escaped again.
    text.replace(u'\\', u"\\\\"_s);
    text.replace(u'\t', u"\\t"_s);
    text.replace(u'\n', u"\\n"_s);
    text.replace(u'\r', u"\\r"_s);
    return text;
}

void printLine(QTextStream& stream, const QString& line)
{
    stream << line << '\n';
    stream.flush();
}

int runBenchCommand(const BenchArguments& arguments, QTextStream& out, QTextStream& err)
{
    if (!QFileInfo(arguments.sourceDir).isDir()) {
        printLine(err, u"velloran-bench: no folder "_s + escapedField(arguments.sourceDir));
        return 2;
    }
    int code = 0;
    switch (arguments.command) {
    case BenchArguments::Command::Read:
        code = runRead(arguments, out, err);
        break;
    case BenchArguments::Command::Thumbs:
        code = runThumbs(arguments, out, err);
        break;
    case BenchArguments::Command::Write:
    case BenchArguments::Command::Restore:
        code = runWriting(arguments, out, err);
        break;
    }
    out.flush();
    err.flush();
    return code;
}
