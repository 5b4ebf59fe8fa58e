// Measures the content check: peak memory with very large files in the
// list, grouping of many fingerprints, and a check of many files against
// reading each of them once with `cat`.
// Usage: dupcheck_bench [files] [kilobytes] [rounds] [large file GB] [work folder]

#include "app/pmvmin.h"
#include "dupcheck/ContentCheck.h"
#include "dupcheck/ContentRules.h"
#include "platform/FileList.h"
#include "platform/FolderList.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace pomiv;

// Message boxes that only remember the last text.
class SilentBoxes : public MessageBoxes {
public:
    MsgAnswer show(QWidget *, const QString &text, MsgButtons, MsgIcon) override {
        last = text;
        return MsgAnswer::Ok;
    }
    static inline QString last;
};

// Peak resident memory of the process so far, in megabytes.
static double peakMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
}

static void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

static double seconds(const QElapsedTimer &timer) {
    return timer.nsecsElapsed() / 1e9;
}

static void largeFiles(const QString &folder, qint64 gigabytes) {
    QDir().mkpath(folder);
    const qint64 size = gigabytes << 30;
    // Two equal large files (sparse, so quick to make), so that both the
    // fingerprint and the byte-by-byte comparison run over them.
    for (const char *name : {"big1.jpg", "big2.jpg", "small.jpg"}) {
        QFile file(QDir(folder).filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::WriteOnly) || !file.resize(name[0] == 's' ? 1000 : size)) {
            std::fprintf(stderr, "cannot make %s\n", name);
            std::exit(1);
        }
    }
    pmvmin w;
    w.d2->setPath(folder);
    w.op1[1]->setChecked(true);
    resetPeak();
    const double before = peakMegabytes();
    QElapsedTimer timer;
    timer.start();
    w.nc_Click();
    std::printf("two %lld GB files: check %.1f s, peak memory %.1f MB before, %.1f MB after "
                "(+%.1f MB); %s\n",
                gigabytes, seconds(timer), before, peakMegabytes(), peakMegabytes() - before,
                qPrintable(SilentBoxes::last.simplified()));
    QDir(folder).removeRecursively();
}

static void grouping(qsizetype count) {
    // Lengths and fingerprints as photos give them; one file in ten repeats
    // an earlier one.
    QRandomGenerator random(1);
    std::vector<ContentSample> samples(count);
    std::vector<qsizetype> content(count);
    for (qsizetype i = 0; i < count; ++i) {
        if (i > 0 && random.bounded(10) == 0) {
            const qsizetype original = random.bounded(i);
            samples[i] = samples[original];
            content[i] = content[original];
        } else {
            const qint64 length = 20000 + random.bounded(2000000);
            samples[i].length = length;
            samples[i].fingerprint = length + random.bounded(length / 50 * 255);
            samples[i].readable = true;
            content[i] = i;
        }
    }
    QElapsedTimer timer;
    timer.start();
    const std::vector<qsizetype> verdicts = findRepeats(samples, [&](qsizetype a, qsizetype b) {
        return content[a] == content[b] ? Sameness::Same : Sameness::Different;
    });
    const double took = seconds(timer);
    const auto repeats =
        std::count_if(verdicts.begin(), verdicts.end(), [](qsizetype v) { return v >= 0; });
    std::printf("grouping %lld fingerprints: %.3f s (%lld repeats)\n", qint64(count), took,
                qint64(repeats));
}

static QStringList makeFiles(const QString &folder, int count, int kilobytes) {
    QDir().mkpath(folder);
    QStringList names;
    QByteArray bytes(kilobytes * 1024, Qt::Uninitialized);
    QList<QByteArray> originals;
    QRandomGenerator random(2);
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("f%1.jpg").arg(i, 6, 10, QLatin1Char('0'));
        if (i % 10 == 9) {
            bytes = originals[random.bounded(originals.size())];
        } else {
            random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
            originals.append(bytes);
        }
        QFile file(QDir(folder).filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            std::exit(1);
        }
        names.append(name);
    }
    return names;
}

static double timeCat(const QString &folder, const QStringList &names) {
    QElapsedTimer timer;
    timer.start();
    QProcess cat;
    cat.setWorkingDirectory(folder);
    cat.setStandardOutputFile(QProcess::nullDevice());
    cat.start(QStringLiteral("cat"), names);
    if (!cat.waitForFinished(-1) || cat.exitCode() != 0) {
        std::fprintf(stderr, "cat failed\n");
        std::exit(1);
    }
    return seconds(timer);
}

// Gives the renamed copies their names back.
static void restore(const QString &folder) {
    const QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral("*.jp_")}, QDir::Files))
        QFile::rename(dir.filePath(name), dir.filePath(name.chopped(1) + QLatin1Char('g')));
}

static double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int kilobytes = argc > 2 ? std::atoi(argv[2]) : 50;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    const qint64 gigabytes = argc > 4 ? std::atoll(argv[4]) : 4;
    const QString base = argc > 5 ? QString::fromLocal8Bit(argv[5]) : QDir::tempPath();
    QTemporaryDir work(base + QStringLiteral("/pomiv-bench-XXXXXX"));
    if (!work.isValid())
        return 1;
    MessageBoxes::setInstance(std::make_unique<SilentBoxes>());

    // First, while the process is still small.
    if (gigabytes > 0)
        largeFiles(work.filePath(QStringLiteral("large")), gigabytes);

    grouping(1000000);

    const QString folder = work.filePath(QStringLiteral("files"));
    std::printf("making %d files of %d KB, one in ten a copy\n", count, kilobytes);
    const QStringList names = makeFiles(folder, count, kilobytes);
    pmvmin w;
    w.d2->setPath(folder);
    std::vector<double> catTimes, checkTimes;
    for (int round = 1; round <= rounds; ++round) {
        w.d3->refresh();
        timeCat(folder, names); // warm the cache
        double cat = 0, check = 0;
        for (int side = 0; side < 2; ++side) {
            if ((side == 0) == (round % 2 == 1)) {
                cat = timeCat(folder, names);
            } else {
                QElapsedTimer timer;
                timer.start();
                w.nc_Click();
                check = seconds(timer);
                restore(folder);
            }
        }
        catTimes.push_back(cat);
        checkTimes.push_back(check);
        std::printf("round %d: cat %.3f s, check %.3f s, ratio %.2f; %s\n", round, cat, check,
                    check / cat, qPrintable(SilentBoxes::last.simplified()));
    }
    const double cat = median(catTimes), check = median(checkTimes);
    std::printf("median: cat %.3f s, check %.3f s, ratio %.2f\n", cat, check, check / cat);
    return 0;
}
