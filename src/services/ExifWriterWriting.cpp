#include "services/ExifWriter.h"
#include "services/ExifWriterEditing.h"
#include "services/FieldTagTable.h"
#include "services/Utils.h"
#include "services/WrittenPosition.h"
#include "base/Logging.h"
#include "base/Numbers.h"
#include "model/GpsHemisphere.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "platform/Exiv2Adapter.h"
#include "platform/FileReplacer.h"
#include "platform/KeptSourceFile.h"
#include "platform/OpenablePhotoPath.h"
#include "platform/RestoreData.h"
#include "platform/UndecodableFileName.h"

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <QRegularExpression>
#include <array>
#include <cmath>
#include <memory>
#include <optional>

using namespace Qt::Literals::StringLiterals;
using namespace ExifWriterEditing;

namespace {

const QString kProcessedMessage = u"Processed Successfully"_s;

// ---- Files ----

MetadataWriteResult failure(const QString& message)
{
    return { MetadataWriteResult::WriteFailed, message };
}

const QString kSourceDenied = u"Access denied to source file"_s;
const QString kOutputDenied = u"Access denied to the file at the output path"_s;

bool isSameFile(const QString& a, const QString& b)
{
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (first.exists() && second.exists())
        return first.canonicalFilePath() == second.canonicalFilePath();
    return first.absoluteFilePath() == second.absoluteFilePath();
}

std::optional<QByteArray> readAll(const QString& path, QString& error)
{
    QFile file(path);
    QString why;
    if (!openRegularFile(file, &why)) {
        error = u"Cannot read \"%1\": %2"_s.arg(path, why);
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = u"Cannot read \"%1\": %2"_s.arg(path, file.errorString());
        return std::nullopt;
    }
    return bytes;
}

// The edit of the photo at basisPath, saved at target: through its header alone
// where the photo allows it, else with the photo read whole; the containers exiv2
// cannot write go through exiftool. Nothing when the photo cannot be read;
// readError says why.
std::optional<EditedPhoto> writtenEdit(const QString& basisPath, const QString& path, const MetadataEdit& edit,
    const QString& target, const FileReplacer::Options& options, QString& readError)
{
    if (std::optional<EditedPhoto> edited = editedHeaderOnly(basisPath, path, edit, target, options))
        return edited;
    const std::optional<QByteArray> original = readAll(basisPath, readError);
    if (!original)
        return std::nullopt;
    if (ExifWriter::isWrittenByExifTool(*original))
        return editedThroughExifTool(*original, basisPath, path, edit, target, options);
    const auto save = [&](QByteArrayView bytes) { return FileReplacer::replace(target, bytes, options); };
    return editedPhoto(*original, path, edit, save);
}

MetadataWriteResult outcomeOf(const EditedPhoto& edited, const QString& outputPath)
{
    if (edited.error)
        return failure(ExifWriter::cleanedErrorMessage(*edited.error));
    if (edited.refusal)
        return failure(*edited.refusal);
    if (edited.saveError)
        return failure(u"Cannot write \"%1\": %2"_s.arg(outputPath, *edited.saveError));
    return { edited.status, kProcessedMessage, edited.warnings };
}

} // namespace

namespace {

// Erases the first datum of the key; Exif and XMP hold each key once. A key exiv2
// does not know is logged and answers false.
template <class Data, class Key> bool eraseFirstDatum(Data& data, const QString& key)
{
    return Exiv2Adapter::check(QStringLiteral("delete the key"), key, [&] {
        const auto it = data.findKey(Key(key.toStdString()));
        if (it == data.end())
            return false;
        data.erase(it);
        qCDebug(lcMetadata).noquote() << "deleted key =" << key;
        return true;
    });
}

} // namespace

bool ExifWriter::deleteKeysValuesFormExifData(Exiv2::ExifData& exifData, const QString& key)
{
    return eraseFirstDatum<Exiv2::ExifData, Exiv2::ExifKey>(exifData, key);
}

