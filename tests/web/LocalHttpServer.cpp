#include "LocalHttpServer.h"

#include <QHostAddress>
#include <QMutexLocker>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

namespace pomiv::test {

HttpAnswer HttpAnswer::page(const QByteArray &body, const QByteArray &contentType) {
    HttpAnswer a;
    a.body = body;
    a.headers.append(qMakePair(QByteArray("Content-Type"), contentType));
    return a;
}

HttpAnswer HttpAnswer::redirect(const QByteArray &location, int status) {
    HttpAnswer a;
    a.status = status;
    a.headers.append(qMakePair(QByteArray("Location"), location));
    return a;
}

class ServerWorker : public QObject {
public:
    explicit ServerWorker(LocalHttpServer *owner) : m_owner(owner) {}

    quint16 listen() {
        m_server = new QTcpServer(this);
        m_server->listen(QHostAddress::LocalHost, 0);
        connect(m_server, &QTcpServer::newConnection, this, &ServerWorker::accept);
        return m_server->serverPort();
    }

    void stop() {
        for (QTcpSocket *socket : findChildren<QTcpSocket *>())
            socket->abort();
        delete m_server;
        m_server = nullptr;
    }

private:
    void accept() {
        while (QTcpSocket *socket = m_server->nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void read(QTcpSocket *socket) {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray requestLine = buffer.left(buffer.indexOf("\r\n"));
        m_buffers.remove(socket);
        disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
        const QList<QByteArray> parts = requestLine.split(' ');
        const QString target = parts.size() > 1 ? QString::fromLatin1(parts[1]) : QString();
        const HttpAnswer answer = m_owner->answerFor(target);
        if (answer.never)
            return;
        QPointer<QTcpSocket> guard(socket);
        auto send = [guard, answer] {
            if (!guard)
                return;
            QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\n";
            head += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
            head += "Connection: close\r\n";
            for (const auto &[name, value] : answer.headers)
                head += name + ": " + value + "\r\n";
            head += "\r\n";
            guard->write(head);
            if (answer.stallAfter >= 0) {
                guard->write(answer.body.left(answer.stallAfter));
                return;
            }
            if (answer.bodyDelayMs > 0) {
                QTimer::singleShot(answer.bodyDelayMs, guard.data(), [guard, answer] {
                    guard->write(answer.body);
                    guard->disconnectFromHost();
                });
                return;
            }
            guard->write(answer.body);
            guard->disconnectFromHost();
        };
        if (answer.delayMs > 0)
            QTimer::singleShot(answer.delayMs, this, send);
        else
            send();
    }

    LocalHttpServer *m_owner;
    QTcpServer *m_server = nullptr;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

LocalHttpServer::LocalHttpServer() : m_thread(new QThread) {
    m_worker = new ServerWorker(this);
    m_worker->moveToThread(m_thread);
    m_thread->start();
    QMetaObject::invokeMethod(
        m_worker, [this] { return m_worker->listen(); }, Qt::BlockingQueuedConnection, &m_port);
}

LocalHttpServer::~LocalHttpServer() {
    QMetaObject::invokeMethod(
        m_worker, [this] { m_worker->stop(); }, Qt::BlockingQueuedConnection);
    QMetaObject::invokeMethod(
        m_worker, [this] { delete m_worker; }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

QString LocalHttpServer::url(const QString &path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

void LocalHttpServer::answer(const QString &path, const HttpAnswer &answer) {
    QMutexLocker lock(&m_mutex);
    m_answers.insert(path, answer);
}

QStringList LocalHttpServer::requests() const {
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

void LocalHttpServer::clearRequests() {
    QMutexLocker lock(&m_mutex);
    m_requests.clear();
}

HttpAnswer LocalHttpServer::answerFor(const QString &path) {
    QMutexLocker lock(&m_mutex);
    m_requests.append(path);
    const auto it = m_answers.constFind(path);
    if (it != m_answers.constEnd())
        return *it;
    HttpAnswer missing;
    missing.status = 404;
    missing.body = "<html><body>Not Found</body></html>";
    missing.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("text/html")));
    return missing;
}

} // namespace pomiv::test
