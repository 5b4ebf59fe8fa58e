// The download without a window: link extraction, what counts as a
// picture, names from addresses, appending to the saved main URLs file, and
// fetches and the download run against local servers that behave like real
// ones: slow, one connection at a time, redirecting, endless, broken off,
// over https.

#include "LocalHttpServer.h"
#include "core/Errors.h"
#include "net/InternetTransfer.h"
#include "settings/rules/SettingsFile.h"
#include "tests/support/TestFiles.h"
#include "web/rules/DownloadRules.h"
#include "web/rules/DownloadRun.h"
#include "web/rules/LinkExtract.h"
#include "web/rules/PomiIni.h"

#include <QSignalSpy>
#include <QStringEncoder>
#include <QTemporaryDir>

using namespace pomiv;
using namespace pomiv::test;

static QByteArray sjis(const QString &text) {
    return QStringEncoder("Shift_JIS").encode(text);
}

struct Scan {
    QString page{};
    QStringList links{};
    QString base = "http://h/d/", baseAfter = base;
};

struct IniAppend {
    QByteArray before{};
    QString address{};
    QByteArray after{};
};

// An address opened as a page, then fetched as a picture.
struct Open {
    QString address{};
    Error pageErr = Ok, pictureErr = pageErr;
    QByteArray body = "arrived";
};

// A run of prefix A and number 7: its links' answers, the monitor ('+' good,
// '-' bad) and its end. Links 0.jpg, 1.jpg, ... are saved as A7.jpg, A8.jpg,
// ...; given names, a good picture keeps its name made safe. NoPath here means
// the settings file's folder is gone.
struct Run {
    QList<HttpAnswer> answers;
    QString monitor;
    QStringList names{};
    RunEnd end = RunEnd::Done;
    Error err = Ok;
    QStringList existing{}; // the user's files in the folder before
    Serving serving = Serving::Together;
    qint64 aheadBytes = 0;
};

class WebRulesTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    const PomiIni m_ini{m_dir.path() + "/"};
    LocalHttpServer m_server;

    // A picture's fetch: its error, and its body when it has none.
    static Error fetch(const QString &address, QByteArray *body) {
        InternetTransfer it;
        NetRequest *request = it.startPicture(address, {});
        InternetTransfer::waitFor(request);
        *body = failed(request->error()) ? QByteArray() : request->body().joined();
        return request->error();
    }

