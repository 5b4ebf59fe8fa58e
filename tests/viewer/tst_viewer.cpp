#include "app/pmvmin.h"
#include "controls/FileList.h"
#include "controls/FolderList.h"
#include "core/Errors.h"
#include "pictures/Metafile.h"
#include "settings/Shared.h"
#include "tests/support/TestSupport.h"
#include "tests/viewer/SampleFiles.h"
#include "viewer/PictureBox.h"
#include "viewer/f1.h"

#include <QComboBox>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <future>

#include <unistd.h>

using namespace pomiv;
using namespace pomiv::test;

namespace {

const auto sizeOf = [](int n) { return QSize(20 + n, 10 + n); };
const QString notAPicture = QString::fromUtf8("は対応している画像ファイルではありません。");

// A JPEG of 50-pixel squares, each its own colour: any part told apart.
QByteArray gridJpeg(QSize size, int orientation = 0) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x / 50 * 37, y / 50 * 53, (x + y) / 50 * 29));
    return jpegBytes(image, orientation);
}

enum { DoubleClickPicture = 1, DoubleClickFreeArea = 2 }; // steps besides the keys

// Far beyond the metafile helper's own limit; a hang names the file.
int decodeInTime(const QString &path, Picture *picture) {
    auto decoded =
        std::async(std::launch::async, [path, picture] { return decodePicture(path, picture); });
    if (decoded.wait_for(std::chrono::seconds(20)) != std::future_status::ready)
        qFatal("no answer in 20 s from %s", qPrintable(path));
    return decoded.get();
}

} // namespace

// At entry index, showing p<n>.bmp: position, highlight, title and picture agree.
#define QVERIFY_AT(index, n)                                                                       \
    QVERIFY2(ViewIndex == (index) && m_v->d1->currentIndex() == (index) &&                         \
                 shown() == QStringLiteral("p%1.bmp").arg(n) && m_v->g->size() == sizeOf(n),       \
             qPrintable(QStringLiteral("at %1: %2").arg(ViewIndex).arg(m_v->windowTitle())))

