#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

class QLocalServer;

// Keeps a second start of the application from running beside the first (the two
// would write over each other's presets). The first start holds a lock file in the
// user's runtime folder and listens on a local socket beside it; a second start
// finds the lock taken and asks the first, through the socket, to bring its window
// to the front. A lock left by a process that no longer runs is taken over.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The lock file and the socket of the user's session.
    SingleInstance(QObject* parent = nullptr);
    SingleInstance(const QString& lockPath, const QString& socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this is the only running start: the lock is held and the socket
    // listens for later starts.
    bool tryToRun();

    // From a later start: asks the running one to come to the front. False when it
    // could not be reached.
    bool activateRunningInstance(int timeoutMilliseconds = 2000);

    // A folder only this user owns and may enter: the runtime folder, else one of
    // ours in the temporary folder, else one in the user's cache folder.
    static QString defaultDirectory();
    // The lock file ("lock") or socket ("socket") of the user's session, in defaultDirectory().
    static QString defaultPath(const QString& suffix);
    // Makes folder (0700) where it is missing; true when it is a folder (not a
    // link) owned by this user that no one else may enter.
    static bool isPrivateFolder(const QString& folder);

signals:
    // A later start asked this one to come to the front.
    void activationRequested();

private:
    QString m_socketPath;
    QLockFile m_lock;
    QLocalServer* m_server = nullptr;
};
