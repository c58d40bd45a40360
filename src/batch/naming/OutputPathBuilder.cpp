#include "batch/naming/OutputPathBuilder.h"

#include "base/DatePattern.h"
#include "services/Utils.h"
#include "services/WrittenPosition.h"
#include "batch/naming/LocationNamer.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextBoundaryFinder>
#include <array>
#include <cmath>

namespace {

const QString kNull = QStringLiteral("(null)");

// Bytes of the text in UTF-8, without converting it.
qsizetype utf8Length(QStringView text)
{
    qsizetype bytes = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80)
            bytes += 1;
        else if (u < 0x800 || QChar::isSurrogate(u)) // a surrogate pair is 4 bytes, 2 per half
            bytes += 2;
        else
            bytes += 3;
    }
    return bytes;
}

// The longest start of text, ending at a character boundary, that fits in maxBytes of UTF-8.
QString leftWithinBytes(const QString& text, qsizetype maxBytes)
{
    if (utf8Length(text) <= maxBytes)
        return text;
    QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, text);
    qsizetype kept = 0;
    qsizetype keptBytes = 0;
    for (qsizetype next = boundaries.toNextBoundary(); next > 0; next = boundaries.toNextBoundary()) {
        const qsizetype bytes = keptBytes + utf8Length(QStringView(text).mid(kept, next - kept));
        if (bytes > maxBytes)
            break;
        kept = next;
        keptBytes = bytes;
    }
    return text.left(kept);
}

// The user's pictures folder; outputs without a folder of their own go below it.
QString picturesFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
}

QString joinPath(const QString& folder, const QString& fileName)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + fileName : folder + QLatin1Char('/') + fileName;
}

QString fileNameOf(const QString& baseName, const QString& extension)
{
    return extension.isEmpty() ? baseName : baseName + QLatin1Char('.') + extension;
}

// The photo's file name without its extension.
// Two texts can name one file (through a symbolic link to it or to a folder above
// it): paths are compared by the file they reach, so that no photo is written over
// another photo's source or output under another name.
QString identityOf(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = QFileInfo(info.path()).canonicalFilePath();
    return folder.isEmpty() ? QDir::cleanPath(path) : folder + QLatin1Char('/') + info.fileName();
}

QString ownBaseName(const PhotoFile& photo)
{
    const QString suffix = QLatin1Char('.') + photo.fileExtension;
    if (!photo.fileExtension.isEmpty() && photo.fileName.endsWith(suffix) && photo.fileName.size() > suffix.size())
        return photo.fileName.chopped(suffix.size());
    return photo.fileName;
}

// The date printed in one of the name formats; "" when the text is no
// "yyyy:MM:dd HH:mm:ss" date. Numbers only, so every locale prints the same.
QString formattedNameDate(const QString& dateText, int formatIndex)
{
    static const DatePattern reader(QStringLiteral("yyyy:MM:dd HH:mm:ss"));
    static const auto printers = [] {
        std::array<std::optional<DatePattern>, OutputNameDateFormats::kCount> patterns;
        for (int i = 0; i < OutputNameDateFormats::kCount; ++i)
            patterns[static_cast<std::size_t>(i)].emplace(*OutputNameDateFormats::patternAt(i));
        return patterns;
    }();
    const std::optional<QDateTime> date = reader.read(dateText);
    if (!date)
        return QString();
    return printers[static_cast<std::size_t>(formatIndex)]->print(*date);
}

// The date of the chosen type as the batch writes it (after the date settings),
// printed in the chosen format. found becomes false when the photo has no such
// date or one that does not read; a format outside the table prints nothing.
QString renamingDate(
    const MetaDataObject& read, const MetaDataObject& settings, const AddEXIFDateTime& date, bool& found)
{
    const DateSetting setting = date.typeValue == AddEXIFDateTime::OriginalDate ? DateSetting::OriginalDate
        : date.typeValue == AddEXIFDateTime::ModifyDate                         ? DateSetting::ModifyDate
                                                                                : DateSetting::CreationDate;
    QString dateText = read.field(kDateSettings[static_cast<std::size_t>(setting)].field);
    const auto& config = settings.dateTimeConfig(setting);
    if (config && !config->stringSelectedDate.value_or(QString()).isEmpty())
        dateText = Utils::sharedUtils().getUpdatedOutputDateTimeStringWithConfig(*config, dateText);
    found = !dateText.isEmpty();
    if (!found || date.formatValue < 0 || date.formatValue >= OutputNameDateFormats::kCount)
        return QString();
    const QString formatted = formattedNameDate(dateText, date.formatValue);
    // A date that is there but cannot be read is as good as none.
    found = !formatted.isEmpty();
    return formatted;
}

