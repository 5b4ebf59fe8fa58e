// The main window: start-up with and without settings, the folder browser,
// the filter, the folder options and the view button.

#include "app/pmvmin.h"
#include "platform/DriveList.h"
#include "platform/Errors.h"
#include "platform/FileList.h"
#include "platform/FolderList.h"
#include "platform/Paths.h"
#include "platform/Ui.h"
#include "settings/SettingsFile.h"
#include "settings/Shared.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace pomiv;
using namespace pomiv::test;

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_prog, m_driveA, m_driveB, m_driveC, m_start, m_main, m_dest;
    std::unique_ptr<VolumesOverride> m_volumes;

    QString at(const QString &rel) const { return m_tmp.path() + "/" + rel; }

    void writeSettings(const QString &main, const QString &dest, const QString &prefix = "A",
                       const QString &number = "5") {
        AppDir = m_prog + "/";
        QCOMPARE(f_save(main, dest, prefix, number), int(Ok));
    }

    // Builds the main window and runs its start-up; null when it ended.
    std::unique_ptr<pmvmin> start() {
        AppDir.clear();
        MainFolder.clear();
        DestFolder.clear();
        ViewIndex = 7;
        auto w = std::make_unique<pmvmin>();
        if (!w->Form_Load())
            return nullptr;
        w->show();
        return w;
    }

