#include "app/pmvmin.h"
#include "platform/FileList.h"
#include "platform/FolderList.h"
#include "settings/Shared.h"
#include "tests/support/TestSupport.h"
#include "tests/viewer/SampleFiles.h"
#include "viewer/PictureBox.h"
#include "viewer/f1.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

using namespace pomiv;
using namespace pomiv::test;

namespace {

const QString openingTitle = QString::fromUtf8("画面の真中をダブルクリックしてください");
const QString notSupported = QString::fromUtf8("は対応している画像ファイルではありません。");

QString titleFor(const QString &name) {
    return name + QStringLiteral("              ") +
           QString::fromUtf8("「ダブルクリック、→、↓」次の画像\u3000「ＤＥＬ」画像の削除\u3000"
                             "「右クリック」この画面を閉じる\u3000「←、↑」前の画像");
}

// The open viewer, if any.
f1 *openViewer() {
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *viewer = qobject_cast<f1 *>(w); viewer && viewer->isVisible())
            return viewer;
    }
    return nullptr;
}

// The size that tells the test's pictures apart: file number n is 20+n by
// 10+n pixels.
QSize sizeOf(int n) {
    return QSize(20 + n, 10 + n);
}

enum class Step { Right, Down, Left, Up, DoubleClickPicture, DoubleClickFreeArea };

} // namespace

class ViewerTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensOnTheMainWindowsListAtViewIndex();
    void stepsWrapAround_data();
    void stepsWrapAround();
    void oneFile();
    void deletingShowsTheNextOrTheNewLast();
    void deletionThatFailsIsReported();
    void folderAtTheRoot();
    void reopeningStartsWhereItLeftOff();
    void openingAgainOnlyBringsItForward();
    void viewIndexOutsideTheList_data();
    void viewIndexOutsideTheList();
    void emptyList();
    void notAPictureUnderAllFiles();
    void missingFile();
    void changedFileIsNotShownFromTheCopyDecodedAhead();
    void listShownHiddenAndClicked();
    void keysInTheList();
    void dragMovesThePictureByThePointersTravel();
    void pictureLeftRuleAndListHeight();
    void animatedGifPlays();

private:
    QString dirPath() const { return m_dir->path(); }
    QString pathOf(const QString &name) const { return QDir(m_dir->path()).filePath(name); }
    // n files "p0.bmp" .. told apart by their sizes.
    void writePictures(int n);
    f1 *open(const QString &pattern, int index);
    void step(f1 *viewer, Step how);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MessageRecorder> m_boxes;
    std::unique_ptr<pmvmin> m_main;
};

void ViewerTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_boxes = std::make_unique<MessageRecorder>();
    m_main = std::make_unique<pmvmin>();
    m_main->show();
}

void ViewerTest::cleanup() {
    m_main.reset(); // takes an open viewer with it
    QVERIFY(!openViewer());
    m_boxes.reset();
    m_dir.reset();
}

void ViewerTest::writePictures(int n) {
    for (int i = 0; i < n; ++i)
        writeFile(pathOf(QStringLiteral("p%1.bmp").arg(i)), bmpBytes(sizeOf(i), Qt::darkCyan));
}

f1 *ViewerTest::open(const QString &pattern, int index) {
    m_main->d2->setPath(dirPath());
    m_main->sr->setEditText(pattern);
    ViewIndex = index;
    m_main->OKB_Click();
    return openViewer();
}

void ViewerTest::step(f1 *viewer, Step how) {
    switch (how) {
    case Step::Right:
        QTest::keyClick(viewer->g, Qt::Key_Right);
        break;
    case Step::Down:
        QTest::keyClick(viewer->g, Qt::Key_Down);
        break;
    case Step::Left:
        QTest::keyClick(viewer->g, Qt::Key_Left);
        break;
    case Step::Up:
        QTest::keyClick(viewer->g, Qt::Key_Up);
        break;
    case Step::DoubleClickPicture:
        QTest::mouseDClick(viewer->g, Qt::LeftButton, {}, QPoint(3, 3));
        break;
    case Step::DoubleClickFreeArea:
        QTest::mouseDClick(viewer->client, Qt::LeftButton, {},
                           QPoint(viewer->client->width() - 5, viewer->client->height() - 5));
        break;
    }
}

