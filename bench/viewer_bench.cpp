// The viewer between large JPEGs (6000 x 4000), each figure beside its anchor
// measured in the same run, the two sides alternating:
// - a step to a picture decoded ahead, to the first painted screen;
// - a jump (a click in the list) to a picture not decoded ahead, to the first
//   painted screen, against QImageReader decoding just the part the window
//   shows;
// - the peak memory of a viewer stepping and jumping through five such
//   pictures, against three of them decoded and held at 32 bits a pixel, each
//   side in a process of its own.
// Run by hand:
//   QT_QPA_PLATFORM=offscreen build/bench/viewer_bench [rounds]
#include "app/pmvmin.h"
#include "controls/FileList.h"
#include "controls/FolderList.h"
#include "settings/Shared.h"
#include "viewer/PictureBox.h"
#include "viewer/f1.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace pomiv;

namespace {

constexpr int files = 5;

// A photograph-like 6000 x 4000 picture: smooth colour with fine noise, so
// the JPEG holds as much detail as a camera's.
void writePhoto(const QString &path, int seed) {
    QImage image(6000, 4000, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = int(random.bounded(24));
            line[x] = qRgb((x / 24 + seed * 40 + n) & 0xff, (y / 16 + n) & 0xff,
                           ((x + y) / 40 + n) & 0xff);
        }
    }
    image.save(path, "JPEG", 90);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double ms(const QElapsedTimer &t) {
    return t.nsecsElapsed() / 1e6;
}

long peakResidentKb() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

void report(const char *what, const std::vector<double> &v, const char *unit) {
    std::printf("%-52s median %7.1f  min %7.1f  max %7.1f %s (%zu rounds)\n", what, median(v),
                *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()), unit,
                v.size());
}

// The main window, and the viewer it opens on the folder's first JPEG.
f1 *openViewer(pmvmin &main, const QString &folder) {
    main.show();
    main.d2->setPath(folder);
    main.sr->setEditText("*.jpg");
    ViewIndex = 0;
    main.OKB_Click();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *v = qobject_cast<f1 *>(w); v && QTest::qWaitForWindowExposed(v))
            return v->g->size() == QSize(6000, 4000) ? v : nullptr;
    }
    return nullptr;
}

// Time to the first painted screen of what act shows.
double toScreen(f1 *viewer, auto act) {
    QElapsedTimer t;
    t.start();
    act();
    viewer->repaint(); // painted into the window's backing store
    return ms(t);
}

// Steps through the pictures both ways and jumps two at a time, as a person
// looking through them would; the peak memory in KB.
int viewerMemory(const QString &folder) {
    pmvmin main;
    f1 *viewer = openViewer(main, folder);
    if (!viewer)
        return 1;
    viewer->m1_Click();
    for (int i = 0; i < 4 * files; ++i) {
        viewer->pictures().waitUntilIdle();
        QCoreApplication::processEvents();
        if (i < 2 * files) {
            QTest::keyClick(viewer->g, i < files ? Qt::Key_Right : Qt::Key_Left);
        } else {
            const int to = (viewer->d1->currentIndex() + 2) % files;
            const QRect row = viewer->d1->visualRect(viewer->d1->model()->index(to, 0));
            QTest::mouseClick(viewer->d1->viewport(), Qt::LeftButton, {}, row.center());
        }
        viewer->repaint();
    }
    viewer->pictures().waitUntilIdle();
    QCoreApplication::processEvents();
    std::printf("%ld\n", peakResidentKb());
    return 0;
}

// The same start, then three of the pictures decoded and held as 32-bit.
int anchorMemory(const QString &folder) {
    pmvmin main;
    main.show();
    if (!QTest::qWaitForWindowExposed(&main))
        return 1;
    std::vector<QImage> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(
            QImageReader(QDir(folder).filePath(QStringLiteral("p%1.jpg").arg(i))).read());
        if (held.back().format() != QImage::Format_RGB32)
            return 1;
    }
    std::printf("%ld\n", peakResidentKb());
    return 0;
}

} // namespace

