// The internet transfer component against a real server on 127.0.0.1.

#include "LocalHttpServer.h"
#include "platform/InternetTransfer.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace pomiv;
using namespace pomiv::test;

// An address opened for a page, then fetched as bytes.
struct Open {
    QString address{};
    int pageErr = 0, bytesErr = pageErr, status = 0;
    QByteArray body{};
};

class TestInternetTransfer : public QObject {
    Q_OBJECT
    LocalHttpServer server;

private slots:
    void initTestCase() {
        TransferLimits &limits = TransferLimits::current();
        limits.stallMs = 400;
        limits.totalMs = 3000;
        limits.pageBytes = 100000;
        limits.pictureBytes = 200000;
    }

    void open_data() {
        QTest::addColumn<Open>("o");
        for (int hops : {10, 11}) {
            for (int i = 0; i < hops; ++i)
                server.answer(QStringLiteral("/r/%1/%2").arg(hops).arg(i),
                              {.status = 302, .location = QByteArray::number(i + 1)});
            server.answer(QStringLiteral("/r/%1/%2").arg(hops).arg(hops), {.body = "arrived"});
        }
        server.answer("/loop/a", {.status = 302, .location = "/loop/b"});
        server.answer("/loop/b", {.status = 301, .location = "/loop/a"});
        server.answer("/to-file", {.status = 302, .location = "file:///etc/passwd"});
        server.answer("/endless", {.status = 302, .location = "/r/10/10", .size = -2});
        server.answer("/drip", {.status = 302, .location = "/r/10/10", .size = -2, .dripMs = 300});
        server.answer("/silent.html", {.never = true});
        const QByteArray big(100001, 'x');
        server.answer("/big.html", {.body = big});
        server.answer("/big.jpg", {.body = QByteArray(200001, 'x'), .type = "image/jpeg"});

        QTest::newRow("ten redirects") << Open{server.url("/r/10/0"), 0, 0, 200, "arrived"};
        QTest::newRow("eleven redirects") << Open{server.url("/r/11/0"), NetRedirect};
        QTest::newRow("redirect loop") << Open{server.url("/loop/a"), NetRedirect};
        QTest::newRow("redirect to file") << Open{server.url("/to-file"), NetRedirect};
        QTest::newRow("redirect, endless body")
            << Open{server.url("/endless"), 0, 0, 200, "arrived"};
        QTest::newRow("redirect, dripping body") << Open{server.url("/drip"), 0, 0, 200, "arrived"};
        QTest::newRow("file") << Open{"file:///etc/passwd", NetNotHttp};
        QTest::newRow("ftp") << Open{"ftp://127.0.0.1/x.html", NetNotHttp};
        QTest::newRow("bare word") << Open{"index", NetNotHttp};
        QTest::newRow("never answers") << Open{server.url("/silent.html"), NetTimeout};
        QTest::newRow("nothing listens") << Open{"http://127.0.0.1:1/", NetConnectFailed};
        QTest::newRow("page over its limit")
            << Open{server.url("/big.html"), NetTooLarge, 0, 200, big};
        QTest::newRow("picture over its limit") << Open{server.url("/big.jpg"), NetTooLarge};
    }

    void open() {
        QFETCH(Open, o);
        server.clearRequests();
        InternetTransfer it;
        QCOMPARE(it.OpenURL(o.address), o.pageErr);
        it.Cancel();
        QByteArray body;
        int status = 0;
        QCOMPARE(it.OpenURL(o.address, &body, &status), o.bytesErr);
        if (o.bytesErr == 0) {
            QCOMPARE(status, o.status);
            QCOMPARE(body, o.body);
        }
        if (o.pageErr == NetNotHttp)
            QCOMPARE(server.requests(), QStringList());
        for (const QString &target : server.requests())
            QCOMPARE(server.header(target, "User-Agent"), "pomiv/2.00");
        QVERIFY(!it.StillExecuting());
    }

