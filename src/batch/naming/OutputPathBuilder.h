#pragma once

#include "batch/naming/OutputRenamingOptions.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>

class LocationNamer;
class MetaDataObject;
class PhotoFile;

// Where one photo's output goes, and the renaming warnings it earned: bare
// PhotoFile records with the source's filePath, a processStatus of 10 (no date),
// 11 (no place) or 12 (name shortened or numbered), and the text in processMsg.
struct OutputPath {
    QString path;
    QList<std::shared_ptr<PhotoFile>> warnings;
};

// Builds the output path of each photo of one batch run: the folder, then the base
// name from the renaming options (custom name, prefix and suffix, a date of the
// photo, its place names and its pixel size, joined without separators of their
// own), then the source's extension.
//
// Make one builder per run, on the main thread, from the options of that run; the
// batch worker then calls it photo after photo. It remembers the paths it gave out,
// so that no two photos of the run share one and no photo lands on the source of
// another photo of the batch list. Not for use from two threads at once.
class OutputPathBuilder {
public:
    // The longest file name, in bytes of UTF-8, that Linux file systems take.
    static constexpr qsizetype kMaximumFileNameBytes = 255;

    // namer may be null when the location token is off; batchSourcePaths are the
    // source files of every photo of the batch list.
    OutputPathBuilder(
        OutputRenamingOptions options, std::shared_ptr<LocationNamer> namer, const QStringList& batchSourcePaths = {});

    // The output path for photo, with settings and onlyUpdated the records the run
    // hands to the writer: a date is named as its setting makes it, a place from
    // the position the writer leaves in the photo. Without onlyUpdated the
    // settings' edited-fields-only twin stands for it. Never fails: a part that
    // cannot be found is left out of the name and reported as a warning.
    OutputPath updatedPathWithSelectedSetting(
        const PhotoFile& photo, const MetaDataObject& settings, const MetaDataObject* onlyUpdated = nullptr);

    const OutputRenamingOptions& options() const { return m_options; }

    // Outputs of photos from a photo library that has no folder of its own go here.
    static QString photosLibraryOutputFolder();

private:
    struct NameParts;

    QString outputFolder(const PhotoFile& photo) const;
    bool isTaken(const QString& identity, const QString& ownSource) const;
    void applyRenaming(NameParts& name, const PhotoFile& photo, const MetaDataObject& settings,
        const MetaDataObject* onlyUpdated, QList<std::shared_ptr<PhotoFile>>& warnings) const;

    OutputRenamingOptions m_options;
    std::shared_ptr<LocationNamer> m_namer;
    QSet<QString> m_batchSources; // identities (see identityOf)
    QHash<QString, QString> m_producedBy; // output identity -> the source it was given to
    QHash<QString, int> m_lastNumber; // wanted clean path -> the last number tried for it
};
