// Times a numbered transfer of many files against `cp` copying the same
// files, in the same run, the two taking turns to go first; prints every
// round, the medians, the worst round and the best time of each side.
// Usage: transfer_bench [files] [kilobytes] [rounds] [work folder] [sides]
// Sides: both (the default); cp-cp, cp timed against itself in place of the
// transfer, which shows how far the machine alone moves a round's ratio; or
// transfer, cp or none: one side alone, or only the set-up, for counting
// system calls (bench/transfer-syscalls.sh; the files are then left for the
// caller to remove, so that removing them is not counted).

#include "app/pmvmin.h"
#include "controls/FileList.h"
#include "controls/FolderList.h"
#include "settings/Shared.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

using namespace pomiv;

static void makeFiles(const QString &folder, int count, int kilobytes) {
    QDir().mkpath(folder);
    QByteArray bytes(kilobytes * 1024, Qt::Uninitialized);
    for (int i = 0; i < count; ++i) {
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(bytes.data()),
                                              bytes.size() / 4);
        QFile file(
            QDir(folder).filePath(QStringLiteral("f%1.jpg").arg(i, 5, 10, QLatin1Char('0'))));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            std::exit(1);
        }
    }
}

// Each side copies into a new folder every round, and nothing is removed
// before the end: a file system that has just freed many files is slow to
// make new ones for a while (ext4 passes over recently freed inodes), which
// would charge one side for what the other removed.
static QString newFolder(const QString &folder) {
    QDir().mkpath(folder);
    return folder;
}

// Writes out what earlier rounds left dirty, so that neither side pays for
// the other's writes.
static void settleDisk() {
    QProcess::execute(QStringLiteral("sync"), {});
}

static double timeCp(const QString &src, const QString &dst) {
    QStringList args;
    for (const QString &name : QDir(src).entryList(QDir::Files, QDir::Name))
        args.append(QDir(src).filePath(name));
    args.append(dst);
    QElapsedTimer timer;
    timer.start();
    QProcess cp;
    cp.start(QStringLiteral("cp"), args);
    if (!cp.waitForFinished(-1) || cp.exitCode() != 0) {
        std::fprintf(stderr, "cp failed\n");
        std::exit(1);
    }
    return timer.nsecsElapsed() / 1e9;
}

static double timeTransfer(pmvmin &w, const QString &src, const QString &dst, int count) {
    w.d2->setPath(src);
    DestFolder = dst;
    w.tx[1]->setText(QStringLiteral("A"));
    w.tx[2]->setText(QStringLiteral("1"));
    w.Command2_Click();
    QElapsedTimer timer;
    timer.start();
    const std::clock_t cpuStart = std::clock();
    w.st_Click();
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("  transfer used %.3f s of processor time\n",
                double(std::clock() - cpuStart) / CLOCKS_PER_SEC);
    if (QDir(dst).entryList(QDir::Files).size() != count || w.d3->path() != dst) {
        std::fprintf(stderr, "transfer did not complete\n");
        std::exit(1);
    }
    return seconds;
}

static double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int kilobytes = argc > 2 ? std::atoi(argv[2]) : 100;
    const int rounds = std::max(1, argc > 3 ? std::atoi(argv[3]) : 5);
    const QByteArray sides = argc > 5 ? QByteArray(argv[5]) : QByteArray("both");
    const bool withCp = sides == "both" || sides == "cp" || sides == "cp-cp";
    const bool withTransfer = sides == "both" || sides == "transfer";
    QTemporaryDir work(argc > 4 && *argv[4]
                           ? QString::fromLocal8Bit(argv[4]) + QStringLiteral("/pomiv-bench-XXXXXX")
                           : QDir::tempPath() + QStringLiteral("/pomiv-bench-XXXXXX"));
    if (!work.isValid())
        return 1;
    work.setAutoRemove(sides == "both" || sides == "cp-cp");
    const QString src = work.filePath(QStringLiteral("src"));
    const QString appDir = work.filePath(QStringLiteral("app"));
    QDir().mkpath(appDir);
    AppDir = appDir + QLatin1Char('/');
    MainFolder = src;

    std::printf("making %d files of %d KB in %s\n", count, kilobytes, qPrintable(work.path()));
    makeFiles(src, count, kilobytes);

    pmvmin w;
    w.show();
    std::vector<double> cpTimes, runTimes, ratios;
    for (int round = 1; round <= rounds; ++round) {
        const QString cpDst = newFolder(work.filePath(QStringLiteral("cp%1").arg(round)));
        const QString runDst = newFolder(work.filePath(QStringLiteral("run%1").arg(round)));
        // Each side goes first in every other round.
        double cp = 0, run = 0;
        for (int side = 0; side < 2; ++side) {
            settleDisk();
            if ((side == 0) == (round % 2 == 1)) {
                if (withCp)
                    cp = timeCp(src, cpDst);
            } else if (withTransfer) {
                run = timeTransfer(w, src, runDst, count);
            } else if (sides == "cp-cp") {
                run = timeCp(src, runDst);
            }
        }
        cpTimes.push_back(cp);
        runTimes.push_back(run);
        ratios.push_back(cp > 0 ? run / cp : 0);
        std::printf("round %d: cp %.3f s, transfer %.3f s, ratio %.2f\n", round, cp, run,
                    ratios.back());
    }
    const double cp = median(cpTimes), run = median(runTimes);
    std::printf("median: cp %.3f s, transfer %.3f s, ratio %.2f; worst round ratio %.2f\n", cp, run,
                cp > 0 ? run / cp : 0, *std::max_element(ratios.begin(), ratios.end()));
    const double bestCp = *std::min_element(cpTimes.begin(), cpTimes.end());
    const double bestRun = *std::min_element(runTimes.begin(), runTimes.end());
    std::printf("best: cp %.3f s, transfer %.3f s, ratio %.2f\n", bestCp, bestRun,
                bestCp > 0 ? bestRun / bestCp : 0);
    return 0;
}
