#pragma once

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QProcess>
#include <QSslKey>
#include <QSslServer>
#include <QThread>
#include <QTimer>

#include <deque>

#include <sys/socket.h>

namespace pomiv::test {

// What the server answers for one path (or, as a proxy, one address).
struct HttpAnswer {
    QByteArray body{};
    QByteArray type = "text/html"; // Content-Type
    int status = 200;
    QByteArray location{}; // a redirection's target
    int delayMs = 0;       // wait this long before answering
    bool never = false;    // take the request and never answer
    int stallAfter = -1;   // send this many body bytes, then pause
    int stallMs = -1;      // the pause before the rest; -1: forever
    bool reset = false;    // after the pause, break the connection off instead
    qint64 size = -1;      // instead of body: a JPEG start, then filler; -2: never ends
    bool noLength = false; // no Content-Length: the body ends with the connection
    int brokenOff = 0;     // the first requests for it broken off unanswered
};

// A body that starts like a JPEG file, tagged so that files can be told apart.
inline QByteArray picture(int size, int tag = 0) {
    const QByteArray head = "\xFF\xD8\xFF\xE0" + QByteArray::number(tag) + '|';
    return head + QByteArray(size - head.size(), 'j');
}

inline HttpAnswer jpeg(int tag = 0, int size = 20000) {
    return {.body = picture(size, tag), .type = "image/jpeg"};
}

// Whether connections are served together, strictly one after another (the
// others wait, connected), or one at a time with the others broken off.
enum class Serving { Together, OneAtATime, ResetOthers };

// Breaks a connection off: a reset, not an orderly close.
inline void resetConnection(QTcpSocket *socket) {
    const linger now{1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now, sizeof now);
    socket->abort();
}

// Sends one answer, its body in pieces as the connection drains, so that
// endless or large bodies cost the server little.
class AnswerSender : public QObject {
public:
    AnswerSender(QTcpSocket *socket, const HttpAnswer &a) : QObject(socket), m_s(socket), m_a(a) {
        m_total = a.size == -2 ? -1 : a.size >= 0 ? a.size : a.body.size();
        m_limit = a.stallAfter >= 0 ? a.stallAfter : m_total;
        QByteArray head = "HTTP/1.1 " + QByteArray::number(a.status) + " X\r\n";
        head += "Connection: close\r\nContent-Type: " + a.type + "\r\n";
        if (!a.noLength && m_total >= 0)
            head += "Content-Length: " + QByteArray::number(m_total) + "\r\n";
        if (!a.location.isEmpty())
            head += "Location: " + a.location + "\r\n";
        m_s->write(head + "\r\n");
        connect(m_s, &QTcpSocket::bytesWritten, this, &AnswerSender::pump);
        pump();
    }

private:
    void pump() {
        while (!m_paused && m_s->bytesToWrite() < (256 << 10) && m_sent != m_limit) {
            const qint64 n = m_limit < 0 ? 64 << 10 : qMin<qint64>(64 << 10, m_limit - m_sent);
            QByteArray piece = m_a.size == -1 ? m_a.body.mid(m_sent, n) : QByteArray(n, 'p');
            if (m_a.size != -1 && m_sent == 0)
                piece.replace(0, qMin<qint64>(4, n), QByteArray("\xFF\xD8\xFF\xE0").left(n));
            m_s->write(piece);
            m_sent += n;
        }
        if (m_paused || m_sent != m_limit || m_s->bytesToWrite())
            return;
        m_paused = true;
        if (m_limit == m_total)
            m_s->disconnectFromHost();
        else if (m_a.stallMs >= 0)
            QTimer::singleShot(m_a.stallMs, this, [this] {
                if (m_a.reset)
                    return resetConnection(m_s);
                m_paused = false;
                m_limit = m_total;
                pump();
            });
    }

