#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>

class QTcpServer;

// A small HTTP/1.1 server on 127.0.0.1 for tests of the map and the place names, so
// that no test leaves the machine. It runs on its own thread (a caller may block
// its own thread while it waits for an answer) and answers each GET from the
// handler, which is called on the server's thread. Closes each connection after
// the answer.
class LocalHttpServer {
public:
    struct Request {
        QByteArray path; // with the query
        QHash<QByteArray, QByteArray> headers; // names in lower case
    };
    struct Response {
        int status = 200;
        QByteArray contentType = "text/plain";
        QByteArray body;
        QList<std::pair<QByteArray, QByteArray>> headers;
        int delayMs = 0; // waits this long before answering
    };
    using Handler = std::function<Response(const Request&)>;

    explicit LocalHttpServer(Handler handler);
    ~LocalHttpServer();

    // "http://127.0.0.1:<port>"
    QString baseUrl() const;
    QList<Request> requests() const;
    int requestCount() const;
    // The largest number of requests that were being answered at once.
    int mostConcurrentConnections() const;

    // A PNG of one colour, as a tile server would send.
    static QByteArray pngTile(unsigned rgb, int size = 256);

private:
    class Worker;
    QThread m_thread;
    Worker* m_worker = nullptr;
    quint16 m_port = 0;
};
