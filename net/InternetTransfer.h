#pragma once

#include "core/Errors.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <deque>
#include <vector>

class QIODevice;
class QNetworkAccessManager;
class QNetworkReply;

namespace pomiv {

// Whether an address may be fetched at all: http or https with a host.
bool isFetchableAddress(const QUrl &url);

// The User-Agent of every request: the program's name and version.
QByteArray userAgent();

// Limits every fetch is held to. Tests make them shorter.
struct TransferLimits {
    int stallMs = 30 * 1000;      // without a byte, connecting included
    int totalMs = 10 * 60 * 1000; // the whole request
    qint64 pageBytes = 20LL * 1024 * 1024;
    qint64 pictureBytes = 200LL * 1024 * 1024;
    int redirects = 10;
    QList<QSslCertificate> caCertificates{}; // trusted besides the system's (tests)

    static TransferLimits &current();
};

class NetRequest;
struct FetchBudget;

// The internet transfer component of the download window: one page request
// at a time, reported through StateChanged and read in pieces, and
// picture fetches that may run side by side, each waited for in turn.
//
// Synchronous waits run a local event loop that takes no user input: windows
// repaint, but no click or key is handled until the wait ends.
class InternetTransfer : public QObject {
    Q_OBJECT
public:
    enum State {
        icNone = 0,
        icResolvingHost = 1,
        icHostResolved = 2,
        icConnecting = 3,
        icConnected = 4,
        icRequesting = 5,
        icRequestSent = 6,
        icReceivingResponse = 7,
        icResponseReceived = 8,
        icDisconnecting = 9,
        icDisconnected = 10,
        icError = 11,
        icResponseCompleted = 12,
    };

    explicit InternetTransfer(QObject *parent = nullptr);
    ~InternetTransfer() override;

    // Text fetch of a page: starts a GET and waits until its answer begins
    // (or the fetch fails). Execute with the same address then carries on
    // with this request instead of fetching the page again. Returns Ok or
    // the error; NetBusy while another page request is in progress.
    Error OpenURL(const QString &url);

    // Carries on with the request begun by OpenURL for this address, or
    // starts a new one, and returns at once. States follow through
    // StateChanged: 6 now, 7 when the body starts, 8 when it is complete,
    // then 12 once; 11 on failure.
    void Execute(const QString &url, const QString &operation = QStringLiteral("GET"));

    // After state 12: the next piece of the body, at most size bytes; empty
    // when nothing is left, which also ends the request.
    QByteArray GetChunk(int size);

    // The whole body of the completed page request (to choose its encoding)
    // and its Content-Type header.
    const QByteArray &responseBody() const { return m_body; }
    QByteArray contentType() const { return m_contentType; }

    // Ends the page request in progress; nothing when none is.
    void Cancel();

    // Whether a page request is begun, running, or not read to its end.
    bool StillExecuting() const { return m_pageState != PageIdle; }

    // While held, states are kept back and reported in order on release.
    void holdStates(bool hold);

    // A picture fetch that may run beside others; the caller waits for each
    // in turn. Deleted with the transfer object at the latest.
    NetRequest *startPicture(const QString &url, const QString &referer,
                             FetchBudget *budget = nullptr);

    // Waits, taking no user input, until the request has finished.
    static void waitFor(NetRequest *request);

signals:
    void StateChanged(int state);

private:
    enum PageState { PageIdle, PageOpened, PageExecuting, PageComplete };

    void report(int state);
    void flushStates();
    void scheduleFlush();
    void onPageBody();
    void onPageFinished();
    void failPage();

