#pragma once

#include "batch/intake/PhotoAcceptance.h"
#include "batch/intake/PhotoIntakeSummary.h"
#include "batch/intake/PhotoLibraryAlert.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

// The walk of one adding: turns the chosen files, folders and photo libraries
// into the ordered list of paths to add, applying the acceptance rules and the
// limit. It reads folders and library databases but no photo, so it is cheap and
// its result does not depend on how the photos are read afterwards.
//
// A FIFO, socket or device under a photo's name is refused where the folder's
// listing or the chosen path's one look already tells its kind (the readers
// check the kind again at every open).
//
// Folders are walked depth first, each folder's entries in byte order of their
// names, so an adding is reproducible. Hidden entries (a leading ".") inside a
// folder are skipped; a hidden file chosen by itself is offered. Symbolic links to
// folders are not followed inside a folder (no loops); links to files are offered.
// A folder that cannot be read is logged, counted and skipped, its siblings still
// walked. Photo-library folders inside a folder contribute nothing; a library
// chosen itself is read through the library readers, and a path it lists that
// does not lie inside it (after links and "..") is refused.
class PhotoIntakeWalk {
public:
    struct Options {
        int maxPhotos = kMaxPhotosPerAdding;
        QString fileType = QStringLiteral("ALL");
        // Told the path of each file inside a folder whose name is not UTF-8,
        // which the walk refuses (the batch tool names them).
        std::function<void(const QByteArray& path)> onUndecodableName;
        // Told every path the walk does not take, with the rule that refused it (a
        // name that is not UTF-8 too, as the replacement characters' text).
        std::function<void(const QString& path, PhotoVerdict verdict)> onRefused;
    };
    using AcceptedSink = std::function<void(const QString& path)>;

    // pathsInBatch: the paths of the batch list when the adding starts (the
    // duplicate test compares exact texts). stop is polled after each accepted
    // path and between folders.
    PhotoIntakeWalk(QSet<QString> pathsInBatch, Options options, const std::atomic<bool>& stop,
        PhotoLibraryAlertHandler onLibraryAlert = {});

    // Walks the paths in order and calls onAccepted for each path to add, on the
    // calling thread. Returns when everything was walked, at the limit or at a stop.
    void run(const QStringList& paths, const AcceptedSink& onAccepted);

    const PhotoIntakeCounts& counts() const { return m_counts; }
    bool limitExceeded() const { return m_limitExceeded; }
    bool stopped() const { return m_stopped; }

    // A folder read as a Photos library, an older library, or either.
    static bool isPhotosLibraryName(const QString& name);
    static bool isOlderLibraryName(const QString& name);
    static bool isLibraryName(const QByteArray& name);

private:
    void walkChosenPath(const QString& path);
    void walkFolder(const QByteArray& folder);
    void collectFiles(const QByteArray& folder, QList<QByteArray>& files);
    void walkLibraryPaths(const QString& library, const QStringList& imagePaths);
    // False once the walk has ended (limit or stop).
    bool offer(const QString& path);
    void offerFileName(const QByteArray& path);
    void refuse(const QString& path, PhotoVerdict verdict);
    bool stopRequested();

    QSet<QString> m_known;
    QSet<QByteArray> m_notFiles; // FIFOs, sockets and devices met in folders
    Options m_options;
    const std::atomic<bool>& m_stop;
    PhotoLibraryAlertHandler m_onLibraryAlert;
    PhotoAcceptance m_acceptance;
    const AcceptedSink* m_sink = nullptr;
    PhotoIntakeCounts m_counts;
    int m_accepted = 0;
    bool m_limitExceeded = false;
    bool m_stopped = false;
};