    void proxies() {
        // The system's proxy settings, read from the usual variables.
        server.answer("http://pomiv.invalid/p.html", {.body = "by proxy"});
        server.answer("/direct.html", {.body = "direct"});
        server.clearRequests();
        InternetTransfer it;
        QByteArray body;
        qputenv("http_proxy", server.url("").toUtf8());
        qputenv("https_proxy", server.url("").toUtf8());
        QCOMPARE(it.OpenURL("http://pomiv.invalid/p.html", &body, nullptr), 0);
        QCOMPARE(body, "by proxy");
        QVERIFY(it.OpenURL("https://pomiv.invalid/s.html", &body, nullptr) != 0);
        QCOMPARE(server.requests(),
                 (QStringList{"http://pomiv.invalid/p.html", "pomiv.invalid:443"}));
        qputenv("http_proxy", "http://127.0.0.1:1");
        qputenv("no_proxy", "localhost,127.0.0.1");
        QCOMPARE(it.OpenURL(server.url("/direct.html"), &body, nullptr), 0);
        QCOMPARE(body, "direct");
        qunsetenv("http_proxy");
        qunsetenv("https_proxy");
        qunsetenv("no_proxy");
    }

    void https() {
        // A certificate of the test's own, trusted only once the test says so.
        QTemporaryDir dir;
        const QSslConfiguration tls = makeTestTls(dir.path());
        LocalHttpServer secure(tls);
        server.answer("/plain.html", {.body = "plain"});
        secure.answer("/a.html", {.body = "secret"});
        secure.answer("/down", {.status = 302, .location = server.url("/plain.html").toUtf8()});
        server.clearRequests();
        QByteArray body;
        QCOMPARE(InternetTransfer().OpenURL(secure.url("/a.html"), &body, nullptr),
                 int(NetConnectFailed));
        InternetTransfer it; // a connection keeps the trust it began with
        TransferLimits::current().caCertificates = tls.localCertificateChain();
        QCOMPARE(it.OpenURL(secure.url("/a.html"), &body, nullptr), 0);
        QCOMPARE(body, "secret");
        QCOMPARE(it.OpenURL(secure.url("/down"), &body, nullptr), int(NetRedirect));
        QCOMPARE(server.requests(), QStringList{}); // never from https to http
        TransferLimits::current().caCertificates.clear();
    }

    void pageInPieces() {
        const QByteArray body = QByteArray("abcdefghijklmnopqrstuvwxyz").repeated(100);
        server.answer("/page.html", {.body = body});
        const QString address = server.url("/page.html");
        server.clearRequests();
        InternetTransfer it;
        QSignalSpy spy(&it, &InternetTransfer::StateChanged);
        it.holdStates(true); // as while a run fetches pictures
        QCOMPARE(it.OpenURL(address), 0);
        it.Execute(address, "GET");
        QTest::qWait(300);
        QCOMPARE(spy.count(), 0);
        it.holdStates(false);
        QTRY_COMPARE(spy.count(), 4);
        QList<int> states;
        for (const QList<QVariant> &args : spy)
            states.append(args.at(0).toInt());
        QCOMPARE(states, (QList<int>{6, 7, 8, 12}));
        QCOMPARE(it.OpenURL(address), int(NetBusy)); // until the page is read
        QByteArray got, piece;
        QList<int> sizes;
        do {
            piece = it.GetChunk(1024);
            sizes.append(piece.size());
            got += piece;
        } while (!piece.isEmpty());
        QCOMPARE(sizes, (QList<int>{1024, 1024, 552, 0}));
        QCOMPARE(got, body);
        // The opening wait and Execute share one request.
        QCOMPARE(server.requests(), QStringList{"/page.html"});
        QCOMPARE(it.OpenURL(address), 0);
    }
};

QTEST_MAIN(TestInternetTransfer)
#include "tst_internettransfer.moc"