    QNetworkAccessManager *m_manager;
    // Pictures go through both managers in turn: Qt lets one manager open at
    // most six connections to a server, and eight pictures are fetched at
    // once.
    QNetworkAccessManager *m_secondManager = nullptr;
    int m_pictures = 0;
    QPointer<NetRequest> m_page;
    QString m_pageUrl;
    PageState m_pageState = PageIdle;
    bool m_bodyStarted = false;
    bool m_held = false;
    bool m_flushScheduled = false;
    bool m_emitting = false;
    std::deque<int> m_heldStates;
    QByteArray m_body;
    QByteArray m_contentType;
    qsizetype m_read = 0;
};

// A body gathered in pieces that stay where they are once filled, so that a
// large body is never copied while it grows.
class BodyPieces {
public:
    qint64 size() const { return m_size; }
    // Reads up to most bytes from the device; expected is the whole body's
    // announced size, -1 when unknown. Returns the bytes read.
    qint64 readFrom(QIODevice *device, qint64 most, qint64 expected);
    QByteArray first(qsizetype n) const;
    QByteArray last(qsizetype n) const;
    QByteArray joined() const;
    bool writeTo(QIODevice *device) const;
    void clear();

private:
    std::vector<QByteArray> m_pieces;
    qint64 m_size = 0;
};

// Body bytes held by the requests of one run, against the most it may hold
// for requests fetched ahead of the one it waits for.
struct FetchBudget {
    qint64 limit = 0;
    qint64 held = 0;
};

// One GET with the program's limits: only http and https, at most the
// allowed redirections (never from https to http), each followed as soon as
// its headers come, time limits and a body limit on every answer. Names the
// program (User-Agent) and, when given, the page it comes from (Referer).
class NetRequest : public QObject {
    Q_OBJECT
public:
    // Without a budget the time limits run from now. With one the request is
    // fetched ahead: its time limits run from when it is sent, and it stops
    // reading while the budget is spent, until it is waited for (setHead).
    NetRequest(QNetworkAccessManager *manager, const QUrl &url, qint64 maxBytes,
               QObject *parent = nullptr, const QString &referer = {},
               FetchBudget *budget = nullptr);
    ~NetRequest() override;

    bool isFinished() const { return m_finished; }
    bool hasAnswer() const { return m_answered; }
    Error error() const { return m_error; }
    int httpStatus() const { return m_status; }
    QByteArray contentType() const { return m_contentType; }
    // Whether the body's end was only the connection's end (no length
    // announced, not chunked): a connection broken off looks the same.
    bool endedByClose() const { return m_endedByClose; }
    const BodyPieces &body() const { return m_body; }
    QByteArray takeBody();

    // The request is waited for now: its time limits run and it reads
    // whatever the budget says.
    void setHead();
    // Reads again after the budget has room.
    void resume();

    // Stops the request; it finishes with the error given.
    void abort(Error err = NetConnectFailed);

    // Whether other requests were open beside this one.
    bool shared = false;

signals:
    void answered();     // the answer's headers have come
    void bodyProgress(); // some of the body has come
    void finished();

private:
    void onReadyRead();
    // Moves what has come of the body out of the network layer. Returns the
    // bytes moved; -1 when the body would pass its limit (the request has
    // then finished with NetTooLarge).
    qint64 readBody();
    bool checkAnswer();
    void onFinished();
    void send(const QUrl &url);
    void dropReply();
    bool isRedirect() const;
    void followRedirect();
    void finish(Error err);
    void startTimers();
    void touch();
    bool mayRead() const;
    void release();

    QNetworkAccessManager *m_manager;
    QPointer<QNetworkReply> m_reply;
    QTimer m_stall;
    QTimer m_total;
    QUrl m_current;
    QString m_referer;
    FetchBudget *m_budget;
    qint64 m_maxBytes;
    qint64 m_expected = -1;
    qint64 m_held = 0; // of the budget
    int m_totalLeft = 0;
    BodyPieces m_body;
    QByteArray m_contentType;
    int m_redirects = 0;
    int m_status = 0;
    Error m_error = Ok;
    bool m_answered = false;
    bool m_finished = false;
    bool m_timing = false;
    bool m_paused = false;
    bool m_head = false;
    bool m_endedByClose = false;
};

} // namespace pomiv
