#include "platform/InternetTransfer.h"

#include "platform/Errors.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace pomiv {

QString netErrorText(int err) {
    switch (err) {
    case NetNotHttp:
        return QStringLiteral("このアドレスからは取得できません（http または https のみです）。");
    case NetBusy:
        return QStringLiteral("前の要求を処理しています。");
    case NetConnectFailed:
        return QStringLiteral("サーバーに接続できませんでした。");
    case NetTimeout:
        return QStringLiteral("サーバーが応答しません（時間切れ）。");
    case NetTooLarge:
        return QStringLiteral("データが大きすぎます。");
    case NetRedirect:
        return QStringLiteral("転送先のアドレスが不正か、転送が多すぎます。");
    default:
        return errorText(err);
    }
}

bool isFetchableAddress(const QUrl &url) {
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

TransferLimits &TransferLimits::current() {
    static TransferLimits limits;
    return limits;
}

// ---------------------------------------------------------------------------

static bool isRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

NetRequest::NetRequest(QNetworkAccessManager *manager, const QUrl &url, qint64 maxBytes,
                       QObject *parent)
    : QObject(parent), m_manager(manager), m_current(url), m_maxBytes(maxBytes) {
    if (!isFetchableAddress(url)) {
        m_finished = true;
        m_error = NetNotHttp;
        return;
    }
    const TransferLimits &limits = TransferLimits::current();
    m_stall.setSingleShot(true);
    m_total.setSingleShot(true);
    connect(&m_stall, &QTimer::timeout, this, [this] { abort(NetTimeout); });
    connect(&m_total, &QTimer::timeout, this, [this] { abort(NetTimeout); });
    m_stall.start(limits.stallMs);
    m_total.start(limits.totalMs);
    send(url);
}

NetRequest::~NetRequest() {
    dropReply();
}

void NetRequest::send(const QUrl &url) {
    // Redirections are followed here, not by the network layer, so that
    // each target is checked before it is asked for.
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    m_current = url;
    m_reply = m_manager->get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &NetRequest::onReadyRead);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &NetRequest::onMetaData);
    connect(m_reply, &QNetworkReply::finished, this, &NetRequest::onFinished);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &NetRequest::touch);
}

void NetRequest::dropReply() {
    if (!m_reply)
        return;
    m_reply->disconnect(this);
    if (m_reply->isRunning())
        m_reply->abort();
    m_reply->deleteLater();
    m_reply = nullptr;
}

void NetRequest::touch() {
    if (!m_finished)
        m_stall.start();
}

bool NetRequest::isRedirect() const {
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() && isRedirectStatus(status.toInt()) &&
           m_reply->hasRawHeader("Location");
}

void NetRequest::onMetaData() {
    touch();
    if (isRedirect())
        return;
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > m_maxBytes) {
        abort(NetTooLarge);
        return;
    }
    if (!m_answered) {
        m_answered = true;
        emit answered();
    }
}

void NetRequest::onReadyRead() {
    touch();
    if (isRedirect()) {
        m_reply->readAll();
        return;
    }
    if (!m_answered) {
        m_answered = true;
        emit answered();
        if (m_finished)
            return;
    }
    const qint64 available = m_reply->bytesAvailable();
    if (m_body.size() + available > m_maxBytes) {
        abort(NetTooLarge);
        return;
    }
    m_body.append(m_reply->readAll());
    emit bodyProgress();
}

void NetRequest::followRedirect() {
    const QUrl target = m_current.resolved(QUrl(QString::fromUtf8(m_reply->rawHeader("Location"))));
    const QString from = m_current.scheme().toLower();
    const QString to = target.scheme().toLower();
    if (++m_redirects > TransferLimits::current().redirects || !isFetchableAddress(target) ||
        (from == QLatin1String("https") && to == QLatin1String("http"))) {
        finish(NetRedirect);
        return;
    }
    dropReply();
    m_body.clear();
    touch();
    send(target);
}

void NetRequest::onFinished() {
    if (m_finished)
        return;
    if (isRedirect()) {
        followRedirect();
        return;
    }
    const QNetworkReply::NetworkError err = m_reply->error();
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    m_status = status.isValid() ? status.toInt() : 0;
    m_contentType = m_reply->rawHeader("Content-Type");
    if (m_reply->bytesAvailable() > 0) {
        if (m_body.size() + m_reply->bytesAvailable() > m_maxBytes) {
            finish(NetTooLarge);
            return;
        }
        m_body.append(m_reply->readAll());
    }
    // An error status is still an answer: its body is kept for the caller.
    const bool contentOrServer = (err >= 201 && err <= 299) || (err >= 401 && err <= 499);
    if (err == QNetworkReply::NoError || (m_status > 0 && contentOrServer)) {
        m_answered = true;
        finish(Ok);
        return;
    }
    if (err == QNetworkReply::TimeoutError)
        finish(NetTimeout);
    else
        finish(NetConnectFailed);
}

void NetRequest::abort(int err) {
    if (m_finished)
        return;
    finish(err);
}

void NetRequest::finish(int err) {
    m_finished = true;
    m_error = err;
    m_stall.stop();
    m_total.stop();
    if (err != Ok)
        m_body.clear();
    dropReply();
    emit finished();
}

// ---------------------------------------------------------------------------

InternetTransfer::InternetTransfer(QObject *parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this)) {}

