#include "support/PhotoLibraryFixtures.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamWriter>
#include <cstdio>
#include <cstdlib>

namespace PhotoLibraryFixtures {

namespace {

[[noreturn]] void die(const QString& what)
{
    std::fprintf(stderr, "photo library fixture: %s\n", qPrintable(what));
    std::abort();
}

SqliteDatabase create(const QString& dbPath, const char* schema)
{
    QDir().mkpath(QFileInfo(dbPath).path());
    SqliteDatabase db = SqliteDatabase::open(dbPath, SqliteDatabase::OpenMode::ReadWriteCreate);
    if (!db.isOpen() || !db.execute(QString::fromLatin1(schema)))
        die(db.errorMessage());
    return db;
}

} // namespace

void run(SqliteDatabase& db, const QString& sql, const QVariantList& values)
{
    SqliteStatement statement = db.prepare(sql);
    if (!statement.isValid())
        die(statement.errorMessage());
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& value = values.at(i);
        if (value.isNull())
            statement.bindNull(i + 1);
        else if (value.typeId() == QMetaType::QString)
            statement.bind(i + 1, value.toString());
        else
            statement.bind(i + 1, value.toLongLong());
    }
    if (statement.step() == SqliteStatement::Step::Error)
        die(statement.errorMessage());
}

SqliteDatabase createPhotosDatabase(const QString& dbPath)
{
    return create(dbPath,
        "CREATE TABLE RKMaster (modelId INTEGER PRIMARY KEY, uuid TEXT, fileSize INTEGER, imagePath TEXT,"
        " isInTrash INTEGER DEFAULT 0);"
        "CREATE TABLE RKVersion (modelId INTEGER PRIMARY KEY, uuid TEXT, masterUuid TEXT, fileName TEXT,"
        " extendedDescription TEXT, isInTrash INTEGER DEFAULT 0, burstUuid TEXT);"
        "CREATE TABLE RKAlbum (modelId INTEGER PRIMARY KEY, name TEXT, isInTrash INTEGER DEFAULT 0);"
        "CREATE TABLE RKAlbumVersion (modelId INTEGER PRIMARY KEY, versionId INTEGER, albumId INTEGER);"
        "CREATE INDEX RKMaster_uuid ON RKMaster (uuid);"
        "CREATE INDEX RKVersion_masterUuid ON RKVersion (masterUuid);"
        "CREATE INDEX RKAlbumVersion_versionId ON RKAlbumVersion (versionId, albumId);");
}

void addPhotosMaster(
    SqliteDatabase& db, const QVariant& uuid, const QVariant& imagePath, qint64 fileSize, int isInTrash)
{
    run(db, QStringLiteral("INSERT INTO RKMaster (uuid, fileSize, imagePath, isInTrash) VALUES (?, ?, ?, ?)"),
        { uuid, fileSize, imagePath, isInTrash });
}

void addPhotosVersion(SqliteDatabase& db, int modelId, const QVariant& uuid, const QVariant& masterUuid,
    const QVariant& fileName, const QVariant& description, int isInTrash, const QVariant& burstUuid)
{
    run(db,
        QStringLiteral("INSERT INTO RKVersion (modelId, uuid, masterUuid, fileName, extendedDescription, isInTrash,"
                       " burstUuid) VALUES (?, ?, ?, ?, ?, ?, ?)"),
        { modelId, uuid, masterUuid, fileName, description, isInTrash, burstUuid });
}

void addPhotosAlbum(SqliteDatabase& db, int modelId, const QVariant& name, int isInTrash, const QList<int>& versionIds)
{
    run(db, QStringLiteral("INSERT INTO RKAlbum (modelId, name, isInTrash) VALUES (?, ?, ?)"),
        { modelId, name, isInTrash });
    for (int versionId : versionIds)
        run(db, QStringLiteral("INSERT INTO RKAlbumVersion (versionId, albumId) VALUES (?, ?)"),
            { versionId, modelId });
}

SqliteDatabase createOlderLibraryDatabase(const QString& libraryPath)
{
    return create(QDir(libraryPath).filePath(QStringLiteral("Database/apdb/Library.apdb")),
        "CREATE TABLE RKVersion (modelId INTEGER PRIMARY KEY, uuid TEXT, masterUuid TEXT, projectUuid TEXT,"
        " name TEXT, isInTrash INTEGER DEFAULT 0, showInLibrary INTEGER DEFAULT 1,"
        " versionNumber INTEGER DEFAULT 1);"
        "CREATE TABLE RKMaster (modelId INTEGER PRIMARY KEY, uuid TEXT, imagePath TEXT,"
        " isInTrash INTEGER DEFAULT 0);"
        "CREATE TABLE RKFolder (modelId INTEGER PRIMARY KEY, uuid TEXT, name TEXT);");
}

