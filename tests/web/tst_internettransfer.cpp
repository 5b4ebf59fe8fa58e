// The internet transfer component against a real server on 127.0.0.1.

#include "LocalHttpServer.h"
#include "platform/InternetTransfer.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

using namespace pomiv;
using namespace pomiv::test;

class TestInternetTransfer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void pageInPieces();
    void errorAnswerIsAPage();
    void redirects_data();
    void redirects();
    void refusedAddresses_data();
    void refusedAddresses();
    void neverAnswers();
    void stallInTheBody();
    void pageTooLarge();
    void busyWhileAPageIsUnread();
    void executeWithoutOpenReportsFailure();
    void cancelStopsStates();
    void heldStatesComeLater();
    void bytes();
    void noServer();
    void parallelFetches();

private:
    QList<int> statesUntilEnd(InternetTransfer &it, QSignalSpy &spy);
    LocalHttpServer server;
};

void TestInternetTransfer::initTestCase() {
    TransferLimits &limits = TransferLimits::current();
    limits.stallMs = 400;
    limits.totalMs = 5000;
    limits.pageBytes = 100000;
    limits.pictureBytes = 200000;
}

QList<int> TestInternetTransfer::statesUntilEnd(InternetTransfer &, QSignalSpy &spy) {
    QList<int> states;
    const auto ended = [&spy] {
        return !spy.isEmpty() && (spy.last().at(0).toInt() == 12 || spy.last().at(0).toInt() == 11);
    };
    if (!QTest::qWaitFor(ended, 10000))
        return {-1};
    for (const QList<QVariant> &args : spy)
        states.append(args.at(0).toInt());
    return states;
}

void TestInternetTransfer::pageInPieces() {
    QByteArray body;
    for (int i = 0; i < 2600; ++i)
        body.append(char('a' + i % 26));
    server.answer("/page.html", HttpAnswer::page(body, "text/html; charset=UTF-8"));
    InternetTransfer it;
    QSignalSpy spy(&it, &InternetTransfer::StateChanged);
    QCOMPARE(it.OpenURL(server.url("/page.html")), 0);
    it.Execute(server.url("/page.html"), "GET");
    QCOMPARE(statesUntilEnd(it, spy), (QList<int>{6, 7, 8, 12}));
    QCOMPARE(it.contentType(), QByteArray("text/html; charset=UTF-8"));
    QByteArray got;
    QList<int> sizes;
    for (;;) {
        const QByteArray piece = it.GetChunk(1024);
        sizes.append(piece.size());
        if (piece.isEmpty())
            break;
        got += piece;
    }
    QCOMPARE(sizes, (QList<int>{1024, 1024, 552, 0}));
    QCOMPARE(got, body);
    QVERIFY(!it.StillExecuting());
    // One request only: the opening wait and Execute share it.
    QCOMPARE(server.requests().count("/page.html"), 1);
}

void TestInternetTransfer::errorAnswerIsAPage() {
    InternetTransfer it;
    QSignalSpy spy(&it, &InternetTransfer::StateChanged);
    QCOMPARE(it.OpenURL(server.url("/missing.html")), 0);
    it.Execute(server.url("/missing.html"), "GET");
    QCOMPARE(statesUntilEnd(it, spy).last(), 12);
    QCOMPARE(it.GetChunk(1024), QByteArray("<html><body>Not Found</body></html>"));
}

void TestInternetTransfer::redirects_data() {
    QTest::addColumn<int>("hops");
    QTest::addColumn<bool>("ok");
    QTest::newRow("one") << 1 << true;
    QTest::newRow("ten") << 10 << true;
    QTest::newRow("eleven") << 11 << false;
}

void TestInternetTransfer::redirects() {
    QFETCH(int, hops);
    QFETCH(bool, ok);
    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    for (int i = 0; i < hops; ++i) {
        server.answer(
            QStringLiteral("/r/%1/%2").arg(tag).arg(i),
            HttpAnswer::redirect(QStringLiteral("/r/%1/%2").arg(tag).arg(i + 1).toLatin1()));
    }
    server.answer(QStringLiteral("/r/%1/%2").arg(tag).arg(hops), HttpAnswer::page("arrived"));
    InternetTransfer it;
    const int err = it.OpenURL(server.url(QStringLiteral("/r/%1/0").arg(tag)));
    if (!ok) {
        QCOMPARE(err, int(NetRedirect));
        return;
    }
    QCOMPARE(err, 0);
    QSignalSpy spy(&it, &InternetTransfer::StateChanged);
    it.Execute(server.url(QStringLiteral("/r/%1/0").arg(tag)), "GET");
    QCOMPARE(statesUntilEnd(it, spy).last(), 12);
    QCOMPARE(it.GetChunk(1024), QByteArray("arrived"));
}

