// Speed and memory of the web download: link extraction over a large page,
// and a download run against a slow local server, beside curl fetching the
// same pictures. Run by hand:
//   build/bench/webbench [download|extract|organiser]
//   build/bench/webbench download alone   the program's runs without curl
//   build/bench/webbench memory big|slow|endless8|endless1|refused|redirect|page|broken|longname
// The last runs one hard case against a server in a process of its own and
// prints this process's peak memory.

#include "LocalHttpServer.h"
#include "controls/MessageBox.h"
#include "net/InternetTransfer.h"
#include "settings/Shared.h"
#include "web/URLs.h"
#include "web/rules/DownloadRun.h"
#include "web/rules/LinkExtract.h"
#include "web/rules/PageDecoding.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

using namespace pomiv;

namespace {

class SilentBoxes : public MessageBoxes {
public:
    MsgAnswer show(QWidget *, const QString &, MsgButtons, MsgIcon) override {
        return MsgAnswer::Ok;
    }
};

long statusKb(const char *field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLong();
    }
    return -1;
}

void benchExtract() {
    // 20 MB of markup with 100,000 picture links, relative and absolute.
    QByteArray page;
    page.reserve(21 * 1024 * 1024);
    const QByteArray filler(150, 'x');
    for (int i = 0; i < 100000; ++i) {
        if (i % 2)
            page += "<p>" + filler + "</p><a href=\"photos/" + QByteArray::number(i) +
                    ".jpg\">pic</a>\n";
        else
            page += "<div class=\"c\"><a HREF=\"http://img.example/p/" + QByteArray::number(i) +
                    ".jpg\"><img src=\"t.png\"></a></div>\n";
    }
    while (page.size() < 20 * 1024 * 1024)
        page += "<p>" + filler + "</p>\n";
    const double mb = page.size() / (1024.0 * 1024.0);

    QElapsedTimer timer;
    timer.start();
    QStringDecoder decoder = pageDecoder(page, "text/html");
    QString text;
    for (qsizetype at = 0; at < page.size(); at += 1024)
        text += decoder.decode(
            QByteArrayView(page).sliced(at, qMin<qsizetype>(1024, page.size() - at)));
    const qint64 decodeMs = timer.elapsed();

    double best = 1e9;
    qsizetype links = 0;
    for (int round = 0; round < 5; ++round) {
        timer.restart();
        const LinkScan scan = extractLinks(text, QStringLiteral("http://h/d/"));
        best = qMin(best, timer.nsecsElapsed() / 1e6);
        links = scan.links.size();
    }
    std::printf("extract: page %.1f MB, %lld links\n", mb, static_cast<long long>(links));
    std::printf("extract: decoding in 1024-byte pieces %lld ms (%.0f MB/s)\n",
                static_cast<long long>(decodeMs), mb / (decodeMs / 1000.0));
    std::printf("extract: link extraction best of 5 %.1f ms (%.0f MB/s)\n", best,
                mb / (best / 1000.0));
}

