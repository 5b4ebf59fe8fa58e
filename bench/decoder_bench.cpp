// Times what the picture decoder's guards cost, run by hand:
//   QT_QPA_PLATFORM=offscreen build/bench/decoder_bench
// 1. A metafile converted in the helper process, against the anchor: a
//    bitmap of the same size read by Qt's reader in the program. Both sides
//    alternate, round by round; medians.
// 2. The damaged files of the test corpus (the same samples and mutants):
//    the slowest file refused, against the undamaged samples.
#include "core/Errors.h"
#include "pictures/PictureDecoder.h"
#include "tests/viewer/SampleFiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace pomiv;
using namespace pomiv::test;

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes) {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(file.fileName()));
    return file.fileName();
}

// Milliseconds one decode takes, and its result.
double timed(const QString &path, Error *err = nullptr) {
    QElapsedTimer t;
    t.start();
    Picture picture;
    const Error result = decodePicture(path, &picture);
    if (err)
        *err = result;
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char *argv[]) {
    qputenv("QT_LOGGING_RULES", "qt.gui.imageio.jpeg=false"); // one line per damaged JPEG
    QGuiApplication app(argc, argv);
    setMetafileHelper(QCoreApplication::applicationDirPath() + "/../pomiv-metafile");
    QTemporaryDir dir;
    const int rounds = 5, perRound = 10;

    std::printf("1. per metafile, medians of %d rounds of %d decodes (ms)\n", rounds, perRound);
    for (const QSize size : {QSize(200, 150), QSize(1600, 1200)}) {
        const QString emf = write(dir, "a.emf", emfBytes(size, Qt::green));
        const QString wmf = write(dir, "a.wmf", wmfBytes(size, Qt::blue));
        const QString text = write(dir, "text.emf", emfTextBytes(0));
        const QString bmp = write(dir, "a.bmp", imageBytes(size, Qt::red));
        std::vector<double> anchor, emfs, wmfs, texts;
        for (int r = 0; r < rounds; ++r) {
            for (auto [path, times] :
                 {std::pair(bmp, &anchor), {emf, &emfs}, {wmf, &wmfs}, {text, &texts}}) {
                std::vector<double> round;
                for (int i = 0; i < perRound; ++i)
                    round.push_back(timed(path));
                times->push_back(median(round));
            }
        }
        std::printf("  %4d x %-4d  bmp in the program (anchor) %7.2f   emf %7.2f   wmf %7.2f   "
                    "emf with text %7.2f\n",
                    size.width(), size.height(), median(anchor), median(emfs), median(wmfs),
                    median(texts));
    }

    std::printf("2. the test corpus (ms)\n");
    const auto seeds = sampleOfEachType();
    const QList<QByteArray> hostile = hostileFiles();
    for (const QByteArray &h : hostile)
        std::printf("  hostile %-4lld bytes: %7.2f\n", qint64(h.size()),
                    timed(write(dir, "hostile", h)));
    quint32 seed = 1;
    for (const auto &[type, bytes] : seeds) {
        std::vector<double> sample, refused, shown;
        QString slowest;
        double worst = 0;
        const QList<QByteArray> files = mutants(bytes, 250, seed++);
        for (int r = 0; r < 3; ++r)
            sample.push_back(timed(write(dir, "sample", bytes)));
        for (int i = 0; i < files.size(); ++i) {
            Error err = Ok;
            const double ms = timed(write(dir, QStringLiteral("m%1").arg(i), files[i]), &err);
            (err == Ok ? shown : refused).push_back(ms);
            if (err != Ok && ms > worst)
                worst = ms, slowest = QString::number(i);
        }
        std::printf("  %-8s undamaged %6.2f   shown %3zu (median %6.2f)   refused %3zu (median "
                    "%6.2f, slowest %7.2f: mutant %s)\n",
                    type, median(sample), shown.size(), median(shown), refused.size(),
                    median(refused), worst, qPrintable(slowest));
    }
    return 0;
}
