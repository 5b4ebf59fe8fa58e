#pragma once

#include <QHash>
#include <QMutex>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

namespace pomiv::test {

// What the server answers for one path.
struct HttpAnswer {
    QByteArray body{};
    QByteArray type = "text/html"; // Content-Type
    int status = 200;
    QByteArray location{}; // a redirection's target
    int delayMs = 0;       // wait this long before answering
    bool never = false;    // take the request and never answer
    int stallAfter = -1;   // send this many body bytes, then pause
    int stallMs = -1;      // the pause before the rest; -1: forever
};

// An HTTP server on 127.0.0.1 in a thread of its own. It records every
// request target; a path without an answer gets 404.
class LocalHttpServer {
public:
    LocalHttpServer() {
        QObject::connect(m_server, &QTcpServer::newConnection, m_server, [this] {
            while (QTcpSocket *socket = m_server->nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket] { serve(socket); });
        });
        m_server->moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            m_server, [this] { return m_server->listen(QHostAddress::LocalHost, 0); },
            Qt::BlockingQueuedConnection);
    }

    ~LocalHttpServer() {
        // The connections are the server's children and go with it.
        QMetaObject::invokeMethod(
            m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    QString url(const QString &path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server->serverPort()).arg(path);
    }
    void answer(const QString &path, const HttpAnswer &answer) {
        QMutexLocker lock(&m_mutex);
        m_answers.insert(path, answer);
    }
    QStringList requests() const {
        QMutexLocker lock(&m_mutex);
        return m_requests;
    }
    void clearRequests() {
        QMutexLocker lock(&m_mutex);
        m_requests.clear();
    }

private:
    void serve(QTcpSocket *socket) {
        const QByteArray request = socket->peek(1 << 16);
        if (!request.contains("\r\n\r\n"))
            return;
        socket->readAll();
        const QString target = QString::fromLatin1(request.split(' ').value(1));
        QMutexLocker lock(&m_mutex);
        m_requests.append(target);
        const HttpAnswer a =
            m_answers.value(target, {.body = "<html><body>Not Found</body></html>", .status = 404});
        lock.unlock();
        if (a.never)
            return;
        QTimer::singleShot(a.delayMs, socket, [socket, a] {
            QByteArray head = "HTTP/1.1 " + QByteArray::number(a.status) + " X\r\n";
            head += "Connection: close\r\nContent-Type: " + a.type + "\r\n";
            head += "Content-Length: " + QByteArray::number(a.body.size()) + "\r\n";
            if (!a.location.isEmpty())
                head += "Location: " + a.location + "\r\n";
            socket->write(head + "\r\n" + a.body.first(qMax(a.stallAfter, 0)));
            const auto rest = [socket, a] {
                socket->write(a.body.mid(qMax(a.stallAfter, 0)));
                socket->disconnectFromHost();
            };
            if (a.stallAfter < 0)
                rest();
            else if (a.stallMs >= 0)
                QTimer::singleShot(a.stallMs, socket, rest);
        });
    }

    QThread m_thread;
    QTcpServer *m_server = new QTcpServer;
    mutable QMutex m_mutex;
    QHash<QString, HttpAnswer> m_answers;
    QStringList m_requests;
};

} // namespace pomiv::test
