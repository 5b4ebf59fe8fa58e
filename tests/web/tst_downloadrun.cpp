// The download run without a window, against local servers that behave like
// real ones: slow, one connection at a time, redirecting, endless, broken off.

#include "LocalHttpServer.h"
#include "platform/Errors.h"
#include "platform/InternetTransfer.h"
#include "settings/SettingsFile.h"
#include "settings/Shared.h"
#include "tests/support/TestSupport.h"
#include "web/DownloadRun.h"

#include <QTemporaryDir>
#include <QTest>

using namespace pomiv;
using namespace pomiv::test;

// A body that starts like a JPEG file, tagged so files can be told apart.
static QByteArray picture(int size, int tag = 0) {
    const QByteArray head = "\xFF\xD8\xFF\xE0" + QByteArray::number(tag) + '|';
    return head + QByteArray(size - head.size(), 'j');
}

static HttpAnswer jpeg(int tag = 0, int size = 20000) {
    return {.body = picture(size, tag), .type = "image/jpeg"};
}

// A run: the answers for its links, what the folder holds before, and what
// is seen after: the monitor ('+' good, '-' bad, per reported picture), how
// it ended, the files and the number field.
struct Run {
    QList<HttpAnswer> answers{};
    QStringList names{}; // address names, "0.jpg", "1.jpg", ... when none
    Serving serving = Serving::Together;
    bool numbering = true;
    QStringList existing{};
    QString monitor{};
    RunEnd end = RunEnd::Done;
    int err = 0;
    QStringList files{};
    QString number = "7";
};

class TestDownloadRun : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString folder;

    // Runs the links with prefix A and number 7 into the folder.
    RunResult runLinks(const QStringList &links, QString *monitor, QString *number,
                       bool numbering = true, qint64 aheadBytes = 0) {
        DownloadJob job{.folder = folder + '/',
                        .numbering = numbering,
                        .prefix = "A",
                        .number = "7",
                        .mainFolder = "/m",
                        .destFolder = "/d"};
        for (const QString &link : links)
            job.links.append({link, "http://page/index.html"});
        DownloadRun run;
        if (aheadBytes > 0)
            run.setAheadBytes(aheadBytes);
        *number = job.number;
        return run.run(job, [&](const PictureReport &p) {
            *monitor += p.index != monitor->size() ? '?' : p.ok ? '+' : '-';
            *number = p.number;
            return true;
        });
    }

