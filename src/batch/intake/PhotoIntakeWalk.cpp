#include "batch/intake/PhotoIntakeWalk.h"

#include "base/Logging.h"
#include "batch/intake/DBOperations.h"
#include "batch/intake/DataFiller.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace {

QString lastComponent(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QByteArray joined(const QByteArray& folder, const char* name)
{
    QByteArray path = folder;
    if (!path.endsWith('/'))
        path += '/';
    return path + name;
}

bool isSpecialFile(mode_t mode)
{
    return S_ISFIFO(mode) || S_ISSOCK(mode) || S_ISCHR(mode) || S_ISBLK(mode);
}

bool isSpecialEntry(unsigned char type)
{
    return type == DT_FIFO || type == DT_SOCK || type == DT_CHR || type == DT_BLK;
}

// Linux names are bytes. A name that is no UTF-8 has no text that would reach the
// same file again, so it cannot become a photo of the list.
bool isUtf8(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

} // namespace

PhotoIntakeWalk::PhotoIntakeWalk(
    QSet<QString> pathsInBatch, Options options, const std::atomic<bool>& stop, PhotoLibraryAlertHandler onLibraryAlert)
    : m_known(std::move(pathsInBatch))
    , m_options(std::move(options))
    , m_stop(stop)
    , m_onLibraryAlert([this, onAlert = std::move(onLibraryAlert)](const PhotoLibraryAlert& alert) {
        ++m_counts.libraryAlertCount;
        if (onAlert)
            onAlert(alert);
    })
    , m_acceptance(m_options.fileType)
{
}

bool PhotoIntakeWalk::isPhotosLibraryName(const QString& name)
{
    return name.endsWith(QLatin1String(".photoslibrary")) || name.endsWith(QLatin1String(".migratedphotolibrary"));
}

bool PhotoIntakeWalk::isOlderLibraryName(const QString& name)
{
    return name.endsWith(QLatin1String(".photolibrary"));
}

bool PhotoIntakeWalk::isLibraryName(const QByteArray& name)
{
    return name.endsWith(".photoslibrary") || name.endsWith(".migratedphotolibrary") || name.endsWith(".photolibrary");
}

void PhotoIntakeWalk::run(const QStringList& paths, const AcceptedSink& onAccepted)
{
    m_sink = &onAccepted;
    for (const QString& path : paths) {
        if (m_limitExceeded || stopRequested())
            break;
        walkChosenPath(path);
    }
    m_sink = nullptr;
}

bool PhotoIntakeWalk::stopRequested()
{
    if (m_stop.load(std::memory_order_relaxed))
        m_stopped = true;
    return m_stopped;
}

void PhotoIntakeWalk::walkChosenPath(const QString& path)
{
    const QByteArray bytes = QFile::encodeName(path);
    struct stat info { };
    const bool exists = ::stat(bytes.constData(), &info) == 0;
    if (exists && isSpecialFile(info.st_mode)) {
        refuse(path, PhotoVerdict::NotAFile);
        return;
    }
    if (!exists || !S_ISDIR(info.st_mode)) {
        // A file, or a path that does not exist: the rules decide.
        offer(path);
        return;
    }
    const QString name = lastComponent(path);
    if (isPhotosLibraryName(name)) {
        qCInfo(lcBatch) << "counting photos for photos ==" << m_accepted;
        // Two versions of one master are two entries with one image path: the
        // second meets the duplicate test.
        QSet<PhotoLibraryEntry> seen;
        QStringList imagePaths;
        for (const PhotoLibraryEntry& entry : DBOperations::getPhotoslibraryPath(path, m_onLibraryAlert, &m_stop)) {
            if (!seen.contains(entry)) {
                seen.insert(entry);
                imagePaths.append(entry.imagePath);
            }
        }
        walkLibraryPaths(path, imagePaths);
    } else if (isOlderLibraryName(name)) {
        DataFiller filler(m_onLibraryAlert, &m_stop);
        filler.setLibPath(path);
        filler.fetchImagesFromLib(path);
        QStringList imagePaths = filler.arrImagePaths();
        imagePaths.removeDuplicates();
        walkLibraryPaths(path, imagePaths);
        qCInfo(lcBatch) << "counting photos for iphoto ==" << m_accepted;
    } else {
        walkFolder(bytes);
    }
}

void PhotoIntakeWalk::walkLibraryPaths(const QString& library, const QStringList& imagePaths)
{
    // A library's database and lists are data anyone can craft: a path in them
    // that leaves the library (through "..", an absolute path or a link) would
    // let the batch edit a file the user never chose.
    const QString root = QFileInfo(library).canonicalFilePath();
    for (const QString& imagePath : imagePaths) {
        if (stopRequested())
            return;
        // A library lists photos it no longer holds: they are passed over without a count.
        if (!QFileInfo::exists(imagePath))
            continue;
        const QString resolved = QFileInfo(imagePath).canonicalFilePath();
        if (root.isEmpty() || !resolved.startsWith(root + QLatin1Char('/'))) {
            qCWarning(lcBatch).noquote() << "Photo library" << library
                                         << "lists a file outside it, not added:" << imagePath;
            refuse(imagePath, PhotoVerdict::OutsideLibrary);
            continue;
        }
        if (!offer(imagePath))
            return;
    }
}

void PhotoIntakeWalk::walkFolder(const QByteArray& folder)
{
    // The whole folder is listed first and then offered, as one enumeration does.
    QList<QByteArray> files;
    collectFiles(folder, files);
    for (const QByteArray& file : files) {
        if (m_limitExceeded || stopRequested())
            return;
        offerFileName(file);
    }
}

void PhotoIntakeWalk::collectFiles(const QByteArray& folder, QList<QByteArray>& files)
{
    if (stopRequested())
        return;
    DIR* dir = ::opendir(folder.constData());
    if (!dir) {
        // Only this folder is lost; the walk goes on with its siblings.
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        qCWarning(lcBatch).noquote() << QStringLiteral("[Error] %1 (%2)").arg(reason, QString::fromUtf8(folder));
        ++m_counts.unreadableFolderCount;
        return;
    }
    struct Entry {
        QByteArray name;
        bool folder;
        bool special = false;
    };
    QList<Entry> entries;
    while (const dirent* item = ::readdir(dir)) {
        if (item->d_name[0] == '.')
            continue; // hidden, and "." and ".."
        const QByteArray path = joined(folder, item->d_name);
        bool isDir = item->d_type == DT_DIR;
        bool special = isSpecialEntry(item->d_type);
        if (item->d_type == DT_UNKNOWN || item->d_type == DT_LNK) {
            struct stat info { };
            if (::lstat(path.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
                struct stat target { };
                if (::stat(path.constData(), &target) == 0 && S_ISDIR(target.st_mode))
                    continue; // a link to a folder is never followed
                isDir = false;
                special = isSpecialFile(target.st_mode);
            } else {
                isDir = S_ISDIR(info.st_mode);
                special = isSpecialFile(info.st_mode);
            }
        }
        entries.append({ QByteArray(item->d_name), isDir, special });
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    for (const Entry& entry : entries) {
        const QByteArray path = joined(folder, entry.name.constData());
        if (!entry.folder) {
            files.append(path);
            if (entry.special)
                m_notFiles.insert(path);
        } else if (!isLibraryName(entry.name))
            collectFiles(path, files);
    }
}

void PhotoIntakeWalk::offerFileName(const QByteArray& path)
{
    if (!isUtf8(path)) {
        qCWarning(lcBatch) << "cannot add a file whose name is not UTF-8:" << QString::fromUtf8(path);
        refuse(QString::fromUtf8(path), PhotoVerdict::UndecodableName);
        if (m_options.onUndecodableName)
            m_options.onUndecodableName(path);
        return;
    }
    if (m_notFiles.contains(path)) {
        refuse(QString::fromUtf8(path), PhotoVerdict::NotAFile);
        return;
    }
    offer(QString::fromUtf8(path));
}

void PhotoIntakeWalk::refuse(const QString& path, PhotoVerdict verdict)
{
    if (m_options.onRefused)
        m_options.onRefused(path, verdict);
    ++m_counts.damagedFileCount;
    if (verdict == PhotoVerdict::AlreadyInBatch) {
        ++m_counts.alreadyExistsPhotosCount;
        m_counts.isPhotosAlreadyAdded = true;
    } else if (verdict == PhotoVerdict::OutsideLibrary) {
        ++m_counts.outsideLibraryCount; // the user hears this reason, not "damaged or not supported"
    } else {
        m_counts.isPhotoFormatNotSupported = true;
    }
}

bool PhotoIntakeWalk::offer(const QString& path)
{
    if (m_limitExceeded || m_stopped)
        return false;
    const PhotoVerdict verdict = m_known.contains(path) ? PhotoVerdict::AlreadyInBatch : m_acceptance.typeVerdict(path);
    if (verdict != PhotoVerdict::Accepted) {
        refuse(path, verdict);
        return true;
    }
    if (m_accepted >= m_options.maxPhotos) {
        m_limitExceeded = true;
        return false;
    }
    m_known.insert(path);
    ++m_accepted;
    (*m_sink)(path);
    // A stop takes effect after the photo in hand.
    return !stopRequested();
}
