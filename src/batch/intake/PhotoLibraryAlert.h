#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// What a photo-library reader has to tell the user. The readers run on the
// intake worker, so they only describe the alert; the handler the caller gives
// them shows it on the main thread (and may keep the reader waiting meanwhile).
struct PhotoLibraryAlert {
    enum class Kind {
        ArchivePathMissing, // the older library's XML list does not say where it was written
        LibraryUnreadable, // the database or the XML list is missing, damaged or of another layout
        RowsLeftOut, // rows whose columns hold values of the wrong type were left out; the rest came in
    };
    Kind kind;
    QString message;
    QString informativeText;
};

using PhotoLibraryAlertHandler = std::function<void(const PhotoLibraryAlert&)>;

// Builds the alert for a library that yields nothing because it could not be read.
PhotoLibraryAlert unreadableLibraryAlert(const QString& libraryPath, const QString& reason);
// Builds the alert for a library some of whose rows were left out, one note per query.
PhotoLibraryAlert rowsLeftOutAlert(const QString& libraryPath, const QStringList& notes);