void ViewerTest::opensOnTheMainWindowsListAtViewIndex() {
    writePictures(3);
    writeFile(pathOf("other.jpg"), jpegBytes({8, 8}, Qt::red));
    m_main->d2->setPath(dirPath());
    m_main->sr->setEditText("*.bmp");
    QVERIFY(m_main->OKB->isEnabled());
    ViewIndex = 1;
    QTest::mouseClick(m_main->OKB, Qt::LeftButton);
    f1 *viewer = openViewer();
    QVERIFY(viewer);

    QCOMPARE(viewer->d1->names(), m_main->d3->names());
    QCOMPARE(viewer->d1->path(), m_main->d3->path());
    QCOMPARE(viewer->d1->currentIndex(), 1);
    QCOMPARE(viewer->windowTitle(), titleFor("p1.bmp"));
    QCOMPARE(viewer->g->size(), sizeOf(1));
    QCOMPARE(viewer->g->y(), 0);
    QCOMPARE(viewer->g->image().pixelColor(0, 0), QColor(Qt::darkCyan));
    QVERIFY(viewer->d1->isHidden());
    QVERIFY(viewer->m1->isVisible());
    QVERIFY(!viewer->m2->isVisible());
    QCOMPARE(viewer->client->size(), QSize(1016, 722));
    QCOMPARE(viewer->client->palette().color(QPalette::Window), QColor(255, 192, 255));
    QCOMPARE(viewer->g->palette().color(QPalette::Window), QColor(255, 192, 255));
    QVERIFY(viewer->g->hasFocus() || !QApplication::focusWidget());
    QVERIFY(m_boxes.get()->shown().isEmpty());

    // What a person sees.
    const QString build = qEnvironmentVariable("POMIV_BUILD_DIR", QDir::currentPath());
    QVERIFY(viewer->grab().save(QDir(build).filePath("viewer.png")));
}

void ViewerTest::stepsWrapAround_data() {
    QTest::addColumn<int>("how");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("right from the last") << int(Step::Right) << 3 << 0;
    QTest::newRow("down from the last") << int(Step::Down) << 3 << 0;
    QTest::newRow("double-click picture from the last") << int(Step::DoubleClickPicture) << 3 << 0;
    QTest::newRow("double-click free area from the last")
        << int(Step::DoubleClickFreeArea) << 3 << 0;
    QTest::newRow("left from the first") << int(Step::Left) << 0 << 3;
    QTest::newRow("up from the first") << int(Step::Up) << 0 << 3;
    QTest::newRow("right in the middle") << int(Step::Right) << 1 << 2;
    QTest::newRow("double-click in the middle") << int(Step::DoubleClickPicture) << 2 << 3;
    QTest::newRow("left in the middle") << int(Step::Left) << 2 << 1;
    QTest::newRow("up in the middle") << int(Step::Up) << 1 << 0;
}

void ViewerTest::stepsWrapAround() {
    QFETCH(int, how);
    QFETCH(int, from);
    QFETCH(int, to);
    writePictures(4);
    f1 *viewer = open("*.bmp", from);
    QVERIFY(viewer);
    QCOMPARE(viewer->windowTitle(), titleFor(QStringLiteral("p%1.bmp").arg(from)));

    step(viewer, Step(how));
    QCOMPARE(ViewIndex, to);
    QCOMPARE(viewer->d1->currentIndex(), to);
    QCOMPARE(viewer->windowTitle(), titleFor(QStringLiteral("p%1.bmp").arg(to)));
    QCOMPARE(viewer->g->size(), sizeOf(to));
    QCOMPARE(viewer->g->y(), 0);
}

