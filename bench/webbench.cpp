// Speed and memory of the web download: link extraction over a large page,
// and a download run against a slow local server, with pictures fetched
// ahead and one at a time. Run by hand: build/bench/webbench [download|extract|organiser]

#include "LocalHttpServer.h"
#include "app/pmvmin.h"
#include "platform/InternetTransfer.h"
#include "platform/MessageBox.h"
#include "platform/Volumes.h"
#include "settings/Shared.h"
#include "web/INTE.h"
#include "web/LinkExtract.h"
#include "web/PageDecoding.h"
#include "web/URLs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

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

double runOnce(test::LocalHttpServer &server, pmvmin &main, const QString &folder, int ahead,
               long *peakKb) {
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    main.INTB_Click();
    INTE *w = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *inte = qobject_cast<INTE *>(top); inte && inte->isVisible())
            w = inte;
    main.tx[1]->setText(QStringLiteral("B"));
    main.tx[2]->setText(QStringLiteral("1"));
    w->ft->setText(folder + QLatin1Char('/'));
    for (int i = 0; i < 200; ++i)
        w->URL_ad(server.url(QStringLiteral("/pic/%1.jpg").arg(i)));
    Q_UNUSED(ahead);
    QElapsedTimer timer;
    timer.start();
    w->Command1_Click();
    const double seconds = timer.nsecsElapsed() / 1e9;
    *peakKb = statusKb("VmHWM:");
    const int files = static_cast<int>(QDir(folder).entryList(QDir::Files).size());
    if (files != 200)
        std::printf("download: only %d files written\n", files);
    w->close();
    QCoreApplication::processEvents();
    return seconds;
}

void benchDownload() {
    QTemporaryDir dir;
    AppDir = dir.path() + QStringLiteral("/app/");
    QDir().mkpath(AppDir);
    Volumes::setStartupFolder(dir.path());
    MessageBoxes::setInstance(std::make_unique<SilentBoxes>());

    test::LocalHttpServer server;
    QByteArray picture("\xFF\xD8\xFF\xE0");
    picture.append(QByteArray(200 * 1024 - picture.size(), 'p'));
    for (int i = 0; i < 200; ++i)
        server.answer(QStringLiteral("/pic/%1.jpg").arg(i),
                      {.body = picture, .type = "image/jpeg", .delayMs = 50});
    pmvmin main;
    MainFolder = DestFolder = dir.path();
    const long idleKb = statusKb("VmRSS:");
    long peakAhead = 0, peakSerial = 0;
    const double ahead =
        runOnce(server, main, dir.path() + QStringLiteral("/ahead"), 8, &peakAhead);
    const double serial =
        runOnce(server, main, dir.path() + QStringLiteral("/serial"), 1, &peakSerial);
    std::printf("download: 200 pictures of 200 KB, server answers after 50 ms\n");
    std::printf(
        "download: fetched ahead (8 at once) %.2f s, one at a time %.2f s, %.1f times faster\n",
        ahead, serial, serial / ahead);
    std::printf("download: idle %ld KB, peak %ld KB, peak above idle %.1f MB\n", idleKb, peakAhead,
                (peakAhead - idleKb) / 1024.0);
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
    // The download goes first: the extraction's large page would raise the
    // peak memory figure.
    if (what.isEmpty() || what == QLatin1String("download"))
        benchDownload();
    if (what.isEmpty() || what == QLatin1String("extract"))
        benchExtract();
    if (what.isEmpty() || what == QLatin1String("organiser"))
        benchOrganiser();
    return 0;
}
