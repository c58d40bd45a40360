#pragma once

#include "services/ExifWriter.h"
#include "services/PhotoFixtures.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "platform/JpegExifSegment.h"
#include "platform/JpegSplice.h"
#include "platform/TiffBlockPatcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QStringList>

// What the metadata writer's tests share: photos as the batch hands them over,
// exiftool as a second opinion, and the immutable flag for access faults.

inline bool hasExiftool()
{
    return !QStandardPaths::findExecutable(QStringLiteral("exiftool")).isEmpty();
}

// exiftool's output for the files, one run for all of them.
inline QByteArray runExiftool(const QStringList& arguments)
{
    QProcess exiftool;
    exiftool.start(QStringLiteral("exiftool"), arguments);
    exiftool.waitForFinished(120000);
    return exiftool.readAllStandardOutput();
}

// Every tag exiftool finds in each file ("IFD0:Artist", "IPTC:City", ...), with
// numbers unconverted, by file name.
inline QMap<QString, QJsonObject> exiftoolTags(const QStringList& paths)
{
    QStringList arguments { "-j", "-n", "-G1", "-charset", "filename=utf8", "-charset", "iptc=utf8" };
    arguments += paths;
    QMap<QString, QJsonObject> tags;
    for (const QJsonValue& entry : QJsonDocument::fromJson(runExiftool(arguments)).array()) {
        const QJsonObject object = entry.toObject();
        tags.insert(QFileInfo(object.value(QStringLiteral("SourceFile")).toString()).fileName(), object);
    }
    return tags;
}

// What exiftool finds in a file: its tags of the selected groups ("EXIF:IFD0:Artist",
// "Canon:MacroMode", ...), values unconverted, and its warnings ("[minor]" marks
// dropped). A tag name found more than once (in one group or several) holds all
// its values, sorted and joined with " | ": exiftool numbers the copies across
// groups, so clearing the Exif copy of a tag would rename the maker note's. Its
// other remarks and the name of the toolkit that wrote the XMP are left out.
struct ExiftoolView {
    QMap<QString, QString> tags;
    QSet<QString> warnings;
};

// One exiftool run over the files, by path: groups names the group families
// ("-G1:4"), arguments the selectors and any other option ("-validate").
inline QMap<QString, ExiftoolView> exiftoolGroups(
    const QStringList& paths, const QString& groups, const QStringList& arguments)
{
    static const QRegularExpression copyNumber(QStringLiteral(":Copy\\d+"));
    QStringList command { "-j", "-a", groups, "-n", "-charset", "filename=utf8" };
    command += arguments;
    command += paths;
    QMap<QString, ExiftoolView> files;
    for (const QJsonValue& entry : QJsonDocument::fromJson(runExiftool(command)).array()) {
        const QJsonObject object = entry.toObject();
        QMap<QString, QStringList> values;
        ExiftoolView view;
        for (auto it = object.begin(); it != object.end(); ++it) {
            const QString key = QString(it.key()).remove(copyNumber);
            const QString value = it.value().isString() ? it.value().toString()
                : it.value().isDouble()
                ? QString::number(it.value().toDouble(), 'g', 15)
                : QString::fromUtf8(QJsonDocument(QJsonArray { it.value() }).toJson(QJsonDocument::Compact));
            if (key.endsWith(QLatin1String(":Warning")))
                view.warnings.insert(QString(value).remove(QLatin1String("[minor] ")).remove(QLatin1String("[Minor] ")));
            else if (!key.startsWith(QLatin1String("ExifTool:")) && key != QLatin1String("SourceFile")
                && !key.endsWith(QLatin1String("XMP-x:XMPToolkit")))
                values[key].append(value);
        }
        for (auto it = values.begin(); it != values.end(); ++it) {
            it->sort();
            view.tags.insert(it.key(), it->join(QLatin1String(" | ")));
        }
        files.insert(object.value(QLatin1String("SourceFile")).toString(), view);
    }
    return files;
}

// exiftool's validation warnings for the files, one line each.
inline QStringList exiftoolWarnings(const QStringList& paths)
{
    QStringList arguments { "-validate", "-warning", "-a", "-charset", "filename=utf8" };
    arguments += paths;
    QStringList warnings;
    for (const QString& line : QString::fromUtf8(runExiftool(arguments)).split(u'\n')) {
        if (line.contains(QStringLiteral("Warning")))
            warnings.append(line.trimmed());
    }
    return warnings;
}

// Sets the immutable flag (chattr +i) on a file or folder for the scope's life and
// always takes it off again, also when a test fails halfway. Even root cannot
// write an immutable file or create files in an immutable folder.
class ScopedImmutable {
public:
    explicit ScopedImmutable(const QString& path)
        : m_path(path)
        , m_set(QProcess::execute(QStringLiteral("chattr"), { QStringLiteral("+i"), path }) == 0)
    {
    }
    ~ScopedImmutable()
    {
        if (m_set)
            QProcess::execute(QStringLiteral("chattr"), { QStringLiteral("-i"), m_path });
    }
    ScopedImmutable(const ScopedImmutable&) = delete;
    ScopedImmutable& operator=(const ScopedImmutable&) = delete;
    bool isSet() const { return m_set; }

private:
    QString m_path;
    bool m_set;
};

