#include "batch/intake/DataFiller.h"

#include "base/Logging.h"
#include "platform/OpenablePhotoPath.h"
#include "platform/PlistReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// The library folder: the database path less "Database/apdb/Library.apdb".
QString libraryFolderOf(const QString& dbPath)
{
    const QString apdb = QFileInfo(dbPath).path();
    return QDir::cleanPath(QFileInfo(QFileInfo(apdb).path()).path());
}

// Moves a path written below the archive folder to the same place below the
// library folder. Only a whole leading folder is replaced, so "/a/lib" does not
// touch "/a/library".
QString movedPath(const QString& path, const QString& archivePath, const QString& libraryFolder)
{
    if (!path.startsWith(archivePath))
        return path;
    if (path.size() != archivePath.size() && path.at(archivePath.size()) != u'/')
        return path;
    return libraryFolder + path.mid(archivePath.size());
}

// A file whose reads fail once *stop turns true: the list's reader, which pulls it
// in small pieces, then ends wherever it is, also inside a long value it skips.
class StoppableFile : public QFile {
public:
    StoppableFile(const QString& path, const std::atomic<bool>* stop)
        : QFile(path)
        , m_stop(stop)
    {
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (m_stop && m_stop->load(std::memory_order_relaxed))
            return -1;
        return QFile::readData(data, maxSize);
    }

private:
    const std::atomic<bool>* m_stop;
};

LibraryXmlList::ImageEntry readImageEntry(PlistReader& reader)
{
    LibraryXmlList::ImageEntry entry;
    if (reader.kind() != PlistReader::Kind::Dict) {
        reader.skip();
        return entry;
    }
    QString key;
    while (reader.nextKey(&key)) {
        if (key == u"ImagePath")
            entry.imagePath = reader.readText();
        else if (key == u"ThumbPath")
            entry.thumbPath = reader.readText();
        else
            reader.skip();
    }
    return entry;
}

} // namespace

bool LibraryXmlList::read(const QString& path, LibraryXmlList* list, QString* error, const std::atomic<bool>* stop)
{
    auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
    StoppableFile file(path, stop);
    QString why;
    if (!openRegularFile(file, &why)) {
        *error = QStringLiteral("its list \"%1\" cannot be opened: %2").arg(path, why);
        return false;
    }
    PlistReader reader(&file);
    const bool isDictionary = reader.readRoot() && reader.kind() == PlistReader::Kind::Dict;
    if (isDictionary) {
        QString key;
        while (reader.nextKey(&key)) {
            if (key == u"Archive Path") {
                list->archivePath = reader.readText();
            } else if (key == u"Master Image List" && reader.kind() == PlistReader::Kind::Dict) {
                QString modelId;
                while (reader.nextKey(&modelId) && !stopped())
                    list->masterImageList.insert(modelId, readImageEntry(reader));
            } else {
                reader.skip();
            }
        }
    }
    if (stopped()) {
        error->clear();
        return false;
    }
    if (!isDictionary && !reader.hasError()) {
        *error = QStringLiteral("its list \"%1\" holds no dictionary").arg(path);
        return false;
    }
    if (reader.hasError()) {
        *error = QStringLiteral("its list \"%1\" is damaged (%2)").arg(path, reader.errorString());
        return false;
    }
    return true;
}

DataFiller::DataFiller(
    PhotoLibraryAlertHandler onAlert, const std::atomic<bool>* stop, std::chrono::milliseconds timeBound)
    : m_onAlert(std::move(onAlert))
    , m_stop(stop)
    , m_timeBound(timeBound)
{
}

void DataFiller::setLibPath(const QString& libPath)
{
    m_libPath = libPath;
}

bool DataFiller::checkValidLibAndUpdateIfAperture(const QString& libPath)
{
    const QDir library(libPath);
    for (const char* name : { "AlbumData.xml", "ApertureData.xml" }) {
        const QString path = library.filePath(QString::fromLatin1(name));
        if (QFileInfo::exists(path)) {
            m_xmlFile = path;
            return true;
        }
    }
    return false;
}

bool DataFiller::checkIfLibrary9X(const QString& libPath)
{
    const QString path = QDir(libPath).filePath(QStringLiteral("Database/apdb/Library.apdb"));
    if (!QFileInfo::exists(path))
        return false;
    m_dbPath = path;
    return true;
}

void DataFiller::reportUnreadable(const QString& libPath, const QString& reason) const
{
    qCWarning(lcBatch).noquote() << "photo library" << libPath << "not read:" << reason;
    if (m_onAlert)
        m_onAlert(unreadableLibraryAlert(libPath, reason));
}

