#include "BenchCommands.h"

#include "BenchWriting.h"
#include "Helper/Utils.h"
#include "model/PhotoFile.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QSet>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

QSet<QString> photoExtensions()
{
    QSet<QString> extensions;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        extensions.insert(QString::fromLatin1(format).toLower());
    // Raw, HEIF and vector formats that exiv2, libheif or our own size readers
    // handle without a Qt plugin.
    for (const char* extension : { "jpg", "jpeg", "tif", "tiff", "png", "heic", "heif", "avif", "cr2", "cr3", "crw",
             "nef", "nrw", "pef", "sr2", "srf", "arw", "orf", "dcr", "raw", "rw2", "raf", "dng", "mrw", "srw", "x3f",
             "3fr", "eps", "pct", "pict", "jpc", "jp2", "ptif", "pgm", "pnm", "ppm", "webp", "gif", "bmp", "psd" })
        extensions.insert(QString::fromLatin1(extension));
    return extensions;
}

QString rate(double count, double seconds)
{
    return seconds > 0 ? QString::number(count / seconds, 'f', 1) : u"inf"_s;
}

int runRead(const BenchArguments& arguments, QTextStream& out)
{
    QElapsedTimer timer;
    timer.start();
    const QStringList paths = benchPhotoPaths(arguments.sourceDir);
    for (const QString& path : paths) {
        const PhotoFile photo(path, false);
        // The batch list refuses a photo without a pixel size.
        if (photo.width <= 0 || photo.height <= 0)
            out << "no pixel size\t" << path << '\n';
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    out << paths.size() << " photos, " << QString::number(seconds, 'f', 3) << " s, "
        << rate(double(paths.size()), seconds) << " photos/s";
    if (!paths.isEmpty())
        out << ", " << QString::number(seconds * 1000 / double(paths.size()), 'f', 3) << " ms/photo";
    out << '\n';
    return 0;
}

int runThumbs(const BenchArguments& arguments, QTextStream& out)
{
    QElapsedTimer timer;
    timer.start();
    const QStringList paths = benchPhotoPaths(arguments.sourceDir);
    const Utils& utils = Utils::sharedUtils();
    for (const QString& path : paths) {
        if (utils.getThumbnailImageAtFilePath(path, QSizeF(96, 70)).isNull())
            out << "no thumbnail\t" << path << '\n';
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    out << paths.size() << " photos, " << QString::number(seconds, 'f', 3) << " s, "
        << rate(double(paths.size()), seconds) << " photos/s\n";
    return 0;
}

} // namespace

QStringList benchPhotoPaths(const QString& dir)
{
    static const QSet<QString> extensions = photoExtensions();
    QStringList paths;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (extensions.contains(QFileInfo(path).suffix().toLower()))
            paths.append(path);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

int runBenchCommand(const BenchArguments& arguments, QTextStream& out, QTextStream& err)
{
    if (!QFileInfo(arguments.sourceDir).isDir()) {
        err << "velloran-bench: no folder " << arguments.sourceDir << '\n';
        return 2;
    }
    int code = 0;
    switch (arguments.command) {
    case BenchArguments::Command::Read:
        code = runRead(arguments, out);
        break;
    case BenchArguments::Command::Thumbs:
        code = runThumbs(arguments, out);
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
