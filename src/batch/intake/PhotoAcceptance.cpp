#include "batch/intake/PhotoAcceptance.h"

#include <QCoreApplication>
#include <QMimeDatabase>
#include <QMimeType>

const QStringList& PhotoAcceptance::additionalImageExtensions()
{
    static const QStringList list { QStringLiteral("eps"), QStringLiteral("jpc"), QStringLiteral("p7"),
        QStringLiteral("pc"), QStringLiteral("pgm"), QStringLiteral("pnm"), QStringLiteral("ppm"),
        QStringLiteral("ptif"), QStringLiteral("ui"), QStringLiteral("pct"), QStringLiteral("EPS"),
        QStringLiteral("JPC"), QStringLiteral("P7"), QStringLiteral("PC"), QStringLiteral("PGM"), QStringLiteral("PNM"),
        QStringLiteral("PPM"), QStringLiteral("PTIF"), QStringLiteral("UI"), QStringLiteral("PCT") };
    return list;
}

const QStringList& PhotoAcceptance::unsupportedImageExtensions()
{
    // EPS, PCT and PPM are also additional image extensions: they pass the type
    // rule and are refused here, always.
    static const QStringList list { QStringLiteral("CRW"), QStringLiteral("3FR"), QStringLiteral("KDC"),
        QStringLiteral("MEF"), QStringLiteral("RW2"), QStringLiteral("X3F"), QStringLiteral("SIT"),
        QStringLiteral("AI"), QStringLiteral("PS"), QStringLiteral("EPS"), QStringLiteral("ICO"),
        QStringLiteral("ICNS"), QStringLiteral("TGA"), QStringLiteral("PCT"), QStringLiteral("PICT"),
        QStringLiteral("BMP"), QStringLiteral("GIF"), QStringLiteral("PDF"), QStringLiteral("SGI"),
        QStringLiteral("TGA"), QStringLiteral("WMBP"), QStringLiteral("ERF"), QStringLiteral("ARW"),
        QStringLiteral("DCR"), QStringLiteral("PPM"), QStringLiteral("RAW"), QStringLiteral("RAF"),
        QStringLiteral("MRW"), QStringLiteral("ORF"), QStringLiteral("WEBP"), QStringLiteral("XBM") };
    return list;
}

QString PhotoAcceptance::extensionOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash)
        return QString();
    return path.mid(dot + 1);
}

PhotoAcceptance::PhotoAcceptance(QString fileType)
    : m_fileType(std::move(fileType))
{
}

bool PhotoAcceptance::isImageExtension(const QString& extension)
{
    if (extension.isEmpty())
        return false;
    const auto known = m_imageExtensions.constFind(extension);
    if (known != m_imageExtensions.constEnd())
        return *known;
    // The name alone decides: the file is never opened, so a walk over a slow
    // disk costs no reads for the files it refuses.
    static const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForFile(QStringLiteral("x.") + extension, QMimeDatabase::MatchExtension);
    bool image = type.name().startsWith(QLatin1String("image/"));
    for (const QString& ancestor : type.allAncestors())
        image = image || ancestor.startsWith(QLatin1String("image/"));
    m_imageExtensions.insert(extension, image);
    return image;
}

PhotoVerdict PhotoAcceptance::typeVerdict(const QString& path)
{
    const QString extension = extensionOf(path);
    if (!isImageExtension(extension) && !additionalImageExtensions().contains(extension))
        return PhotoVerdict::NotAnImage;
    if (unsupportedImageExtensions().contains(extension.toUpper()))
        return PhotoVerdict::Unsupported;
    if (m_fileType != QLatin1String("ALL") && !path.endsWith(m_fileType))
        return PhotoVerdict::FilteredOut;
    return PhotoVerdict::Accepted;
}

QStringList PhotoAcceptance::addPhotosNameFilters()
{
    static const QStringList extensions = [] {
        const QStringList lower { // images Qt and the metadata library read
            "jpg", "jpeg", "jpe", "jfif", "png", "tif", "tiff", "gif", "bmp", "webp", "heic", "heif", "hif", "avif",
            "jp2", "j2k", "jpf", "psd", "exv", "ico", "tga", "xbm", "xpm", "svg", "pbm",
            // camera raw files
            "dng", "cr2", "cr3", "crw", "nef", "nrw", "arw", "srf", "sr2", "orf", "rw2", "raf", "pef", "ptx", "x3f",
            "srw", "3fr", "erf", "kdc", "dcr", "mrw", "mos", "iiq", "rwl", "mef",
            // further kinds the panel offers
            "eps", "jpc", "p7", "pc", "pgm", "pnm", "ppm", "ptif", "ui", "pct"
        };
        QStringList patterns;
        for (const QString& extension : lower)
            patterns << QStringLiteral("*.") + extension << QStringLiteral("*.") + extension.toUpper();
        return patterns;
    }();
    return { QCoreApplication::translate("PhotoAcceptance", "Images (%1)").arg(extensions.join(QLatin1Char(' '))),
        QCoreApplication::translate("PhotoAcceptance", "All files (*)") };
}

QString photoVerdictText(PhotoVerdict verdict, const QString& path)
{
    const QString extension = PhotoAcceptance::extensionOf(path);
    switch (verdict) {
    case PhotoVerdict::Accepted:
        break;
    case PhotoVerdict::AlreadyInBatch:
        return QStringLiteral("it is in the list already");
    case PhotoVerdict::NotAnImage:
        return extension.isEmpty() ? QStringLiteral("its name has no extension of an image")
                                   : QStringLiteral("\".%1\" is not an image's extension").arg(extension);
    case PhotoVerdict::Unsupported:
        return QStringLiteral("Velloran cannot edit \".%1\" files").arg(extension);
    case PhotoVerdict::FilteredOut:
        return QStringLiteral("it is not of the kind chosen");
    case PhotoVerdict::UndecodableName:
        return QStringLiteral("its name is not valid UTF-8");
    case PhotoVerdict::OutsideLibrary:
        return QStringLiteral("its photo library lists it, but it lies outside the library");
    case PhotoVerdict::NotAFile:
        return QStringLiteral("it is a named pipe (FIFO), socket or device, not a file");
    }
    return {};
}
