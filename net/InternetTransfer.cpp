#include "net/InternetTransfer.h"

#include "core/Errors.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>

namespace pomiv {

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

QByteArray userAgent() {
    return QByteArrayLiteral("pomiv/" POMIV_VERSION);
}

// What Qt may hold of an answer before the program reads it.
static constexpr qint64 replyBufferBytes = 256 * 1024;

qint64 BodyPieces::readFrom(QIODevice *device, qint64 most, qint64 expected) {
    // Pieces of up to 1 MB, each reserved once: the announced size when it
    // is smaller, 64 KB first when none is announced.
    constexpr qsizetype pieceBytes = 1024 * 1024;
    qint64 total = 0;
    while (total < most) {
        if (m_pieces.empty() || m_pieces.back().size() == m_pieces.back().capacity()) {
            qsizetype reserve = m_pieces.empty() ? 64 * 1024 : pieceBytes;
            if (expected > m_size)
                reserve = qsizetype(qMin<qint64>(pieceBytes, expected - m_size));
            m_pieces.emplace_back();
            m_pieces.back().reserve(reserve);
        }
        QByteArray &piece = m_pieces.back();
        const qsizetype at = piece.size();
        const qsizetype room = qMax<qsizetype>(1, piece.capacity() - at);
        piece.resize(at + qsizetype(qMin<qint64>(room, most - total)));
        const qint64 got = device->read(piece.data() + at, piece.size() - at);
        piece.resize(at + qsizetype(qMax<qint64>(got, 0)));
        if (got <= 0)
            break;
        total += got;
        m_size += got;
    }
    return total;
}

QByteArray BodyPieces::first(qsizetype n) const {
    QByteArray bytes;
    for (const QByteArray &piece : m_pieces) {
        if (bytes.size() >= n)
            break;
        bytes += piece.first(qMin(piece.size(), n - bytes.size()));
    }
    return bytes;
}

QByteArray BodyPieces::last(qsizetype n) const {
    QByteArray bytes;
    for (auto piece = m_pieces.rbegin(); piece != m_pieces.rend() && bytes.size() < n; ++piece)
        bytes.prepend(piece->last(qMin(piece->size(), n - bytes.size())));
    return bytes;
}

QByteArray BodyPieces::joined() const {
    QByteArray bytes;
    bytes.reserve(qsizetype(m_size));
    for (const QByteArray &piece : m_pieces)
        bytes += piece;
    return bytes;
}

bool BodyPieces::writeTo(QIODevice *device) const {
    for (const QByteArray &piece : m_pieces) {
        if (device->write(piece) != piece.size())
            return false;
    }
    return true;
}

void BodyPieces::clear() {
    m_pieces.clear();
    m_size = 0;
}

NetRequest::NetRequest(QNetworkAccessManager *manager, const QUrl &url, qint64 maxBytes,
                       QObject *parent, const QString &referer, FetchBudget *budget)
    : QObject(parent), m_manager(manager), m_current(url), m_referer(referer), m_budget(budget),
      m_maxBytes(maxBytes) {
    if (!isFetchableAddress(url)) {
        m_finished = true;
        m_error = NetNotHttp;
        return;
    }
    m_stall.setSingleShot(true);
    m_total.setSingleShot(true);
    connect(&m_stall, &QTimer::timeout, this, [this] { abort(NetTimeout); });
    connect(&m_total, &QTimer::timeout, this, [this] { abort(NetTimeout); });
    if (!m_budget)
        setHead();
    send(url);
}

NetRequest::~NetRequest() {
    dropReply();
    release();
}

void NetRequest::send(const QUrl &url) {
    // Redirections are followed here, not by the network layer, so that
    // each target is checked before it is asked for.
    const TransferLimits &limits = TransferLimits::current();
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
    // As browsers do, no Referer from an https page to an http address.
    const QUrl page(m_referer);
    if (!m_referer.isEmpty() && !(page.scheme().toLower() == QLatin1String("https") &&
                                  url.scheme().toLower() == QLatin1String("http")))
        request.setRawHeader("Referer", page.toEncoded());
    if (!limits.caCertificates.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(limits.caCertificates);
        request.setSslConfiguration(tls);
    }
    m_current = url;
    m_reply = m_manager->get(request);
    m_reply->setReadBufferSize(replyBufferBytes);
    connect(m_reply, &QNetworkReply::readyRead, this, &NetRequest::onReadyRead);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &NetRequest::checkAnswer);
    connect(m_reply, &QNetworkReply::finished, this, &NetRequest::onFinished);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &NetRequest::touch);
    connect(m_reply, &QNetworkReply::socketStartedConnecting, this, &NetRequest::startTimers);
    connect(m_reply, &QNetworkReply::requestSent, this, &NetRequest::startTimers);
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