void ViewerTest::oneFile() {
    writePictures(1);
    f1 *viewer = open("*.bmp", 0);
    QVERIFY(viewer);
    for (Step how : {Step::Right, Step::Down, Step::Left, Step::Up, Step::DoubleClickPicture}) {
        step(viewer, how);
        QCOMPARE(ViewIndex, 0);
        QCOMPARE(viewer->windowTitle(), titleFor("p0.bmp"));
        QCOMPARE(viewer->g->size(), sizeOf(0));
    }

    QTest::keyClick(viewer->g, Qt::Key_Delete);
    QVERIFY(!QFile::exists(pathOf("p0.bmp")));
    QVERIFY(!openViewer());
    QCOMPARE(m_main->d3->count(), 0);
    QVERIFY(m_boxes.get()->shown().isEmpty());
}

void ViewerTest::deletingShowsTheNextOrTheNewLast() {
    writePictures(4);
    writeFile(pathOf("keep.txt"), "not listed under *.bmp");
    f1 *viewer = open("*.bmp", 1);
    QVERIFY(viewer);
    // The main window's list is re-read too.
    m_main->d3->setSelected(0, true);

    QTest::keyClick(viewer->g, Qt::Key_Delete);
    QCOMPARE(filesIn(dirPath()), QStringList({"keep.txt", "p0.bmp", "p2.bmp", "p3.bmp"}));
    QCOMPARE(m_main->d3->names(), QStringList({"p0.bmp", "p2.bmp", "p3.bmp"}));
    QCOMPARE(viewer->d1->names(), m_main->d3->names());
    QCOMPARE(ViewIndex, 1);
    QCOMPARE(viewer->windowTitle(), titleFor("p2.bmp"));
    QCOMPARE(viewer->g->size(), sizeOf(2));

    // The last one: the new last is shown.
    QTest::keyClick(viewer->g, Qt::Key_Right);
    QCOMPARE(ViewIndex, 2);
    QTest::keyClick(viewer->g, Qt::Key_Delete);
    QCOMPARE(filesIn(dirPath()), QStringList({"keep.txt", "p0.bmp", "p2.bmp"}));
    QCOMPARE(ViewIndex, 1);
    QCOMPARE(viewer->d1->currentIndex(), 1);
    QCOMPARE(viewer->windowTitle(), titleFor("p2.bmp"));

    // From the list, with the highlight moved by a typed letter: the file
    // on screen goes, not the highlighted one.
    viewer->m1_Click();
    viewer->d1->setFocus();
    QTest::keyClick(viewer->d1, Qt::Key_P); // highlight jumps to p0.bmp
    QTest::keyClick(viewer->d1, Qt::Key_Delete);
    QCOMPARE(filesIn(dirPath()), QStringList({"keep.txt", "p0.bmp"}));
    QCOMPARE(ViewIndex, 0);
    QCOMPARE(viewer->windowTitle(), titleFor("p0.bmp"));
    QVERIFY(m_boxes.get()->shown().isEmpty());
}

void ViewerTest::deletionThatFailsIsReported() {
    writePictures(3);
    f1 *viewer = open("*.bmp", 1);
    QVERIFY(viewer);
    QFile::remove(pathOf("p1.bmp")); // gone behind the viewer's back

    QTest::keyClick(viewer->g, Qt::Key_Delete);
    QCOMPARE(m_boxes->texts(), QStringList(QString::fromUtf8("p1.bmp ファイルが見つかりません。")));
    QCOMPARE(openViewer(), viewer);
    QCOMPARE(ViewIndex, 1);
    QCOMPARE(viewer->d1->count(), 3);
    QCOMPARE(viewer->windowTitle(), titleFor("p1.bmp"));
    QCOMPARE(filesIn(dirPath()), QStringList({"p0.bmp", "p2.bmp"}));
}

