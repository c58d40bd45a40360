#pragma once

#include "platform/SqliteDatabase.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>
#include <optional>

// Builders for small (and, in the benchmark, large) photo libraries with the
// tables, columns and files the readers use. A null QVariant inserts NULL.
namespace PhotoLibraryFixtures {

// Runs one insert (or any statement) with its values bound in order; aborts on failure.
void run(SqliteDatabase& db, const QString& sql, const QVariantList& values = {});

// Creates a database at dbPath (with its folders) holding the Photos tables:
// RKMaster, RKVersion, RKAlbum, RKAlbumVersion.
SqliteDatabase createPhotosDatabase(const QString& dbPath);
void addPhotosMaster(
    SqliteDatabase& db, const QVariant& uuid, const QVariant& imagePath, qint64 fileSize, int isInTrash = 0);
void addPhotosVersion(SqliteDatabase& db, int modelId, const QVariant& uuid, const QVariant& masterUuid,
    const QVariant& fileName, const QVariant& description, int isInTrash = 0, const QVariant& burstUuid = {});
void addPhotosAlbum(SqliteDatabase& db, int modelId, const QVariant& name, int isInTrash, const QList<int>& versionIds);

// Creates "Database/apdb/Library.apdb" inside libraryPath with RKVersion, RKMaster, RKFolder.
SqliteDatabase createOlderLibraryDatabase(const QString& libraryPath);
void addOlderVersion(SqliteDatabase& db, int modelId, const QVariant& uuid, const QVariant& masterUuid,
    const QVariant& projectUuid, const QVariant& name, int isInTrash = 0, int showInLibrary = 1, int versionNumber = 1);
void addOlderMaster(SqliteDatabase& db, const QVariant& uuid, const QVariant& imagePath, int isInTrash = 0);
void addOlderFolder(SqliteDatabase& db, const QVariant& uuid, const QVariant& name);

struct XmlImage {
    QString modelId;
    std::optional<QString> imagePath;
    std::optional<QString> thumbPath;
};
// Writes an XML list like the ones the photo applications wrote, with keys the
// reader has to pass over around the ones it reads.
void writeXmlList(const QString& path, const std::optional<QString>& archivePath, const QList<XmlImage>& images);

// Every file below path (relative name to a hash of its bytes): two equal
// snapshots mean nothing was written, added or removed.
QMap<QString, QByteArray> folderSnapshot(const QString& path);

} // namespace PhotoLibraryFixtures
