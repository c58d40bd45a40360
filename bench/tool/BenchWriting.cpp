#include "BenchWriting.h"

#include "BenchCommands.h"
#include "Helper/ExifWriter.h"
#include "RenamingOptionsJson.h"
#include "batch/GeoNamesGeocoder.h"
#include "batch/LocationNamer.h"
#include "batch/OutputPathBuilder.h"
#include "model/KeyedCoder.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

std::optional<QByteArray> readFile(const QString& path, QTextStream& err)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        err << "velloran-bench: cannot read " << path << ": " << file.errorString() << '\n';
        return std::nullopt;
    }
    return file.readAll();
}

// The settings record as a preset applied to a fresh form: a field with a text counts as edited.
std::shared_ptr<MetaDataObject> loadSettings(const QString& path, QTextStream& err)
{
    const std::optional<QByteArray> bytes = readFile(path, err);
    if (!bytes)
        return nullptr;
    const std::optional<KeyedDecoder> decoder = KeyedDecoder::fromJson(*bytes, MetaDataObject::kClassName);
    if (!decoder) {
        err << "velloran-bench: " << path << " is no keyed archive of a MetaDataObject\n";
        return nullptr;
    }
    std::shared_ptr<MetaDataObject> settings = MetaDataObject::initWithCoder(*decoder);
    for (const auto& info : kMetadataFields)
        settings->setUpdated(info.field, !settings->field(info.field).isEmpty());
    return settings;
}

// The edited-fields-only twin: the edited fields' texts, every other field "".
std::shared_ptr<MetaDataObject> editedFieldsOnly(const MetaDataObject& settings)
{
    std::shared_ptr<MetaDataObject> updated = MetaDataObject::initWithObject(settings);
    for (const auto& info : kMetadataFields) {
        if (!settings.isUpdated(info.field))
            updated->setField(info.field, u""_s);
    }
    return updated;
}

QString oneLine(QString text)
{
    text.replace(u'\t', u' ');
    text.replace(u'\n', u' ');
    return text;
}

} // namespace

int runWriting(const BenchArguments& arguments, QTextStream& out, QTextStream& err)
{
    const bool restore = arguments.command == BenchArguments::Command::Restore;
    std::shared_ptr<MetaDataObject> settings = std::make_shared<MetaDataObject>();
    if (!arguments.settingsFile.isEmpty()) {
        settings = loadSettings(arguments.settingsFile, err);
        if (!settings)
            return 2;
    }
    OutputRenamingOptions options;
    if (!arguments.renameFile.isEmpty()) {
        const std::optional<QByteArray> bytes = readFile(arguments.renameFile, err);
        if (!bytes)
            return 2;
        auto parsed = renamingOptionsFromJson(*bytes);
        if (const auto* error = std::get_if<QString>(&parsed)) {
            err << "velloran-bench: " << arguments.renameFile << ": " << *error << '\n';
            return 2;
        }
        options = std::get<OutputRenamingOptions>(std::move(parsed));
    }
    if (!arguments.outputDir.isEmpty()) {
        const QString outputDir = QDir::cleanPath(QFileInfo(arguments.outputDir).absoluteFilePath());
        if (!QDir().mkpath(outputDir)) {
            err << "velloran-bench: cannot make the output folder " << outputDir << '\n';
            return 2;
        }
        options.ouptputFolderPathName = outputDir;
    }
    if (arguments.keepSource)
        options.sourseFolderSelected = 1;

    QElapsedTimer timer;
    timer.start();
    QStringList paths = benchPhotoPaths(arguments.sourceDir);
    for (QString& path : paths)
        path = QFileInfo(path).absoluteFilePath();

    std::shared_ptr<LocationNamer> namer;
    if (options.renamingOptionIndex == 1 && options.addEXIFLocationCheck == 1)
        namer = std::make_shared<LocationNamer>(std::make_shared<GeoNamesGeocoder>());
    OutputPathBuilder builder(options, namer, paths);
    const std::shared_ptr<MetaDataObject> onlyUpdated = editedFieldsOnly(*settings);

    ExifWriter& writer = ExifWriter::sharedInstance();
    int errors = 0;
    double bytes = 0;
    for (const QString& path : paths) {
        PhotoFile photo(path, false);
        bytes += photo.fileSizeInBytes;
        const OutputPath output = builder.updatedPathWithSelectedSetting(photo, *settings);
        MetadataWriteResult result;
        if (restore) {
            // A restore rewrites the last run's output from the source with the record as first read.
            photo.processedPath = output.path;
            const std::shared_ptr<MetaDataObject> original
                = MetaDataObject::initWithObject(*photo.metadataObjectOriginal);
            const std::shared_ptr<MetaDataObject> nothingEdited = editedFieldsOnly(*original);
            MetaDataObject::metadataObjectWithCleanInfoUpdation(*original);
            result = writer.writeMetaDataToFilePath(photo, *original, QString(), *nothingEdited, true);
        } else {
            MetaDataObject::metadataObjectWithCleanInfoUpdation(*settings);
            result = writer.writeMetaDataToFilePath(photo, *settings, output.path, *onlyUpdated, false);
        }
        if (result.errorFlag != MetadataWriteResult::Processed
            && result.errorFlag != MetadataWriteResult::RawCameraKept)
            ++errors;
        QString message = result.errorMsg;
        for (const auto& warning : output.warnings)
            message += u"; "_s + warning->processMsg;
        out << result.errorFlag << '\t' << (photo.processedPath.isEmpty() ? output.path : photo.processedPath) << '\t'
            << oneLine(message) << '\n';
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const auto perSecond
        = [seconds](double amount) { return seconds > 0 ? QString::number(amount / seconds, 'f', 1) : u"inf"_s; };
    out << paths.size() << " photos, " << errors << " errors, " << QString::number(seconds, 'f', 3) << " s, "
        << perSecond(double(paths.size())) << " photos/s, " << perSecond(bytes / 1e6) << " MB/s\n";
    return 0;
}