bool ExifWriter::deleteKeysValuesFormIptcData(Exiv2::IptcData& iptcData, const QString& key)
{
    // IPTC datasets repeat (keywords): every one of the key goes.
    return Exiv2Adapter::check(QStringLiteral("delete the key"), key, [&] {
        const Exiv2::IptcKey iptcKey(key.toStdString());
        bool erased = false;
        for (auto it = iptcData.findKey(iptcKey); it != iptcData.end(); it = iptcData.findKey(iptcKey)) {
            iptcData.erase(it);
            erased = true;
        }
        return erased;
    });
}

bool ExifWriter::deleteKeysValuesFormXmpData(Exiv2::XmpData& xmpData, const QString& key)
{
    return eraseFirstDatum<Exiv2::XmpData, Exiv2::XmpKey>(xmpData, key);
}

QString ExifWriter::cleanedErrorMessage(const QString& message)
{
    static const QRegularExpression errnoSuffix(u" \\(errno = -?\\d+\\)"_s);
    QString cleaned = message;
    cleaned.remove(u"Failed to open the data source: "_s);
    cleaned.replace(errnoSuffix, u"."_s);
    cleaned.remove(u"Failed to open file (w+b):"_s);
    return cleaned;
}

MetaDataObject& ExifWriter::replaceCommaValueToDot(MetaDataObject& record) const
{
    for (const FieldTagInfo& row : fieldTagTable()) {
        const QString& text = record.field(row.field);
        if (row.commaToPoint && text.contains(u','))
            record.setField(row.field, QString(text).replace(u',', u'.'));
    }
    return record;
}

namespace {

// Exif keeps a position's hemisphere in its reference letter, XMP in the sign of one
// number, and both are written from the record's coordinate and reference. So a
// negative coordinate becomes its magnitude in the negative hemisphere before any
// pass runs, in the record and in its edited-fields-only twin alike (mode 1 would
// otherwise erase the reference the twin lacks). A sign against the chosen
// hemisphere is refused: which of the two the user meant, nobody can tell.
std::optional<QString> settleGpsHemispheres(MetaDataObject& settings, MetaDataObject& onlyUpdated)
{
    for (const GpsAxis& axis : kGpsAxes) {
        if (GpsHemisphere::contradicts(settings, axis))
            return u"The GPS %1 %2 is negative but its reference is %3, so the photo was not changed."_s.arg(
                QLatin1StringView(axis.name), settings.field(axis.coordinate).trimmed(),
                QLatin1StringView(axis.positiveName));
    }
    GpsHemisphere::resolveSigns(settings);
    GpsHemisphere::resolveSigns(onlyUpdated);
    return std::nullopt;
}

// The fields of a position with their edited flags and the editing mode, in a
// record of their own on which the writer's preparation may run.
void copyPositionFields(const MetaDataObject& from, MetaDataObject& to)
{
    to.editingOption = from.editingOption;
    for (const GpsAxis& axis : kGpsAxes) {
        for (const MetadataField field : { axis.coordinate, axis.reference }) {
            to.setField(field, from.field(field));
            to.setUpdated(field, from.isUpdated(field));
        }
    }
}

// One coordinate as the Exif tags hold it: the magnitude, negative when the
// reference letter names the negative hemisphere.
std::optional<double> signedCoordinate(const QString& magnitude, const QString& reference, const GpsAxis& axis)
{
    const std::optional<double> number = Numbers::exactDouble(magnitude);
    if (!number)
        return std::nullopt;
    const bool negative = reference.trimmed().toUpper() == QChar::fromLatin1(axis.negative);
    return negative ? -std::abs(*number) : std::abs(*number);
}

} // namespace

