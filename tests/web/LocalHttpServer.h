#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>
#include <QStringList>

class QThread;

namespace pomiv::test {

// What the server answers for one path.
struct HttpAnswer {
    int status = 200;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers; // Content-Type, Location, ...
    int delayMs = 0;                              // wait this long before answering
    bool never = false;                           // take the request and never answer
    int stallAfter = -1;                          // send this many body bytes, then nothing more
    int bodyDelayMs = 0; // send the headers at once and the body this much later

    static HttpAnswer page(const QByteArray &body, const QByteArray &contentType = "text/html");
    static HttpAnswer redirect(const QByteArray &location, int status = 302);
};

class ServerWorker;

// A small HTTP server on 127.0.0.1 for tests and benchmarks. It runs in a
// thread of its own, answers each request on a fresh connection after the
// answer's delay, and records every path asked for. A path without an
// answer gets 404.
class LocalHttpServer {
public:
    LocalHttpServer();
    ~LocalHttpServer();

    quint16 port() const { return m_port; }
    // http://127.0.0.1:port followed by the path.
    QString url(const QString &path) const;

    void answer(const QString &path, const HttpAnswer &answer);
    // Request targets (path and query) in the order they came.
    QStringList requests() const;
    void clearRequests();

private:
    friend class ServerWorker;
    HttpAnswer answerFor(const QString &path);

    QThread *m_thread;
    ServerWorker *m_worker;
    quint16 m_port = 0;
    mutable QMutex m_mutex;
    QHash<QString, HttpAnswer> m_answers;
    QStringList m_requests;
};

} // namespace pomiv::test