void ViewerTest::folderAtTheRoot() {
    // The root's path already ends with its separator: one separator between
    // it and the name, for showing and for deleting.
    const QString root = QDir::rootPath();
    const QString name =
        QStringLiteral("pomiv-viewer-test-%1.bmp").arg(QCoreApplication::applicationPid());
    const QString path = root + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        QSKIP("the root folder cannot be written here");
    file.write(bmpBytes(sizeOf(7), Qt::red));
    file.close();

    m_main->d2->setPath(root);
    m_main->sr->setEditText(
        QStringLiteral("pomiv-viewer-test-%1.*").arg(QCoreApplication::applicationPid()));
    ViewIndex = 0;
    m_main->OKB_Click();
    f1 *viewer = openViewer();
    QVERIFY(viewer);
    QCOMPARE(viewer->d1->path(), root);
    QCOMPARE(viewer->windowTitle(), titleFor(name));
    QCOMPARE(viewer->g->size(), sizeOf(7));

    QTest::keyClick(viewer->g, Qt::Key_Delete);
    const bool gone = !QFile::exists(path);
    QFile::remove(path);
    QVERIFY(gone);
    QVERIFY(!openViewer());
    QVERIFY(m_boxes.get()->shown().isEmpty());
}

void ViewerTest::reopeningStartsWhereItLeftOff() {
    writePictures(4);
    writeFile(pathOf("sub/p9.bmp"), bmpBytes(sizeOf(9), Qt::red));
    f1 *viewer = open("*.bmp", 1);
    QVERIFY(viewer);
    QTest::keyClick(viewer->g, Qt::Key_Right);
    QTest::mouseClick(viewer->g, Qt::RightButton);
    QTRY_VERIFY(!openViewer());
    QCOMPARE(ViewIndex, 2);

    m_main->OKB_Click();
    viewer = openViewer();
    QVERIFY(viewer);
    QCOMPARE(viewer->windowTitle(), titleFor("p2.bmp"));
    QTest::mouseClick(viewer->client, Qt::RightButton, {}, QPoint(1000, 700));
    QTRY_VERIFY(!openViewer());

    // A new pattern starts at the first file.
    m_main->sr->setEditText("p*.bmp");
    m_main->OKB_Click();
    viewer = openViewer();
    QCOMPARE(viewer->windowTitle(), titleFor("p0.bmp"));
    QTest::keyClick(viewer->g, Qt::Key_Down);
    viewer->close();
    QTRY_VERIFY(!openViewer());
    QCOMPARE(ViewIndex, 1);

    // So does a new folder.
    m_main->d2->setPath(pathOf("sub"));
    m_main->OKB_Click();
    viewer = openViewer();
    QCOMPARE(viewer->windowTitle(), titleFor("p9.bmp"));
    QCOMPARE(viewer->g->size(), sizeOf(9));
}

void ViewerTest::openingAgainOnlyBringsItForward() {
    writePictures(2);
    writeFile(pathOf("sub/q0.bmp"), bmpBytes(sizeOf(9), Qt::red));
    f1 *viewer = open("*.bmp", 0);
    QTest::keyClick(viewer->g, Qt::Key_Right);
    m_main->d2->setPath(pathOf("sub"));
    m_main->OKB_Click();
    QCOMPARE(openViewer(), viewer);
    // Nothing re-read, nothing shown anew: the viewer keeps its folder.
    QCOMPARE(viewer->d1->path(), dirPath());
    QCOMPARE(viewer->windowTitle(), titleFor("p1.bmp"));
    int viewers = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        viewers += qobject_cast<f1 *>(w) ? 1 : 0;
    QCOMPARE(viewers, 1);
}

void ViewerTest::viewIndexOutsideTheList_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("shown");
    QTest::newRow("beyond the last") << 99 << 2;
    QTest::newRow("negative") << -3 << 0;
}

void ViewerTest::viewIndexOutsideTheList() {
    QFETCH(int, index);
    QFETCH(int, shown);
    writePictures(3);
    f1 *viewer = open("*.bmp", index);
    QVERIFY(viewer);
    QCOMPARE(viewer->windowTitle(), titleFor(QStringLiteral("p%1.bmp").arg(shown)));
    QCOMPARE(ViewIndex, shown);
    QTest::keyClick(viewer->g, Qt::Key_Right);
    QCOMPARE(ViewIndex, (shown + 1) % 3);
}