void NetRequest::startTimers() {
    if (m_timing || m_finished)
        return;
    const TransferLimits &limits = TransferLimits::current();
    m_timing = true;
    m_totalLeft = limits.totalMs;
    if (!m_paused) {
        m_stall.start(limits.stallMs);
        m_total.start(m_totalLeft);
    }
}

void NetRequest::touch() {
    if (m_timing && !m_paused && !m_finished)
        m_stall.start(TransferLimits::current().stallMs);
}

void NetRequest::setHead() {
    m_head = true;
    startTimers();
    resume();
}

bool NetRequest::mayRead() const {
    return m_head || !m_budget || m_budget->held < m_budget->limit;
}

void NetRequest::resume() {
    if (!m_paused || !mayRead())
        return;
    m_paused = false;
    if (m_timing) {
        m_stall.start(TransferLimits::current().stallMs);
        m_total.start(m_totalLeft);
    }
    if (m_reply && m_reply->bytesAvailable() > 0)
        onReadyRead();
}

void NetRequest::release() {
    if (m_budget)
        m_budget->held -= m_held;
    m_held = 0;
}

QByteArray NetRequest::takeBody() {
    QByteArray bytes = m_body.joined();
    m_body.clear();
    release();
    return bytes;
}

bool NetRequest::isRedirect() const {
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() && isRedirectStatus(status.toInt()) &&
           m_reply->hasRawHeader("Location");
}

bool NetRequest::checkAnswer() {
    // Called when headers come: a redirection is followed at once, its body
    // never read; an announced body over the limit is refused unread.
    if (m_finished || !m_reply)
        return false;
    touch();
    if (isRedirect()) {
        followRedirect();
        return false;
    }
    if (m_answered)
        return true;
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > m_maxBytes) {
        abort(NetTooLarge);
        return false;
    }
    m_expected = length.isValid() ? length.toLongLong() : -1;
    m_endedByClose =
        !length.isValid() && !m_reply->rawHeader("Transfer-Encoding").toLower().contains("chunked");
    m_answered = true;
    emit answered();
    return !m_finished;
}

void NetRequest::onReadyRead() {
    if (!checkAnswer())
        return;
    if (!mayRead()) {
        // Left in the network layer, which stops reading when its buffer is
        // full; the time limits wait too.
        if (!m_paused) {
            m_paused = true;
            m_totalLeft = qMax(1, m_total.remainingTime());
            m_stall.stop();
            m_total.stop();
        }
        return;
    }
    if (readBody() <= 0)
        return;
    touch();
    emit bodyProgress();
}

qint64 NetRequest::readBody() {
    const qint64 available = m_reply->bytesAvailable();
    if (available <= 0)
        return 0;
    if (m_body.size() + available > m_maxBytes) {
        abort(NetTooLarge);
        return -1;
    }
    const qint64 got = m_body.readFrom(m_reply, available, m_expected);
    m_held += got;
    if (m_budget)
        m_budget->held += got;
    return got;
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
    if (status.isValid() && !checkAnswer())
        return;
    // What is left is at most the network layer's buffer.
    if (readBody() < 0)
        return;
    // An error status is still an answer: its body is kept for the caller.
    // A connection that broke off is not, whatever came before.
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

void NetRequest::abort(Error err) {
    if (m_finished)
        return;
    finish(err);
}

void NetRequest::finish(Error err) {
    m_finished = true;
    m_error = err;
    m_stall.stop();
    m_total.stop();
    if (err != Ok) {
        m_body.clear();
        release();
    }
    dropReply();
    emit finished();
}

// ---------------------------------------------------------------------------

InternetTransfer::InternetTransfer(QObject *parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this)) {
    // The system's proxies: http_proxy, https_proxy and no_proxy here, the
    // system settings elsewhere.
    QNetworkProxyFactory::setUseSystemConfiguration(true);
}

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

Error InternetTransfer::OpenURL(const QString &url) {
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
        const Error err = request->error();
        delete request;
        m_pageState = PageIdle;
        return err;
    }
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
    if (request->body().size() > 0)
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

NetRequest *InternetTransfer::startPicture(const QString &url, const QString &referer,
                                           FetchBudget *budget) {
    if (!m_secondManager)
        m_secondManager = new QNetworkAccessManager(this);
    QNetworkAccessManager *manager = m_pictures++ % 2 ? m_secondManager : m_manager;
    return new NetRequest(manager, QUrl(url), TransferLimits::current().pictureBytes, this, referer,
                          budget);
}

} // namespace pomiv
