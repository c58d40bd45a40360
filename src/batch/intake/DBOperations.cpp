#include "batch/intake/DBOperations.h"

#include "base/Logging.h"
#include "platform/HeldFolder.h"
#include "platform/OpenablePhotoPath.h"
#include "platform/SqliteDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>
#include <functional>
#include <memory>

namespace {

using ColumnType = SqliteStatement::ColumnType;

QString typeName(ColumnType type)
{
    switch (type) {
    case ColumnType::Integer:
        return QStringLiteral("a whole number");
    case ColumnType::Float:
        return QStringLiteral("a decimal number");
    case ColumnType::Text:
        return QStringLiteral("text");
    case ColumnType::Blob:
        return QStringLiteral("binary data");
    case ColumnType::Null:
        break;
    }
    return QStringLiteral("nothing");
}

// One reading query: its text, the tables it reads (for messages) and the type
// each column's values must have. NULL is always taken: a missing value reads as
// "" or 0, and the reader decides what a row without it is worth.
struct Query {
    QString sql;
    QString tables;
    QList<ColumnType> columns;
    int pathColumn = -1; // the column that holds an image path, bounded by kMaxPathBytes
};

// What a taken row holds in memory, estimated from the lengths of its texts before
// they are copied: each text as UTF-16 with its header and the allocator's rounding,
// and the row's record with the list's spare room.
constexpr qint64 kRowRecordBytes = 192;
constexpr qint64 kTextHeaderBytes = 48;

// Runs one reading query on a guarded read-only connection of its own and hands
// each row to onRow. A row with a value of the wrong type is left out and counted,
// and the query adds one note about such rows to reading.rowsLeftOut. False, with
// the reason in reading.error, when the database cannot be opened, the query does
// not compile (another schema), a step fails (a damaged file), the query needs
// more temporary storage than the bound, would make a value longer than SQLite's
// length limit, runs past the reading's deadline or lists more than kMaxRows rows;
// false with no reason after a stop. shownPath names the database in messages
// (the user's file, not a copy).
bool readRows(const QString& dbPath, const QString& shownPath, const Query& query,
    const std::function<void(SqliteStatement&)>& bind, const std::function<void(const SqliteStatement&)>& onRow,
    LibraryReading& reading)
{
    reading.error.clear();
    if (reading.stopped())
        return false;
    const auto tookTooLong = [&] {
        reading.error = QStringLiteral("reading its database \"%1\" took longer than %2 s, far longer than any "
                                       "library needs; it was not read")
                            .arg(shownPath)
                            .arg(QString::number(double(reading.timeBound.count()) / 1000));
        return false;
    };
    if (reading.deadline.hasExpired())
        return tookTooLong();
    SqliteDatabase db = SqliteDatabase::openGuarded(
        dbPath, reading.stop, SqliteDatabase::kMaxTemporaryBytes, reading.deadline);
    if (!db.isOpen()) {
        reading.error = QStringLiteral("its database \"%1\" cannot be opened: %2").arg(shownPath, db.errorMessage());
        return false;
    }
    SqliteStatement statement = db.prepare(query.sql);
    if (!statement.isValid()) {
        reading.error = QStringLiteral("its database \"%1\" is not of a known layout: %2")
                            .arg(shownPath, statement.errorMessage());
        return false;
    }
    if (bind)
        bind(statement);
    qsizetype rows = 0;
    qsizetype wrongRows = 0;
    QString firstWrong;
    qsizetype longRows = 0;
    QString firstLong;
    for (;;) {
        switch (statement.step()) {
        case SqliteStatement::Step::Row: {
            if (++rows > DBOperations::kMaxRows) {
                reading.error = QStringLiteral("its database \"%1\" lists more than %2 rows in %3, more than any "
                                               "library holds; it was not read")
                                    .arg(shownPath)
                                    .arg(DBOperations::kMaxRows)
                                    .arg(query.tables);
                return false;
            }
            bool wrong = false;
            bool tooLong = false;
            qint64 cost = kRowRecordBytes;
            for (int column = 0; column < query.columns.size() && !wrong && !tooLong; ++column) {
                const ColumnType type = statement.columnType(column);
                if (type == ColumnType::Text) {
                    // Measured before anything is copied: a crafted view can make
                    // one value as long as SQLite allows (a gigabyte).
                    const qsizetype bytes = statement.columnBytes(column);
                    const qsizetype bound
                        = column == query.pathColumn ? DBOperations::kMaxPathBytes : DBOperations::kMaxTextBytes;
                    cost += kTextHeaderBytes + 2 * qint64(bytes);
                    if (bytes > bound) {
                        tooLong = true;
                        if (firstLong.isEmpty())
                            firstLong = QStringLiteral("%1 holds %2 bytes where at most %3 belong")
                                            .arg(statement.columnName(column))
                                            .arg(bytes)
                                            .arg(bound);
                    }
                }
                if (type == ColumnType::Null || type == query.columns[column])
                    continue;
                wrong = true;
                if (firstWrong.isEmpty())
                    firstWrong = QStringLiteral("%1 holds %2 where %3 belongs")
                                     .arg(statement.columnName(column), typeName(type), typeName(query.columns[column]));
            }
            if (wrong) {
                ++wrongRows;
            } else if (tooLong) {
                ++longRows;
            } else {
                reading.heldBytes += cost;
                if (reading.heldBytes > DBOperations::kMaxHeldBytes) {
                    reading.error = QStringLiteral("its database \"%1\" lists more in %2 than %3 MiB of memory "
                                                   "hold, more than any library needs; it was not read")
                                        .arg(shownPath, query.tables)
                                        .arg(DBOperations::kMaxHeldBytes >> 20);
                    return false;
                }
                onRow(statement);
            }
            break;
        }
        case SqliteStatement::Step::Done:
            if (wrongRows > 0) {
                reading.rowsLeftOut.append(
                    QStringLiteral("%1 of the %2 rows read from %3 were left out because a column holds a value of "
                                   "the wrong type (%4)")
                        .arg(wrongRows)
                        .arg(rows)
                        .arg(query.tables, firstWrong));
            }
            if (longRows > 0) {
                reading.rowsLeftOut.append(
                    QStringLiteral("%1 of the %2 rows read from %3 were left out because a value is longer than any "
                                   "path or name (%4)")
                        .arg(longRows)
                        .arg(rows)
                        .arg(query.tables, firstLong));
            }
            return true;
        case SqliteStatement::Step::Error:
            if (statement.wasStopped())
                return false;
            if (statement.passedDeadline())
                return tookTooLong();
            if (statement.exceededTemporaryStorage())
                reading.error = QStringLiteral("reading its database \"%1\" needs more than %2 MiB of temporary "
                                               "storage, more than any library needs; it was not read")
                                    .arg(shownPath)
                                    .arg(SqliteDatabase::kMaxTemporaryBytes >> 20);
            else if (statement.exceededValueLength())
                reading.error = QStringLiteral("its database \"%1\" holds or makes a value longer than %2 MiB, "
                                               "longer than any path or name; it was not read")
                                    .arg(shownPath)
                                    .arg(SqliteDatabase::kMaxValueBytes >> 20);
            else
                reading.error
                    = QStringLiteral("its database \"%1\" cannot be read: %2").arg(shownPath, statement.errorMessage());
            return false;
        }
    }
}

// Spaces and tabs go from either end; line breaks inside a description are kept.
QString trimSpacesAndTabs(const QString& text)
{
    auto isBlank = [](QChar ch) { return ch == u'\t' || ch.category() == QChar::Separator_Space; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

// Where the copies of databases are made: the cache location, else the temporary folder.
QString copyFolderParent()
{
    const QString root = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return root.isEmpty() || !QDir().mkpath(root) ? QDir::tempPath() : root;
}

const QString kCopyFolderPrefix = QStringLiteral("photo-library-");

// A private folder for the copy of one database; it goes, with everything in it,
// when the object does, or after a killed run at the next start or copy.
std::unique_ptr<HeldFolder> makeCopyFolder()
{
    return std::make_unique<HeldFolder>(copyFolderParent(), kCopyFolderPrefix);
}

// Copies one file in pieces, so that a stop ends a long copy. False, with the
// reason in *error, when it cannot be read or written; false with no reason after a stop.
bool copyFile(const QString& source, const QString& target, const std::atomic<bool>* stop, QString* error)
{
    QFile in(source);
    QFile out(target);
    QString why;
    if (!openRegularFile(in, &why) || !out.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("its database \"%1\" cannot be copied: %2")
                     .arg(source, in.isOpen() ? out.errorString() : why);
        return false;
    }
    QByteArray piece(4 << 20, Qt::Uninitialized);
    for (;;) {
        if (stop && stop->load(std::memory_order_relaxed))
            return false;
        const qint64 read = in.read(piece.data(), piece.size());
        if (read < 0 || (read > 0 && out.write(piece.constData(), read) != read)) {
            *error = QStringLiteral("its database \"%1\" cannot be copied: %2")
                         .arg(source, read < 0 ? in.errorString() : out.errorString());
            return false;
        }
        if (read == 0)
            return true;
    }
}

// Copies the database with its "-wal" and "-shm" companions (recent changes may
// live only in the "-wal" file) into folder. Answers the copy's path, or "" with
// the reason in *error (none after a stop). A database larger than the free
// space beside the copy (a crafted, sparse one may claim terabytes) is not copied.
QString copyDatabase(const QString& dbPath, const HeldFolder& folder, const std::atomic<bool>* stop, QString* error)
{
    if (!folder.isValid()) {
        *error = QStringLiteral("no temporary folder for a copy of its database: %1").arg(folder.errorString());
        return {};
    }
    if (!QFileInfo(dbPath).isFile()) {
        *error = QStringLiteral("it holds no database at \"%1\"").arg(dbPath);
        return {};
    }
    const QStringList suffixes { QString(), QStringLiteral("-wal"), QStringLiteral("-shm") };
    qint64 needed = 0;
    for (const QString& suffix : suffixes)
        needed += QFileInfo(dbPath + suffix).size(); // 0 for a companion that does not exist
    const QStorageInfo space(folder.path());
    if (space.isValid() && space.bytesAvailable() >= 0 && needed > space.bytesAvailable()) {
        *error = QStringLiteral("its database \"%1\" (%2 MiB) is larger than the free space for a copy of it in "
                                "\"%3\" (%4 MiB)")
                     .arg(dbPath)
                     .arg(needed >> 20)
                     .arg(folder.path())
                     .arg(space.bytesAvailable() >> 20);
        return {};
    }
    const QString copyPath = folder.filePath(QFileInfo(dbPath).fileName());
    for (const QString& suffix : suffixes) {
        const QString source = dbPath + suffix;
        if (!suffix.isEmpty() && !QFileInfo::exists(source))
            continue;
        if (!copyFile(source, copyPath + suffix, stop, error))
            return {};
        // A library from a read-only disk copies as read-only, and SQLite needs to
        // write the "-shm" index to read a "-wal" file.
        QFile::setPermissions(copyPath + suffix, QFile::ReadOwner | QFile::WriteOwner);
    }
    return copyPath;
}

// Every version with its master, less the trash, bursts and the versions of the
// first live album whose name matches ?1.
const char* const kPhotosQuery
    = "select h1.* from (select rk.fileSize as filSize, rv.modelId as modelId, rk.uuid as masteruuid, "
      "rv.uuid as mapuuid, rv.filename, rk.imagepath, rv.extendedDescription as description "
      "from rkmaster rk, rkversion rv "
      "where rk.uuid = rv.masteruuid and rk.isintrash <> 1 and rv.isintrash <> 1 and rv.burstUuid is null) h1 "
      "left join rkalbumversion rav on h1.modelid = rav.versionid and rav.albumid = "
      "(select modelId from rkalbum where name like ?1 and isintrash = 0 limit 1) "
      "where rav.modelid is null";

} // namespace

LibraryDatabaseCopy::LibraryDatabaseCopy(const QString& dbPath, const std::atomic<bool>* stop)
    : m_folder(makeCopyFolder())
{
    m_path = copyDatabase(dbPath, *m_folder, stop, &m_error);
}

LibraryDatabaseCopy::~LibraryDatabaseCopy() = default;

void LibraryDatabaseCopy::removeAbandoned()
{
    HeldFolder::removeAbandoned(copyFolderParent(), kCopyFolderPrefix);
}

QList<PhotoLibraryEntry> DBOperations::getPhotoslibraryPath(const QString& libraryPath,
    const PhotoLibraryAlertHandler& onAlert, const std::atomic<bool>* stop, std::chrono::milliseconds timeBound)
{
    return getImagesFromlibraryPath(libraryPath, onAlert, stop, timeBound);
}

QString DBOperations::getDataBasePathForPhotosLib(const QString& libraryPath)
{
    const QDir library(libraryPath);
    for (const char* candidate : { "database/apdb/Library.apdb", "database/Library.apdb", "database/apdb/photos.db" }) {
        const QString path = library.filePath(QString::fromLatin1(candidate));
        if (QFileInfo::exists(path))
            return path;
    }
    return library.filePath(QStringLiteral("database/photos.db"));
}

QList<PhotoLibraryEntry> DBOperations::getImagesFromlibraryPath(const QString& libraryPath,
    const PhotoLibraryAlertHandler& onAlert, const std::atomic<bool>* stop, std::chrono::milliseconds timeBound)
{
    const QString library = QDir::cleanPath(libraryPath);
    const QString dbPath = getDataBasePathForPhotosLib(library);
    qCDebug(lcBatch).noquote() << "Photos library database:" << dbPath;

    LibraryReading reading;
    reading.stop = stop;
    auto fail = [&] {
        if (reading.stopped()) {
            qCInfo(lcBatch).noquote() << "Photos library" << library << "not read: stopped";
            return QList<PhotoLibraryEntry>();
        }
        qCWarning(lcBatch).noquote() << "Photos library" << library << "not read:" << reading.error;
        if (onAlert)
            onAlert(unreadableLibraryAlert(library, reading.error));
        return QList<PhotoLibraryEntry>();
    };

    // Declared before any connection to the copy, so the copy outlives it.
    const LibraryDatabaseCopy copy(dbPath, stop);
    const QString copyPath = copy.path();
    if (copyPath.isEmpty()) {
        reading.error = copy.errorMessage();
        return fail();
    }

    // The copy's time grows with the file alone; the query's is what a crafted view can stretch.
    reading.startClock(timeBound);
    const QString mastersPrefix = library + QStringLiteral("/Masters/");
    QList<PhotoLibraryEntry> entries;
    qsizetype skipped = 0;
    auto takeRow = [&](const SqliteStatement& row) {
        // Each column stands on its own: a missing text reads as "", and only an
        // entry without an image path has nothing to offer.
        const QString imagePath = row.columnText(5);
        if (imagePath.isEmpty()) {
            ++skipped;
            return;
        }
        PhotoLibraryEntry entry;
        entry.fileSize = row.columnInt64(0);
        entry.modelId = row.columnText(1);
        entry.uuid = row.columnText(2);
        entry.uuidRKVersion = row.columnText(3);
        entry.originalFileName = row.columnText(4);
        entry.imagePath = mastersPrefix + imagePath;
        entry.description = trimSpacesAndTabs(row.columnText(6));
        entries.append(std::move(entry));
    };
    // The excluded album is the one whose name is empty.
    auto bindAlbum = [](SqliteStatement& statement) { statement.bind(1, QStringLiteral("")); };
    const Query query { QString::fromLatin1(kPhotosQuery), QStringLiteral("RKMaster and RKVersion"),
        { ColumnType::Integer, ColumnType::Integer, ColumnType::Text, ColumnType::Text, ColumnType::Text,
            ColumnType::Text, ColumnType::Text },
        5 };
    if (!readRows(copyPath, dbPath, query, bindAlbum, takeRow, reading))
        return fail();

    if (!reading.rowsLeftOut.isEmpty()) {
        qCWarning(lcBatch).noquote() << "Photos library" << library << "read in part:" << reading.rowsLeftOut;
        if (onAlert)
            onAlert(rowsLeftOutAlert(library, reading.rowsLeftOut));
    }
    if (skipped > 0)
        qCInfo(lcBatch) << "Photos library:" << skipped << "versions without an image path left out";
    qCDebug(lcBatch) << "Photos library:" << entries.size() << "entries";
    return entries;
}

bool DBOperations::getAllVersionPhotos(
    const QString& dbPath, QList<LibraryVersionRecord>* versions, LibraryReading& reading)
{
    auto takeRow = [&](const SqliteStatement& row) {
        LibraryVersionRecord record;
        record.modelId = QString::number(row.columnInt(0));
        record.uuid = row.columnText(1);
        record.masterUuid = row.columnText(2);
        record.projectUuid = row.columnText(3);
        record.name = row.columnText(4);
        if (!record.masterUuid.isEmpty() && !record.uuid.isEmpty() && !record.projectUuid.isEmpty())
            versions->append(std::move(record));
    };
    const Query query { QStringLiteral("SELECT modelId, uuid, masterUuid, projectUuid, name FROM RKVersion "
                                       "WHERE isInTrash = 0 AND showInLibrary = 1 AND versionNumber <> 0;"),
        QStringLiteral("RKVersion"),
        { ColumnType::Integer, ColumnType::Text, ColumnType::Text, ColumnType::Text, ColumnType::Text } };
    return readRows(dbPath, dbPath, query, {}, takeRow, reading);
}

bool DBOperations::getAllMasterPhotos(const QString& dbPath, const QString& dbPrefix,
    QHash<QString, LibraryMasterInfo>* updateDict, LibraryReading& reading)
{
    auto takeRow = [&](const SqliteStatement& row) {
        const QString uuid = row.columnText(0);
        const QString imagePath = row.columnText(1);
        if (uuid.isEmpty() || imagePath.isEmpty())
            return;
        updateDict->insert(uuid, LibraryMasterInfo { QDir::cleanPath(dbPrefix + u'/' + imagePath), 0 });
    };
    const Query query { QStringLiteral("SELECT uuid, imagePath FROM RKMaster WHERE isInTrash = 0;"),
        QStringLiteral("RKMaster"), { ColumnType::Text, ColumnType::Text }, 1 };
    return readRows(dbPath, dbPath, query, {}, takeRow, reading);
}

bool DBOperations::getAllFolders(
    const QString& dbPath, QHash<QString, LibraryFolderInfo>* updateDict, LibraryReading& reading)
{
    auto takeRow = [&](const SqliteStatement& row) {
        const QString uuid = row.columnText(0);
        if (uuid.isEmpty())
            return;
        const QString name = row.columnText(1);
        updateDict->insert(uuid, LibraryFolderInfo { name.isEmpty() ? QStringLiteral("untitled event") : name, 0 });
    };
    const Query query { QStringLiteral("SELECT uuid, name FROM RKFolder;"), QStringLiteral("RKFolder"),
        { ColumnType::Text, ColumnType::Text } };
    return readRows(dbPath, dbPath, query, {}, takeRow, reading);
}
