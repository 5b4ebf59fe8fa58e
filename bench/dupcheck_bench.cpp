// Measures the content check against reading every file once with `cat` and
// against jdupes (bash bench/install-anchors.sh installs it), on folders of
// many small files, few large ones, and large ones that differ only near
// their end; then peak memory with very large files in the list, and the
// grouping of many lengths.
// Usage: dupcheck_bench [rounds] [large file GB] [work folder]

#include "app/pmvmin.h"
#include "controls/FileList.h"
#include "controls/FolderList.h"
#include "controls/MessageBox.h"
#include "dupcheck/ContentCheck.h"
#include "dupcheck/rules/ContentRules.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QStandardPaths>
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

// Lengths only: a million files, nearly every length unique, so nothing
// is read but the lengths.
class LengthsOnly : public ContentSource {
public:
    explicit LengthsOnly(qsizetype count) {
        QRandomGenerator random(1);
        for (qsizetype i = 0; i < count; ++i)
            m_lengths.push_back(20000 + random.bounded(2000000000));
    }
    std::optional<qint64> length(qsizetype f) override { return m_lengths[f]; }
    std::optional<ContentHash> hash(qsizetype f, qint64) override {
        return ContentHash{quint64(f), 0};
    }
    bool readable(qsizetype) override { return true; }
    Sameness compare(qsizetype, qsizetype) override { return Sameness::Different; }

private:
    std::vector<qint64> m_lengths;
};

static void grouping(qsizetype count) {
    LengthsOnly source(count);
    QElapsedTimer timer;
    timer.start();
    const std::vector<qsizetype> verdicts = findRepeats(count, source);
    std::printf("grouping %lld lengths: %.3f s\n", qint64(count), seconds(timer));
}

// `count` files of `bytes` bytes. With `nearEnd`, all hold the same bytes
// but one, a few bytes before the end; otherwise random bytes, one file in
// ten a copy of an earlier one.
static QStringList makeFiles(const QString &folder, int count, qint64 bytes, bool nearEnd) {
    QDir().mkpath(folder);
    QStringList names;
    QByteArray data(bytes, Qt::Uninitialized);
    QList<QByteArray> originals;
    QRandomGenerator random(2);
    random.fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / 4);
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("f%1.jpg").arg(i, 6, 10, QLatin1Char('0'));
        QByteArray bytesOfFile;
        if (nearEnd) {
            bytesOfFile = data;
            bytesOfFile[bytes - 10] = char(i);
        } else if (i % 10 == 9) {
            bytesOfFile = originals[random.bounded(originals.size())];
        } else {
            random.fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / 4);
            bytesOfFile = data;
            originals.append(bytesOfFile);
        }
        QFile file(QDir(folder).filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytesOfFile) != bytesOfFile.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            std::exit(1);
        }
        names.append(name);
    }
    return names;
}

static double timeCommand(const QString &folder, const QString &program,
                          const QStringList &arguments) {
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit) {
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
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

// One row: the check against cat and jdupes on one folder, the three run in
// a turning order each round, the cache warm.
static void row(const QString &title, const QString &folder, const QStringList &names, int rounds) {
    const bool haveJdupes = !QStandardPaths::findExecutable(QStringLiteral("jdupes")).isEmpty();
    pmvmin w;
    w.d2->setPath(folder);
    std::vector<double> catTimes, jdupesTimes, checkTimes;
    const QString cat = QStringLiteral("cat");
    for (int round = 0; round < rounds; ++round) {
        timeCommand(folder, cat, names); // warm the cache
        for (int turn = 0; turn < 3; ++turn) {
            switch ((turn + round) % 3) {
            case 0:
                catTimes.push_back(timeCommand(folder, cat, names));
                break;
            case 1:
                if (haveJdupes)
                    jdupesTimes.push_back(timeCommand(folder, QStringLiteral("jdupes"),
                                                      {QStringLiteral("-q"), folder}));
                break;
            default: {
                w.d3->refresh();
                QElapsedTimer timer;
                timer.start();
                w.nc_Click();
                checkTimes.push_back(seconds(timer));
                restore(folder);
            }
            }
        }
    }
    const double catMedian = median(catTimes), checkMedian = median(checkTimes);
    const double jdupesMedian = haveJdupes ? median(jdupesTimes) : 0;
    std::printf(
        "%s: check %.3f s, cat %.3f s (%.2f x), jdupes %.3f s (%.2f x), medians of %d; %s\n",
        qPrintable(title), checkMedian, catMedian, checkMedian / catMedian, jdupesMedian,
        haveJdupes ? checkMedian / jdupesMedian : 0.0, rounds,
        qPrintable(SilentBoxes::last.simplified()));
}

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    const qint64 gigabytes = argc > 2 ? std::atoll(argv[2]) : 4;
    const QString base = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QDir::tempPath();
    QTemporaryDir work(base + QStringLiteral("/pomiv-bench-XXXXXX"));
    if (!work.isValid())
        return 1;
    MessageBoxes::setInstance(std::make_unique<SilentBoxes>());

    // First, while the process is still small.
    if (gigabytes > 0)
        largeFiles(work.filePath(QStringLiteral("large")), gigabytes);
    grouping(1000000);

    struct Row {
        const char *title;
        int count;
        qint64 bytes;
        bool nearEnd;
    };
    const Row rows[] = {
        {"100,000 x 4 KB, one in ten a copy", 100000, 4096, false},
        {"40 x 20 MB, differing near the end", 40, 20 << 20, true},
        {"20,000 x 50 KB, one in ten a copy", 20000, 50 * 1024, false},
        {"200 x 20 MB, one in ten a copy", 200, 20 << 20, false},
    };
    for (const Row &r : rows) {
        const QString folder = work.filePath(QStringLiteral("files"));
        const QStringList names = makeFiles(folder, r.count, r.bytes, r.nearEnd);
        row(QString::fromLatin1(r.title), folder, names, rounds);
        QDir(folder).removeRecursively();
    }
    return 0;
}