private slots:
    void initTestCase() {
        m_prog = at("prog");
        m_driveA = at("driveA");
        m_driveB = at("driveB");
        m_driveC = at("driveC");
        m_start = m_driveA + "/start";
        m_main = m_driveA + "/main";
        m_dest = m_driveB + "/dest";
        for (const QString &d : {m_prog, m_driveC})
            QDir().mkpath(d);
        for (const char *name : {"s1.jpg", "s2.JPG", "s.gif"})
            writeFile(m_start + "/" + name, "x");
        writeFile(m_start + "/sub/inner.jpg", "x");
        for (const char *name : {"m1.jpg", "m2.jpg", "m3.jpg"})
            writeFile(m_main + "/" + name, "x");
        writeFile(m_dest + "/d.bmp", "x");
        writeFile(m_driveB + "/root.jpg", "x");
        m_volumes = std::make_unique<VolumesOverride>(QStringList{m_driveA, m_driveB, m_driveC});
        Volumes::setStartupFolder(m_start);
        setProgramDirForTests(m_prog);
    }

    void init() {
        QFile::remove(m_prog + "/pmvf2.ini");
        (*m_volumes)->notReady.clear();
    }

    void startUp_data() {
        QTest::addColumn<QByteArray>("settings"); // empty: no settings file
        QTest::addColumn<int>("answer");          // to the drive question: 0 none, 1 yes, 2 no
        QTest::addColumn<QString>("main");
        QTest::addColumn<QString>("dest");
        QTest::addColumn<QString>("folder");     // shown by the lists
        QTest::addColumn<QStringList>("fields"); // prefix and number
        QTest::addColumn<int>("jpgs");
        const auto line = [](const QString &main, const QString &dest) {
            return formatSettingsLine(main, dest, jp("ポミ"), "12").toUtf8();
        };
        const QStringList none{"", ""}, saved{jp("ポミ"), "12"};
        QTest::newRow("first run")
            << QByteArray() << 0 << m_start << m_start << m_start << none << 2;
        QTest::newRow("saved") << line(m_main, m_dest) << 0 << m_main << m_dest << m_main << saved
                               << 3;
        QTest::newRow("only the first field")
            << ("\"" + m_main + "\"\r\n").toUtf8() << 0 << m_main << m_start << m_main << none << 3;
        const QString gone = m_driveA + "/deleted";
        QTest::newRow("main folder deleted")
            << line(gone, m_dest) << 0 << gone << m_dest << m_start << saved << 2;
        const QString offline = m_driveC + "/pics";
        QTest::newRow("drive not ready, yes")
            << line(offline, m_dest) << 1 << offline << m_dest << m_start << saved << 2;
        QTest::newRow("drive not ready, no")
            << line(offline, m_dest) << 2 << offline << m_dest << m_start << saved << 2;
        // A first field longer than any path: the file is unreadable.
        QTest::newRow("first field of 50 MB") << QByteArray(50 * 1024 * 1024, 'x') + ",\"/b\"" << 0
                                              << m_start << m_start << m_start << none << 2;
    }

    void startUp() {
        QFETCH(QByteArray, settings);
        QFETCH(int, answer);
        QFETCH(QString, main);
        QFETCH(QString, dest);
        QFETCH(QString, folder);
        QFETCH(QStringList, fields);
        QFETCH(int, jpgs);
        if (!settings.isEmpty())
            writeFile(m_prog + "/pmvf2.ini", settings);
        // Left by a rewrite that was cut off: gone at the next start.
        for (const char *stale : {"/pmvf2.ini.Q1w2E3", "/pomi.ini.zZ9yY8"})
            writeFile(m_prog + stale, "\"half");
        (*m_volumes)->notReady.insert(m_driveC);
        MessageRecorder boxes;
        if (answer)
            boxes->answers.push_back(answer == 1 ? MsgAnswer::Yes : MsgAnswer::No);
        auto w = start();
        QCOMPARE(boxes.shown().size(), answer ? 1 : 0);
        if (answer) {
            const ShownMessage &m = boxes.shown().first();
            QCOMPARE(m.text, main + " " + errorText(DeviceUnavailable) + jp("続行しますか？"));
            QCOMPARE(m.buttons, MsgButtons::YesNo);
            QCOMPARE(m.icon, MsgIcon::None);
        }
        QCOMPARE(bool(w), answer != 2); // No ends the program before the window shows
        if (!w)
            return;
        QCOMPARE(AppDir, m_prog + "/");
        QCOMPARE(filesIn(m_prog), settings.isEmpty() ? QStringList() : QStringList{"pmvf2.ini"});
        QCOMPARE(MainFolder, main);
        QCOMPARE(DestFolder, dest);
        QCOMPARE(w->fr[1]->text(), main);
        QCOMPARE(w->fr[0]->text(), dest);
        QCOMPARE((QStringList{w->tx[1]->text(), w->tx[2]->text()}), fields);
        QCOMPARE(w->d2->path(), folder);
        QCOMPARE(w->d3->path(), folder);
        QCOMPARE(w->tx[0]->text(), folder);
        QCOMPARE(w->d1->drive(), m_driveA);
        QCOMPARE(w->d3->count(), jpgs);
        QVERIFY(w->OKB->isEnabled());
        QCOMPARE(w->s->value(), 0);
        QCOMPARE(ViewIndex, 0);
        QCOMPARE(w->sr->currentText(), QString("*.jpg"));
        QCOMPARE(w->sr->currentIndex(), -1);
        QStringList items;
        for (int i = 0; i < w->sr->count(); ++i)
            items << w->sr->itemText(i);
        QCOMPARE(items, (QStringList{"*.jpg", "*.bmp", "*.dib", "*.gif", "*.wmf", "*.emf", "*.ico",
                                     "*.cur", "*.*"}));
        QVERIFY(w->op2[2]->isChecked() && w->op1[0]->isChecked());
        QCOMPARE(w->op2[2]->text(), jp("現在のフォルダ"));
        if (settings.isEmpty())
            QVERIFY(!QFile::exists(m_prog + "/pmvf2.ini")); // start-up writes nothing
        if (QByteArray(QTest::currentDataTag()) == "saved")
            w->grab().save(qEnvironmentVariable("POMIV_BUILD_DIR", ".") + "/mainwindow.png");
    }

    void folderOptions() {
        writeSettings(m_main, m_dest);
        MessageRecorder boxes;
        auto w = start();
        QVERIFY(w);
        QCOMPARE(w->d2->setPath(m_start + "/sub"), int(Ok));
        QCOMPARE(w->tx[0]->text(), m_start + "/sub"); // a plain folder change adds nothing

        // "元のフォルダ" with nothing remembered changes nothing.
        w->op2[2]->click();
        QCOMPARE(w->d2->path(), m_start + "/sub");
        QCOMPARE(w->tx[0]->text(), m_start + "/sub");

        w->op2[0]->click();
        QCOMPARE(w->OrigFolder, m_start + "/sub");
        QCOMPARE(w->d2->path(), m_main);
        QCOMPARE(w->d3->path(), m_main);
        QCOMPARE(w->tx[0]->text(), m_main + "/");
        QCOMPARE(w->op2[2]->text(), jp("元のフォルダ"));

        // Another drive: the drive list follows.
        w->op2[1]->click();
        QCOMPARE(w->OrigFolder, m_start + "/sub");
        QCOMPARE(w->d1->drive(), m_driveB);
        QCOMPARE(w->d2->path(), m_dest);
        QCOMPARE(w->d3->names(), QStringList{});
        QCOMPARE(w->tx[0]->text(), m_dest + "/");
        QVERIFY(!w->OKB->isEnabled());

        w->op2[2]->click();
        QCOMPARE(w->d1->drive(), m_driveA);
        QCOMPARE(w->d2->path(), m_start + "/sub");
        QCOMPARE(w->d3->names(), QStringList{"inner.jpg"});
        QCOMPARE(w->tx[0]->text(), m_start + "/sub/");
        QCOMPARE(w->op2[2]->text(), jp("現在のフォルダ"));
        QVERIFY(w->OrigFolder.isEmpty());
        QVERIFY(w->OKB->isEnabled());
        QVERIFY(boxes.shown().isEmpty());

        // A destination at a drive root gets no second separator.
        DestFolder = m_driveB;
        w->op2[1]->click();
        QCOMPARE(w->tx[0]->text(), m_driveB + "/");
        QCOMPARE(w->d3->names(), QStringList{"root.jpg"});
    }

    void folderOptionThatCannotBeShown_data() {
        QTest::addColumn<QString>("dest");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("deleted") << at("driveB/gone") << QStringList{};
        QTest::newRow("drive not ready")
            << at("driveC/x") << QStringList{jp("ドライブの準備ができていません")};
    }

    void folderOptionThatCannotBeShown() {
        QFETCH(QString, dest);
        QFETCH(QStringList, messages);
        QDir().mkpath(m_driveC + "/x");
        writeSettings(m_main, dest);
        auto w = start();
        QVERIFY(w);
        (*m_volumes)->notReady.insert(m_driveC);
        MessageRecorder boxes;
        w->op2[0]->click(); // remembers the start folder
        w->op2[1]->click();
        QCOMPARE(boxes.texts(), messages);
        QCOMPARE(w->d1->drive(), m_driveA);
        QCOMPARE(w->d2->path(), m_main);
        QCOMPARE(w->d3->path(), m_main);
        QCOMPARE(w->OrigFolder, m_main);
        QCOMPARE(w->op2[2]->text(), jp("元のフォルダ"));
        QVERIFY(w->op2[0]->isChecked());
    }

    void driveChanges() {
        auto w = start();
        QVERIFY(w);
        MessageRecorder boxes;
        ViewIndex = 3;
        // Another drive opens on its root; the separator is added once.
        emit w->d1->activated(w->d1->findText(m_driveB));
        QCOMPARE(w->d2->path(), m_driveB);
        QCOMPARE(w->tx[0]->text(), m_driveB + "/");
        QCOMPARE(w->d3->names(), QStringList{"root.jpg"});
        QCOMPARE(ViewIndex, 0);
        // Back to the start-up drive: its current folder is the start-up folder.
        emit w->d1->activated(w->d1->findText(m_driveA));
        QCOMPARE(w->d2->path(), m_start);
        QCOMPARE(w->tx[0]->text(), m_start + "/");

        (*m_volumes)->notReady.insert(m_driveC);
        emit w->d1->activated(w->d1->findText(m_driveC));
        QCOMPARE(boxes.texts(), QStringList{jp("ドライブの準備ができていません")});
        QCOMPARE(boxes.shown().first().icon, MsgIcon::None);
        QCOMPARE(w->d1->drive(), m_driveC);
        QCOMPARE(w->d2->path(), m_start);
        QCOMPARE(w->d3->path(), m_start);
        QCOMPARE(w->tx[0]->text(), m_start + "/");
    }

    void typedVersusPickedFilter() {
        auto w = start();
        QVERIFY(w);
        QVERIFY(w->OKB->isEnabled());
        ViewIndex = 4;
        w->sr->lineEdit()->selectAll();
        QTest::keyClicks(w->sr->lineEdit(), "*.bmp");
        QCOMPARE(w->d3->names(), QStringList{});
        QVERIFY(w->OKB->isEnabled()); // typing alone leaves the button
        QCOMPARE(ViewIndex, 0);

        w->sr->setCurrentIndex(1);
        emit w->sr->activated(1); // the user picks "*.bmp"
        QCOMPARE(w->d3->pattern(), QString("*.bmp"));
        QVERIFY(!w->OKB->isEnabled());

        w->sr->setCurrentIndex(3);
        emit w->sr->activated(3); // "*.gif"
        QCOMPARE(w->d3->names(), QStringList{"s.gif"});
        QVERIFY(w->OKB->isEnabled());
    }

    void activationReevaluatesTheViewButton() {
        auto w = start();
        QVERIFY(w);
        w->sr->setEditText("*.none");
        QVERIFY(w->OKB->isEnabled());
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QVERIFY(!w->OKB->isEnabled());
    }

    void quitEndsTheProgram() {
        auto w = start();
        QVERIFY(w);
        QTimer::singleShot(0, w.get(), [&] { w->m1_2->trigger(); });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
