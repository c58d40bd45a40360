#include "BenchCommands.h"

#include "BenchWriting.h"
#include "Helper/Utils.h"
#include "model/PhotoFile.h"
#include "platform/UndecodableFileName.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QSet>
#include <algorithm>
#include <dirent.h>
#include <string_view>
#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QSet<QString> photoExtensions()
{
    QSet<QString> extensions;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        extensions.insert(QString::fromLatin1(format).toLower());
    // Raw, HEIF and vector formats that exiv2, libheif or our own size readers
    // handle without a Qt plugin.
    for (const char* extension :
        { "jpg", "jpeg", "tif", "tiff", "png", "heic", "heif", "hif", "avif", "cr2", "cr3", "crw", "nef", "nrw", "pef",
            "sr2", "srf", "arw", "orf", "dcr", "raw", "rw2", "raf", "dng", "mrw", "srw", "x3f", "3fr", "eps", "pct",
            "pict", "jpc", "jp2", "ptif", "pgm", "pnm", "ppm", "webp", "gif", "bmp", "psd" })
        extensions.insert(QString::fromLatin1(extension));
    return extensions;
}

// The files under folder, recursively, by their names' bytes: a name that is not
// valid UTF-8 is listed too (a Qt folder listing leaves it out without a word).
// Links to files count, links to folders are not followed.
void collectFiles(const QByteArray& folder, QList<QByteArray>& files)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    while (const dirent* item = ::readdir(dir)) {
        const std::string_view name = item->d_name;
        // Hidden entries are skipped as the application's adding skips them: a
        // temporary file of an unfinished write is one, and never a photo.
        if (name.front() == '.')
            continue;
        const QByteArray path = (folder.endsWith('/') ? folder : folder + '/') + item->d_name;
        // The entry's type where the file system gives it, else from the file itself.
        bool isFolder = item->d_type == DT_DIR;
        bool isFile = item->d_type == DT_REG;
        if (item->d_type == DT_UNKNOWN || item->d_type == DT_LNK) {
            struct stat info { };
            if (::lstat(path.constData(), &info) != 0)
                continue;
            isFolder = S_ISDIR(info.st_mode);
            isFile = S_ISREG(info.st_mode)
                || (S_ISLNK(info.st_mode) && ::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode));
        }
        if (isFolder)
            collectFiles(path, files);
        else if (isFile)
            files.append(path);
    }
    ::closedir(dir);
}

QString rate(double count, double seconds)
{
    return seconds > 0 ? QString::number(count / seconds, 'f', 1) : u"inf"_s;
}

int runRead(const BenchArguments& arguments, QTextStream& out, QTextStream& err)
{
    QElapsedTimer timer;
    timer.start();
    const QStringList paths = benchPhotoPaths(arguments.sourceDir, err);
    for (const QString& path : paths) {
        const PhotoFile photo(path, false);
        // The batch list refuses a photo without a pixel size.
        if (photo.width <= 0 || photo.height <= 0)
            printLine(out, u"no pixel size\t"_s + escapedField(path));
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
    QElapsedTimer timer;
    timer.start();
    const QStringList paths = benchPhotoPaths(arguments.sourceDir, err);
    const Utils& utils = Utils::sharedUtils();
    for (const QString& path : paths) {
        if (utils.getThumbnailImageAtFilePath(path, QSizeF(96, 70)).isNull())
            printLine(out, u"no thumbnail\t"_s + escapedField(path));
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    out << paths.size() << " photos, " << QString::number(seconds, 'f', 3) << " s, "
        << rate(double(paths.size()), seconds) << " photos/s";
    printLine(out, QString());
    return 0;
}

} // namespace

QStringList benchPhotoPaths(const QString& dir, QTextStream& err)
{
    static const QSet<QString> extensions = photoExtensions();
    QList<QByteArray> files;
    collectFiles(QFile::encodeName(QDir::cleanPath(dir)), files);
    QStringList paths;
    QStringList undecodable;
    for (const QByteArray& file : files) {
        const QString path = QString::fromUtf8(file);
        const QString suffix = QFileInfo(path).suffix().toLower();
        // The undecodable bytes may stand in the extension itself: such a name may be a photo's too.
        if (!extensions.contains(suffix) && !suffix.contains(QChar::ReplacementCharacter))
            continue;
        if (path.toUtf8() == file)
            paths.append(path);
        else
            undecodable.append(path);
    }
    std::sort(paths.begin(), paths.end());
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
