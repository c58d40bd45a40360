#include "app/SingleInstance.h"

#include "app/AppLogging.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QByteArray kActivateRequest("activate\n");
}

bool SingleInstance::isPrivateFolder(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info { };
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return false;
    return (info.st_mode & 077) == 0 || ::chmod(path.constData(), 0700) == 0;
}

QString SingleInstance::defaultDirectory()
{
    // A lock in a folder others may write to can be taken by them first, and the
    // sticky bit of the shared temporary folder keeps us from removing theirs: the
    // lock lives only in a folder this user alone owns. Qt makes and checks the
    // runtime folder so; where it cannot (no XDG_RUNTIME_DIR and another user took
    // its fallback name) a folder of ours is made, else one in the user's cache.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && isPrivateFolder(runtime))
        return runtime;
    const QString ownTemporary = QDir::tempPath() + QStringLiteral("/velloran-%1").arg(::geteuid());
    if (isPrivateFolder(ownTemporary))
        return ownTemporary;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    QDir().mkpath(cache);
    const QString own = cache + QStringLiteral("/velloran");
    if (isPrivateFolder(own))
        return own;
    qCWarning(lcApp) << "no folder of this user's own holds the lock; using" << own;
    return own;
}

QString SingleInstance::defaultPath(const QString& suffix)
{
    return defaultDirectory() + QStringLiteral("/velloran.") + suffix;
}

SingleInstance::SingleInstance(QObject* parent)
    : SingleInstance(defaultPath(QStringLiteral("lock")), defaultPath(QStringLiteral("socket")), parent)
{
}

SingleInstance::SingleInstance(const QString& lockPath, const QString& socketPath, QObject* parent)
    : QObject(parent)
    , m_socketPath(socketPath)
    , m_lock(lockPath)
{
    // A running instance is never stale, however long it runs; a dead one is found
    // by its process id.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

bool SingleInstance::tryToRun()
{
    if (!m_lock.tryLock(0))
        return false;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Holding the lock, any socket left here belongs to a process that is gone.
    QLocalServer::removeServer(m_socketPath);
    if (!m_server->listen(m_socketPath))
        qCWarning(lcApp) << "later starts cannot reach this one:" << m_server->errorString();
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->canReadLine() && socket->readLine() == kActivateRequest)
                    emit activationRequested();
                socket->disconnectFromServer();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}

bool SingleInstance::activateRunningInstance(int timeoutMilliseconds)
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(timeoutMilliseconds))
        return false;
    socket.write(kActivateRequest);
    const bool written = socket.waitForBytesWritten(timeoutMilliseconds);
    socket.disconnectFromServer();
    return written;
}
