#pragma once

#include "batch/intake/DBOperations.h"
#include "batch/intake/PhotoLibraryAlert.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <optional>

// What the list building needs of an older library's XML list ("AlbumData.xml",
// "ApertureData.xml"); everything else in the list is skipped while reading.
struct LibraryXmlList {
    struct ImageEntry {
        std::optional<QString> imagePath; // "ImagePath"
        std::optional<QString> thumbPath; // "ThumbPath"
    };
    std::optional<QString> archivePath; // "Archive Path": where the library was when the list was written
    QHash<QString, ImageEntry> masterImageList; // "Master Image List", keyed by the version's model id

    // Reads the list from a file, streaming. False, with the reason in *error,
    // when the file cannot be opened or is no well-formed property list; false
    // with *error empty once *stop (may be null) turns true.
    static bool read(
        const QString& path, LibraryXmlList* list, QString* error, const std::atomic<bool>* stop = nullptr);
};

// Lists the image files of an older photo library (iPhoto, Aperture): the
// versions of its database, placed by its XML list. One reader per library.
class DataFiller {
public:
    // onAlert receives what the user has to be told; it is called on the reading thread.
    // Once *stop (may be null; it must outlive the reader) turns true, the reading
    // ends at once with no paths and no alert. Queries of the library's database still
    // running timeBound after its copy was made end the reading with the alert.
    explicit DataFiller(PhotoLibraryAlertHandler onAlert = {}, const std::atomic<bool>* stop = nullptr,
        std::chrono::milliseconds timeBound = DBOperations::kMaxReadingTime);

    void setLibPath(const QString& libPath);
    // Reads the library at libPath and appends one image path per listed version to
    // arrImagePaths(). A folder without an XML list is no library and gives nothing;
    // a library that cannot be read gives nothing and one alert.
    void fetchImagesFromLib(const QString& libPath);
    const QStringList& arrImagePaths() const { return m_arrImagePaths; }

    // Finds the XML list ("AlbumData.xml", else "ApertureData.xml") and keeps it in xmlFile().
    bool checkValidLibAndUpdateIfAperture(const QString& libPath);
    // Finds the database "Database/apdb/Library.apdb" and keeps it in dbPath().
    bool checkIfLibrary9X(const QString& libPath);

    // Accepts the versions whose master and folder are known, in order, and appends
    // per accepted version its master's path to arrOP, its image path to arrIP and
    // its thumbnail path to arrTP. Paths come from the XML list where it has them,
    // moved from the list's "Archive Path" to where the library is now.
    QList<LibraryVersionRecord> makeMastersListFor(QList<LibraryVersionRecord>& versions, QStringList& arrOP,
        QStringList& arrIP, QStringList& arrTP, const LibraryXmlList& xmlDict);

    QString libPath() const { return m_libPath; }
    QString xmlFile() const { return m_xmlFile; }
    QString dbPath() const { return m_dbPath; }
    int lastScannedPhotosCount() const { return m_lastScannedPhotosCount; }
    const QHash<QString, LibraryMasterInfo>& dictMasterInfo() const { return m_dictMasterInfo; }
    const QHash<QString, LibraryFolderInfo>& dictFolderInfo() const { return m_dictFolderInfo; }

private:
    void reportUnreadable(const QString& libPath, const QString& reason) const;

    PhotoLibraryAlertHandler m_onAlert;
    const std::atomic<bool>* m_stop = nullptr;
    std::chrono::milliseconds m_timeBound;
    QString m_libPath;
    QString m_dbPath;
    QString m_xmlFile;
    QStringList m_arrImagePaths;
    QHash<QString, LibraryMasterInfo> m_dictMasterInfo;
    QHash<QString, LibraryFolderInfo> m_dictFolderInfo;
    int m_lastScannedPhotosCount = 0;
};
