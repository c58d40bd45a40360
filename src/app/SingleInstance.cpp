#include "app/SingleInstance.h"

#include "app/AppLogging.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <unistd.h>

namespace {
const QByteArray kActivateRequest("activate\n");
}

QString SingleInstance::defaultDirectory()
{
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    return runtime;
}

QString SingleInstance::defaultPath(const QString& suffix)
{
    // The runtime folder is the user's own; the shared temporary folder is not, so
    // there the names carry the user id and each user runs a start of their own.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return QDir::tempPath() + QStringLiteral("/velloran-%1.%2").arg(::getuid()).arg(suffix);
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
