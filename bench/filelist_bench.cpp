// Fills a folder with 100,000 files (a tenth of them *.jpg) and measures
// listing them, the file list control's memory, and the main window's
// start-up on that folder. Run by hand: build/bench/filelist_bench [folder]

#include "app/pmvmin.h"
#include "platform/FileList.h"
#include "platform/Paths.h"
#include "platform/Volumes.h"
#include "settings/SettingsFile.h"
#include "settings/Shared.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

using namespace pomiv;

static void makeFiles(const QString &folder, int count) {
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("%1/Photo_%2.%3")
                                 .arg(folder)
                                 .arg(i, 6, 10, QLatin1Char('0'))
                                 .arg(i % 10 == 0 ? "jpg" : "dat");
        const int fd = ::open(QFile::encodeName(name).constData(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0)
            ::close(fd);
    }
}

template <class F> static double bestMs(int runs, F f) {
    double best = 1e18;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

int main(int argc, char *argv[]) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QTemporaryDir tmp;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : tmp.filePath("many");
    if (QDir(folder).entryList(QDir::Files).size() < 100000)
        makeFiles(folder, 100000);
    // Settings that make the main window start on that folder.
    const QString prog = tmp.filePath("prog");
    QDir().mkpath(prog);
    AppDir = prog + QLatin1Char('/');
    f_save(folder, folder, QStringLiteral("A"), QStringLiteral("1"));
    setProgramDirForTests(prog);

    // The start-up measured from before the application exists to the first
    // shown window, the files already in the cache.
    listFiles(folder, QStringLiteral("*.*"));
    QElapsedTimer startup;
    startup.start();
    QApplication app(argc, argv);
    double startupMs = 0;
    {
        pmvmin window;
        window.Form_Load();
        window.show();
        QCoreApplication::processEvents();
        startupMs = startup.nsecsElapsed() / 1e6;
        std::printf("main window start-up on %d *.jpg of 100000 files: %.1f ms\n",
                    window.d3->count(), startupMs);
    }

    const double jpgMs = bestMs(5, [&] { listFiles(folder, QStringLiteral("*.jpg")); });
    const double allMs = bestMs(5, [&] { listFiles(folder, QStringLiteral("*.*")); });
    std::printf("listing *.jpg: %.1f ms (best of 5)\n", jpgMs);
    std::printf("listing *.*:   %.1f ms (best of 5)\n", allMs);

    // The control as the window shows it: filled, laid out and painted.
    FileList list;
    list.resize(145, 270);
    list.show();
    QCoreApplication::processEvents();
    const double fillJpg = bestMs(5, [&] {
        list.setPattern(QStringLiteral("*.jpg"));
        list.setPath(folder);
        QCoreApplication::processEvents();
        list.setPath(tmp.path());
    });
    list.setPath(tmp.path());
    list.setPattern(QStringLiteral("*.*"));
    QCoreApplication::processEvents();
    const size_t heapEmpty = mallinfo2().uordblks;
    const double fillAll = bestMs(1, [&] {
        list.setPath(folder);
        QCoreApplication::processEvents();
    });
    const size_t heapFull = mallinfo2().uordblks;
    std::printf("file list control filled and shown, *.jpg: %.1f ms, *.*: %.1f ms\n", fillJpg,
                fillAll);
    std::printf("file list control with %d names: +%.1f MB of heap\n", list.count(),
                (double(heapFull) - double(heapEmpty)) / (1024.0 * 1024.0));
    return 0;
}