void DataFiller::fetchImagesFromLib(const QString& libPath)
{
    if (!checkValidLibAndUpdateIfAperture(libPath)) {
        // Any package that is no Photos library comes here: without a list it is no library at all.
        qCDebug(lcBatch).noquote() << "no photo library list in" << libPath;
        return;
    }
    if (!checkIfLibrary9X(libPath)) {
        reportUnreadable(libPath, QStringLiteral("it holds no database \"Database/apdb/Library.apdb\""));
        return;
    }
    qCDebug(lcBatch).noquote() << "older photo library database:" << m_dbPath;

    const QString libraryFolder = libraryFolderOf(m_dbPath);
    QString mastersFolder = QDir(libraryFolder).filePath(QStringLiteral("Masters"));
    if (!QFileInfo::exists(mastersFolder)) {
        mastersFolder = QDir(libraryFolder).filePath(QStringLiteral("Originals"));
        qCDebug(lcBatch).noquote() << "no Masters folder, reading" << mastersFolder;
    }

    // The queries read a private copy, so the library gains no file.
    const LibraryDatabaseCopy copy(m_dbPath, m_stop);
    if (copy.path().isEmpty()) {
        if (copy.errorMessage().isEmpty())
            return; // stopped
        reportUnreadable(libPath, copy.errorMessage());
        return;
    }
    LibraryReading reading;
    reading.stop = m_stop;
    reading.startClock(m_timeBound);
    QList<LibraryVersionRecord> versions;
    LibraryXmlList xmlList;
    if (!DBOperations::getAllVersionPhotos(copy.path(), &versions, reading)
        || !DBOperations::getAllMasterPhotos(copy.path(), mastersFolder, &m_dictMasterInfo, reading)
        || !DBOperations::getAllFolders(copy.path(), &m_dictFolderInfo, reading)
        || !LibraryXmlList::read(m_xmlFile, &xmlList, &reading.error, m_stop)) {
        if (reading.stopped()) {
            qCInfo(lcBatch).noquote() << "photo library" << libPath << "not read: stopped";
            return;
        }
        // The message names the user's database, not the copy.
        reportUnreadable(libPath, reading.error.replace(copy.path(), m_dbPath));
        return;
    }
    if (!reading.rowsLeftOut.isEmpty()) {
        const QString notes = reading.rowsLeftOut.join(u' ');
        qCWarning(lcBatch).noquote() << "photo library" << libPath << "read in part:" << notes;
        if (m_onAlert)
            m_onAlert(rowsLeftOutAlert(libPath, reading.rowsLeftOut));
    }

    QStringList arrOriginalPaths;
    QStringList arrThumbnailPaths;
    const qsizetype before = m_arrImagePaths.size();
    const QList<LibraryVersionRecord> masterPhotos
        = makeMastersListFor(versions, arrOriginalPaths, m_arrImagePaths, arrThumbnailPaths, xmlList);
    m_lastScannedPhotosCount = static_cast<int>(masterPhotos.size());
    qCInfo(lcBatch).noquote() << "older photo library" << libPath << ":" << m_lastScannedPhotosCount << "of"
                              << versions.size() << "versions listed," << (m_arrImagePaths.size() - before)
                              << "image paths";
}

QList<LibraryVersionRecord> DataFiller::makeMastersListFor(QList<LibraryVersionRecord>& versions, QStringList& arrOP,
    QStringList& arrIP, QStringList& arrTP, const LibraryXmlList& xmlDict)
{
    const QString libraryFolder = libraryFolderOf(m_dbPath);

    // Paths in the list name the folder the library was in when the list was
    // written; a library copied elsewhere has them moved to where it is now.
    // Letter case counts: the library sits on a case-sensitive file system here.
    bool rewrite = false;
    QString archivePath;
    if (xmlDict.archivePath) {
        archivePath = QDir::cleanPath(*xmlDict.archivePath);
        rewrite = !archivePath.isEmpty() && archivePath != u"/" && archivePath != libraryFolder;
    } else {
        qCWarning(lcBatch) << "the library list has no Archive Path";
        if (m_onAlert)
            m_onAlert({ PhotoLibraryAlert::Kind::ArchivePathMissing,
                QStringLiteral("Please report to the developer should not happen"),
                QStringLiteral("Send Feedback with logs now.") });
    }
    auto fromList = [&](const QString& path) { return rewrite ? movedPath(path, archivePath, libraryFolder) : path; };

    QList<LibraryVersionRecord> accepted;
    for (LibraryVersionRecord& version : versions) {
        if (version.masterUuid.isEmpty())
            continue;
        const auto master = m_dictMasterInfo.find(version.masterUuid);
        if (master == m_dictMasterInfo.end())
            continue;
        const auto folder = m_dictFolderInfo.find(version.projectUuid);
        if (folder == m_dictFolderInfo.end())
            continue;

        arrOP.append(master->originalPath);
        ++master->masterCount;
        ++folder->versionCount;

        QString imagePath = master->originalPath;
        QString thumbPath = master->originalPath;
        const auto listed = xmlDict.masterImageList.constFind(version.modelId);
        if (listed != xmlDict.masterImageList.cend()) {
            if (listed->imagePath)
                imagePath = fromList(*listed->imagePath);
            else
                version.iPath = true;
            if (listed->thumbPath)
                thumbPath = fromList(*listed->thumbPath);
            else
                version.tPath = true;
        } else {
            version.iPath = true;
            version.tPath = true;
        }
        arrIP.append(imagePath);
        arrTP.append(thumbPath);
        accepted.append(version);
    }
    return accepted;
}