    QTcpSocket *m_s;
    HttpAnswer m_a;
    qint64 m_total = 0, m_limit = 0, m_sent = 0;
    bool m_paused = false;
};

// A certificate and key made for the tests alone (by the openssl tool), for
// 127.0.0.1; nothing else trusts it.
inline QSslConfiguration makeTestTls(const QString &folder) {
    const QString key = folder + "/key.pem", cert = folder + "/cert.pem";
    QProcess::execute("openssl",
                      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                       "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1", "-addext",
                       "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert});
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(QSslCertificate::fromPath(cert));
    QFile keyFile(key);
    keyFile.open(QIODevice::ReadOnly);
    tls.setPrivateKey(QSslKey(&keyFile, QSsl::Ec));
    return tls;
}

// An HTTP (or, given a certificate, HTTPS) server on 127.0.0.1 in a thread of
// its own. It records every request; a path without an answer gets 404.
class LocalHttpServer {
public:
    explicit LocalHttpServer(const QSslConfiguration &tls = {}) : m_tls(!tls.isNull()) {
        m_server = m_tls ? new QSslServer : new QTcpServer;
        if (m_tls)
            static_cast<QSslServer *>(m_server)->setSslConfiguration(tls);
        QObject::connect(m_server, &QTcpServer::pendingConnectionAvailable, m_server, [this] {
            while (QTcpSocket *socket = m_server->nextPendingConnection())
                accept(socket);
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
        return (m_tls ? "https" : "http") +
               QStringLiteral("://127.0.0.1:%1").arg(m_server->serverPort()) + path;
    }
    void answer(const QString &target, const HttpAnswer &answer) {
        QMutexLocker lock(&m_mutex);
        m_answers.insert(target, answer);
    }
    void setServing(Serving serving) { m_serving = serving; }
    QStringList requests() const {
        QMutexLocker lock(&m_mutex);
        return m_requests;
    }
    // A header of the latest request for the target, empty when none came.
    QByteArray header(const QString &target, const QByteArray &name) const {
        QMutexLocker lock(&m_mutex);
        for (const QByteArray &line : m_heads.value(target).split('\n'))
            if (line.toLower().startsWith(name.toLower() + ':'))
                return line.mid(name.size() + 1).trimmed();
        return {};
    }
    void clearRequests() {
        QMutexLocker lock(&m_mutex);
        m_requests.clear();
        m_heads.clear();
    }

private:
    void accept(QTcpSocket *socket) {
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
            std::erase(m_waiting, socket);
            socket->deleteLater();
            if (!m_waiting.empty())
                serve(m_waiting.front());
        });
        if (m_serving == Serving::ResetOthers && !m_waiting.empty())
            return resetConnection(socket);
        m_waiting.push_back(socket);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
        serve(socket);
    }

    void serve(QTcpSocket *socket) {
        const QByteArray request = socket->peek(1 << 16);
        if (!request.contains("\r\n\r\n") || socket->property("served").toBool() ||
            (m_serving != Serving::Together && m_waiting.front() != socket))
            return;
        socket->setProperty("served", true);
        socket->readAll();
        const QString target = QString::fromLatin1(request.split(' ').value(1));
        QMutexLocker lock(&m_mutex);
        m_requests.append(target);
        m_heads.insert(target, request.left(request.indexOf("\r\n\r\n")));
        const HttpAnswer a = m_answers.value(target, {.body = "Not Found", .status = 404});
        const bool breakOff = m_requests.count(target) <= a.brokenOff;
        lock.unlock();
        if (breakOff)
            return resetConnection(socket);
        if (!a.never)
            QTimer::singleShot(a.delayMs, socket, [socket, a] { new AnswerSender(socket, a); });
    }

    bool m_tls;
    QThread m_thread;
    QTcpServer *m_server;
    Serving m_serving = Serving::Together;
    std::deque<QTcpSocket *> m_waiting; // connections in the order they came
    mutable QMutex m_mutex;
    QHash<QString, HttpAnswer> m_answers;
    QStringList m_requests;
    QHash<QString, QByteArray> m_heads;
};

} // namespace pomiv::test
