#pragma once

#include <QString>
#include <functional>

// What a photo-library reader has to tell the user. The readers run on the
// intake worker, so they only describe the alert; the handler the caller gives
// them shows it on the main thread (and may keep the reader waiting meanwhile).
struct PhotoLibraryAlert {
    enum class Kind {
        ArchivePathMissing, // the older library's XML list does not say where it was written
        LibraryUnreadable, // the database or the XML list is missing, damaged or of another layout
    };
    Kind kind;
    QString message;
    QString informativeText;
};

using PhotoLibraryAlertHandler = std::function<void(const PhotoLibraryAlert&)>;

// Builds the alert for a library that yields nothing because it could not be read.
PhotoLibraryAlert unreadableLibraryAlert(const QString& libraryPath, const QString& reason);
