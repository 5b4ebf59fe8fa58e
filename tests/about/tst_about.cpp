// The version dialog: its pictures and size, the keys that close it, and
// that there is only ever one. The icons installed for the desktop are the
// program's own icon.

#include "about/ProgramArt.h"
#include "about/br.h"
#include "app/pmvmin.h"
#include "controls/Ui.h"
#include "tests/support/TestSupport.h"

#include <QSvgRenderer>
#include <QtWidgets>

using namespace pomiv;

class AboutTest : public QObject {
    Q_OBJECT

    test::MessageRecorder m_messages;
    pmvmin m_main;

    br *open() {
        m_main.bs->trigger();
        return test::topLevels<br>().value(0);
    }

private slots:
    void initTestCase() {
        installFontSubstitutions();
        QApplication::setWindowIcon(programIcon()); // as the program does
        m_main.show();
    }

    // Modeless, one at a time, OK focused, of a fixed size that holds all its
    // controls; other keys leave it open. Built afresh once closed.
    void closes() {
        for (const int key : {0, int(Qt::Key_Return), int(Qt::Key_Enter), int(Qt::Key_Escape)}) {
            QPointer<br> dialog = open();
            QVERIFY(dialog && !dialog->isModal() && m_main.isEnabled());
            QCOMPARE((open(), test::topLevels<br>()), QList<br *>{dialog});
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            QCOMPARE(QApplication::focusWidget(), dialog->cmdOK);
            QCOMPARE(dialog->Image1->pixmap().size(), QSize(500, 200));
            QCOMPARE(dialog->picIcon->pixmap().size(), QSize(32, 32));
            QVERIFY(dialog->windowIcon().isNull()); // no icon of its own in the title bar
            QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
            QCOMPARE(dialog->frameGeometry().height(), px(2820)); // frame included
            for (QWidget *w : dialog->findChildren<QWidget *>())
                QVERIFY2(dialog->rect().contains(w->geometry()), qPrintable(w->objectName()));
            QTest::keyClick(dialog->cmdOK, Qt::Key_A);
            QVERIFY(dialog->isVisible());
            key ? QTest::keyClick(dialog->cmdOK, Qt::Key(key)) // 0: a click on OK
                : QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY2(!dialog, qPrintable(QString::number(key)));
        }
        const QString dir = qEnvironmentVariable("POMIV_BUILD_DIR", QDir::currentPath());
        QVERIFY(open()->grab().save(QDir(dir).filePath("br.png")));
        delete open();
    }

    // Every size the icon theme gets is drawn at that size; the 32 x 32 one is
    // the very icon the windows carry, and the scalable one is a whole SVG.
    void themeIcons() {
        QTemporaryDir out;
        QProcess draw;
        draw.start(QStringLiteral(POMIV_DRAWART), {QStringLiteral("--icons"), out.path()});
        QVERIFY(draw.waitForFinished(60000) && draw.exitCode() == 0);
        const QDir hicolor(out.filePath(QStringLiteral("hicolor")));
        const QStringList sizes = hicolor.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QVERIFY2(sizes.contains("16x16") && sizes.contains("256x256") && sizes.contains("scalable"),
                 qPrintable(sizes.join(' ')));
        for (const QString &size : sizes) {
            const QImage icon(hicolor.filePath(size + "/apps/pomiv.png"));
            const int n = size.section('x', 0, 0).toInt();
            QVERIFY2(size == "scalable" || (icon.size() == QSize(n, n) &&
                                            icon.pixelColor(n / 2, n / 2).alpha() == 255),
                     qPrintable(size));
        }
        QCOMPARE(
            QImage(hicolor.filePath("32x32/apps/pomiv.png")).convertToFormat(QImage::Format_ARGB32),
            programIconPicture().toImage().convertToFormat(QImage::Format_ARGB32));
        QSvgRenderer svg(hicolor.filePath("scalable/apps/pomiv.svg"));
        QVERIFY(svg.isValid() && svg.viewBox() == QRect(0, 0, 32, 32));
    }
};

QTEST_MAIN(AboutTest)
#include "tst_about.moc"