// The ticked place parts that were not found, in the order of the name.
QStringList missingPlaceParts(const AddEXIFLocation& ticks, const LocationName& location)
{
    QStringList missing;
    if (ticks.placeTick == 1 && !location.placeFound)
        missing.append(QStringLiteral("Place"));
    if (ticks.cityTick == 1 && !location.cityFound)
        missing.append(QStringLiteral("City"));
    if (ticks.stateTick == 1 && !location.stateFound)
        missing.append(QStringLiteral("State"));
    if (ticks.countryTick == 1 && !location.countryFound)
        missing.append(QStringLiteral("Country"));
    return missing;
}

QString dateWarning(int typeValue)
{
    switch (typeValue) {
    case AddEXIFDateTime::OriginalDate:
        return QStringLiteral("EXIF Original Date/Time not found at the time of renaming!");
    case AddEXIFDateTime::ModifyDate:
        return QStringLiteral("EXIF Modify Date/Time not found at the time of renaming!");
    default:
        return QStringLiteral("EXIF Creation Date/Time not found at the time of renaming!");
    }
}

std::shared_ptr<PhotoFile> warningRecord(const PhotoFile& photo, int status, const QString& message)
{
    auto record = std::make_shared<PhotoFile>();
    record->filePath = photo.filePath;
    record->processStatus = status;
    record->processMsg = message;
    return record;
}

// Whole pixels, rounded as single precision; a size no image has reads as 0.
int roundedPixels(double value)
{
    const float rounded = std::round(static_cast<float>(value));
    return std::isfinite(rounded) && std::abs(rounded) <= 1e9f ? static_cast<int>(rounded) : 0;
}

} // namespace

// The base name in the parts it is joined from, so that an over-long name can be
// cut where it hurts least.
struct OutputPathBuilder::NameParts {
    QString dateBefore;
    QString core; // the custom or own name with prefix and suffix
    QString dateAfter;
    QString location;
    QString size;

    QString joined() const { return dateBefore + core + dateAfter + location + size; }

    void forEach(const std::function<void(QString&)>& apply)
    {
        for (QString* part : { &dateBefore, &core, &dateAfter, &location, &size })
            apply(*part);
    }

    // Shortens the name to maxBytes of UTF-8, cutting the name itself first and
    // keeping the place, date and size parts as long as it can. True when cut.
    bool fitInto(qsizetype maxBytes)
    {
        qsizetype excess = utf8Length(joined()) - std::max<qsizetype>(maxBytes, 0);
        if (excess <= 0)
            return false;
        for (QString* part : { &core, &location, &dateAfter, &dateBefore, &size }) {
            if (excess <= 0)
                break;
            const qsizetype bytes = utf8Length(*part);
            *part = leftWithinBytes(*part, std::max<qsizetype>(bytes - excess, 0));
            excess -= bytes - utf8Length(*part);
        }
        return true;
    }
};

OutputPathBuilder::OutputPathBuilder(
    OutputRenamingOptions options, std::shared_ptr<LocationNamer> namer, const QStringList& batchSourcePaths)
    : m_options(std::move(options))
    , m_namer(std::move(namer))
{
    for (const QString& source : batchSourcePaths)
        m_batchSources.insert(identityOf(source));
}

QString OutputPathBuilder::photosLibraryOutputFolder()
{
    return picturesFolder() + QStringLiteral("/PhotosLibrary_%1").arg(QStringLiteral("VelloranOutput"));
}

QString OutputPathBuilder::outputFolder(const PhotoFile& photo) const
{
    if (m_options.sourseFolderSelected != 1)
        return m_options.ouptputFolderPathName;
    if (photo.isIphotosNode)
        return photosLibraryOutputFolder();
    const qsizetype slash = photo.filePath.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : photo.filePath.left(slash);
}

bool OutputPathBuilder::isTaken(const QString& identity, const QString& ownSource) const
{
    return m_producedBy.contains(identity) || (identity != ownSource && m_batchSources.contains(identity));
}

