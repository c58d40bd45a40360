#pragma once

#include "batch/intake/PhotoLibraryAlert.h"
#include "batch/intake/PhotoLibraryEntry.h"
#include "model/BatchLimits.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <memory>

class HeldFolder;

// A version of an older (iPhoto, Aperture) library, one row of its version table.
struct LibraryVersionRecord {
    QString modelId; // decimal text: the key of the version in the XML list
    QString uuid;
    QString masterUuid;
    QString projectUuid; // the folder (event) the version belongs to
    QString name;
    bool iPath = false; // set by the list building when the image path came from the master
    bool tPath = false; // likewise for the thumbnail path
};

struct LibraryMasterInfo {
    QString originalPath; // the masters folder joined with the master's image path
    int masterCount = 0; // versions listed for this master
};

struct LibraryFolderInfo {
    QString eventName; // the folder's name, "untitled event" when it has none
    int versionCount = 0; // versions listed in this folder
};

// A private copy of a library database, with its "-wal" and "-shm" companions, in
// a folder of its own under the cache location; the folder goes with the object.
// Libraries are read from such a copy: SQLite creates "-wal" and "-shm" files beside
// a database in write-ahead-log mode even on a read-only connection.
class LibraryDatabaseCopy {
public:
    // A stop (stop may be null) ends the copy: path() is then "" and errorMessage() too.
    explicit LibraryDatabaseCopy(const QString& dbPath, const std::atomic<bool>* stop = nullptr);
    ~LibraryDatabaseCopy();
    LibraryDatabaseCopy(const LibraryDatabaseCopy&) = delete;
    LibraryDatabaseCopy& operator=(const LibraryDatabaseCopy&) = delete;

    // The copy's path, "" when it could not be made (also when the database is
    // larger than the free space beside the copy).
    const QString& path() const { return m_path; }
    // Why the copy could not be made.
    const QString& errorMessage() const { return m_error; }

    // Removes the copies that runs now gone left behind.
    static void removeAbandoned();

private:
    std::unique_ptr<HeldFolder> m_folder;
    QString m_path;
    QString m_error;
};

// One reading of a library's database, shared by its queries: the stop and the
// deadline they obey and what they met. A query ends early, answering false, once
// *stop turns true (with no reason) or the deadline has passed (with the reason).
struct LibraryReading {
    const std::atomic<bool>* stop = nullptr; // may be null; must outlive the reading
    QDeadlineTimer deadline = QDeadlineTimer::Forever;
    std::chrono::milliseconds timeBound { 0 }; // what the deadline was set to, for messages
    QString error; // why the last query failed; "" when it was stopped
    // One note per query that left rows out because a column held a value of the
    // wrong type (a number where a path belongs): such a library must say so.
    QStringList rowsLeftOut;
    // What the rows taken so far hold in memory, estimated from their texts: all the
    // queries of one reading share the bound kMaxHeldBytes.
    qint64 heldBytes = 0;

    bool stopped() const { return stop && stop->load(std::memory_order_relaxed); }
    // The queries from now on must end within bound.
    void startClock(std::chrono::milliseconds bound)
    {
        timeBound = bound;
        deadline = QDeadlineTimer(bound);
    }
};

// Queries over photo-library databases. Nothing here writes to a library: every
// database is opened read-only, and a library is read from a private copy
// (LibraryDatabaseCopy). Each query opens its own guarded connection
// (SqliteDatabase::openGuarded) and closes it before returning: a crafted database
// cannot make a query run for ever or fill the disk, and a stop ends it at once.
// A query reads at most kMaxRows rows, a reading holds at most kMaxHeldBytes and
// its queries end within kMaxReadingTime; a library that needs more is refused.
class DBOperations {
public:
    static constexpr qsizetype kMaxRows = 40 * qsizetype(kMaxPhotosPerAdding);
    // The memory the rows of one reading may hold (512 MiB): about five times what
    // a library of the largest adding (100,000 photos) holds. A library whose rows
    // need more is refused with an alert before the process runs short.
    static constexpr qint64 kMaxHeldBytes = qint64(512) << 20;
    // The longest image path a row may give (PATH_MAX, 4,096 bytes), and the longest
    // other text (64 KiB): no file can have a longer path, and no uuid, name or
    // description comes near. A row with a longer value is left out, with a note,
    // before the value is copied.
    static constexpr qsizetype kMaxPathBytes = 4096;
    static constexpr qsizetype kMaxTextBytes = qsizetype(64) << 10;
    // The time the queries of one reading may take together: over a hundred times
    // what those of a library of the largest adding take on a busy machine. A
    // library whose views or tables make them take longer is refused with an alert.
    static constexpr std::chrono::milliseconds kMaxReadingTime { 30'000 };

    // The entries of a Photos library package ("photoslibrary", "migratedphotolibrary"),
    // in the database's row order. Versions in the trash, of a master in the trash, in
    // a burst, or in the first album with an empty name are left out, and so is a row
    // without an image path. An unreadable library gives no entries and one alert;
    // rows left out for values of the wrong type give one alert beside the entries.
    // A stop (stop may be null) ends the reading with no entries and no alert; a query
    // still running timeBound after the copy was made ends it with the alert.
    static QList<PhotoLibraryEntry> getPhotoslibraryPath(const QString& libraryPath,
        const PhotoLibraryAlertHandler& onAlert = {}, const std::atomic<bool>* stop = nullptr,
        std::chrono::milliseconds timeBound = kMaxReadingTime);
    static QList<PhotoLibraryEntry> getImagesFromlibraryPath(const QString& libraryPath,
        const PhotoLibraryAlertHandler& onAlert = {}, const std::atomic<bool>* stop = nullptr,
        std::chrono::milliseconds timeBound = kMaxReadingTime);
    // The database a Photos library keeps its entries in; the last candidate is
    // answered even when it does not exist.
    static QString getDataBasePathForPhotosLib(const QString& libraryPath);

    // The queries over an older library's database (pass a LibraryDatabaseCopy's
    // path). Each answers false, with the reason in reading.error, when the database
    // cannot be opened or queried, when reading.deadline passed, or when reading.stop
    // ended it (no reason).
    //
    // Versions not in the trash, shown in the library and not the original
    // (version number 0), with master, uuid and folder all set.
    static bool getAllVersionPhotos(
        const QString& dbPath, QList<LibraryVersionRecord>* versions, LibraryReading& reading);
    // Masters not in the trash, keyed by uuid, with their paths inside dbPrefix (the masters folder).
    static bool getAllMasterPhotos(const QString& dbPath, const QString& dbPrefix,
        QHash<QString, LibraryMasterInfo>* updateDict, LibraryReading& reading);
    // Every folder, keyed by uuid.
    static bool getAllFolders(
        const QString& dbPath, QHash<QString, LibraryFolderInfo>* updateDict, LibraryReading& reading);
};