void TestInternetTransfer::refusedAddresses_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("err");
    server.answer("/loop/a", HttpAnswer::redirect("/loop/b"));
    server.answer("/loop/b", HttpAnswer::redirect("/loop/a"));
    server.answer("/to-ftp", HttpAnswer::redirect("ftp://127.0.0.1/x"));
    server.answer("/to-file", HttpAnswer::redirect("file:///etc/passwd"));
    QTest::newRow("file") << "file:///etc/passwd" << int(NetNotHttp);
    QTest::newRow("ftp") << "ftp://127.0.0.1/x.html" << int(NetNotHttp);
    QTest::newRow("data") << "data:text/html,<a href=\"x.jpg\">" << int(NetNotHttp);
    QTest::newRow("bare word") << "index" << int(NetNotHttp);
    QTest::newRow("empty") << "" << int(NetNotHttp);
    QTest::newRow("redirect loop") << server.url("/loop/a") << int(NetRedirect);
    QTest::newRow("redirect to ftp") << server.url("/to-ftp") << int(NetRedirect);
    QTest::newRow("redirect to file") << server.url("/to-file") << int(NetRedirect);
}

void TestInternetTransfer::refusedAddresses() {
    QFETCH(QString, address);
    QFETCH(int, err);
    server.clearRequests();
    InternetTransfer it;
    QCOMPARE(it.OpenURL(address), err);
    QVERIFY(!it.StillExecuting());
    QByteArray body;
    int status = 0;
    QCOMPARE(it.OpenURL(address, &body, &status), err);
    if (err == NetNotHttp)
        QCOMPARE(server.requests(), QStringList());
}

void TestInternetTransfer::neverAnswers() {
    HttpAnswer silent;
    silent.never = true;
    server.answer("/silent.html", silent);
    InternetTransfer it;
    QCOMPARE(it.OpenURL(server.url("/silent.html")), int(NetTimeout));
    QVERIFY(!it.StillExecuting());
    QByteArray body;
    int status = 0;
    QCOMPARE(it.OpenURL(server.url("/silent.html"), &body, &status), int(NetTimeout));
}

void TestInternetTransfer::stallInTheBody() {
    HttpAnswer answer = HttpAnswer::page(QByteArray(5000, 'x'));
    answer.stallAfter = 100;
    server.answer("/stall.html", answer);
    InternetTransfer it;
    QSignalSpy spy(&it, &InternetTransfer::StateChanged);
    QCOMPARE(it.OpenURL(server.url("/stall.html")), 0);
    it.Execute(server.url("/stall.html"), "GET");
    QCOMPARE(statesUntilEnd(it, spy), (QList<int>{6, 7, 11}));
    QVERIFY(!it.StillExecuting());
}

void TestInternetTransfer::pageTooLarge() {
    server.answer("/big.html", HttpAnswer::page(QByteArray(100001, 'x')));
    server.answer("/fits.html", HttpAnswer::page(QByteArray(100000, 'x')));
    InternetTransfer it;
    QCOMPARE(it.OpenURL(server.url("/big.html")), int(NetTooLarge));
    QCOMPARE(it.OpenURL(server.url("/fits.html")), 0);
    it.Cancel();
    QByteArray body;
    int status = 0;
    server.answer("/big.jpg", HttpAnswer::page(QByteArray(200001, 'x'), "image/jpeg"));
    QCOMPARE(it.OpenURL(server.url("/big.jpg"), &body, &status), int(NetTooLarge));
}

