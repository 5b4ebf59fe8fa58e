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
#include <QMouseEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <cmath>

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
constexpr int OnList = 1 << 30;                           // a key let go on the list

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
    // The name the title begins with, before a gap of 14 spaces.
    QString shown() const { return m_v->windowTitle().section(QString(14, ' '), 0, 0); }
    // Writes files p0.bmp, p1.bmp .. (told apart by size) and opens the viewer.
    bool open(int files, int index, const QString &pattern = "*.bmp") {
        for (int i = 0; i < files; ++i)
            writeFile(pathOf(QStringLiteral("p%1.bmp").arg(i)),
                      imageBytes(sizeOf(i), Qt::darkCyan));
        m_main->d2->setPath(m_dir->path());
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
        else if (how & OnList)
            QTest::keyClick(m_v->d1, Qt::Key(how & ~OnList));
        else
            QTest::keyClick(m_v->g, Qt::Key(how));
    }
    // Steps in turn, once the pictures ahead are decoded: each step, then
    // the entry p<n>.bmp it reaches.
    void walk(std::initializer_list<int> stepsAndEntries) {
        for (const int *at = stepsAndEntries.begin(); at != stepsAndEntries.end(); at += 2) {
            m_v->pictures().waitUntilIdle();
            step(at[0]);
            QVERIFY_AT(at[1], at[1]);
        }
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

    void deleting() {
        // Deleted without asking; both lists are re-read and the next file shown.
        writeFile(pathOf("keep.txt"), "not listed under *.bmp");
        QVERIFY(open(3, 1));
        step(Qt::Key_Delete);
        QCOMPARE(filesIn(m_dir->path()), QStringList({"keep.txt", "p0.bmp", "p2.bmp"}));
        QCOMPARE(m_main->d3->names(), QStringList({"p0.bmp", "p2.bmp"}));
        QVERIFY_AT(1, 2);

        // The last one, from the list with the highlight moved by a typed
        // letter: the file on screen goes, not the highlighted; the new last
        // shown. With one file, every step shows it again.
        m_v->m1_Click();
        QTest::keyClick(m_v->d1, Qt::Key_P); // highlight on p0.bmp
        QTest::keyClick(m_v->d1, Qt::Key_Delete);
        QCOMPARE(filesIn(m_dir->path()), QStringList({"keep.txt", "p0.bmp"}));
        QVERIFY_AT(0, 0);
        walk({Qt::Key_Up, 0, Qt::Key_Down | OnList, 0});

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
        for (int how : {Qt::Key_Right, Qt::Key_Delete, Qt::Key(DoubleClickPicture)})
            step(how);
        QVERIFY(m_v->windowTitle() == QString::fromUtf8("画面の真中をダブルクリックしてください") &&
                m_v->g->image().isNull() && m_boxes->shown().size() == 1);
    }

    void deletingByTheListedBytes() {
        // Two names that read alike, the first no UTF-8: the one shown goes, and only it.
        const QByteArray odd = "p\xff.bmp", alike = "p\xef\xbf\xbd.bmp";
        for (const QByteArray &name : {odd, alike})
            writeRaw(m_dir->path(), name, imageBytes(sizeOf(7), Qt::red));
        QVERIFY(open(0, 0));
        step(Qt::Key_Delete);
        QVERIFY(readRaw(m_dir->path(), alike) != "(unreadable)" &&
                readRaw(m_dir->path(), odd) == "(unreadable)");
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
        // Arrow keys step when let go, on the list or on the picture, and so
        // do double-clicks; round the ends.
        walk({Qt::Key_Down | OnList, 4, Qt::Key_Right | OnList, 0, Qt::Key_Up | OnList, 4,
              Qt::Key_Left | OnList, 3});
        // A typed letter moves the highlight alone; a step goes on from it.
        QTest::keyClick(m_v->d1, Qt::Key_P);
        QVERIFY(m_v->d1->currentIndex() == 4 && ViewIndex == 3 && shown() == "p3.bmp");
        walk({Qt::Key_Right, 0, Qt::Key_Left, 4, Qt::Key_Down, 0, Qt::Key_Up, 4, DoubleClickPicture,
              0, Qt::Key_Left, 4, DoubleClickFreeArea, 0});
        // Each next picture was decoded ahead, while the ones passed were let go.
        const int decodedNow = m_v->pictures().counts().decodedNow;
        walk({Qt::Key_Right, 1, Qt::Key_Right, 2, Qt::Key_Right, 3});
        QVERIFY(m_boxes->shown().isEmpty() && m_v->pictures().counts().decodedNow == decodedNow);
        // Held, the keys move the highlight alone.
        QTest::keyPress(m_v->d1, Qt::Key_Up);
        QTest::keyPress(m_v->d1, Qt::Key_Up, {}, -1);
        QVERIFY(m_v->d1->currentIndex() == 1 && shown() == "p3.bmp");
        QTest::keyRelease(m_v->d1, Qt::Key_Up);
        QVERIFY_AT(1, 1);

        // The right button over the list closes the viewer; opened again, it
        // starts at the file shown last.
        QTest::mouseClick(m_v->d1->viewport(), Qt::RightButton, {}, third.center());
        QTRY_VERIFY(!only<f1>());
        QVERIFY(reopen());
        QVERIFY_AT(1, 1);
        // Opening it again while it is open only brings it forward.
        ViewIndex = 99;
        QVERIFY(reopen() && shown() == "p1.bmp");
        QTest::mouseClick(m_v->client, Qt::RightButton, {}, QPoint(1000, 700));
        QTRY_VERIFY(!only<f1>());
        // Opened beyond the last file, it shows the last.
        QVERIFY(reopen());
        QVERIFY_AT(4, 4);
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
        QVERIFY(g->size() == QSize(3000, 1800) && !g->isWhole() &&
                m_v->pictures().counts().fromCopy == 1);
        // Left edge in window units = (outer width in twips - picture width in
        // window units) / 2, one unit being 15240/17160 twips across.
        const double ux = 15240.0 / 17160.0, outer = m_v->frameGeometry().width();
        auto left = [&](int w) { return int(std::lround((outer * ux - w) / 2)); };
        QVERIFY(g->pos() == QPoint(left(3000), 0) && g->x() < 0);
        Picture whole;
        QCOMPARE(decodePicture(pathOf("a.jpg"), &whole), Ok);
        auto onScreen = [&](QRect r) { return g->grab(r).toImage(); };
        const QRect seen(-g->pos(), m_v->client->size()), below = seen.translated(0, seen.height());
        QCOMPARE(onScreen(seen), whole.image.copy(seen));

        // A drag with the left button alone moves it by the pointer's travel:
        // heights in the inner area, carried within g.
        auto move = [&](QEvent::Type type, int y, Qt::MouseButtons held) {
            const QPointF local(10, y - g->y());
            QMouseEvent event(type, local, g->mapToGlobal(local),
                              type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, {});
            QCoreApplication::sendEvent(g, &event);
            return g->y();
        };
        move(QEvent::MouseButtonPress, 300, Qt::LeftButton);
        QCOMPARE(move(QEvent::MouseMove, 250, Qt::LeftButton), -50);
        QCOMPARE(move(QEvent::MouseMove, 120, Qt::LeftButton), -180);
        QCOMPARE(move(QEvent::MouseMove, 170, Qt::LeftButton | Qt::RightButton), -180);
        // Rows dragged into view show the background until they are decoded.
        QCOMPARE(onScreen(below).pixelColor(100, 100), QColor(255, 192, 255));
        QTRY_VERIFY(g->isWhole());
        QCOMPARE(onScreen(below), whole.image.copy(below));

        // On to b.jpg: a.jpg is kept, as the part the window shows.
        step(Qt::Key_Right);
        m_v->pictures().waitUntilIdle();
        QVERIFY(shown() == "b.jpg" && g->pos() == QPoint(left(100), 0) &&
                m_v->pictures().heldBytes() < 3000 * 1800 * 4);
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
        QTest::addColumn<QByteArray>("helper"); // a stand-in metafile helper, as a shell script
        auto row = [](const QString &name, const QByteArray &bytes, QSize size = {}, QColor c = {},
                      const QByteArray &helper = {}) {
            QTest::newRow(qPrintable(name)) << bytes << size << c << helper;
        };
        const QColor red(220, 20, 20), green(20, 200, 40), blue(30, 40, 210);
        row("photo.jpg", imageBytes({64, 48}, red, "JPEG"), {64, 48}, red);
        row("plain.bmp", imageBytes({33, 17}, green), {33, 17}, green);
        row("packed.dib", imageBytes({19, 7}, red).mid(14), {19, 7}, red); // no file header
        // libwmf names its colours from the SVG colour table: pure blue stays blue.
        row("drawing.wmf", wmfBytes({96, 48}, Qt::blue), {96, 48}, Qt::blue);
        row("drawing.emf", emfBytes({48, 72}, green), {48, 72}, green);
        // Two text metafiles in a row once aborted the program.
        row("text.emf", emfTextBytes(0), {40, 20});
        row("glyphs.emf", emfTextBytes(0x10), {40, 20});
        row("icon.ico", imageBytes({32, 32}, red, "ICO"), {32, 32}, red);
        row("pointer.cur", curBytes({16, 16}, blue), {16, 16}, blue);
        // An animated GIF starts on its first frame.
        row("animated.gif", gifBytes({12, 9}, {red, green, blue}), {12, 9}, red);
        // Types Qt reads that the program does not offer: refused.
        row("png", imageBytes({8, 8}, Qt::red, "PNG"));
        // Orientations 5 to 8 turn the camera's picture a quarter.
        for (int turn = 1; turn <= 8; ++turn)
            row(QStringLiteral("turned %1.jpg").arg(turn), gridJpeg({320, 200}, turn),
                turn < 5 ? QSize(320, 200) : QSize(200, 320));
        const QList<QByteArray> hostile = hostileFiles();
        for (qsizetype i = 0; i < hostile.size(); ++i)
            row(QStringLiteral("hostile %1").arg(i), hostile[i]);
        // A metafile helper gone wrong refuses the picture: it crashes, fails,
        // answers with the file, too little, too much, beyond the budget,
        // hangs, or cannot be started.
        for (const char *script :
             {"kill -SEGV $$", "exit 3", "exec cat", "printf 'PMVI\\2\\0\\0\\0\\1\\0\\0\\0abcd'",
              "printf 'PMVI\\1\\0\\0\\0\\1\\0\\0\\0abcdefgh'",
              "printf 'PMVI\\377\\377\\0\\0\\377\\377\\0\\0'; exec cat /dev/zero", "exec sleep 600",
              ""})
            row(QStringLiteral("helper: %1").arg(script), emfBytes({10, 10}, Qt::red), {}, {},
                script);
    }

    void decodes() {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QFETCH(QColor, colour);
        QFETCH(QByteArray, helper);
        const QString path = pathOf("picture"), before = metafileHelper();
        if (!helper.isNull()) {
            if (!helper.isEmpty())
                writeFile(pathOf("helper"), "#!/bin/sh\n" + helper + "\n");
            QFile::setPermissions(pathOf("helper"), QFile::ReadOwner | QFile::ExeOwner);
            setMetafileHelper(pathOf("helper"));
        }
        const auto restored = qScopeGuard([&] { setMetafileHelper(before); });
        writeFile(path, bytes);
        Picture whole, part;
        const Error err = decodePicture(path, &whole);
        QVERIFY(err == (size.isValid() ? Ok : InvalidPicture) && whole.isWhole() == (err == Ok));
        if (err != Ok)
            return;
        QCOMPARE(whole.image.size(), size);
        const QColor m = whole.image.pixelColor(size.width() / 2, size.height() / 2);
        QVERIFY2(!colour.isValid() ||
                     std::max({qAbs(m.red() - colour.red()), qAbs(m.green() - colour.green()),
                               qAbs(m.blue() - colour.blue())}) <= 12,
                 qPrintable(m.name() + " " + colour.name()));
        // The part asked for, of the turned picture, where the reader decodes
        // a part alone (JPEG's); the whole otherwise.
        const QRect asked(size.width() / 4, size.height() / 3, size.width() / 2, size.height() / 2);
        QCOMPARE(decodePicture(path, &part, [&](QSize) { return asked; }), Ok);
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

    void shownOrRefused() {
        // Damaged pictures of every type: none may crash or hang the decoder;
        // each is a picture within the budget or refused.
        quint32 seed = 0;
        for (const auto &[type, bytes] : sampleOfEachType()) {
            const QList<QByteArray> files = mutants(bytes, 250, ++seed);
            for (int i = 0; i < files.size(); ++i) {
                writeFile(pathOf("damaged"), files[i]);
                Picture p;
                const Error err = decodePicture(pathOf("damaged"), &p);
                QVERIFY2(
                    (err == Ok || err == InvalidPicture) && p.isWhole() == (err == Ok) &&
                        (err != Ok || metafile::withinBudget(p.image.width(), p.image.height())),
                    qPrintable(QStringLiteral("%1 %2, file %3: %4")
                                   .arg(type)
                                   .arg(seed)
                                   .arg(i)
                                   .arg(int(err))));
            }
        }
    }
};

QTEST_MAIN(ViewerTest)
#include "tst_viewer.moc"