int main(int argc, char *argv[]) {
    QImageReader::setAllocationLimit(1024);
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--viewer-memory")
        return viewerMemory(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && QByteArray(argv[1]) == "--anchor-memory")
        return anchorMemory(QString::fromLocal8Bit(argv[2]));
    const int rounds = argc > 1 ? std::max(3, atoi(argv[1])) : 9;

    QTemporaryDir dir;
    std::printf("writing %d JPEGs of 6000 x 4000 ...\n", files);
    for (int i = 0; i < files; ++i)
        writePhoto(dir.filePath(QStringLiteral("p%1.jpg").arg(i)), i);
    std::printf("JPEG size: %lld bytes\n", QFileInfo(dir.filePath("p0.jpg")).size());

    pmvmin main;
    f1 *viewer = openViewer(main, dir.path());
    if (!viewer)
        return 1;
    auto settle = [&] {
        viewer->pictures().waitUntilIdle();
        QCoreApplication::processEvents();
    };

    // Steps to pictures decoded ahead, both ways.
    std::vector<double> ahead;
    for (int i = 0; i < 2 * files; ++i) {
        settle();
        const Qt::Key key = i < files ? Qt::Key_Right : Qt::Key_Left;
        ahead.push_back(toScreen(viewer, [&] { QTest::keyClick(viewer->g, key); }));
    }

    // Jumps to a picture two away, not decoded ahead, and the anchor on the
    // same file: the part of it the window shows, where the window shows it,
    // decoded alone. Which side goes first alternates.
    std::vector<double> jumps, anchor;
    viewer->m1_Click();
    for (int r = 0; r < rounds; ++r) {
        settle();
        const int to = (viewer->d1->currentIndex() + 2) % files;
        const QString path = dir.filePath(viewer->d1->name(to));
        auto clipDecode = [&] {
            const double outer = viewer->frameGeometry().width() * 15240.0 / 17160.0;
            const int left = int(std::lround((outer - 6000) / 2));
            QElapsedTimer t;
            t.start();
            QImageReader reader(path);
            reader.setClipRect(QRect(QPoint(-left, 0), viewer->client->size()));
            const bool read = !reader.read().isNull();
            anchor.push_back(ms(t));
            return read;
        };
        auto jump = [&] {
            const QRect row = viewer->d1->visualRect(viewer->d1->model()->index(to, 0));
            jumps.push_back(toScreen(viewer, [&] {
                QTest::mouseClick(viewer->d1->viewport(), Qt::LeftButton, {}, row.center());
            }));
            // Shown, and from its part.
            return viewer->g->size() == QSize(6000, 4000) && !viewer->g->isWhole();
        };
        const bool ok =
            r % 2 == 0 ? clipDecode() && (settle(), jump()) : jump() && (settle(), clipDecode());
        if (!ok)
            return 1;
    }
    settle();
    const PictureCache::Counts counts = viewer->pictures().counts();

    // Peak memory, each side in a fresh process of its own, alternating.
    std::vector<double> viewerMb, anchorMb;
    for (int i = 0; i < 2 * 3; ++i) {
        const bool ours = i % 2 == 0;
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {ours ? "--viewer-memory" : "--anchor-memory", dir.path()});
        if (!child.waitForFinished(300000) || child.exitCode() != 0)
            return 1;
        (ours ? viewerMb : anchorMb)
            .push_back(child.readAllStandardOutput().trimmed().toLong() / 1024.0);
    }

    report("step to a picture decoded ahead, to the screen", ahead, "ms");
    report("jump to one not decoded ahead, to the screen", jumps, "ms");
    report("anchor: QImageReader, the part the window shows", anchor, "ms");
    report("peak memory, viewer through five pictures", viewerMb, "MB");
    report("anchor: peak memory, three pictures held as 32-bit", anchorMb, "MB");
    std::printf("pictures from copies %d, decoded when shown %d, decoded ahead %d, completed in "
                "the background %d\n",
                counts.fromCopy, counts.decodedNow, counts.decodedAhead, counts.completed);
    return 0;
}