void ViewerTest::emptyList() {
    writePictures(2);
    f1 *viewer = open("*.gif", 0);
    QVERIFY(viewer);
    QCOMPARE(viewer->d1->count(), 0);
    QCOMPARE(viewer->windowTitle(), openingTitle);
    QVERIFY(viewer->g->image().isNull());
    for (Step how : {Step::Right, Step::Left, Step::DoubleClickPicture})
        step(viewer, how);
    QTest::keyClick(viewer->g, Qt::Key_Delete);
    viewer->m1_Click();
    QTest::keyClick(viewer->d1, Qt::Key_Down);
    QCOMPARE(viewer->windowTitle(), openingTitle);
    QCOMPARE(filesIn(dirPath()).size(), 2);
    QVERIFY(m_boxes.get()->shown().isEmpty());
    QCOMPARE(openViewer(), viewer);
}

void ViewerTest::notAPictureUnderAllFiles() {
    writeFile(pathOf("a.bmp"), bmpBytes(sizeOf(1), Qt::red));
    writeFile(pathOf("b.txt"), "notes");
    writeFile(pathOf("c.bmp"), bmpBytes(sizeOf(3), Qt::red));
    f1 *viewer = open("*.*", 0);
    QVERIFY(viewer);
    viewer->g->move(viewer->g->x(), -30); // dragged a little

    QTest::keyClick(viewer->g, Qt::Key_Right);
    QCOMPARE(m_boxes->texts(), QStringList("b.txt" + notSupported));
    QCOMPARE(m_boxes.get()->shown().first().buttons, MsgButtons::Ok);
    QCOMPARE(m_boxes.get()->shown().first().icon, MsgIcon::None);
    QCOMPARE(viewer->windowTitle(), titleFor("b.txt"));
    QCOMPARE(viewer->g->size(), sizeOf(1)); // the previous picture stays
    QCOMPARE(viewer->g->y(), -30);          // where it was
    QCOMPARE(ViewIndex, 1);

    QTest::keyClick(viewer->g, Qt::Key_Right);
    QCOMPARE(viewer->windowTitle(), titleFor("c.bmp"));
    QCOMPARE(viewer->g->size(), sizeOf(3));
    QCOMPARE(viewer->g->y(), 0);
    QCOMPARE(m_boxes->texts().size(), 1);

    // Back onto it: the message again, decoded ahead or not.
    QTest::keyClick(viewer->g, Qt::Key_Left);
    QCOMPARE(m_boxes->texts().size(), 2);
    QCOMPARE(viewer->g->size(), sizeOf(3));
}

void ViewerTest::missingFile() {
    writePictures(3);
    f1 *viewer = open("*.bmp", 0);
    QVERIFY(viewer);

    // A listed file removed behind the viewer's back: nothing said, the
    // picture and title stay, the next step goes on from it.
    QFile::remove(pathOf("p1.bmp"));
    QTest::keyClick(viewer->g, Qt::Key_Right);
    QVERIFY(m_boxes.get()->shown().isEmpty());
    QCOMPARE(ViewIndex, 1);
    QCOMPARE(viewer->d1->currentIndex(), 1);
    QCOMPARE(viewer->windowTitle(), titleFor("p0.bmp"));
    QCOMPARE(viewer->g->size(), sizeOf(0));
    QTest::keyClick(viewer->g, Qt::Key_Right);
    QCOMPARE(viewer->windowTitle(), titleFor("p2.bmp"));
    QCOMPARE(viewer->g->size(), sizeOf(2));
}

void ViewerTest::changedFileIsNotShownFromTheCopyDecodedAhead() {
    writePictures(3);
    f1 *viewer = open("*.bmp", 0);
    QVERIFY(viewer);
    viewer->pictures().waitUntilIdle();
    QCOMPARE(viewer->pictures().held(), 3); // the one shown and both neighbours

    // Rewritten with the same size and type: only the content tells.
    writeFile(pathOf("p1.bmp"), bmpBytes(sizeOf(1), Qt::yellow));
    QTest::keyClick(viewer->g, Qt::Key_Right);
    QCOMPARE(viewer->g->image().pixelColor(0, 0), QColor(Qt::yellow));

    viewer->pictures().waitUntilIdle();
    QFile::remove(pathOf("p2.bmp"));
    QTest::keyClick(viewer->g, Qt::Key_Right);
    QCOMPARE(viewer->windowTitle(), titleFor("p1.bmp"));
    QCOMPARE(viewer->g->size(), sizeOf(1));
    QVERIFY(viewer->pictures().held() <= 3);
}

