// Times the viewer's steps between large JPEGs: a step to a picture decoded
// ahead, a jump to one that was not, against QImageReader alone; and counts
// the decoded pictures held. Run by hand:
//   QT_QPA_PLATFORM=offscreen build/bench/viewer_bench [files]
#include "app/pmvmin.h"
#include "platform/FileList.h"
#include "platform/FolderList.h"
#include "platform/PictureDecoder.h"
#include "settings/Shared.h"
#include "viewer/PictureBox.h"
#include "viewer/f1.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace pomiv;

namespace {

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

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::max(5, atoi(argv[1])) : 5;
    QTemporaryDir dir;
    std::printf("writing %d JPEGs of 6000 x 4000 ...\n", files);
    for (int i = 0; i < files; ++i)
        writePhoto(dir.filePath(QStringLiteral("p%1.jpg").arg(i)), i);
    std::printf("JPEG size: %lld bytes\n", QFileInfo(dir.filePath("p0.jpg")).size());

    pmvmin main;
    main.show();
    main.d2->setPath(dir.path());
    main.sr->setEditText("*.jpg");
    ViewIndex = 0;
    main.OKB_Click();
    f1 *viewer = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *v = qobject_cast<f1 *>(w))
            viewer = v;
    }
    if (!viewer || viewer->g->size() != QSize(6000, 4000) || !QTest::qWaitForWindowExposed(viewer))
        return 1;

    int mostHeld = viewer->pictures().held();
    auto onScreen = [&](auto act) {
        QElapsedTimer t;
        t.start();
        act();
        viewer->repaint(); // painted into the window's backing store
        const double took = ms(t);
        mostHeld = std::max(mostHeld, viewer->pictures().held());
        return took;
    };

    // Steps to pictures decoded ahead, both ways.
    std::vector<double> ahead;
    for (int i = 0; i < 2 * files; ++i) {
        viewer->pictures().waitUntilIdle();
        mostHeld = std::max(mostHeld, viewer->pictures().held());
        const Qt::Key key = i < files ? Qt::Key_Right : Qt::Key_Left;
        ahead.push_back(onScreen([&] { QTest::keyClick(viewer->g, key); }));
    }

    // Jumps (a click in the list) to a picture two away, not decoded ahead,
    // each next to QImageReader alone and the program's decoder alone on the
    // same file: the machine's load changes from one second to the next.
    const long peakAfterSteps = peakResidentKb();
    std::vector<double> jumps, reader, decoder;
    viewer->m1_Click();
    for (int i = 0; i < 3 * files; ++i) {
        viewer->pictures().waitUntilIdle();
        const int to = (viewer->d1->currentIndex() + 2) % files;
        const QString path = dir.filePath(viewer->d1->name(to));
        {
            QElapsedTimer t;
            t.start();
            QImageReader r(path);
            if (r.read().isNull())
                return 1;
            reader.push_back(ms(t));
        }
        {
            QElapsedTimer t;
            t.start();
            Picture picture;
            decodePicture(path, &picture);
            decoder.push_back(ms(t));
        }
        const QRect row = viewer->d1->visualRect(viewer->d1->model()->index(to, 0));
        jumps.push_back(onScreen(
            [&] { QTest::mouseClick(viewer->d1->viewport(), Qt::LeftButton, {}, row.center()); }));
        mostHeld = std::max(mostHeld, viewer->pictures().held());
    }
    viewer->pictures().waitUntilIdle();

    const PictureCache::Counts counts = viewer->pictures().counts();
    auto report = [](const char *what, const std::vector<double> &v) {
        std::printf("%-42s min %7.1f  median %7.1f  max %7.1f ms\n", what,
                    *std::min_element(v.begin(), v.end()), median(v),
                    *std::max_element(v.begin(), v.end()));
    };
    report("step to a picture decoded ahead, on screen", ahead);
    report("QImageReader::read alone", reader);
    report("decodePicture alone", decoder);
    report("jump to one not decoded ahead, on screen", jumps);
    std::printf("pictures from copies %d, decoded when shown %d, decoded ahead %d\n",
                counts.fromCopy, counts.decodedNow, counts.decodedAhead);
    std::printf("most decoded pictures held at once: %d\n", mostHeld);
    std::printf("peak resident memory: %ld MB after the steps (the viewer alone), %ld MB at the "
                "end (with the comparison decodes)\n",
                peakAfterSteps / 1024, peakResidentKb() / 1024);
    return 0;
}
