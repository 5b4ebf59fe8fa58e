// The version dialog: its texts and pictures, the keys that close it, and
// that there is only ever one.

#include "about/ProgramArt.h"
#include "about/br.h"
#include "app/pmvmin.h"
#include "platform/Ui.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace pomiv;

namespace {

QString jp(const char *utf8) {
    return QString::fromUtf8(utf8);
}

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class BrTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installFontSubstitutions(); }
    void init();
    void cleanup();

    void textsAndFonts();
    void picturesAndPlaces();
    void closes_data();
    void closes();
    void otherKeysLeaveItOpen();
    void oneInstance();
    void leavesTheMainWindowUsable();

private:
    br *open();

    std::unique_ptr<test::MessageRecorder> m_messages;
    std::unique_ptr<pmvmin> m_main;
};

void BrTest::init() {
    m_messages = std::make_unique<test::MessageRecorder>();
    m_main = std::make_unique<pmvmin>();
    m_main->show();
}

void BrTest::cleanup() {
    test::deleteTopLevels<br>();
    m_main.reset();
    flushDeletes();
    m_messages.reset();
}

br *BrTest::open() {
    m_main->bs->trigger();
    const auto dialogs = test::topLevels<br>();
    return dialogs.size() == 1 ? dialogs.front() : nullptr;
}

void BrTest::textsAndFonts() {
    br *dialog = open();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), jp("ﾊﾞｰｼﾞｮﾝ情報"));
    QCOMPARE(dialog->lb->text(), jp("ポミブ"));
    // Half-width katakana, then a full-width colon.
    QCOMPARE(dialog->lblVersion->text(),
             QString::fromUtf16(u"\uFF8A\uFF9E\uFF70\uFF7C\uFF9E\uFF6E\uFF9D\uFF1A2.00"));
    QCOMPARE(dialog->cmdOK->text(), QStringLiteral("OK"));
    QCOMPARE(dialog->cmdOK->toolTip(), jp("バージョン情報を閉じます"));

    const QFont name = dialog->lb->font();
    QCOMPARE(name.family(), jp("ＭＳ 明朝"));
    QCOMPARE(name.pointSizeF(), 18.0);
    QVERIFY(name.bold());
    const QFont version = dialog->lblVersion->font();
    QCOMPARE(version.family(), jp("ＭＳ Ｐ明朝"));
    QCOMPARE(version.pointSizeF(), 12.0);
    QVERIFY(version.bold());
    for (QLabel *text : {dialog->lb, dialog->lblVersion}) {
        QVERIFY(text->alignment() & Qt::AlignHCenter);
        QVERIFY(!text->autoFillBackground());
    }
    QCOMPARE(dialog->palette().color(QPalette::Window), QColor(255, 192, 128));
}

void BrTest::picturesAndPlaces() {
    br *dialog = open();
    QVERIFY(dialog);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));

    QCOMPARE(bannerPicture().size(), QSize(500, 200));
    QCOMPARE(programIconPicture().size(), QSize(32, 32));
    QCOMPARE(programIcon().availableSizes(), QList<QSize>{QSize(32, 32)});
    QCOMPARE(dialog->Image1->pixmap().size(), QSize(500, 200));
    QVERIFY(dialog->Image1->hasScaledContents());
    QCOMPARE(dialog->picIcon->pixmap().size(), QSize(32, 32));
    // The icon fills the inside of its sunken box exactly.
    QCOMPARE(dialog->picIcon->contentsRect().size(), QSize(32, 32));

    // Fixed size; the whole window, frame included, as tall as designed.
    QCOMPARE(dialog->width(), px(5805));
    QCOMPARE(dialog->frameGeometry().height(), px(2820));
    QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
    QCOMPARE(dialog->geometry().topLeft(), QPoint(px(2340), px(1935)));
    const Qt::WindowFlags flags = dialog->windowFlags();
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));

    // Every control lies inside the dialog.
    for (QWidget *w : dialog->findChildren<QWidget *>())
        QVERIFY2(dialog->rect().contains(w->geometry()), qPrintable(w->objectName()));

    const QString dir = qEnvironmentVariable("POMIV_BUILD_DIR", QDir::currentPath());
    QVERIFY(dialog->grab().save(QDir(dir).filePath(QStringLiteral("br.png"))));
}

void BrTest::closes_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("click") << 0;
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
    QTest::newRow("close box") << -1;
}

void BrTest::closes() {
    QFETCH(int, how);
    QPointer<br> dialog = open();
    QVERIFY(dialog);
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    // OK has the focus when the dialog opens.
    QCOMPARE(QApplication::focusWidget(), dialog->cmdOK);
    QVERIFY(dialog->cmdOK->isDefault());

    if (how == 0)
        QTest::mouseClick(dialog->cmdOK, Qt::LeftButton);
    else if (how < 0)
        dialog->close();
    else
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(how));
    flushDeletes();
    QVERIFY(!dialog);
    QVERIFY(test::topLevels<br>().isEmpty());
}

void BrTest::otherKeysLeaveItOpen() {
    QPointer<br> dialog = open();
    QVERIFY(dialog);
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape, Qt::ShiftModifier);
    flushDeletes();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
}

void BrTest::oneInstance() {
    QPointer<br> first = open();
    QVERIFY(first);
    QPointer<br> second = open();
    QCOMPARE(second, first);
    QCOMPARE(test::topLevels<br>().size(), 1);

    first->cmdOK->click();
    flushDeletes();
    QVERIFY(!first);
    // Built afresh at the next opening.
    QPointer<br> third = open();
    QVERIFY(third);
    QVERIFY(third->isVisible());
}

void BrTest::leavesTheMainWindowUsable() {
    br *dialog = open();
    QVERIFY(dialog);
    QVERIFY(!dialog->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QVERIFY(m_main->isEnabled());
    // The main window takes typing while the dialog is open.
    m_main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
    QTest::keyClicks(m_main->tx[1], QStringLiteral("B"));
    QCOMPARE(m_main->tx[1]->text(), QStringLiteral("B"));
    QVERIFY(dialog->isVisible());
}

QTEST_MAIN(BrTest)
#include "br_test.moc"
