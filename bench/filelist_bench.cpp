// Fills a folder with 100,000 files (a tenth of them *.jpg) and measures the
// main window's start-up on it against the start-up on an empty folder, each
// start in a process of its own, then listing the files and the file list
// control's memory. Run by hand: build/bench/filelist_bench [folder]
//   build/bench/filelist_bench startup FOLDER   one start-up, for strace:
//   strace -f -e trace=getdents64 -c build/bench/filelist_bench startup FOLDER

#include "app/pmvmin.h"
#include "controls/FileList.h"
#include "core/DirScan.h"
#include "core/Listing.h"
#include "core/Paths.h"
#include "core/Volumes.h"
#include "settings/Shared.h"
#include "settings/rules/SettingsFile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
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

static double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// One start-up as the program makes it, with settings whose main folder is
// the folder: from before the application exists to the window shown with
// its file list filled. Prints the milliseconds and the files listed.
// With `longField`, the settings file's first field is 50 MB long instead.
static int startUp(int argc, char *argv[], const QString &folder, bool longField) {
    QTemporaryDir tmp;
    AppDir = tmp.path() + QLatin1Char('/');
    f_save(AppDir, {folder, folder, QStringLiteral("A"), QStringLiteral("1")});
    if (longField) {
        QFile settings(AppDir + QStringLiteral("pmvf2.ini"));
        if (!settings.open(QIODevice::WriteOnly) ||
            !settings.write(QByteArray(50 << 20, 'x') + ",\"/b\"\r\n"))
            return 1;
    }
    setProgramDirForTests(tmp.path());
    QElapsedTimer startup;
    startup.start();
    QApplication app(argc, argv);
    pmvmin window;
    window.Form_Load();
    window.show();
    QCoreApplication::processEvents();
    const double ms = startup.nsecsElapsed() / 1e6;
    std::printf("%.1f %d\n", ms, window.d3->count());
    return 0;
}

// Start-ups on the full and the empty folder in turn, a process each, the
// files already in the cache; medians of the rounds.
static void compareStartUps(const QString &self, const QString &full, const QString &empty) {
    const int rounds = 7;
    std::vector<double> fullMs, emptyMs, longMs;
    int listed = 0;
    const auto once = [&](const QString &folder, std::vector<double> *into,
                          bool longField = false) {
        QProcess p;
        p.start(self, {QStringLiteral("startup"), folder,
                       longField ? QStringLiteral("long") : QString()});
        p.waitForFinished(60000);
        const QList<QByteArray> out = p.readAllStandardOutput().trimmed().split(' ');
        if (out.size() == 2) {
            into->push_back(out[0].toDouble());
            if (folder == full)
                listed = out[1].toInt();
        }
    };
    once(full, &fullMs); // warms the cache; not counted
    fullMs.clear();
    for (int round = 0; round < rounds; ++round) {
        once(full, &fullMs);
        once(empty, &emptyMs);
        once(empty, &longMs, true);
    }
    if (fullMs.empty() || emptyMs.empty()) {
        std::printf("start-up: the child process gave no figure\n");
        return;
    }
    std::printf("start-up to the shown window, medians of %d rounds in turn:\n", rounds);
    std::printf("  folder of 100000 files (%d *.jpg listed): %.1f ms (min %.1f, max %.1f)\n",
                listed, median(fullMs), *std::min_element(fullMs.begin(), fullMs.end()),
                *std::max_element(fullMs.begin(), fullMs.end()));
    std::printf("  empty folder:                             %.1f ms (min %.1f, max %.1f)\n",
                median(emptyMs), *std::min_element(emptyMs.begin(), emptyMs.end()),
                *std::max_element(emptyMs.begin(), emptyMs.end()));
    if (!longMs.empty())
        std::printf("  settings with a 50 MB first field:        %.1f ms (max %.1f)\n",
                    median(longMs), *std::max_element(longMs.begin(), longMs.end()));
}

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    if (argc > 2 && qstrcmp(argv[1], "startup") == 0)
        return startUp(argc, argv, QString::fromLocal8Bit(argv[2]),
                       argc > 3 && qstrcmp(argv[3], "long") == 0);

    QTemporaryDir tmp;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : tmp.filePath("many");
    if (QDir(folder).entryList(QDir::Files).size() < 100000)
        makeFiles(folder, 100000);
    const QString empty = tmp.filePath("empty");
    QDir().mkpath(empty);
    compareStartUps(QString::fromLocal8Bit(argv[0]), folder, empty);

    QApplication app(argc, argv);
    std::shared_ptr<const FolderScan> scan;
    const double readMs = bestMs(5, [&] { scan = readFolder(folder); });
    const double matchMs = bestMs(5, [&] { matchingFiles(*scan, QStringLiteral("*.jpg")); });
    std::printf("reading the folder: %.1f ms, choosing and sorting *.jpg: %.1f ms (best of 5)\n",
                readMs, matchMs);
    const auto listing = [&](const char *pattern) {
        return bestMs(5, [&] { matchingFiles(*readFolder(folder), QString::fromLatin1(pattern)); });
    };
    const double jpgMs = listing("*.jpg"), allMs = listing("*.*");
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
