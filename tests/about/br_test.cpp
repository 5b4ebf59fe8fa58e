// The version dialog: its texts and pictures, the keys that close it, and
// that there is only ever one.

#include "about/br.h"
#include "app/pmvmin.h"
#include "platform/Ui.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace pomiv;

class BrTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::MessageRecorder> m_messages;
    std::unique_ptr<pmvmin> m_main;

    br *open() {
        m_main->bs->trigger();
        const auto dialogs = test::topLevels<br>();
        return dialogs.size() == 1 ? dialogs.front() : nullptr;
    }

private slots:
    void initTestCase() { installFontSubstitutions(); }

    void init() {
        m_messages = std::make_unique<test::MessageRecorder>();
        m_main = std::make_unique<pmvmin>();
        m_main->show();
    }

    void cleanup() {
        test::deleteTopLevels<br>();
        m_main.reset();
        m_messages.reset();
    }

    void textsAndPictures() {
        br *dialog = open();
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QCOMPARE(dialog->windowTitle(), QString::fromUtf8("ﾊﾞｰｼﾞｮﾝ情報"));
        QCOMPARE(dialog->lb->text(), QString::fromUtf8("ポミブ"));
        // Half-width katakana, then a full-width colon.
        QCOMPARE(dialog->lblVersion->text(),
                 QString::fromUtf16(u"\uFF8A\uFF9E\uFF70\uFF7C\uFF9E\uFF6E\uFF9D\uFF1A2.00"));
        QCOMPARE(dialog->cmdOK->toolTip(), QString::fromUtf8("バージョン情報を閉じます"));
        QCOMPARE(dialog->Image1->pixmap().size(), QSize(500, 200));
        // The icon fills the inside of its sunken box exactly.
        QCOMPARE(dialog->picIcon->pixmap().size(), QSize(32, 32));
        QCOMPARE(dialog->picIcon->contentsRect().size(), QSize(32, 32));
        // Fixed size; the whole window, frame included, as tall as designed.
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        QCOMPARE(dialog->frameGeometry().height(), px(2820));
        for (QWidget *w : dialog->findChildren<QWidget *>())
            QVERIFY2(dialog->rect().contains(w->geometry()), qPrintable(w->objectName()));
        const QString dir = qEnvironmentVariable("POMIV_BUILD_DIR", QDir::currentPath());
        QVERIFY(dialog->grab().save(QDir(dir).filePath("br.png")));
    }

    void closes_data() {
        QTest::addColumn<int>("key"); // 0: a click on OK, -1: the close box
        QTest::newRow("click") << 0;
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("close box") << -1;
    }

    void closes() {
        QFETCH(int, key);
        QPointer<br> dialog = open();
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QCOMPARE(QApplication::focusWidget(), dialog->cmdOK);
        // Other keys leave it open.
        QTest::keyClick(dialog->cmdOK, Qt::Key_A);
        QTest::keyClick(dialog->cmdOK, Qt::Key_Escape, Qt::ShiftModifier);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(dialog);
        if (key == 0)
            QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
        else if (key < 0)
            dialog->close();
        else
            QTest::keyClick(dialog->cmdOK, Qt::Key(key));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!dialog);
    }

    // Modeless, and only one at a time; built afresh once closed.
    void oneInstance() {
        QPointer<br> first = open();
        QVERIFY(first);
        QVERIFY(!first->isModal() && m_main->isEnabled());
        QCOMPARE(open(), first.data());
        first->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!first);
        QVERIFY(open());
    }
};

QTEST_MAIN(BrTest)
#include "br_test.moc"
