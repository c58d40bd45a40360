#include "support/LocalHttpServer.h"

#include <QBuffer>
#include <QImage>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

class LocalHttpServer::Worker : public QObject {
public:
    explicit Worker(Handler handler)
        : m_handler(std::move(handler))
    {
    }

    quint16 listen()
    {
        m_server = new QTcpServer(this);
        m_server->listen(QHostAddress::LocalHost, 0);
        connect(m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server->nextPendingConnection())
                accept(socket);
        });
        return m_server->serverPort();
    }

    void accept(QTcpSocket* socket)
    {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QList<QByteArray> lines = buffer->left(end).split('\n');
            buffer->clear();
            Request request;
            const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
            request.path = first.value(1);
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                if (colon > 0)
                    request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
            }
            {
                QMutexLocker lock(&mutex);
                requests.append(request);
                ++open;
                mostOpen = std::max(mostOpen, open);
            }
            const Response response = m_handler(request);
            QByteArray reply = "HTTP/1.1 " + QByteArray::number(response.status) + " X\r\nContent-Type: "
                + response.contentType + "\r\nContent-Length: " + QByteArray::number(response.body.size())
                + "\r\nConnection: close\r\n";
            for (const auto& [name, value] : response.headers)
                reply += name + ": " + value + "\r\n";
            reply += "\r\n" + response.body;
            QTimer::singleShot(response.delayMs, socket, [this, socket, reply] {
                {
                    QMutexLocker lock(&mutex);
                    --open;
                }
                socket->write(reply);
                socket->disconnectFromHost();
            });
        });
    }

    mutable QMutex mutex;
    QList<Request> requests;
    int open = 0;
    int mostOpen = 0;

private:
    Handler m_handler;
    QTcpServer* m_server = nullptr;
};

LocalHttpServer::LocalHttpServer(Handler handler)
    : m_worker(new Worker(std::move(handler)))
{
    m_worker->moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(m_worker, [this] { m_port = m_worker->listen(); }, Qt::BlockingQueuedConnection);
}

LocalHttpServer::~LocalHttpServer()
{
    QMetaObject::invokeMethod(m_worker, [this] { delete m_worker; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

QString LocalHttpServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

QList<LocalHttpServer::Request> LocalHttpServer::requests() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->requests;
}

int LocalHttpServer::requestCount() const
{
    QMutexLocker lock(&m_worker->mutex);
    return int(m_worker->requests.size());
}

int LocalHttpServer::mostConcurrentConnections() const
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->mostOpen;
}

QByteArray LocalHttpServer::pngTile(unsigned rgb, int size)
{
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(rgb);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
