// The version dialog: its pictures and size, the keys that close it, and
// that there is only ever one.

#include "about/br.h"
#include "app/pmvmin.h"
#include "platform/Ui.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>

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
        m_main.show();
    }

    void cleanup() { test::deleteTopLevels<br>(); }

    void picturesAndSize() {
        br *dialog = open();
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(dialog->Image1->pixmap().size(), QSize(500, 200));
        QCOMPARE(dialog->picIcon->pixmap().size(), QSize(32, 32));
        // Fixed size; the whole window, frame included, as tall as designed.
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        QCOMPARE(dialog->frameGeometry().height(), px(2820));
        for (QWidget *w : dialog->findChildren<QWidget *>())
            QVERIFY2(dialog->rect().contains(w->geometry()), qPrintable(w->objectName()));
        const QString dir = qEnvironmentVariable("POMIV_BUILD_DIR", QDir::currentPath());
        QVERIFY(dialog->grab().save(QDir(dir).filePath("br.png")));
    }

    void closes_data() {
        QTest::addColumn<int>("key"); // 0: a click on OK
        QTest::newRow("click") << 0;
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }

    // Modeless, one at a time, OK focused; other keys leave it open. Built
    // afresh once closed.
    void closes() {
        QFETCH(int, key);
        QPointer<br> dialog = open();
        QVERIFY(dialog);
        QVERIFY(!dialog->isModal() && m_main.isEnabled());
        open();
        QCOMPARE(test::topLevels<br>(), QList<br *>{dialog});
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QCOMPARE(QApplication::focusWidget(), dialog->cmdOK);
        QTest::keyClick(dialog->cmdOK, Qt::Key_A);
        QVERIFY(dialog->isVisible());
        if (key == 0)
            QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
        else
            QTest::keyClick(dialog->cmdOK, Qt::Key(key));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!dialog);
        QVERIFY(open());
    }
};

QTEST_MAIN(AboutTest)
#include "tst_about.moc"
