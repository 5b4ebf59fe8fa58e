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

// A run of prefix A and number 7: the answers for its links, and what is seen
// after: the monitor ('+' good, '-' bad, per reported picture), the files
// (A7.jpg, A8.jpg, ... per '+' when none given), the number field (7 and the
// '+' count when none given), how it ended. Address names given mean names
// from the addresses; 0.jpg, 1.jpg, ... and numbered names otherwise.
struct Run {
    QList<HttpAnswer> answers;
    QString monitor;
    QStringList files{};
    QString number{};
    RunEnd end = RunEnd::Done;
    int err = 0;
    QStringList names{};
    QStringList existing{}; // the user's files in the folder before
    Serving serving = Serving::Together;
    qint64 aheadBytes = 0;
    bool settingsGone = false; // the settings file's folder is missing
};

class TestDownloadRun : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() {
        TransferLimits &limits = TransferLimits::current();
        limits.stallMs = 600;
        limits.totalMs = 3000;
        limits.pictureBytes = 1000000;
    }

    void run_data() {
        QTest::addColumn<Run>("r");
        HttpAnswer gone = jpeg(1), endless{.status = 302, .location = "1.jpg", .size = -2};
        gone.status = 404;
        const HttpAnswer huge{.type = "image/jpeg", .size = 1000001};
        QList<HttpAnswer> twelve, slow(10, jpeg()), big;
        for (int i = 0; i < 12; ++i) {
            twelve.append(jpeg(i, 15000));
            twelve.last().delayMs = (12 - i) * 15; // later addresses answer sooner
        }
        for (HttpAnswer &a : slow) // each a third of the no-byte limit
            a.delayMs = 200;
        for (int i = 0; i < 6; ++i)
            big.append(jpeg(i, 300000));
        QTest::newRow("numbered") << Run{{jpeg(1), jpeg(2)}, "++"};
        QTest::newRow("bad pictures go on")
            << Run{{jpeg(0, 9999), jpeg(1, 10000), {.body = QByteArray(20000, '<')}, gone, jpeg(2)},
                   "-+--+"};
        QTest::newRow("address names keep the number")
            << Run{{gone, jpeg(1)}, "-+", {"photo.jpg"}, "7", {}, 0, {"gone.jpg", "photo.jpg"}};
        QTest::newRow("unsafe address names stay in the folder")
            << Run{{jpeg(1), jpeg(2)},
                   "++",
                   {"a%2F..%2Fpct.jpg", "q_x=1&y=a_b.jpg"},
                   "7",
                   {},
                   0,
                   {"a%2F..%2Fpct.jpg", "q?x=1&y=a|b.jpg"}};
        for (const char *name : {"A8.jpg", "a8.JPG"})
            QTest::addRow("clash with %s", name) << Run{{jpeg(1), jpeg(2), jpeg(3)},
                                                        "+",
                                                        {"A7.jpg", name},
                                                        {},
                                                        RunEnd::Clash,
                                                        FileAlreadyExists,
                                                        {},
                                                        {name}};
        QTest::newRow("clash by address name") << Run{
            {jpeg(1), jpeg(2)}, "+",      {"Y.jpg", "x.jpg"}, "7", RunEnd::Clash, FileAlreadyExists,
            {"x.jpg", "y.jpg"}, {"Y.jpg"}};
        QTest::newRow("no answer stops the run")
            << Run{{jpeg(1), {.never = true}, jpeg(3)}, "+", {}, {}, RunEnd::Failed, NetTimeout};
        QTest::newRow("settings file cannot be written")
            << Run{{jpeg(1), jpeg(2)}, "+", {},  {}, RunEnd::NoPath, PathNotFound, {}, {},
                   Serving::Together,  0,   true};
        QTest::newRow("list order whatever the answer order") << Run{twelve, QString(12, '+')};
        // Fetched one after another these finish: fetching ahead must too.
        QTest::newRow("one connection at a time")
            << Run{slow, QString(10, '+'), {}, {}, {}, 0, {}, {}, Serving::OneAtATime};
        QTest::newRow("other connections broken off")
            << Run{QList<HttpAnswer>(10, jpeg()), QString(10, '+'), {}, {}, {}, 0, {}, {},
                   Serving::ResetOthers};
        QTest::newRow("pictures beyond what may be held ahead")
            << Run{big, "++++++", {}, {}, {}, 0, {}, {}, Serving::Together, 500000};
        // Refused redirections and answers over the cap are bad pictures.
        HttpAnswer hugeUnannounced = huge;
        hugeUnannounced.noLength = true;
        QTest::newRow("refused redirects and caps")
            << Run{{{.status = 302, .location = "ftp://127.0.0.1/x.jpg"},
                    jpeg(1),
                    {.status = 301, .location = "2.jpg"},
                    huge,
                    hugeUnannounced,
                    jpeg(2)},
                   "-+---+"};
        // A redirection is followed at its headers, its body never read.
        HttpAnswer dripping = endless, slowDrip = endless;
        dripping.dripMs = 50;
        slowDrip.dripMs = 400;
        QTest::newRow("redirect bodies unread")
            << Run{{endless, jpeg(1), slowDrip, dripping}, "++++"};
        // Without a length, a connection broken off looks like the body's end.
        HttpAnswer whole = jpeg(1), cut{.body = picture(40000),
                                        .stallAfter = 20000,
                                        .stallMs = 100,
                                        .reset = true,
                                        .noLength = true};
        whole.body += "\xFF\xD9";
        whole.noLength = true;
        QTest::newRow("broken off without a length") << Run{{cut, whole}, "-+"};
        QTest::newRow("name too long") << Run{{jpeg(1), jpeg(2)},
                                              "-+",
                                              {"ok.jpg"},
                                              "7",
                                              {},
                                              0,
                                              {QString(300, 'n') + ".jpg", "ok.jpg"}};
    }

    void run() {
        QFETCH(Run, r);
        const QString folder = dir.path() + '/' + QTest::currentDataTag();
        QDir().mkpath(folder);
        AppDir = dir.path() + (r.settingsGone ? "/gone/" : "/");
        LocalHttpServer server;
        server.setServing(r.serving);
        const bool numbering = r.names.isEmpty();
        DownloadJob job{.links = {},
                        .folder = folder + '/',
                        .numbering = numbering,
                        .prefix = "A",
                        .number = "7",
                        .mainFolder = "/m",
                        .destFolder = "/d"};
        for (int i = 0; i < r.answers.size(); ++i) {
            const QString name = numbering ? QStringLiteral("%1.jpg").arg(i) : r.names[i];
            server.answer("/p/" + QString(name).replace('|', "%7C"), r.answers[i]);
            job.links.append({server.url("/p/" + name), "http://page/index.html"});
        }
        for (const QString &name : r.existing)
            writeFile(folder + '/' + name, "the user's own file");
        DownloadRun run;
        if (r.aheadBytes > 0)
            run.setAheadBytes(r.aheadBytes);
        QString monitor, number = job.number;
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
        const int good = int(r.monitor.count('+'));
        const bool numberedFiles = r.files.isEmpty();
        for (int i = 0, k = 0; numbering && i < r.monitor.size(); ++i) {
            if (r.monitor[i] != '+')
                continue;
            const QString file = QStringLiteral("A%1.jpg").arg(7 + k++);
            if (numberedFiles)
                r.files.append(file);
            if (!r.answers[i].body.isEmpty())
                QCOMPARE(readFile(folder + '/' + file), r.answers[i].body);
        }
        r.files.sort();
        QCOMPARE(filesIn(folder), r.files);
        for (const QString &name : r.existing)
            QCOMPARE(readFile(folder + '/' + name), "the user's own file");
        QCOMPARE(number, r.number.isEmpty() ? QString::number(7 + good) : r.number);
        QStringList fields;
        if (good > 0 && !r.settingsGone) {
            QCOMPARE(readSettings(&fields), 0);
            QCOMPARE(fields, (QStringList{"/m", "/d", "A", number}));
        }
        // Every request names the program; a picture names its page.
        if (!server.requests().isEmpty()) {
            QCOMPARE(server.header(server.requests().first(), "User-Agent"), "pomiv/2.00");
            QCOMPARE(server.header(server.requests().first(), "Referer"), "http://page/index.html");
        }
    }
};

QTEST_MAIN(TestDownloadRun)
#include "tst_downloadrun.moc"