std::optional<GpsPosition> positionAfterWrite(
    const MetaDataObject& held, const MetaDataObject& settings, const MetaDataObject& onlyUpdated)
{
    std::array<std::optional<double>, kGpsAxes.size()> coordinates;
    if (settings.editingOption == MetaDataObject::CleanMetadataInfo) {
        // The clear mode writes no field: the position goes with the GPS tags or
        // with the whole Exif group (clearMetadata), or stays.
        if (settings.clearGpsInfo || settings.clearExif)
            return std::nullopt;
        for (std::size_t i = 0; i < kGpsAxes.size(); ++i)
            coordinates[i]
                = signedCoordinate(held.field(kGpsAxes[i].coordinate), held.field(kGpsAxes[i].reference), kGpsAxes[i]);
    } else {
        MetaDataObject planned;
        MetaDataObject plannedOnlyUpdated;
        copyPositionFields(settings, planned);
        copyPositionFields(onlyUpdated, plannedOnlyUpdated);
        ExifWriter::sharedInstance().replaceCommaValueToDot(planned);
        ExifWriter::sharedInstance().replaceCommaValueToDot(plannedOnlyUpdated);
        if (settleGpsHemispheres(planned, plannedOnlyUpdated))
            return std::nullopt;
        const auto textAfterPasses = [&](MetadataField field) {
            // The raw files' rule concerns their make and model alone.
            const ExifWriterEditing::FieldFate fate
                = ExifWriterEditing::fieldFate(fieldTagInfo(field), planned, plannedOnlyUpdated, held, false);
            switch (fate.kind) {
            case ExifWriterEditing::FieldFate::Erase:
                return QString();
            case ExifWriterEditing::FieldFate::Set:
                return fate.text;
            case ExifWriterEditing::FieldFate::Keep:
                break;
            }
            return held.field(field);
        };
        for (std::size_t i = 0; i < kGpsAxes.size(); ++i) {
            const GpsAxis& axis = kGpsAxes[i];
            const QString reference = textAfterPasses(axis.reference);
            const QString coordinate = textAfterPasses(axis.coordinate);
            coordinates[i] = signedCoordinate(coordinate, reference, axis);
            // A coordinate the tag cannot take is not written: the photo keeps its own.
            if (!coordinate.isEmpty() && (!coordinates[i] || std::abs(*coordinates[i]) > 180.0))
                coordinates[i] = signedCoordinate(held.field(axis.coordinate), reference, axis);
        }
    }
    if (!coordinates[0] || !coordinates[1])
        return std::nullopt;
    return GpsPosition { *coordinates[0], *coordinates[1] };
}