InternetTransfer::~InternetTransfer() {
    delete m_page;
}

void InternetTransfer::waitFor(NetRequest *request) {
    if (!request || request->isFinished())
        return;
    QPointer<NetRequest> guard(request);
    QEventLoop loop;
    connect(request, &NetRequest::finished, &loop, &QEventLoop::quit);
    connect(request, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

int InternetTransfer::OpenURL(const QString &url) {
    if (StillExecuting())
        return NetBusy;
    const QUrl address(url);
    if (!isFetchableAddress(address))
        return NetNotHttp;
    auto *request = new NetRequest(m_manager, address, TransferLimits::current().pageBytes, this);
    m_page = request;
    m_pageUrl = url;
    m_pageState = PageOpened;
    m_bodyStarted = false;
    if (!request->isFinished() && !request->hasAnswer()) {
        QEventLoop loop;
        connect(request, &NetRequest::answered, &loop, &QEventLoop::quit);
        connect(request, &NetRequest::finished, &loop, &QEventLoop::quit);
        connect(request, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!m_page || m_page != request)
        return NetConnectFailed;
    if (request->isFinished() && request->error() != Ok) {
        const int err = request->error();
        delete request;
        m_pageState = PageIdle;
        return err;
    }
    return Ok;
}

int InternetTransfer::OpenURL(const QString &url, QByteArray *body, int *httpStatus) {
    NetRequest request(m_manager, QUrl(url), TransferLimits::current().pictureBytes);
    waitFor(&request);
    if (httpStatus)
        *httpStatus = request.httpStatus();
    if (request.error() != Ok)
        return request.error();
    if (body)
        *body = request.takeBody();
    return Ok;
}

void InternetTransfer::Execute(const QString &url, const QString &operation) {
    Q_UNUSED(operation);
    if (!(m_pageState == PageOpened && m_page && url == m_pageUrl)) {
        Cancel();
        m_page = new NetRequest(m_manager, QUrl(url), TransferLimits::current().pageBytes, this);
        m_pageUrl = url;
        m_bodyStarted = false;
    }
    m_pageState = PageExecuting;
    report(icRequestSent);
    NetRequest *request = m_page;
    if (!request->body().isEmpty())
        onPageBody();
    if (request->isFinished()) {
        onPageFinished();
        return;
    }
    connect(request, &NetRequest::bodyProgress, this, &InternetTransfer::onPageBody);
    connect(request, &NetRequest::finished, this, &InternetTransfer::onPageFinished);
}

void InternetTransfer::onPageBody() {
    if (m_bodyStarted)
        return;
    m_bodyStarted = true;
    report(icReceivingResponse);
}

void InternetTransfer::onPageFinished() {
    NetRequest *request = m_page;
    if (!request)
        return;
    if (request->error() != Ok) {
        failPage();
        return;
    }
    m_body = request->takeBody();
    m_contentType = request->contentType();
    m_read = 0;
    request->deleteLater();
    m_page = nullptr;
    m_pageState = PageComplete;
    if (!m_bodyStarted) {
        m_bodyStarted = true;
        report(icReceivingResponse);
    }
    report(icResponseReceived);
    report(icResponseCompleted);
}

void InternetTransfer::failPage() {
    if (m_page)
        m_page->deleteLater();
    m_page = nullptr;
    m_pageState = PageIdle;
    m_body.clear();
    report(icError);
}

QByteArray InternetTransfer::GetChunk(int size) {
    if (m_pageState != PageComplete || size <= 0)
        return QByteArray();
    const QByteArray piece = m_body.mid(m_read, size);
    m_read += piece.size();
    if (piece.isEmpty()) {
        m_body = QByteArray();
        m_read = 0;
        m_pageState = PageIdle;
    }
    return piece;
}

void InternetTransfer::Cancel() {
    if (m_page) {
        m_page->disconnect(this);
        m_page->abort();
        m_page->deleteLater();
        m_page = nullptr;
    }
    m_pageState = PageIdle;
    m_body = QByteArray();
    m_read = 0;
    m_heldStates.clear();
}

void InternetTransfer::holdStates(bool hold) {
    m_held = hold;
    if (!hold)
        scheduleFlush();
}

void InternetTransfer::report(int state) {
    m_heldStates.push_back(state);
    scheduleFlush();
}

void InternetTransfer::scheduleFlush() {
    if (m_held || m_flushScheduled || m_emitting || m_heldStates.empty())
        return;
    m_flushScheduled = true;
    QMetaObject::invokeMethod(this, &InternetTransfer::flushStates, Qt::QueuedConnection);
}

void InternetTransfer::flushStates() {
    // States are reported one at a time, later, as events; a handler that
    // lets events run (the page reading) sees no further state inside it:
    // the next one is scheduled only after this one has been handled.
    m_flushScheduled = false;
    if (m_held || m_emitting || m_heldStates.empty())
        return;
    const int state = m_heldStates.front();
    m_heldStates.pop_front();
    QPointer<InternetTransfer> self(this);
    m_emitting = true;
    emit StateChanged(state);
    if (!self)
        return;
    m_emitting = false;
    scheduleFlush();
}

NetRequest *InternetTransfer::startBytes(const QString &url) {
    return new NetRequest(m_manager, QUrl(url), TransferLimits::current().pictureBytes, this);
}

} // namespace pomiv