void TestInternetTransfer::busyWhileAPageIsUnread() {
    server.answer("/one.html", HttpAnswer::page("one"));
    InternetTransfer it;
    QSignalSpy spy(&it, &InternetTransfer::StateChanged);
    QCOMPARE(it.OpenURL(server.url("/one.html")), 0);
    QCOMPARE(it.OpenURL(server.url("/one.html")), int(NetBusy));
    it.Execute(server.url("/one.html"), "GET");
    statesUntilEnd(it, spy);
    QCOMPARE(it.OpenURL(server.url("/one.html")), int(NetBusy));
    QCOMPARE(it.GetChunk(1024), QByteArray("one"));
    QVERIFY(it.GetChunk(1024).isEmpty());
    QCOMPARE(it.OpenURL(server.url("/one.html")), 0);
}

void TestInternetTransfer::executeWithoutOpenReportsFailure() {
    InternetTransfer it;
    QSignalSpy spy(&it, &InternetTransfer::StateChanged);
    it.Execute("file:///etc/passwd", "GET");
    QCOMPARE(statesUntilEnd(it, spy), (QList<int>{6, 11}));
}

void TestInternetTransfer::cancelStopsStates() {
    HttpAnswer slow = HttpAnswer::page("slow");
    slow.delayMs = 200;
    server.answer("/slow.html", slow);
    InternetTransfer it;
    QSignalSpy spy(&it, &InternetTransfer::StateChanged);
    it.Execute(server.url("/slow.html"), "GET");
    it.Cancel();
    QTest::qWait(500);
    QCOMPARE(spy.count(), 0);
    QVERIFY(!it.StillExecuting());
}

void TestInternetTransfer::heldStatesComeLater() {
    server.answer("/held.html", HttpAnswer::page("held"));
    InternetTransfer it;
    QSignalSpy spy(&it, &InternetTransfer::StateChanged);
    it.holdStates(true);
    QCOMPARE(it.OpenURL(server.url("/held.html")), 0);
    it.Execute(server.url("/held.html"), "GET");
    QTest::qWait(300);
    QCOMPARE(spy.count(), 0);
    it.holdStates(false);
    QCOMPARE(statesUntilEnd(it, spy), (QList<int>{6, 7, 8, 12}));
    QCOMPARE(it.GetChunk(1024), QByteArray("held"));
}

void TestInternetTransfer::bytes() {
    const QByteArray picture = QByteArray("\xFF\xD8\xFF") + QByteArray(20000, 'p');
    server.answer("/p/a.jpg", HttpAnswer::page(picture, "image/jpeg"));
    InternetTransfer it;
    QByteArray body;
    int status = 0;
    QCOMPARE(it.OpenURL(server.url("/p/a.jpg"), &body, &status), 0);
    QCOMPARE(status, 200);
    QCOMPARE(body, picture);
    QCOMPARE(it.OpenURL(server.url("/p/none.jpg"), &body, &status), 0);
    QCOMPARE(status, 404);
    QCOMPARE(body, QByteArray("<html><body>Not Found</body></html>"));
}

void TestInternetTransfer::noServer() {
    // A port that nothing listens on.
    quint16 port;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    const QString address = QStringLiteral("http://127.0.0.1:%1/x.html").arg(port);
    InternetTransfer it;
    QCOMPARE(it.OpenURL(address), int(NetConnectFailed));
    QByteArray body;
    int status = 0;
    QCOMPARE(it.OpenURL(address, &body, &status), int(NetConnectFailed));
}

void TestInternetTransfer::parallelFetches() {
    InternetTransfer it;
    QList<NetRequest *> requests;
    for (int i = 0; i < 5; ++i) {
        HttpAnswer a = HttpAnswer::page(QByteArray::number(i), "image/jpeg");
        a.delayMs = 100 - i * 20; // later ones answer first
        server.answer(QStringLiteral("/par/%1.jpg").arg(i), a);
        requests.append(it.startBytes(server.url(QStringLiteral("/par/%1.jpg").arg(i))));
    }
    for (int i = 0; i < 5; ++i) {
        InternetTransfer::waitFor(requests[i]);
        QVERIFY(requests[i]->isFinished());
        QCOMPARE(requests[i]->error(), 0);
        QCOMPARE(requests[i]->body(), QByteArray::number(i));
    }
    qDeleteAll(requests);
}

QTEST_MAIN(TestInternetTransfer)
#include "tst_internettransfer.moc"