MetadataWriteResult ExifWriter::writeMetaDataToFilePath(PhotoFile& photo, MetaDataObject& settings,
    const QString& newPath, MetaDataObject& onlyUpdated, bool isForRestore) const
{
    replaceCommaValueToDot(settings);
    replaceCommaValueToDot(onlyUpdated);

    const QString sourcePath = photo.filePath;
    if (isUndecodableFileName(sourcePath)) {
        qCWarning(lcMetadata).noquote() << "Not written:" << sourcePath << "- its file name is not valid UTF-8";
        return failure(undecodableFileNameMessage(sourcePath));
    }
    if (openablePhotoPath(sourcePath).isEmpty())
        return { MetadataWriteResult::SourceMissing, u"This photo is not available at the Source location."_s };
    if (isForRestore)
        return restorePhoto(photo);
    // The way back of an earlier run is not offered once another run writes.
    if (photo.restorePoint) {
        RestoreData::discard(photo.restorePoint->dataPath);
        photo.restorePoint.reset();
    }
    if (newPath.isEmpty())
        return failure(u"No output path was given for this photo."_s);
    if (settings.editingOption != MetaDataObject::CleanMetadataInfo) {
        if (const std::optional<QString> refusal = settleGpsHemispheres(settings, onlyUpdated))
            return failure(*refusal);
    }

    // The write-access checks concern the file the run replaces: the source when
    // it is edited in place, else a file already at the output path. A source that
    // is only read may be read-only or immutable. Both checks are asked, so that a
    // locked file is always logged.
    const bool inPlace = isSameFile(newPath, sourcePath);
    const bool outputExists = QFileInfo::exists(newPath);
    if (inPlace || outputExists) {
        const bool readOnly = checkForReadOnlyFilePath(newPath);
        const bool locked = checkForLockedFile(newPath);
        if (readOnly || locked)
            return { MetadataWriteResult::AccessDenied, inPlace ? kSourceDenied : kOutputDenied };
    }

    // A file already at the output path is edited, its other metadata kept.
    const QString basisPath = outputExists && !inPlace ? newPath : sourcePath;
    photo.processedPath = newPath;

    // The file dates follow the modification date the file holds when it is
    // opened, through its setting, unless a clear run removed a whole group: a
    // date changed since the photo was added (by an earlier run, or by another
    // program) is never put back. A setting that gives no date keeps the file's
    // own modification time. Linux keeps no settable creation date, so only the
    // modification time is set.
    const bool removesGroup = settings.editingOption == MetaDataObject::CleanMetadataInfo
        && (settings.clearExif || settings.clearIPTC || settings.clearXMP);
    FileReplacer::Options options { basisPath, std::nullopt };
    QStringList warnings;
    const MetadataEdit edit = [&](Exiv2::Image& image) {
        MetaDataObject held;
        if (!removesGroup) {
            readMetaFromImage(sourcePath, image, held);
            options.modified = fileDateFromText(Utils::sharedUtils().getUpdatedOutputDateTimeStringWithConfig(
                *settings.dateTimeConfigModifyDate(), held.Date_Modify()));
            if (!options.modified)
                options.modified = QFileInfo(basisPath).lastModified();
        }
        if (settings.editingOption != MetaDataObject::CleanMetadataInfo) {
            EditOutcome outcome = runFieldPasses(image, photo, held, settings, onlyUpdated);
            warnings = outcome.warnings;
            return outcome;
        }
        EditOutcome outcome;
        bool unused = true;
        outcome.status = clearMetadata(image, photo, settings, unused);
        outcome.changesExif = settings.clearComment || settings.clearGpsInfo;
        outcome.removesExif = settings.clearExif;
        outcome.clearsIptc = settings.clearIPTC;
        return outcome;
    };
    // No photo is replaced in place before its way back is kept and flushed. An
    // output in another file is known by its mark, so that a restore puts nothing
    // back over it once another program has changed it.
    QString restoreDataPath;
    std::optional<struct stat> writtenOutput;
    if (inPlace) {
        options.beforeRename = [&](int fd, QByteArrayView bytes) -> std::optional<QString> {
            const std::optional<QString> error = RestoreData::keep(sourcePath, fd, bytes, restoreDataPath);
            if (!error)
                return std::nullopt;
            qCWarning(lcMetadata).noquote() << "Not written:" << sourcePath << "- no way back:" << *error;
            return u"the way back to the photo as it is could not be kept (%1), so it was not changed"_s.arg(*error);
        };
    } else {
        options.beforeRename = [&](int fd, QByteArrayView) -> std::optional<QString> {
            struct stat status { };
            if (::fstat(fd, &status) == 0)
                writtenOutput = status;
            return std::nullopt;
        };
    }
    QString readError;
    const std::optional<EditedPhoto> edited = writtenEdit(basisPath, sourcePath, edit, newPath, options, readError);
    MetadataWriteResult result = edited ? outcomeOf(*edited, newPath) : failure(readError);
    const bool written
        = result.errorFlag == MetadataWriteResult::Processed || result.errorFlag == MetadataWriteResult::RawCameraKept;
    if (written)
        result.warnings = warnings + result.warnings;
    if (!restoreDataPath.isEmpty()) {
        if (written)
            photo.restorePoint = std::make_shared<MetadataRestorePoint>(MetadataRestorePoint { restoreDataPath, std::nullopt });
        else
            RestoreData::discard(restoreDataPath);
    }
    if (writtenOutput && written) {
        if (const auto mark = RestoreData::markOfWritten(newPath, *writtenOutput))
            photo.restorePoint = std::make_shared<MetadataRestorePoint>(MetadataRestorePoint { {}, *mark });
    }
    return result;
}