void ViewerTest::listShownHiddenAndClicked() {
    writePictures(5);
    f1 *viewer = open("*.bmp", 0);
    QVERIFY(viewer);
    viewer->m1->trigger();
    QVERIFY(viewer->d1->isVisible());
    QVERIFY(!viewer->m1->isVisible());
    QVERIFY(viewer->m2->isVisible());
    QCOMPARE(viewer->d1->pos(), QPoint(0, 0));
    QCOMPARE(viewer->d1->width(), 105);

    const QRect third = viewer->d1->visualRect(viewer->d1->model()->index(3, 0));
    QTest::mouseClick(viewer->d1->viewport(), Qt::LeftButton, {}, third.center());
    QCOMPARE(ViewIndex, 3);
    QCOMPARE(viewer->windowTitle(), titleFor("p3.bmp"));
    QCOMPARE(viewer->g->size(), sizeOf(3));

    const QString build = qEnvironmentVariable("POMIV_BUILD_DIR", QDir::currentPath());
    QVERIFY(viewer->grab().save(QDir(build).filePath("viewer-list.png")));

    // Steps work the same with the list shown.
    QTest::keyClick(viewer->g, Qt::Key_Right);
    QCOMPARE(viewer->windowTitle(), titleFor("p4.bmp"));

    viewer->m2->trigger();
    QVERIFY(viewer->d1->isHidden());
    QVERIFY(viewer->m1->isVisible());
    QVERIFY(!viewer->m2->isVisible());
    viewer->m1->trigger();

    // The right button over the list closes the viewer.
    QTest::mouseClick(viewer->d1->viewport(), Qt::RightButton, {}, third.center());
    QTRY_VERIFY(!openViewer());
    QCOMPARE(ViewIndex, 4);
}

void ViewerTest::keysInTheList() {
    writePictures(3);
    f1 *viewer = open("*.bmp", 0);
    QVERIFY(viewer);
    viewer->m1_Click();
    viewer->d1->setFocus();

    QTest::keyClick(viewer->d1, Qt::Key_Down);
    QCOMPARE(ViewIndex, 1);
    QCOMPARE(viewer->windowTitle(), titleFor("p1.bmp"));
    QTest::keyClick(viewer->d1, Qt::Key_Right);
    QCOMPARE(ViewIndex, 2);
    QTest::keyClick(viewer->d1, Qt::Key_Right); // past the end
    QCOMPARE(ViewIndex, 0);
    QCOMPARE(viewer->windowTitle(), titleFor("p0.bmp"));
    QTest::keyClick(viewer->d1, Qt::Key_Up); // before the start
    QCOMPARE(ViewIndex, 2);
    QTest::keyClick(viewer->d1, Qt::Key_Left);
    QCOMPARE(ViewIndex, 1);
    QCOMPARE(viewer->g->size(), sizeOf(1));

    // A held key moves the highlight on every repeat and steps once, when
    // let go.
    QTest::keyPress(viewer->d1, Qt::Key_Up);
    QTest::keyPress(viewer->d1, Qt::Key_Up, {}, -1);
    QCOMPARE(viewer->d1->currentIndex(), 0);
    QCOMPARE(viewer->windowTitle(), titleFor("p1.bmp"));
    QTest::keyRelease(viewer->d1, Qt::Key_Up);
    QCOMPARE(ViewIndex, 0);
    QCOMPARE(viewer->windowTitle(), titleFor("p0.bmp"));

    // Other keys only move the highlight.
    QTest::keyClick(viewer->d1, Qt::Key_End);
    QCOMPARE(viewer->d1->currentIndex(), 2);
    QCOMPARE(ViewIndex, 0);
    QCOMPARE(viewer->windowTitle(), titleFor("p0.bmp"));
}