class ViewerTest : public QObject {
    Q_OBJECT

private:
    QString pathOf(const QString &name) const { return m_dir->filePath(name); }
    // The name the title begins with.
    QString shown() const { return m_v->windowTitle().section(QLatin1Char(' '), 0, 0); }
    // Writes files p0.bmp, p1.bmp .. (told apart by size) and opens the viewer.
    bool open(int files, int index, const QString &pattern = "*.bmp", QString folder = {}) {
        for (int i = 0; i < files; ++i)
            writeFile(pathOf(QStringLiteral("p%1.bmp").arg(i)),
                      imageBytes(sizeOf(i), Qt::darkCyan));
        m_main->d2->setPath(folder.isEmpty() ? m_dir->path() : folder);
        m_main->sr->setEditText(pattern);
        ViewIndex = index;
        return reopen();
    }
    bool reopen() {
        QTest::mouseClick(m_main->OKB, Qt::LeftButton);
        return (m_v = only<f1>());
    }
    void step(int how) {
        if (how == DoubleClickPicture)
            QTest::mouseDClick(m_v->g, Qt::LeftButton, {}, QPoint(3, 3));
        else if (how == DoubleClickFreeArea)
            QTest::mouseDClick(m_v->client, Qt::LeftButton, {}, m_v->client->rect().bottomRight());
        else
            QTest::keyClick(m_v->g, Qt::Key(how));
    }
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MessageRecorder> m_boxes;
    std::unique_ptr<pmvmin> m_main;
    f1 *m_v = nullptr;

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_boxes = std::make_unique<MessageRecorder>();
        m_main = std::make_unique<pmvmin>();
        m_main->show();
    }

    void cleanup() {
        m_main.reset(); // takes an open viewer with it
        QVERIFY(!only<f1>());
        m_boxes.reset();
        m_dir.reset();
    }

    void opensAndStepsWithWrapAround_data() {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("index"); // ViewIndex when opened
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("to");
        QTest::newRow("down from the last") << 4 << 3 << int(Qt::Key_Down) << 0;
        QTest::newRow("double-click picture, last") << 4 << 3 << int(DoubleClickPicture) << 0;
        QTest::newRow("double-click free area, last") << 4 << 3 << int(DoubleClickFreeArea) << 0;
        QTest::newRow("left from the first") << 4 << 0 << int(Qt::Key_Left) << 3;
        QTest::newRow("one file, up") << 1 << 0 << int(Qt::Key_Up) << 0;
        QTest::newRow("opened beyond the last") << 3 << 99 << int(Qt::Key_Right) << 0;
    }

    void opensAndStepsWithWrapAround() {
        QFETCH(int, files);
        QFETCH(int, index);
        QFETCH(int, how);
        QFETCH(int, to);
        writeFile(pathOf("other.jpg"), imageBytes({8, 8}, Qt::red, "JPEG"));
        QVERIFY(open(files, index));
        const int first = qBound(0, index, files - 1);
        QVERIFY_AT(first, first);
        step(how);
        QVERIFY_AT(to, to);
        QVERIFY(m_boxes->shown().isEmpty());
    }

    void deleting() {
        // Deleted without asking; both lists are re-read and the next file shown.
        writeFile(pathOf("keep.txt"), "not listed under *.bmp");
        QVERIFY(open(3, 1));
        step(Qt::Key_Delete);
        QCOMPARE(filesIn(m_dir->path()), QStringList({"keep.txt", "p0.bmp", "p2.bmp"}));
        QCOMPARE(m_main->d3->names(), QStringList({"p0.bmp", "p2.bmp"}));
        QVERIFY_AT(1, 2);

        // The last one, from the list with the highlight moved by a typed
        // letter: the file on screen goes, not the highlighted; the new last shown.
        m_v->m1_Click();
        QTest::keyClick(m_v->d1, Qt::Key_P); // highlight on p0.bmp
        QTest::keyClick(m_v->d1, Qt::Key_Delete);
        QCOMPARE(filesIn(m_dir->path()), QStringList({"keep.txt", "p0.bmp"}));
        QVERIFY_AT(0, 0);

        // A deletion that fails: said so, nothing else changes.
        QFile::remove(pathOf("p0.bmp"));
        step(Qt::Key_Delete);
        QCOMPARE(m_boxes->texts(),
                 QStringList(QString::fromUtf8("p0.bmp ファイルが見つかりません。")));
        QVERIFY_AT(0, 0);

        writeFile(pathOf("p0.bmp"), imageBytes(sizeOf(0), Qt::red));
        step(Qt::Key_Delete);
        QCOMPARE(filesIn(m_dir->path()), QStringList({"keep.txt"}));
        QVERIFY(!only<f1>() && m_main->d3->count() == 0);

        // Opened on the empty list: the opening title, no picture, nothing to do.
        QVERIFY(reopen());
        for (int how : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Delete, Qt::Key(DoubleClickPicture)})
            step(how);
        m_v->m1_Click();
        QTest::keyClick(m_v->d1, Qt::Key_Down);
        QVERIFY(m_v->windowTitle() == QString::fromUtf8("画面の真中をダブルクリックしてください") &&
                m_v->g->image().isNull());
        QCOMPARE(m_boxes->shown().size(), 1); // only the failure above
    }

    void deletingAtTheRootByTheListedBytes() {
        // Two names that read alike, the first no UTF-8, in the root folder,
        // whose path ends with its separator: the one shown goes, and only it.
        if (!QFileInfo(QDir::rootPath()).isWritable())
            QSKIP("the root folder cannot be written here");
        const QByteArray stem = "pomiv-viewer-test-" + QByteArray::number(qApp->applicationPid());
        const QByteArray odd = stem + "\xff.bmp", alike = stem + "\xef\xbf\xbd.bmp";
        const auto removed = qScopeGuard([&] {
            for (const QByteArray &name : {odd, alike})
                ::unlink((QFile::encodeName(QDir::rootPath()) + name).constData());
        });
        for (const QByteArray &name : {odd, alike})
            writeRaw(QDir::rootPath(), name, imageBytes(sizeOf(7), Qt::red));
        QVERIFY(open(0, 0, QString::fromLatin1(stem) + "*", QDir::rootPath()));
        QCOMPARE(m_v->g->size(), sizeOf(7));
        step(Qt::Key_Delete);
        QVERIFY(readRaw("/", alike) != "(unreadable)" && readRaw("/", odd) == "(unreadable)");
    }

    void fileThatCannotBeShown() {
        writeFile(pathOf("b.txt"), "notes");
        QVERIFY(open(3, 1, "*.*"));     // b.txt p0.bmp p1.bmp p2.bmp
        m_v->g->move(m_v->g->x(), -30); // dragged a little
        // Not a picture: said so, and named; the previous picture stays where it was.
        step(Qt::Key_Up);
        const ShownMessage box = m_boxes->shown().value(0);
        QVERIFY(box.text == "b.txt" + notAPicture && box.buttons == MsgButtons::Ok &&
                box.icon == MsgIcon::None);
        QVERIFY(ViewIndex == 0 && shown() == "b.txt" && m_v->g->size() == sizeOf(0) &&
                m_v->g->y() == -30);
        step(Qt::Key_Right);
        QVERIFY_AT(1, 0);

        // Missing since it was decoded ahead: nothing said, picture and title stay.
        m_v->pictures().waitUntilIdle();
        QFile::remove(pathOf("p1.bmp"));
        step(Qt::Key_Right);
        QVERIFY(ViewIndex == 2 && shown() == "p0.bmp" && m_v->g->size() == sizeOf(0));
        // Rewritten since it was decoded ahead, with the same size and type.
        m_v->pictures().waitUntilIdle();
        writeFile(pathOf("p2.bmp"), imageBytes(sizeOf(2), Qt::yellow));
        step(Qt::Key_Right);
        QVERIFY_AT(3, 2);
        QCOMPARE(m_v->g->image().pixelColor(0, 0), QColor(Qt::yellow));
        // Round onto b.txt again: the message again, decoded ahead or not.
        step(Qt::Key_Right);
        QVERIFY(m_boxes->texts().size() == 2 && m_v->g->size() == sizeOf(2));
    }

    void list() {
        QVERIFY(open(5, 0));
        m_v->m1_Click();
        const QRect third = m_v->d1->visualRect(m_v->d1->model()->index(3, 0));
        QTest::mouseClick(m_v->d1->viewport(), Qt::LeftButton, {}, third.center());
        QVERIFY_AT(3, 3);

        // Arrow keys step when let go, with wrap-around; held, they move the highlight.
        for (auto [key, to] :
             {std::pair(Qt::Key_Down, 4), {Qt::Key_Right, 0}, {Qt::Key_Up, 4}, {Qt::Key_Left, 3}}) {
            QTest::keyClick(m_v->d1, key);
            QVERIFY_AT(to, to);
        }
        // A typed letter moves the highlight alone; a step goes on from it.
        QTest::keyClick(m_v->d1, Qt::Key_P);
        QVERIFY(m_v->d1->currentIndex() == 4 && ViewIndex == 3 && shown() == "p3.bmp");
        step(Qt::Key_Right);
        QVERIFY_AT(0, 0);
        QTest::keyPress(m_v->d1, Qt::Key_Down);
        QTest::keyPress(m_v->d1, Qt::Key_Down, {}, -1);
        QVERIFY(m_v->d1->currentIndex() == 2 && shown() == "p0.bmp");
        QTest::keyRelease(m_v->d1, Qt::Key_Down);
        QVERIFY_AT(2, 2);

        // The right button over the list closes the viewer; opened again, it
        // starts at the file shown last.
        QTest::mouseClick(m_v->d1->viewport(), Qt::RightButton, {}, third.center());
        QTRY_VERIFY(!only<f1>());
        QVERIFY(reopen());
        QVERIFY_AT(2, 2);
        // Opening it again while it is open only brings it forward.
        m_main->sr->setEditText("p*.bmp");
        QVERIFY(reopen() && shown() == "p2.bmp");
        QTest::mouseClick(m_v->client, Qt::RightButton, {}, QPoint(1000, 700));
        QTRY_VERIFY(!only<f1>());
        QVERIFY(reopen());
        QVERIFY_AT(0, 0);
        QTest::mouseClick(m_v->g, Qt::RightButton);
        QTRY_VERIFY(!only<f1>());
    }

    void pictureLeftRuleAndDrag() {
        // a.jpg is large: decoded ahead as the part the window shows, it is shown
        // from that part at once, and whole once the rest is decoded.
        writeFile(pathOf("a.jpg"), gridJpeg({3000, 1800}));
        writeFile(pathOf("b.jpg"), imageBytes({100, 1500}, Qt::blue, "JPEG"));
        QByteArray damaged = gridJpeg({3000, 1800}); // a stray start marker low down
        writeFile(pathOf("c.jpg"), damaged.replace(damaged.size() * 7 / 10, 2, "\xff\xd8"));
        QVERIFY(open(0, 1, "*.jpg"));
        m_v->pictures().waitUntilIdle();
        m_v->step(-1);
        PictureBox *g = m_v->g;
        QVERIFY(g->size() == QSize(3000, 1800) && !g->isWhole());
        // Left edge in window units = (outer width in twips - picture width in
        // window units) / 2, one unit being 15240/17160 twips across.
        const double ux = 15240.0 / 17160.0, outer = m_v->frameGeometry().width();
        auto left = [&](int w) { return int(std::lround((outer * ux - w) / 2)); };
        QVERIFY(g->pos() == QPoint(left(3000), 0) && g->x() < 0);
        Picture whole;
        QCOMPARE(decodePicture(pathOf("a.jpg"), &whole), int(Ok));
        auto shownPart = [&](QRect r) { return g->grab(r).toImage(); };
        const QRect seen(-g->pos(), m_v->client->size()), below = seen.translated(0, seen.height());
        QCOMPARE(shownPart(seen), whole.image.copy(seen));

        // A drag with the left button alone moves it by the pointer's travel:
        // heights in the inner area, carried within g.
        auto send = [&](QEvent::Type type, int y, Qt::MouseButton button, Qt::MouseButtons held) {
            const QPointF local(10, y - g->y());
            QMouseEvent event(type, local, g->mapToGlobal(local), button, held, Qt::NoModifier);
            QCoreApplication::sendEvent(g, &event);
            return g->y();
        };
        send(QEvent::MouseButtonPress, 300, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(send(QEvent::MouseMove, 250, Qt::NoButton, Qt::LeftButton), -50);
        QCOMPARE(send(QEvent::MouseMove, 120, Qt::NoButton, Qt::LeftButton), -180);
        QCOMPARE(send(QEvent::MouseMove, 170, {}, Qt::LeftButton | Qt::RightButton), -180);
        send(QEvent::MouseButtonRelease, 170, Qt::LeftButton, Qt::NoButton);
        send(QEvent::MouseButtonPress, 170, Qt::RightButton, Qt::RightButton);
        QCOMPARE(send(QEvent::MouseMove, 400, Qt::NoButton, Qt::RightButton), -180);
        // Rows dragged into view show the background until they are decoded.
        QCOMPARE(shownPart(below).pixelColor(100, 100), QColor(255, 192, 255));
        QTRY_VERIFY(g->isWhole());
        QCOMPARE(shownPart(below), whole.image.copy(below));

        step(Qt::Key_Right);
        QVERIFY(shown() == "b.jpg" && g->pos() == QPoint(left(100), 0));
        // Stepping on before the rest is decoded: it never shows over the next.
        m_v->step(-1);
        QVERIFY(!g->isWhole());
        m_v->step(1);
        m_v->pictures().waitUntilIdle();
        QTest::qWait(50);
        QVERIFY(g->size() == QSize(100, 1500) && g->isWhole());
        // Refused once the rest is found to be no picture; the one before is back.
        step(Qt::Key_Right);
        QVERIFY(g->size() == QSize(3000, 1800) && m_boxes->shown().isEmpty());
        QTRY_COMPARE(m_boxes->texts(), QStringList("c.jpg" + notAPicture));
        QVERIFY(g->size() == QSize(100, 1500) && g->pos() == QPoint(left(100), 0) &&
                ViewIndex == 2);
    }

    void decodes_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size"); // none: refused
        QTest::addColumn<QColor>("colour");
        auto row = [](const char *name, const QByteArray &bytes, QSize size = {}, QColor c = {}) {
            QTest::newRow(name) << bytes << size << c;
        };
        const QColor red(220, 20, 20), green(20, 200, 40), blue(30, 40, 210);
        row("photo.jpg", imageBytes({64, 48}, red, "JPEG"), {64, 48}, red);
        row("plain.bmp", imageBytes({33, 17}, green), {33, 17}, green);
        row("packed.dib", imageBytes({19, 7}, red).mid(14), {19, 7}, red); // no file header
        // libwmf names its colours from the SVG colour table: pure blue stays blue.
        row("drawing.wmf", wmfBytes({96, 48}, Qt::blue), {96, 48}, Qt::blue);
        row("drawing.emf", emfBytes({48, 72}, green), {48, 72}, green);
        row("icon.ico", imageBytes({32, 32}, red, "ICO"), {32, 32}, red);
        row("pointer.cur", curBytes({16, 16}, blue), {16, 16}, blue);
        // An animated GIF starts on its first frame.
        row("animated.gif", gifBytes({12, 9}, {red, green, blue}), {12, 9}, red);
        // Types Qt reads that the program does not offer: refused.
        row("png", imageBytes({8, 8}, Qt::red, "PNG"));
        // Orientations 5 to 8 turn the camera's picture a quarter.
        for (int turn = 1; turn <= 8; ++turn)
            row(qPrintable(QStringLiteral("turned %1.jpg").arg(turn)), gridJpeg({320, 200}, turn),
                turn < 5 ? QSize(320, 200) : QSize(200, 320));
    }

    void decodes() {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QFETCH(QColor, colour);
        const QString path = pathOf(QTest::currentDataTag());
        writeFile(path, bytes);
        Picture whole, part;
        const int err = decodePicture(path, &whole);
        QCOMPARE(err, int(size.isValid() ? Ok : InvalidPicture));
        if (err != Ok)
            return;
        QVERIFY(whole.isWhole() && whole.image.size() == size);
        const QColor m = whole.image.pixelColor(size.width() / 2, size.height() / 2);
        QVERIFY2(!colour.isValid() || (qAbs(m.red() - colour.red()) <= 12 &&
                                       qAbs(m.green() - colour.green()) <= 12 &&
                                       qAbs(m.blue() - colour.blue()) <= 12),
                 qPrintable(m.name() + " " + colour.name()));
        // The part asked for, of the turned picture, where the reader decodes
        // a part alone (JPEG's); the whole otherwise.
        const QRect asked(size.width() / 4, size.height() / 3, size.width() / 2, size.height() / 2);
        QCOMPARE(decodePicture(path, &part, [&](QSize) { return asked; }), int(Ok));
        const bool jpeg = bytes.startsWith("\xff\xd8");
        QVERIFY(part.size == size && part.at == (jpeg ? asked.topLeft() : QPoint()));
        QCOMPARE(part.image, jpeg ? whole.image.copy(asked) : whole.image);
        // An animated GIF keeps its bytes, and the picture area plays them.
        const bool animated = QTest::currentDataTag() == QByteArray("animated.gif");
        QCOMPARE(whole.animation.isEmpty(), !animated);
        PictureBox g;
        g.setPicture(whole);
        QTRY_VERIFY(!animated || g.image().pixelColor(0, 0) != m);
    }

    // Damaged and hostile pictures of every type: none may crash or hang the
    // decoder; each is a picture within the budget or refused.
    void shownOrRefused_data() {
        QTest::addColumn<QList<QByteArray>>("files");
        QTest::addColumn<int>("expected"); // -1: a picture or a refusal
        // Two text metafiles in a row once aborted the program.
        QTest::newRow("text metafiles") << QList{emfTextBytes(0), emfTextBytes(0x10)} << int(Ok);
        QTest::newRow("hostile") << hostileFiles() << int(InvalidPicture);
        quint32 seed = 0;
        for (const auto &[type, bytes] : sampleOfEachType()) {
            ++seed;
            QTest::addRow("%s %u", type, seed) << mutants(bytes, 250, seed) << -1;
        }
    }

    void shownOrRefused() {
        QFETCH(QList<QByteArray>, files);
        QFETCH(int, expected);
        for (int i = 0; i < files.size(); ++i) {
            writeFile(pathOf(QString::number(i)), files[i]);
            Picture picture;
            const int err = decodeInTime(pathOf(QString::number(i)), &picture);
            QVERIFY2(expected >= 0 ? err == expected : err == Ok || err == InvalidPicture,
                     qPrintable(QStringLiteral("file %1: %2").arg(i).arg(err)));
            QVERIFY(picture.isWhole() == (err == Ok) &&
                    (err != Ok ||
                     metafile::withinBudget(picture.image.width(), picture.image.height())));
        }
    }

    void failedHelperRefuses_data() {
        // Stand-ins for a metafile helper gone wrong, as shell scripts.
        QTest::addColumn<QByteArray>("script");
        QTest::newRow("crashes") << QByteArray("kill -SEGV $$");
        QTest::newRow("fails") << QByteArray("exit 3");
        QTest::newRow("answers with the file") << QByteArray("exec cat");
        QTest::newRow("too little") << QByteArray("printf 'PMVI\\2\\0\\0\\0\\1\\0\\0\\0abcd'");
        QTest::newRow("too much") << QByteArray("printf 'PMVI\\1\\0\\0\\0\\1\\0\\0\\0abcdefgh'");
        QTest::newRow("beyond the budget")
            << QByteArray("printf 'PMVI\\377\\377\\0\\0\\377\\377\\0\\0'; exec cat /dev/zero");
        QTest::newRow("hangs") << QByteArray("exec sleep 600");
        QTest::newRow("cannot be started") << QByteArray();
    }

    void failedHelperRefuses() {
        QFETCH(QByteArray, script);
        const QString helper = pathOf("helper"), before = metafileHelper();
        if (!script.isEmpty()) {
            writeFile(helper, "#!/bin/sh\n" + script + "\n");
            QFile::setPermissions(helper, QFile::ReadOwner | QFile::ExeOwner);
        }
        setMetafileHelper(helper);
        const auto restored = qScopeGuard([&] { setMetafileHelper(before); });
        writeFile(pathOf("a.emf"), emfBytes({10, 10}, Qt::red));
        Picture picture;
        QCOMPARE(decodeInTime(pathOf("a.emf"), &picture), int(InvalidPicture));
    }

    void decodedAheadAndNoMoreThanThreeHeld() {
        // A ring of JPEGs, 600+n pixels wide, but f2 a bitmap.
        auto ring = [&](int n) { return pathOf(QStringLiteral("f%1.jpg").arg(n)); };
        auto size = [](int n) { return QSize(600 + n, 400); };
        for (int n = 0; n < 8; ++n)
            writeFile(ring(n), imageBytes(size(n), Qt::red, n == 2 ? "BMP" : "JPEG"));
        // Over 200 KB a picture is large; the window shows 100 x 80 of it. Only
        // the picture shown is held whole, the ones ahead in part.
        PictureCache cache(3, 200 << 10);
        const QRect seen(0, 0, 100, 80);
        auto heldFor = [&](int n) { return size(n).width() * 400 * 4 + 2 * 100 * 80 * 4; };
        Picture picture;
        auto take = [&](int n) {
            const QStringList ahead{ring((n + 1) % 8), ring((n + 7) % 8)};
            const int err = cache.take(
                ring(n), ahead, [&](QSize) { return seen; }, &picture);
            cache.resume();
            return err;
        };
        QVERIFY(take(0) == Ok && picture.size == size(0) && picture.image.size() == seen.size());
        cache.waitUntilIdle();
        QVERIFY(cache.whole(&picture) == Ok && picture.image.size() == size(0));
        // From the part decoded ahead; f0 (whole before) and the bitmap kept in part.
        QVERIFY(take(1) == Ok && !picture.isWhole() && cache.counts().fromCopy == 1);
        cache.waitUntilIdle();
        QCOMPARE(cache.heldBytes(), heldFor(1));
        for (int n : {6, 2, 3, 1, 0, 4, 3, 4, 5, 7})
            QVERIFY(take(n) == Ok && cache.held() <= 3);
        cache.waitUntilIdle();
        QVERIFY(cache.whole(&picture) == Ok && picture.image.size() == size(7));
        QVERIFY(cache.held() == 3 && cache.heldBytes() == heldFor(7));
    }
};

QTEST_MAIN(ViewerTest)
#include "tst_viewer.moc"