// The links of one download run against the server at base.
DownloadJob jobFor(const QString &base, const QString &folder, const QStringList &paths) {
    DownloadJob job{.folder = folder,
                    .settings = {folder, folder, QStringLiteral("B"), QStringLiteral("1")},
                    .dataFolder = AppDir};
    for (const QString &path : paths)
        job.links.append({base + path, base + QStringLiteral("/index.html")});
    return job;
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double cpuSeconds(int who) {
    rusage use{};
    ::getrusage(who, &use);
    return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

// Wall and CPU seconds (user and system) of one download of the addresses.
struct Cost {
    double wall = 0;
    double cpu = 0;
};

// The program's run, in this process: its CPU is this process's, the
// server being in another.
Cost programRun(const DownloadJob &job, int *good) {
    QDir().mkpath(job.folder);
    DownloadRun run;
    *good = 0;
    const double cpu = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer timer;
    timer.start();
    run.run(job, [good](const PictureReport &p) {
        *good += p.ok;
        return true;
    });
    return {timer.nsecsElapsed() / 1e9, cpuSeconds(RUSAGE_SELF) - cpu};
}

// The same addresses fetched by curl into a folder, 8 at a time: one
// process per address under xargs, or one process for them all. The CPU is
// that of the finished children (curl and xargs).
Cost curlRun(const QStringList &urls, const QString &folder, bool oneProcess, int *files) {
    QDir().mkpath(folder);
    const QStringList curl = {QStringLiteral("curl"), QStringLiteral("-s"),
                              QStringLiteral("--output-dir"), folder,
                              QStringLiteral("--remote-name-all")};
    QProcess p;
    const double cpu = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer timer;
    timer.start();
    if (oneProcess) {
        p.start(curl[0], curl.mid(1) +
                             QStringList{QStringLiteral("--parallel"),
                                         QStringLiteral("--parallel-immediate"),
                                         QStringLiteral("--parallel-max"), QStringLiteral("8")} +
                             urls);
    } else {
        p.start(QStringLiteral("xargs"), QStringList{QStringLiteral("-P"), QStringLiteral("8"),
                                                     QStringLiteral("-n"), QStringLiteral("1")} +
                                             curl);
        p.write(urls.join(QLatin1Char('\n')).toUtf8() + '\n');
        p.closeWriteChannel();
    }
    p.waitForFinished(-1);
    const Cost cost{timer.nsecsElapsed() / 1e9, cpuSeconds(RUSAGE_CHILDREN) - cpu};
    *files = int(QDir(folder).entryList(QDir::Files).size());
    return cost;
}

// The server of the download run, in a process of its own so that its work
// is not counted: prints its address, serves until killed.
int serveDownload() {
    test::LocalHttpServer server;
    for (int i = 0; i < 200; ++i)
        server.answer(QStringLiteral("/pic/%1.jpg").arg(i),
                      {.type = "image/jpeg", .delayMs = 50, .size = 200 * 1024});
    std::printf("%s\n", qPrintable(server.url(QString())));
    std::fflush(stdout);
    return QCoreApplication::exec();
}

// The program's run against curl, each fetching the same 200 addresses 8 at
// a time, taking turns; without anchors, the program's runs alone (to
// profile them).
void benchDownload(const QString &self, bool anchors) {
    QProcess server;
    server.start(self, {QStringLiteral("serve-download")});
    if (!server.waitForReadyRead(10000)) {
        std::printf("download: the server did not start\n");
        return;
    }
    const QString base = QString::fromUtf8(server.readLine().trimmed());
    QTemporaryDir dir;
    AppDir = dir.path() + QLatin1Char('/');
    QStringList paths, urls;
    for (int i = 0; i < 200; ++i) {
        paths.append(QStringLiteral("/pic/%1.jpg").arg(i));
        urls.append(base + paths.last());
    }
    DownloadJob job = jobFor(base, QString(), paths);
    const bool haveCurl =
        anchors && !QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty();
    const char *names[3] = {"program", "xargs -P 8 curl", "curl --parallel"};
    // Each goes first in turn.
    const int rounds = 5;
    QList<double> wall[3], cpu[3];
    for (int round = 0; round < rounds; ++round) {
        for (int k = 0; k < 3; ++k) {
            const int which = (round + k) % 3;
            if (which > 0 && !haveCurl)
                continue;
            // A new folder each time: files deleted just before would make
            // creating files dearer (ext4 without a journal looks past
            // recently freed inodes).
            const QString folder = dir.filePath(QStringLiteral("%1-%2").arg(which).arg(round));
            job.folder = folder;
            int got = 0;
            const Cost cost =
                which == 0 ? programRun(job, &got) : curlRun(urls, folder, which == 2, &got);
            if (got != 200)
                std::printf("download: %s gave %d of 200 pictures\n", names[which], got);
            wall[which].append(cost.wall);
            cpu[which].append(cost.cpu);
        }
    }
    server.kill();
    server.waitForFinished();
    std::printf("download: 200 pictures of 200 KB from a server in its own process, answering "
                "after 50 ms, 8 at a time; medians of %d rounds in turn\n",
                rounds);
    for (int k = 0; k < 3; ++k) {
        if (wall[k].isEmpty())
            continue;
        std::printf("download: %-15s rounds", names[k]);
        for (int i = 0; i < wall[k].size(); ++i)
            std::printf(" %.2f/%.3f", wall[k][i], cpu[k][i]);
        std::printf(" (wall s/CPU s)\n");
    }
    std::printf("download: %-15s wall %.2f s, CPU %.3f s\n", names[0], median(wall[0]),
                median(cpu[0]));
    if (!haveCurl) {
        std::printf("download: curl is not installed (bench/install-anchors.sh)\n");
        return;
    }
    for (int k = 1; k < 3; ++k)
        std::printf("download: %-15s wall %.2f s, CPU %.3f s; the program takes %.2f x the "
                    "wall time, %.2f x the CPU\n",
                    names[k], median(wall[k]), median(cpu[k]), median(wall[0]) / median(wall[k]),
                    median(cpu[0]) / median(cpu[k]));
}

// The server side of the memory cases, in a process of its own so that its
// buffers are not counted: prints its address, serves until killed.
int serveCases() {
    test::LocalHttpServer server;
    server.setServing(test::Serving::OneAtATime);
    const qint64 mb = 1024 * 1024;
    for (int i = 0; i < 10; ++i) {
        server.answer(QStringLiteral("/big/%1.jpg").arg(i),
                      {.type = "image/jpeg", .size = 199 * mb});
        server.answer(QStringLiteral("/slow/%1.jpg").arg(i),
                      {.type = "image/jpeg", .delayMs = 450, .size = 200 * 1024});
        server.answer(QStringLiteral("/endless/%1.jpg").arg(i),
                      {.type = "image/jpeg", .size = -2, .noLength = true});
    }
    server.answer("/redirect.jpg", {.status = 302, .location = "/slow/0.jpg", .size = -2});
    server.answer("/ftp.jpg", {.status = 302, .location = "ftp://127.0.0.1/x.jpg"});
    server.answer("/over.jpg", {.type = "image/jpeg", .size = 201 * mb});
    server.answer("/broken.jpg", {.body = QByteArray("\xFF\xD8\xFF\xE0") + QByteArray(40000, 'j'),
                                  .stallAfter = 20000,
                                  .stallMs = 100,
                                  .reset = true,
                                  .noLength = true});
    server.answer("/" + QString(300, 'n') + ".jpg", {.type = "image/jpeg", .size = 20000});
    std::printf("%s\n", qPrintable(server.url(QString())));
    std::fflush(stdout);
    return QCoreApplication::exec();
}

// One fault case against the server in a process of its own; prints the
// outcome and the peak memory of this process.
int memoryCase(const QString &self, const QString &name) {
    QProcess server;
    server.start(self, {QStringLiteral("serve")});
    if (!server.waitForReadyRead(10000))
        return 1;
    const QString base = QString::fromUtf8(server.readLine().trimmed());
    QTemporaryDir dir;
    AppDir = dir.path() + QLatin1Char('/');
    QStringList paths;
    if (name == QLatin1String("page")) {
        // The page fetch: a redirection with an endless body.
        InternetTransfer transfer;
        const Error err = transfer.OpenURL(base + QStringLiteral("/redirect.jpg"));
        std::printf("page: error %d\n", int(err));
    }
    for (int i = 0; i < 10; ++i) {
        if (name == QLatin1String("big") || name == QLatin1String("slow"))
            paths.append(QStringLiteral("/%1/%2.jpg").arg(name).arg(i));
        if ((name == QLatin1String("endless8") && i < 8) ||
            (name == QLatin1String("endless1") && i < 1))
            paths.append(QStringLiteral("/endless/%1.jpg").arg(i));
    }
    if (name == QLatin1String("refused"))
        paths = {QStringLiteral("/ftp.jpg"), QStringLiteral("/over.jpg"),
                 QStringLiteral("/slow/1.jpg")};
    if (name == QLatin1String("redirect"))
        paths = {QStringLiteral("/redirect.jpg")};
    if (name == QLatin1String("broken"))
        paths = {QStringLiteral("/broken.jpg"), QStringLiteral("/slow/2.jpg")};
    if (name == QLatin1String("longname"))
        paths = {"/" + QString(300, 'n') + ".jpg", QStringLiteral("/slow/3.jpg")};
    QString monitor;
    QElapsedTimer timer;
    timer.start();
    if (!paths.isEmpty()) {
        DownloadJob job = jobFor(base, dir.path(), paths);
        job.numbering = name != QLatin1String("longname");
        const RunResult result = DownloadRun().run(job, [&monitor](const PictureReport &p) {
            monitor += p.ok ? QLatin1Char('+') : QLatin1Char('-');
            return true;
        });
        std::printf("%s: end %d, error %d, monitor %s\n", qPrintable(name), int(result.end),
                    int(result.err), qPrintable(monitor));
    }
    std::printf("%s: %.1f s, peak memory %ld KB\n", qPrintable(name), timer.nsecsElapsed() / 1e9,
                statusKb("VmHWM:"));
    server.kill();
    server.waitForFinished();
    return 0;
}

void benchOrganiser() {
    QTemporaryDir dir;
    AppDir = dir.path() + QLatin1Char('/');
    MessageBoxes::setInstance(std::make_unique<SilentBoxes>());
    QFile file(AppDir + QStringLiteral("pomi.ini"));
    if (!file.open(QIODevice::WriteOnly))
        return;
    for (int i = 0; i < 100000; ++i)
        file.write("\"http://www.example.com/gallery/" + QByteArray::number(i) +
                   "/index.html\"\r\n");
    file.close();

    QElapsedTimer timer;
    timer.start();
    auto *w = new URLs;
    w->Form_Load();
    w->show();
    QCoreApplication::processEvents();
    const double shownMs = timer.nsecsElapsed() / 1e6;
    w->l1->item(50000)->setSelected(true);
    w->Command1_Click();
    timer.restart();
    w->Command2_Click();
    const double writtenMs = timer.nsecsElapsed() / 1e6;
    QCoreApplication::processEvents();
    std::printf("organiser: 100,000 entries listed and shown in %.0f ms, written back in %.0f ms\n",
                shownMs, writtenMs);
}

} // namespace

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (what == QLatin1String("serve"))
        return serveCases();
    if (what == QLatin1String("serve-download"))
        return serveDownload();
    if (what == QLatin1String("memory"))
        return memoryCase(QCoreApplication::applicationFilePath(),
                          argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    // The download goes first: the extraction's large page would raise the
    // peak memory figure.
    if (what.isEmpty() || what == QLatin1String("download"))
        benchDownload(QCoreApplication::applicationFilePath(),
                      argc < 3 || qstrcmp(argv[2], "alone") != 0);
    if (what.isEmpty() || what == QLatin1String("extract"))
        benchExtract();
    if (what.isEmpty() || what == QLatin1String("organiser"))
        benchOrganiser();
    return 0;
}