private slots:
    void initTestCase() {
        TransferLimits &limits = TransferLimits::current();
        limits.stallMs = 600;
        limits.totalMs = 3000;
        limits.pictureBytes = 1000000;
    }

    void init() {
        folder = dir.path() +
                 QStringLiteral("/%1").arg(
                     qHash(QByteArray(QTest::currentTestFunction()) + QTest::currentDataTag()));
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        AppDir = dir.path() + "/";
    }

    void run_data() {
        QTest::addColumn<Run>("r");
        const HttpAnswer small = jpeg(0, 9999), html{.body = QByteArray(20000, '<')};
        HttpAnswer gone = jpeg(1);
        gone.status = 404;
        const QStringList both{"A7.jpg", "A8.jpg"};
        QTest::newRow("numbered") << Run{.answers = {jpeg(1), jpeg(2)},
                                         .names = {"x.jpg", "y.jpg"},
                                         .monitor = "++",
                                         .files = both,
                                         .number = "9"};
        QTest::newRow("bad pictures go on")
            << Run{.answers = {small, jpeg(1, 10000), html, gone, jpeg(2)},
                   .monitor = "-+--+",
                   .files = both,
                   .number = "9"};
        QTest::newRow("address names keep the number") << Run{.answers = {gone, jpeg(1)},
                                                              .names = {"gone.jpg", "photo.jpg"},
                                                              .numbering = false,
                                                              .monitor = "-+",
                                                              .files = {"photo.jpg"}};
        QTest::newRow("unsafe address names stay in the folder")
            << Run{.answers = {jpeg(1), jpeg(2)},
                   .names = {"a%2F..%2Fpct.jpg", "q?x=1&y=a|b.jpg"},
                   .numbering = false,
                   .monitor = "++",
                   .files = {"a%2F..%2Fpct.jpg", "q_x=1&y=a_b.jpg"}};
        for (const char *name : {"A8.jpg", "a8.JPG"})
            QTest::addRow("clash with %s", name) << Run{.answers = {jpeg(1), jpeg(2), jpeg(3)},
                                                        .existing = {name},
                                                        .monitor = "+",
                                                        .end = RunEnd::Clash,
                                                        .err = FileAlreadyExists,
                                                        .files = {"A7.jpg", name},
                                                        .number = "8"};
        QTest::newRow("clash by address name") << Run{.answers = {jpeg(1), jpeg(2)},
                                                      .names = {"x.jpg", "y.jpg"},
                                                      .numbering = false,
                                                      .existing = {"Y.jpg"},
                                                      .monitor = "+",
                                                      .end = RunEnd::Clash,
                                                      .err = FileAlreadyExists,
                                                      .files = {"Y.jpg", "x.jpg"}};
        QTest::newRow("no answer stops the run")
            << Run{.answers = {jpeg(1), {.never = true}, jpeg(3)},
                   .monitor = "+",
                   .end = RunEnd::Failed,
                   .err = NetTimeout,
                   .files = {"A7.jpg"},
                   .number = "8"};
        QList<HttpAnswer> twelve;
        for (int i = 0; i < 12; ++i) {
            twelve.append(jpeg(i, 15000));
            twelve.last().delayMs = (12 - i) * 15; // later addresses answer sooner
        }
        QTest::newRow("list order whatever the answer order")
            << Run{.answers = twelve, .monitor = QString(12, '+'), .number = "19"};
        // A server that serves one connection at a time, each picture taking
        // a third of the no-byte limit: fetched one after another the run
        // finishes.
        QList<HttpAnswer> slow(10, jpeg());
        for (HttpAnswer &a : slow)
            a.delayMs = 200;
        QTest::newRow("one connection at a time") << Run{.answers = slow,
                                                         .serving = Serving::OneAtATime,
                                                         .monitor = QString(10, '+'),
                                                         .number = "17"};
        QTest::newRow("other connections broken off")
            << Run{.answers = QList<HttpAnswer>(10, jpeg()),
                   .serving = Serving::ResetOthers,
                   .monitor = QString(10, '+'),
                   .number = "17"};
        // Refused redirections and answers over the cap are bad pictures.
        const HttpAnswer huge{.type = "image/jpeg", .size = 1000001};
        HttpAnswer hugeUnannounced = huge;
        hugeUnannounced.noLength = true;
        QTest::newRow("refused redirects and caps")
            << Run{.answers = {{.status = 302, .location = "ftp://127.0.0.1/x.jpg"},
                               jpeg(1),
                               {.status = 301, .location = "2.jpg"},
                               huge,
                               hugeUnannounced,
                               jpeg(2)},
                   .monitor = "-+---+",
                   .files = both,
                   .number = "9"};
        // A redirection is followed at its headers, its body never read.
        QTest::newRow("redirect bodies unread")
            << Run{.answers = {{.status = 302, .location = "1.jpg", .size = -2},
                               jpeg(1),
                               {.status = 303, .location = "1.jpg", .size = -2, .dripMs = 400},
                               {.status = 302, .location = "1.jpg", .size = -2, .dripMs = 50}},
                   .monitor = "++++",
                   .number = "11"};
        QTest::newRow("broken off without a length") << Run{.answers = {{.body = picture(40000),
                                                                         .stallAfter = 20000,
                                                                         .stallMs = 100,
                                                                         .reset = true,
                                                                         .noLength = true},
                                                                        jpeg(1)},
                                                            .monitor = "-+",
                                                            .files = {"A7.jpg"},
                                                            .number = "8"};
        QTest::newRow("name too long") << Run{.answers = {jpeg(1), jpeg(2)},
                                              .names = {QString(300, 'n') + ".jpg", "ok.jpg"},
                                              .numbering = false,
                                              .monitor = "-+",
                                              .files = {"ok.jpg"}};
    }

    void run() {
        QFETCH(Run, r);
        const QString site = QStringLiteral("/%1/").arg(qHash(QTest::currentDataTag()));
        LocalHttpServer server;
        server.setServing(r.serving);
        QStringList links;
        for (int i = 0; i < r.answers.size(); ++i) {
            const QString name = r.names.value(i, QStringLiteral("%1.jpg").arg(i));
            server.answer(site + QString(name).replace('|', "%7C"), r.answers[i]);
            links.append(server.url(site + name));
        }
        for (const QString &name : r.existing)
            writeFile(folder + '/' + name, "the user's own file");
        QString monitor, number;
        const RunResult result = runLinks(links, &monitor, &number, r.numbering);
        QCOMPARE(monitor, r.monitor);
        QCOMPARE(int(result.end), int(r.end));
        QCOMPARE(result.err, r.err);
        QCOMPARE(result.failures, r.monitor.count('-'));
        if (r.files.isEmpty())
            for (int i = 0; i < r.monitor.size(); ++i)
                r.files.append(QStringLiteral("A%1.jpg").arg(7 + i));
        r.files.sort();
        QCOMPARE(filesIn(folder), r.files);
        for (const QString &name : r.existing)
            QCOMPARE(readFile(folder + '/' + name), "the user's own file");
        QCOMPARE(number, r.numbering ? r.number : "7");
        QStringList fields;
        if (r.monitor.contains('+')) {
            QCOMPARE(readSettings(&fields), 0);
            QCOMPARE(fields, (QStringList{"/m", "/d", "A", number}));
        }
        if (r.end == RunEnd::Done && r.numbering && r.monitor == QString(r.monitor.size(), '+'))
            for (int i = 0; i < r.answers.size() && r.answers[i].status == 200; ++i)
                QCOMPARE(readFile(folder + QStringLiteral("/A%1.jpg").arg(7 + i)),
                         r.answers[i].body);
    }

    void headers() {
        // Every request names the program; a picture names its page.
        LocalHttpServer server;
        server.answer("/h/a.jpg", jpeg());
        DownloadJob job{.links = {{server.url("/h/a.jpg"), "http://page/index.html"}},
                        .folder = folder,
                        .prefix = "A",
                        .number = "1"};
        QCOMPARE(int(DownloadRun().run(job, [](const PictureReport &) { return true; }).end),
                 int(RunEnd::Done));
        QCOMPARE(server.header("/h/a.jpg", "User-Agent"), "pomiv/2.0");
        QCOMPARE(server.header("/h/a.jpg", "Referer"), "http://page/index.html");
    }

    void settingsFileCannotBeWritten() {
        AppDir = dir.path() + "/gone/";
        LocalHttpServer server;
        server.answer("/s/a.jpg", jpeg());
        QString monitor, number;
        const RunResult result =
            runLinks({server.url("/s/a.jpg"), server.url("/s/a.jpg")}, &monitor, &number);
        QCOMPARE(int(result.end), int(RunEnd::NoPath));
        QCOMPARE(monitor, "+");
        QCOMPARE(filesIn(folder), QStringList{"A7.jpg"});
    }

    void boundedFetchesAhead() {
        // Pictures larger than what may be held for fetches ahead still come,
        // in order, each whole.
        LocalHttpServer server;
        QStringList links;
        for (int i = 0; i < 6; ++i) {
            server.answer(QStringLiteral("/b/%1.jpg").arg(i), jpeg(i, 300000));
            links.append(server.url(QStringLiteral("/b/%1.jpg").arg(i)));
        }
        QString monitor, number;
        QCOMPARE(int(runLinks(links, &monitor, &number, true, 500000).end), int(RunEnd::Done));
        QCOMPARE(monitor, "++++++");
        for (int i = 0; i < 6; ++i)
            QCOMPARE(readFile(folder + QStringLiteral("/A%1.jpg").arg(7 + i)), picture(300000, i));
    }
};

QTEST_MAIN(TestDownloadRun)
#include "tst_downloadrun.moc"