void addOlderVersion(SqliteDatabase& db, int modelId, const QVariant& uuid, const QVariant& masterUuid,
    const QVariant& projectUuid, const QVariant& name, int isInTrash, int showInLibrary, int versionNumber)
{
    run(db,
        QStringLiteral("INSERT INTO RKVersion (modelId, uuid, masterUuid, projectUuid, name, isInTrash, showInLibrary,"
                       " versionNumber) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
        { modelId, uuid, masterUuid, projectUuid, name, isInTrash, showInLibrary, versionNumber });
}

void addOlderMaster(SqliteDatabase& db, const QVariant& uuid, const QVariant& imagePath, int isInTrash)
{
    run(db, QStringLiteral("INSERT INTO RKMaster (uuid, imagePath, isInTrash) VALUES (?, ?, ?)"),
        { uuid, imagePath, isInTrash });
}

void addOlderFolder(SqliteDatabase& db, const QVariant& uuid, const QVariant& name)
{
    run(db, QStringLiteral("INSERT INTO RKFolder (uuid, name) VALUES (?, ?)"), { uuid, name });
}

void writeXmlList(const QString& path, const std::optional<QString>& archivePath, const QList<XmlImage>& images)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        die(file.errorString());
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeDTD(QStringLiteral("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">"));
    xml.writeStartElement(QStringLiteral("plist"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
    xml.writeStartElement(QStringLiteral("dict"));
    xml.writeTextElement(QStringLiteral("key"), QStringLiteral("Application Version"));
    xml.writeTextElement(QStringLiteral("string"), QStringLiteral("9.6.1"));
    xml.writeTextElement(QStringLiteral("key"), QStringLiteral("List of Albums"));
    xml.writeStartElement(QStringLiteral("array"));
    xml.writeStartElement(QStringLiteral("dict"));
    xml.writeTextElement(QStringLiteral("key"), QStringLiteral("AlbumName"));
    xml.writeTextElement(QStringLiteral("string"), QStringLiteral("Photos"));
    xml.writeTextElement(QStringLiteral("key"), QStringLiteral("Master"));
    xml.writeEmptyElement(QStringLiteral("true"));
    xml.writeEndElement(); // dict
    xml.writeEndElement(); // array
    xml.writeTextElement(QStringLiteral("key"), QStringLiteral("Master Image List"));
    xml.writeStartElement(QStringLiteral("dict"));
    for (const XmlImage& image : images) {
        xml.writeTextElement(QStringLiteral("key"), image.modelId);
        xml.writeStartElement(QStringLiteral("dict"));
        xml.writeTextElement(QStringLiteral("key"), QStringLiteral("Caption"));
        xml.writeTextElement(QStringLiteral("string"), QStringLiteral("Photo ") + image.modelId);
        xml.writeTextElement(QStringLiteral("key"), QStringLiteral("Keywords"));
        xml.writeStartElement(QStringLiteral("array"));
        xml.writeTextElement(QStringLiteral("string"), QStringLiteral("1"));
        xml.writeEndElement();
        if (image.imagePath) {
            xml.writeTextElement(QStringLiteral("key"), QStringLiteral("ImagePath"));
            xml.writeTextElement(QStringLiteral("string"), *image.imagePath);
        }
        xml.writeTextElement(QStringLiteral("key"), QStringLiteral("Rating"));
        xml.writeTextElement(QStringLiteral("integer"), QStringLiteral("0"));
        if (image.thumbPath) {
            xml.writeTextElement(QStringLiteral("key"), QStringLiteral("ThumbPath"));
            xml.writeTextElement(QStringLiteral("string"), *image.thumbPath);
        }
        xml.writeEndElement(); // dict
    }
    xml.writeEndElement(); // Master Image List
    if (archivePath) {
        xml.writeTextElement(QStringLiteral("key"), QStringLiteral("Archive Path"));
        xml.writeTextElement(QStringLiteral("string"), *archivePath);
    }
    xml.writeEndElement(); // dict
    xml.writeEndElement(); // plist
    xml.writeEndDocument();
}

QMap<QString, QByteArray> folderSnapshot(const QString& path)
{
    QMap<QString, QByteArray> snapshot;
    const QDir root(path);
    QDirIterator it(path, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        QFile content(file);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (content.open(QIODevice::ReadOnly))
            hash.addData(&content);
        snapshot.insert(root.relativeFilePath(file), hash.result());
    }
    return snapshot;
}

} // namespace PhotoLibraryFixtures