void ViewerTest::dragMovesThePictureByThePointersTravel() {
    writeFile(pathOf("a.bmp"), bmpBytes({40, 2000}, Qt::blue));
    writeFile(pathOf("b.bmp"), bmpBytes({40, 1500}, Qt::blue));
    f1 *viewer = open("*.bmp", 0);
    QVERIFY(viewer);
    PictureBox *g = viewer->g;
    const int x = g->x();

    // The pointer's height in the inner area; events carry it within g.
    auto send = [&](QEvent::Type type, int pointerY, Qt::MouseButton button,
                    Qt::MouseButtons buttons) {
        const QPointF local(10, pointerY - g->y());
        QMouseEvent event(type, local, g->mapToGlobal(local), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(g, &event);
    };
    send(QEvent::MouseButtonPress, 300, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, 250, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(g->y(), -50);
    send(QEvent::MouseMove, 120, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(g->y(), -180); // the pointer went up 180
    send(QEvent::MouseMove, 170, Qt::NoButton, Qt::LeftButton | Qt::RightButton);
    QCOMPARE(g->y(), -180); // not with another button held too
    send(QEvent::MouseButtonRelease, 170, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(g->x(), x);

    send(QEvent::MouseButtonPress, 170, Qt::RightButton, Qt::RightButton);
    send(QEvent::MouseMove, 400, Qt::NoButton, Qt::RightButton);
    QCOMPARE(g->y(), -180); // the right button does not drag

    QTest::keyClick(g, Qt::Key_Right);
    QCOMPARE(viewer->windowTitle(), titleFor("b.bmp"));
    QCOMPARE(g->y(), 0);
}

void ViewerTest::pictureLeftRuleAndListHeight() {
    writeFile(pathOf("wide.bmp"), bmpBytes({3000, 10}, Qt::green));
    writeFile(pathOf("x.bmp"), bmpBytes({100, 10}, Qt::green));
    f1 *viewer = open("*.bmp", 0);
    QVERIFY(viewer);

    // Left edge in window units = (outer width in twips - picture width in
    // window units) / 2, one unit being 15240/17160 twips across.
    const double ux = 15240.0 / 17160.0, uy = 10830.0 / 11420.55;
    auto expectedLeft = [&](int width) {
        const double outer = viewer->frameGeometry().width() * 15.0;
        return int(std::lround((outer - width * 15.0 / ux) / 2 * ux / 15.0));
    };
    QCOMPARE(viewer->g->x(), expectedLeft(3000));
    QVERIFY(viewer->g->x() < 0);
    QTest::keyClick(viewer->g, Qt::Key_Right);
    QCOMPARE(viewer->g->x(), expectedLeft(100));

    auto expectedListHeight = [&] {
        return int(std::lround((viewer->frameGeometry().height() * 15.0 - 200) * uy / 15.0));
    };
    QCOMPARE(viewer->d1->height(), expectedListHeight());
    viewer->resize(600, 400);
    QCOMPARE(viewer->d1->height(), expectedListHeight());
    QCOMPARE(viewer->g->y(), 0);
}

void ViewerTest::animatedGifPlays() {
    writeFile(pathOf("a.gif"), gifBytes({6, 4}, {{Qt::red, 5}, {Qt::green, 5}, {Qt::blue, 5}}));
    f1 *viewer = open("*.gif", 0);
    QVERIFY(viewer);
    QVERIFY(viewer->g->isAnimated());
    QCOMPARE(viewer->g->size(), QSize(6, 4));
    QTRY_COMPARE(viewer->g->image().pixelColor(0, 0), QColor(Qt::green));
    QTRY_COMPARE(viewer->g->image().pixelColor(0, 0), QColor(Qt::blue));
}

QTEST_MAIN(ViewerTest)
#include "tst_f1.moc"