// Every write in the scope reads its basis file whole: a JPEG's header is not split
// off from its image data (see JpegSplice).
class ScopedWholeFileWrites {
public:
    ScopedWholeFileWrites() { JpegSplice::setEnabledForTesting(false); }
    ~ScopedWholeFileWrites() { JpegSplice::setEnabledForTesting(true); }
    ScopedWholeFileWrites(const ScopedWholeFileWrites&) = delete;
    ScopedWholeFileWrites& operator=(const ScopedWholeFileWrites&) = delete;
};

#define SKIP_UNLESS_IMMUTABLE(scope)                                                                                   \
    if (!(scope).isSet())                                                                                              \
    GTEST_SKIP() << "chattr +i is not available here (needs root and a file system with the flag)"

inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A photo as the intake makes it: path, extension and the record as first read.
inline PhotoFile photoAt(const QString& path)
{
    PhotoFile photo;
    photo.filePath = path;
    photo.fileExtension = QFileInfo(path).suffix();
    photo.kind = ExifWriter::kindOf(ExifWriter::kindHeadOf(path).value_or(QByteArray()));
    auto record = std::make_shared<MetaDataObject>();
    ExifWriter::sharedInstance().readMetaFromPath(path, *record);
    photo.metadataObjectOriginal = record;
    return photo;
}

// Sets each field of the record and marks it edited.
inline void edit(MetaDataObject& record, std::initializer_list<std::pair<MetadataField, QString>> fields)
{
    for (const auto& [field, text] : fields) {
        record.setField(field, text);
        record.setUpdated(field, true);
    }
}

// Writes the photo in the settings' mode; onlyUpdated defaults to the settings'
// own edited fields, as the form builds it.
inline MetadataWriteResult writePhoto(PhotoFile& photo, MetaDataObject& settings, const QString& output,
    MetaDataObject* onlyUpdated = nullptr, bool restore = false)
{
    std::shared_ptr<MetaDataObject> edited;
    if (onlyUpdated == nullptr) {
        edited = MetaDataObject::editedFieldsOnlyCopy(settings);
        onlyUpdated = edited.get();
    }
    return ExifWriter::sharedInstance().writeMetaDataToFilePath(photo, settings, output, *onlyUpdated, restore);
}

// Puts the make and model of the source back into a written photo without
// moving any other byte. Cleared, they leave a maker note that no reader decodes,
// although its bytes are all there.
inline bool putCameraBack(const QString& written, const QString& source)
{
    const QByteArray sourceBytes = fileBytes(source);
    const QByteArray writtenBytes = fileBytes(written);
    const std::optional<QByteArrayView> from = JpegExifSegment::exifBlockOf(sourceBytes);
    const std::optional<QByteArrayView> into = JpegExifSegment::exifBlockOf(writtenBytes);
    const std::optional<TiffBlock> camera = from ? TiffBlock::parse(*from) : std::nullopt;
    if (!camera || !into)
        return false;
    TiffBlockPatcher::Edit edit;
    for (std::uint16_t tag : { 0x010f, 0x0110 }) {
        if (const TiffBlock::Entry* entry = camera->find(TiffBlock::Ifd0, tag))
            edit.tags[TiffBlock::Ifd0][tag].push_back(
                { entry->type, entry->count, from->sliced(entry->valueOffset, qsizetype(entry->size)).toByteArray() });
    }
    std::optional<QByteArray> patched = TiffBlockPatcher::patched(*into, edit, UINT32_MAX);
    const std::optional<JpegExifSegment> segment = JpegExifSegment::find(writtenBytes);
    if (patched && segment)
        patched = JpegExifSegment::withTiffBlock(writtenBytes, *segment, *patched);
    QFile file(written);
    return patched && file.open(QIODevice::WriteOnly) && file.write(*patched) == patched->size();
}

// The record the reader makes of the file.
inline std::shared_ptr<MetaDataObject> readBack(const QString& path)
{
    auto record = std::make_shared<MetaDataObject>();
    ExifWriter::sharedInstance().readMetaFromPath(path, *record);
    return record;
}

// The value of the file's first Exif datum with the key as exiv2 prints it ("1/60"),
// empty without one.
inline std::string exifText(const QString& path, const char* key)
{
    std::unique_ptr<Exiv2::Image> image(Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString()).release());
    image->readMetadata();
    const auto it = image->exifData().findKey(Exiv2::ExifKey(key));
    return it == image->exifData().end() ? std::string() : it->value().toString();
}

// Exif, IPTC and XMP keys in the file, as exiv2 lists them.
inline QStringList keysIn(const QString& path)
{
    QStringList keys;
    std::unique_ptr<Exiv2::Image> image(Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString()).release());
    image->readMetadata();
    for (const auto& datum : image->exifData())
        keys.append(QString::fromStdString(datum.key()));
    for (const auto& datum : image->iptcData())
        keys.append(QString::fromStdString(datum.key()));
    for (const auto& datum : image->xmpData())
        keys.append(QString::fromStdString(datum.key()));
    return keys;
}