private slots:
    void extract_data() {
        QTest::addColumn<Scan>("s");
        QTest::newRow("relative, dot dot, duplicates kept")
            << Scan{"<a href=\"pic/a.jpg\"><a href=\"../c.jpg\"><a href=\"../c.jpg\">",
                    {"http://h/d/pic/a.jpg", "http://h/d/../c.jpg", "http://h/d/../c.jpg"}};
        QTest::newRow("root relative, prefix not in base")
            << Scan{"<a href=\"/img/b.jpg\">", {"http://h/d/img/b.jpg"}};
        // The cut base and the prefix stay in force for the later links.
        QTest::newRow("root relative cuts the base")
            << Scan{"<a href=\"/img/b.jpg\"><a href=\"a.jpg\"><a href=\"/img/y.jpg\">",
                    {"http://h/img/b.jpg", "http://h/a.jpg", "http://h/img/y.jpg"},
                    "http://h/img/",
                    "http://h/"};
        QTest::newRow("prefix without a leading slash does not cut")
            << Scan{"<a href=\"img/x.jpg\">", {"http://h/d/img/img/x.jpg"}, "http://h/d/img/"};
        QTest::newRow("embedded address")
            << Scan{"<a href=\"http://h/go?u=http://i/g.jpg\">", {"http://i/g.jpg"}};
        QTest::newRow("unquoted href leaves the marker on")
            << Scan{"<a href=x.html>x</a><img src=\"t.jpg\">", {"http://h/d/t.jpg"}};
        QTest::newRow("single quotes: the next double quote collects")
            << Scan{"<a href='s.jpg'>x</a><b \"u.jpg\">", {"http://h/d/u.jpg"}};
        // JPG, jpeg, hRef, src, data-src, srcset, a marker at the very end.
        QTest::newRow("no picture links")
            << Scan{"<A HREF=\"http://h/e.JPG\"><a href=\"f.jpeg\"><a hRef=\"z.jpg\">"
                    "<img src=\"a.jpg\" data-src=\"b.jpg\" srcset=\"c.jpg 1x, d.jpg\"> href"};
        QTest::newRow("protocol-relative, same host")
            << Scan{"<a href=\"//h/x.jpg\">", {"http://h/x.jpg"}, "http://h/d/", "http:/"};
        QTest::newRow("protocol-relative, another host")
            << Scan{"<a href=\"//o/x.jpg\">", {"http://h/d//o/x.jpg"}};
        QTest::newRow("value without a closing quote runs to the end")
            << Scan{"<a href=\"abc.jpg", {"http://h/d/abc.jpg"}};
    }

    void extract() {
        QFETCH(Scan, s);
        const LinkScan scan = extractLinks(s.page, s.base);
        QCOMPARE(scan.links, s.links);
        QCOMPARE(scan.baseUrl, s.baseAfter);
    }

    void goodPictureAndSafeName() {
        const QByteArray jpeg = "\xFF\xD8\xFF\xE0", png = "\x89PNG\r\n\x1A\n",
                         le20000("\x20\x4E\0\0", 4);
        const QByteArray bmp = "BM" + le20000, webp = "RIFF" + QByteArray("\x18\x4E\0\0WEBP", 8);
        for (const QByteArray &head : {jpeg, png, QByteArray("GIF89a"), bmp, webp})
            QVERIFY2(isGoodPicture(head, 20000, 200) && isGoodPicture(head, 10000, 206) &&
                         !isGoodPicture(head, 9999, 200) && !isGoodPicture(head, 20000, 302),
                     head.constData());
        QVERIFY(!isGoodPicture("PK\x03\x04", 20000, 200));
        // Whether a picture ends whole, when only the connection's end says so.
        QVERIFY(endsWhole(jpeg, "jjj\xFF\xD9", 20000) && endsWhole(jpeg, "\xFF\xD9\r\n\0", 20000));
        QVERIFY(!endsWhole(jpeg, "jjjj\xFF", 20000) && !endsWhole(jpeg, "\xFF\xD9j", 20000));
        QVERIFY(endsWhole(png, "IEND\xAE\x42\x60\x82", 20000) && !endsWhole(png, "IEND", 20000));
        QVERIFY(endsWhole("GIF89a", "x;", 20000) && !endsWhole("GIF89a", "x", 20000));
        QVERIFY(endsWhole(bmp, "x", 20000) && !endsWhole(bmp, "x", 19999));
        QVERIFY(endsWhole(webp, "x", 20000) && !endsWhole(webp, "x", 20001));
        QCOMPARE(safeFileName(addressName("http://h/p?x=1&y=\"a\"|b<c>*.jpg")),
                 "p_x=1&y=_a__b_c__.jpg");
        QCOMPARE(safeFileName(addressName("http://h/c:\td.jpg")), "c__d.jpg");
        QVERIFY(fileNameFits(QString(255, 'n')) && !fileNameFits(QString(256, 'n')));
        QVERIFY(!fileNameFits(QString(128, QChar(0x3042)))); // 384 bytes
    }

    void appendToPomiIni_data() {
        QTest::addColumn<IniAppend>("a");
        const QByteArray jpLine = "\"http://h/日本.html\"";
        const QString jp = "http://h/写真.html", beyond = "http://h/한국/😀.html";
        QTest::newRow("no line end") << IniAppend{"\"a\"", "n", "\"a\"\r\n\"n\"\r\n"};
        QTest::newRow("LF end") << IniAppend{"\"a\"\n", "n", "\"a\"\n\"n\"\r\n"};
        QTest::newRow("CR end") << IniAppend{"\"a\"\r", "n", "\"a\"\r\"n\"\r\n"};
        QTest::newRow("empty file") << IniAppend{"", "n", "\"n\"\r\n"};
        QTest::newRow("Shift_JIS file, Shift_JIS line")
            << IniAppend{sjis(jpLine + "\r\n"), jp, sjis(jpLine + "\r\n\"" + jp + "\"\r\n")};
        QTest::newRow("UTF-8 file, UTF-8 line")
            << IniAppend{jpLine + "\r\n", jp, jpLine + "\r\n\"" + jp.toUtf8() + "\"\r\n"};
        QTest::newRow("beyond Shift_JIS: all in UTF-8, marked") << IniAppend{
            sjis(jpLine), beyond, "\xef\xbb\xbf" + jpLine + "\r\n\"" + beyond.toUtf8() + "\"\r\n"};
        QByteArray junk; // every byte but CR and LF
        for (int i = 1; i < 256; ++i)
            junk.append(char(i == 10 || i == 13 ? 'x' : i));
        QTest::newRow("binary bytes kept")
            << IniAppend{junk, "http://h/", junk + "\r\n\"http://h/\"\r\n"};
    }

    void appendToPomiIni() {
        QFETCH(IniAppend, a);
        writeFile(m_ini.path(), a.before);
        QCOMPARE(m_ini.append(a.address), Ok);
        QCOMPARE(readFile(m_ini.path()), a.after);
    }

    void initTestCase() {
        TransferLimits &limits = TransferLimits::current();
        limits.stallMs = 600;
        limits.totalMs = 3000;
        limits.pageBytes = 100000;
        limits.pictureBytes = 1000000;
    }

    void open_data() {
        QTest::addColumn<Open>("o");
        for (int i = 0; i < 11; ++i) // /r/0 is eleven redirects from the end, /r/1 ten
            m_server.answer(QStringLiteral("/r/%1").arg(i),
                            {.status = 302, .location = QByteArray::number(i + 1)});
        m_server.answer("/r/11", {.body = "arrived"});
        m_server.answer("/to-file", {.status = 302, .location = "file:///etc/passwd"});
        m_server.answer("/silent.html", {.never = true});
        m_server.answer("/big.html", {.body = QByteArray(100001, 'x')});
        m_server.answer("/big.jpg", {.body = picture(1000001), .type = "image/jpeg"});
        QTest::newRow("ten redirects") << Open{m_server.url("/r/1")};
        QTest::newRow("eleven redirects") << Open{m_server.url("/r/0"), NetRedirect};
        QTest::newRow("redirect to file") << Open{m_server.url("/to-file"), NetRedirect};
        QTest::newRow("file") << Open{"file:///etc/passwd", NetNotHttp};
        QTest::newRow("never answers") << Open{m_server.url("/silent.html"), NetTimeout};
        QTest::newRow("nothing listens") << Open{"http://127.0.0.1:1/", NetConnectFailed};
        QTest::newRow("page over its limit")
            << Open{m_server.url("/big.html"), NetTooLarge, Ok, QByteArray(100001, 'x')};
        QTest::newRow("picture over its limit") << Open{m_server.url("/big.jpg"), NetTooLarge};
    }

    void open() {
        QFETCH(Open, o);
        m_server.clearRequests();
        InternetTransfer it;
        QCOMPARE(it.OpenURL(o.address), o.pageErr);
        it.Cancel();
        QVERIFY(!it.StillExecuting());
        QByteArray body;
        QCOMPARE(fetch(o.address, &body), o.pictureErr);
        QCOMPARE(body, failed(o.pictureErr) ? QByteArray() : o.body);
        if (o.pageErr == NetNotHttp)
            QCOMPARE(m_server.requests(), QStringList());
        for (const QString &target : m_server.requests())
            QCOMPARE(m_server.header(target, "User-Agent"), "pomiv/2.00");
    }

    void proxiesAndHttps() {
        // The system's proxy settings, read from the usual variables.
        m_server.answer("http://pomiv.invalid/p.html", {.body = "by proxy"});
        m_server.answer("/plain.html", {.body = "direct"});
        m_server.clearRequests();
        QByteArray body;
        qputenv("http_proxy", m_server.url("").toUtf8());
        qputenv("https_proxy", m_server.url("").toUtf8());
        QCOMPARE(fetch("http://pomiv.invalid/p.html", &body), Ok);
        QCOMPARE(body, "by proxy");
        QVERIFY(failed(fetch("https://pomiv.invalid/s.html", &body)));
        QCOMPARE(m_server.requests(),
                 (QStringList{"http://pomiv.invalid/p.html", "pomiv.invalid:443"}));
        qputenv("http_proxy", "http://127.0.0.1:1");
        qputenv("no_proxy", "localhost,127.0.0.1");
        QCOMPARE(fetch(m_server.url("/plain.html"), &body), Ok);
        QCOMPARE(body, "direct");
        for (const char *name : {"http_proxy", "https_proxy", "no_proxy"})
            qunsetenv(name);

        // A certificate of the test's own, trusted only once the test says so.
        const QSslConfiguration tls = makeTestTls(m_dir.path());
        LocalHttpServer secure(tls);
        secure.answer("/a.html", {.body = "secret"});
        secure.answer("/down", {.status = 302, .location = m_server.url("/plain.html").toUtf8()});
        m_server.clearRequests();
        QCOMPARE(fetch(secure.url("/a.html"), &body), NetConnectFailed);
        TransferLimits::current().caCertificates = tls.localCertificateChain();
        QCOMPARE(fetch(secure.url("/a.html"), &body), Ok);
        QCOMPARE(body, "secret");
        QCOMPARE(fetch(secure.url("/down"), &body), NetRedirect);
        QCOMPARE(m_server.requests(), QStringList{}); // never from https to http
        TransferLimits::current().caCertificates.clear();
    }

    void pageInPieces() {
        const QByteArray body = QByteArray("abcdefghijklmnopqrstuvwxyz").repeated(100);
        m_server.answer("/page.html", {.body = body});
        const QString address = m_server.url("/page.html");
        m_server.clearRequests();
        InternetTransfer it;
        QSignalSpy spy(&it, &InternetTransfer::StateChanged);
        it.holdStates(true); // as while a run fetches pictures
        QCOMPARE(it.OpenURL(address), Ok);
        it.Execute(address, "GET");
        QTest::qWait(300);
        QCOMPARE(spy.count(), 0);
        it.holdStates(false);
        QTRY_COMPARE(spy.count(), 4);
        QCOMPARE(QList<QList<QVariant>>(spy), (QList<QList<QVariant>>{{6}, {7}, {8}, {12}}));
        QCOMPARE(it.OpenURL(address), NetBusy); // until the page is read
        QByteArray got; // whole in three pieces, as none may be short of 1024 but the last
        for (int i = 0; i < 3; ++i)
            got += it.GetChunk(1024);
        QCOMPARE(got, body);
        QCOMPARE(it.GetChunk(1024), QByteArray());
        // The opening wait and Execute share one request.
        QCOMPARE(m_server.requests(), QStringList{"/page.html"});
        QCOMPARE(it.OpenURL(address), Ok);
    }

    void run_data() {
        QTest::addColumn<Run>("r");
        const HttpAnswer gone{.body = picture(20000, 1), .type = "image/jpeg", .status = 404},
            huge{.body = picture(1000001), .type = "image/jpeg"};
        QList<HttpAnswer> twelve;
        for (int i = 0; i < 12; ++i) {
            twelve.append(jpeg(i, 15000));
            twelve.last().delayMs = (12 - i) * 15; // later addresses answer sooner
        }
        // Each a third of the no-byte limit.
        const HttpAnswer slow{.body = picture(20000), .type = "image/jpeg", .delayMs = 200};
        const QList<HttpAnswer> big(6, jpeg(0, 300000));
        QTest::newRow("bad pictures go on")
            << Run{{jpeg(0, 9999), jpeg(1, 10000), {.body = QByteArray(20000, '<')}, gone, jpeg(2)},
                   "-+--+"};
        const QStringList names{"gone.jpg", "a%2F..%2Fpct.jpg", "q?x=1&y=a|b.jpg",
                                QString(300, 'n') + ".jpg", "ok.jpg"};
        QTest::newRow("address names")
            << Run{{gone, jpeg(1), jpeg(2), jpeg(3), jpeg(4)}, "-++-+", names};
        QTest::newRow("clash, whatever the case") << Run{
            {jpeg(1), jpeg(2), jpeg(3)}, "+", {}, RunEnd::Clash, FileAlreadyExists, {"a8.JPG"}};
        QTest::newRow("no answer stops the run")
            << Run{{jpeg(1), {.never = true}, jpeg(3)}, "+", {}, RunEnd::Failed, NetTimeout};
        QTest::newRow("settings file cannot be written")
            << Run{{jpeg(1), jpeg(2)}, "+", {}, RunEnd::NoPath, PathNotFound};
        QTest::newRow("list order whatever the answer order") << Run{twelve, QString(12, '+')};
        // Fetched one after another these finish: fetching ahead must too.
        QTest::newRow("one connection at a time") << Run{
            QList<HttpAnswer>(10, slow), QString(10, '+'), {}, {}, Ok, {}, Serving::OneAtATime};
        QTest::newRow("other connections broken off") << Run{
            QList<HttpAnswer>(10, jpeg()), QString(10, '+'), {}, {}, Ok, {}, Serving::ResetOthers};
        // The first picture's fetch ahead and its first try alone both broken
        // off (each with the network layer's own try again): the later ones
        // are fetched as if nothing had been fetched ahead.
        HttpAnswer brokenOff = jpeg();
        brokenOff.brokenOff = 4;
        QTest::newRow("broken off until the second try alone")
            << Run{{brokenOff, jpeg(), jpeg()}, "+++"};
        QTest::newRow("pictures beyond what may be held ahead")
            << Run{big, "++++++", {}, {}, Ok, {}, Serving::Together, 500000};
        // Refused redirections, answers over the cap and connections broken
        // off without a length are bad pictures; a redirection is followed at
        // its headers, its body never waited for. The run goes on.
        HttpAnswer hugeUnannounced = huge, whole = jpeg(1), cut{.body = picture(40000)};
        hugeUnannounced.noLength = whole.noLength = cut.noLength = cut.reset = true;
        whole.body += "\xFF\xD9";
        cut.stallAfter = 20000;
        cut.stallMs = 100;
        const HttpAnswer toFtp{.status = 302, .location = "ftp://127.0.0.1/x.jpg"},
            stuck{.body = "r", .status = 302, .location = "6.jpg", .stallAfter = 0},
            moved{.status = 301, .location = "2.jpg"};
        QTest::newRow("refused redirects, caps, cut short")
            << Run{{toFtp, stuck, moved, huge, hugeUnannounced, cut, whole}, "-+----+"};
    }

    void run() {
        QFETCH(Run, r);
        const QString folder = m_dir.path() + '/' + QTest::currentDataTag();
        QDir().mkpath(folder);
        LocalHttpServer host;
        host.setServing(r.serving);
        const bool numbering = r.names.isEmpty();
        DownloadJob job{.folder = folder + '/',
                        .numbering = numbering,
                        .settings = {"/m", "/d", "A", "7"},
                        .dataFolder = m_dir.path() + (r.end == RunEnd::NoPath ? "/gone/" : "/")};
        for (int i = 0; i < r.answers.size(); ++i) {
            const QString name = numbering ? QStringLiteral("%1.jpg").arg(i) : r.names[i];
            host.answer("/p/" + QString(name).replace('|', "%7C"), r.answers[i]);
            job.links.append({host.url("/p/" + name), "http://page/index.html"});
        }
        for (const QString &name : r.existing)
            writeFile(folder + '/' + name, "the user's own file");
        DownloadRun run;
        if (r.aheadBytes > 0)
            run.setAheadBytes(r.aheadBytes);
        QString monitor, number = job.settings.number;
        const RunResult result = run.run(job, [&](const PictureReport &p) {
            monitor += p.index != monitor.size() ? '?' : p.ok ? '+' : '-';
            number = p.number;
            return true;
        });
        QCOMPARE(monitor, r.monitor);
        QCOMPARE(int(result.end), int(r.end));
        QCOMPARE(result.err, r.err);
        QCOMPARE(result.failures, r.monitor.count('-'));
        // The files, each with its own picture; the user's untouched.
        QStringList files = r.existing;
        for (int i = 0; i < r.monitor.size(); ++i) {
            if (r.monitor[i] != '+')
                continue;
            files.append(numbering
                             ? QStringLiteral("A%1.jpg").arg(7 + r.monitor.first(i).count('+'))
                             : safeFileName(r.names[i]));
            if (r.answers[i].status == 200)
                QCOMPARE(readFile(folder + '/' + files.last()), r.answers[i].body);
        }
        files.sort();
        QCOMPARE(filesIn(folder), files);
        for (const QString &name : r.existing)
            QCOMPARE(readFile(folder + '/' + name), "the user's own file");
        QCOMPARE(number, QString::number(7 + (numbering ? r.monitor.count('+') : 0)));
        QStringList fields;
        if (r.monitor.contains('+') && r.end != RunEnd::NoPath) {
            QCOMPARE(readSettings(job.dataFolder, &fields), Ok);
            QCOMPARE(fields, (QStringList{"/m", "/d", "A", number}));
        }
        // A picture names its page (and the program, seen in open()).
        QCOMPARE(host.header(host.requests().value(0), "Referer"), "http://page/index.html");
    }
};

QTEST_MAIN(WebRulesTest)
#include "tst_webrules.moc"