MetadataWriteResult ExifWriter::restorePhoto(PhotoFile& photo) const
{
    const QString sourcePath = photo.filePath;
    const QString outputPath = photo.processedPath;
    if (outputPath.isEmpty())
        return failure(u"This photo has no earlier output to restore."_s);
    const bool inPlace = isSameFile(outputPath, sourcePath);
    if (!QFileInfo::exists(outputPath) || (inPlace && !photo.restorePoint)) {
        // The earlier run made no file, or did not change the source: there is
        // nothing to put back.
        return { MetadataWriteResult::Processed, kProcessedMessage };
    }
    const bool readOnly = checkForReadOnlyFilePath(outputPath);
    const bool locked = checkForLockedFile(outputPath);
    if (readOnly || locked)
        return { MetadataWriteResult::AccessDenied, inPlace ? kSourceDenied : kOutputDenied };

    QString readError;
    if (!inPlace) {
        // The output must be, to the byte, the file the run wrote: one that another
        // program has changed since is kept, and the photo's message names it. It
        // is held open until it has been replaced: its pages are then freed at this
        // close, in parallel with the other writers, and not inside the rename,
        // where the folder stays locked against them all the while.
        const std::unique_ptr<KeptSourceFile> replaced = KeptSourceFile::open(outputPath);
        if (!replaced)
            return failure(u"Cannot read \"%1\"."_s.arg(outputPath));
        if (!photo.restorePoint || !photo.restorePoint->output)
            return failure(u"\"%1\" cannot be compared with the file the run wrote, so it was not restored."_s.arg(
                outputPath));
        if (const std::optional<QString> changed = RestoreData::checkWritten(*replaced, *photo.restorePoint->output)) {
            qCWarning(lcMetadata).noquote() << "Not restored:" << outputPath << "-" << *changed;
            return failure(*changed);
        }
        // The output becomes a fresh copy of the source: nothing is written into
        // it, so its metadata is the source's. The kernel copies it where the
        // source can be kept open, else it is read whole.
        const std::unique_ptr<KeptSourceFile> kept = KeptSourceFile::open(sourcePath);
        std::optional<QByteArray> source;
        if (!kept && !(source = readAll(sourcePath, readError)))
            return failure(readError);
        FileReplacer::Options options { sourcePath, QFileInfo(sourcePath).lastModified() };
        if (kept)
            options.append = [&](int fd) { return kept->copyTo(fd, 0); };
        // A change made to the output meanwhile is kept too.
        bool changed = false;
        options.lastCheck = [&]() -> std::optional<QString> {
            changed = !replaced->isUnchanged();
            return changed ? std::optional(RestoreData::changedSinceMessage(outputPath)) : std::nullopt;
        };
        const std::optional<QString> error
            = FileReplacer::replace(outputPath, source ? QByteArrayView(*source) : QByteArrayView(), options);
        if (error)
            return failure(changed ? *error : u"Cannot write \"%1\": %2"_s.arg(outputPath, *error));
        photo.restorePoint.reset();
        return { MetadataWriteResult::Processed, kProcessedMessage };
    }

    // The run changed the source itself: its bytes before the run go back.
    if (const std::optional<QString> error = RestoreData::restore(photo.restorePoint->dataPath, sourcePath)) {
        qCWarning(lcMetadata).noquote() << "Not restored:" << sourcePath << "-" << *error;
        return failure(*error);
    }
    RestoreData::discard(photo.restorePoint->dataPath);
    photo.restorePoint.reset();
    return { MetadataWriteResult::Processed, kProcessedMessage };
}