// The name's parts as the ticked renaming options make them, name.core holding
// the photo's own name; a token that finds nothing warns.
void OutputPathBuilder::applyRenaming(NameParts& name, const PhotoFile& photo, const MetaDataObject& settings,
    const MetaDataObject* onlyUpdated, QList<std::shared_ptr<PhotoFile>>& warnings) const
{
    const OutputRenamingOptions& options = m_options;
    const QString ownName = name.core;
    static const MetaDataObject kEmptyRecord;
    const MetaDataObject& read = photo.metadataObjectOriginal ? *photo.metadataObjectOriginal : kEmptyRecord;

    if (options.replaceFilenameCheck == 1)
        name.core = options.replaceFilename.customNameValue;
    if (options.addStringCheck == 1)
        name.core = options.addString.addStringPrefixValue + name.core + options.addString.addStringSuffixValue;

    bool dateFound = true;
    if (options.addEXIFDateTimeCheck == 1) {
        const AddEXIFDateTime& date = options.addEXIFDateTime;
        const QString formatted = renamingDate(read, settings, date, dateFound);
        if (date.asValue == AddEXIFDateTime::Before)
            name.dateBefore = formatted;
        else if (date.asValue == AddEXIFDateTime::After)
            name.dateAfter = formatted;
    }

    LocationName location;
    if (options.addEXIFLocationCheck == 1) {
        // The place of the position the photo will hold once the run wrote it, as
        // the writer decides it, whatever set it (typed, the map, a preset).
        std::shared_ptr<MetaDataObject> twin;
        if (!onlyUpdated)
            twin = MetaDataObject::editedFieldsOnlyCopy(settings);
        const std::optional<GpsPosition> position
            = positionAfterWrite(read, settings, onlyUpdated ? *onlyUpdated : *twin);
        const float latitude = position ? static_cast<float>(position->latitude) : 0;
        const float longitude = position ? static_cast<float>(position->longitude) : 0;
        if (latitude != 0 && longitude != 0 && m_namer)
            location = m_namer->findLocation(latitude, longitude, options.addEXIFLocation);
        name.location = location.text;
        if (name.joined().isEmpty())
            name.core = ownName;
    }

    if (options.appendWidthHeightCheck == 1)
        name.size = QStringLiteral("%1X%2").arg(roundedPixels(photo.width)).arg(roundedPixels(photo.height));

    // A "(null)" left by a missing text is dropped whenever a token was applied.
    if (options.replaceFilenameCheck == 1 || options.addStringCheck == 1 || options.addEXIFDateTimeCheck == 1
        || options.addEXIFLocationCheck == 1 || options.appendWidthHeightCheck == 1)
        name.forEach([](QString& part) { part.remove(kNull); });

    if (options.addEXIFDateTimeCheck == 1 && !dateFound)
        warnings.append(warningRecord(photo, PhotoRenameNoDate, dateWarning(options.addEXIFDateTime.typeValue)));
    if (options.addEXIFLocationCheck == 1) {
        const QStringList missing = missingPlaceParts(options.addEXIFLocation, location);
        if (!missing.isEmpty())
            warnings.append(warningRecord(photo, PhotoRenameNoLocation,
                QStringLiteral("EXIF GPS - %1 not found at the time of renaming!")
                    .arg(missing.join(QLatin1Char(',')))));
    }
}

OutputPath OutputPathBuilder::updatedPathWithSelectedSetting(
    const PhotoFile& photo, const MetaDataObject& settings, const MetaDataObject* onlyUpdated)
{
    const OutputRenamingOptions& options = m_options;
    const QString folder = outputFolder(photo);
    const QString ownName = ownBaseName(photo);
    OutputPath result;

    NameParts name;
    name.core = ownName;
    if (options.renamingOptionIndex == 1)
        applyRenaming(name, photo, settings, onlyUpdated, result.warnings);

    // A "/" would lead into another folder and a NUL would end the name early,
    // wherever they came from: a custom name, a prefix, a place name.
    name.forEach([](QString& part) {
        part.replace(QLatin1Char('/'), QLatin1Char('-'));
        part.replace(QChar(u'\0'), QLatin1Char('-'));
    });
    const QString joined = name.joined();
    if (joined.isEmpty() || joined == QLatin1String(".") || joined == QLatin1String("..")) {
        name = NameParts {};
        name.core = ownName;
    }

    const QString& extension = photo.fileExtension;
    const qsizetype nameBytes = kMaximumFileNameBytes - (extension.isEmpty() ? 0 : 1 + utf8Length(extension));
    if (name.fitInto(nameBytes)) {
        result.warnings.append(warningRecord(photo, PhotoRenameAdjusted,
            QStringLiteral("Output file name too long: shortened to %1!").arg(fileNameOf(name.joined(), extension))));
    }

    QString path = joinPath(folder, fileNameOf(name.joined(), extension));
    QString key = identityOf(path);
    const QString ownSource = identityOf(photo.filePath);
    if (isTaken(key, ownSource)) {
        // The other photo: the one this path was given to, or the one whose source it is.
        const QString other = m_producedBy.value(key, key);
        const QString wanted = fileNameOf(name.joined(), extension);
        // Numbering goes on where the last photo wanting this path stopped, so a
        // thousand photos of one name cost a thousand tries, not half a million.
        const QString wantedKey = key;
        int n = m_lastNumber.value(wantedKey);
        while (isTaken(key, ownSource)) {
            ++n;
            const QString number = QStringLiteral(" (%1)").arg(n);
            NameParts numbered = name;
            numbered.fitInto(nameBytes - utf8Length(number));
            path = joinPath(folder, fileNameOf(numbered.joined() + number, extension));
            key = identityOf(path);
        }
        m_lastNumber.insert(wantedKey, n);
        result.warnings.append(warningRecord(photo, PhotoRenameAdjusted,
            QStringLiteral("Output name %1 already belongs to %2 in this batch: saved as %3!")
                .arg(wanted, other, path.mid(path.lastIndexOf(QLatin1Char('/')) + 1))));
    }
    m_producedBy.insert(key, photo.filePath);
    result.path = path;
    return result;
}
