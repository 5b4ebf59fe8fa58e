// The main window: start-up, the folder browser, the filter, the folder
// options, the view button, the keyboard and the busy pointer.

#include "app/pmvmin.h"
#include "controls/DriveList.h"
#include "controls/FileList.h"
#include "controls/FolderList.h"
#include "controls/Ui.h"
#include "core/DirScan.h"
#include "core/Errors.h"
#include "core/Paths.h"
#include "settings/Shared.h"
#include "settings/rules/SettingsFile.h"
#include "tests/support/TestSupport.h"

#include <QtWidgets>

using namespace pomiv;
using namespace pomiv::test;

class MainWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_tmp;
    std::unique_ptr<VolumesOverride> m_volumes;

    QString at(const QString &rel) const { return m_tmp.path() + "/" + rel; }

    // Where the window stands: drive, folder list, file list and tx(0).
    QString where(const pmvmin &w) const {
        const QStringList parts{w.d1->drive(), w.d2->path(), w.d3->path(), w.tx[0]->text()};
        return parts.join(' ').remove(m_tmp.path() + "/");
    }

    QByteArray settings(const char *main, const char *dest) const {
        return formatSettingsLine({at(main), at(dest), jp("ポミ"), "12"}).toUtf8();
    }

    // Builds the main window and runs its start-up; null when it ended.
    std::unique_ptr<pmvmin> start(bool active = false) {
        AppDir.clear();
        MainFolder.clear();
        DestFolder.clear();
        ViewIndex = 7;
        auto w = std::make_unique<pmvmin>();
        if (!w->Form_Load())
            return nullptr;
        w->show();
        if (active)
            w->activateWindow();
        return !active || QTest::qWaitForWindowActive(w.get()) ? std::move(w) : nullptr;
    }

private slots:
    void initTestCase() {
        for (const char *name : {"A/start/s1.jpg", "A/start/s2.JPG", "A/start/s.gif",
                                 "A/start/sub/inner.jpg", "A/main/m1.jpg", "A/main/m2.jpg",
                                 "A/main/m3.jpg", "A/busy/b.jpg", "B/dest/d.bmp", "B/root.jpg"})
            writeFile(at(name), "x");
        for (const char *folder : {"prog", "C/x"})
            QDir().mkpath(at(folder));
        m_volumes = std::make_unique<VolumesOverride>(QStringList{at("A"), at("B"), at("C")});
        Volumes::setStartupFolder(at("A/start"));
        setProgramDirForTests(at("prog"));
    }

    void init() {
        QFile::remove(at("prog/pmvf2.ini"));
        (*m_volumes)->notReady = {at("C")};
    }

    void startUp_data() {
        QTest::addColumn<QByteArray>("file"); // empty: no settings file
        QTest::addColumn<QString>("answer");  // to the question about the main folder's drive
        QTest::addColumn<QString>("state");   // folders|prefix|number|where it stands|jpgs
        const QString home = "A A/start A/start A/start|2", main = "A A/main A/main A/main|3";
        const QString saved = jp("|ポミ|12|"), fresh = "A/start A/start|||" + home;
        const auto row = [](const char *name, const QByteArray &file, const QString &state,
                            const char *answer = "") {
            QTest::newRow(name) << file << QString(answer) << state;
        };
        row("first run", {}, fresh);
        row("saved", settings("A/main", "B/dest"), "A/main B/dest" + saved + main);
        row("only the first field", "\"" + at("A/main").toUtf8() + "\"\r\n",
            "A/main A/start|||" + main);
        row("main folder deleted", settings("A/deleted", "B/dest"),
            "A/deleted B/dest" + saved + home);
        row("main folder on another drive", settings("B/dest", "A/main"),
            "B/dest A/main" + saved + "B B/dest B/dest B/dest|0");
        row("drive not ready, yes", settings("C/x", "B/dest"), "C/x B/dest" + saved + home, "yes");
        row("drive not ready, no", settings("C/x", "B/dest"), "C/x B/dest" + saved + home, "no");
    }

    void startUp() {
        QFETCH(QByteArray, file);
        QFETCH(QString, answer);
        QFETCH(QString, state);
        if (!file.isEmpty())
            writeFile(at("prog/pmvf2.ini"), file);
        writeFile(at("prog/pmvf2.ini.Q1w2E3"), "\"half"); // left by cut-off rewrites
        writeFile(at("prog/pomi.ini.zZ9yY8"), "\"half");
        MessageRecorder boxes;
        if (answer == "no")
            boxes->answers.push_back(MsgAnswer::No);
        const int readsBefore = folderReads();
        auto w = start();
        QCOMPARE(boxes.shown().size(), answer.isEmpty() ? 0 : 1);
        QVERIFY(answer.isEmpty() || (boxes.texts()[0].startsWith(at("C/x") + " ") &&
                                     boxes.shown()[0].buttons == MsgButtons::YesNo));
        QCOMPARE(bool(w), answer != "no"); // No ends the program before the window shows
        // Start-up writes nothing.
        QCOMPARE(filesIn(at("prog")), QStringList(file.isEmpty() ? 0 : 1, "pmvf2.ini"));
        if (!w)
            return;
        QCOMPARE(w->fr[1]->text() + " " + w->fr[0]->text(), MainFolder + " " + DestFolder);
        const QStringList now{MainFolder + " " + DestFolder, w->tx[1]->text(), w->tx[2]->text(),
                              where(*w), QString::number(w->d3->count())};
        QCOMPARE(now.join('|').remove(m_tmp.path() + "/"), state);
        // The lists and the view button share one reading of each folder.
        QCOMPARE(folderReads() - readsBefore, QSet<QString>({at("A/start"), w->d3->path()}).size());
        QCOMPARE(w->OKB->isEnabled(), w->d3->count() > 0);
        QVERIFY(ViewIndex == 0 && w->s->value() == 0 && w->op2[2]->isChecked() &&
                w->op1[0]->isChecked());
    }

    // The folder options, then drive changes: where the lists stand after
    // each, and the drive that is not ready.
    void navigation() {
        writeFile(at("prog/pmvf2.ini"), settings("A/main", "B/dest"));
        MessageRecorder boxes;
        auto w = start();
        QCOMPARE(w->d2->setPath(at("A/start/sub")), Ok);
        const QString sub = "A A/start/sub A/start/sub A/start/sub";
        QCOMPARE(where(*w), sub); // a plain folder change adds no separator
        w->op2[2]->click();       // nothing remembered: nothing happens
        QCOMPARE(where(*w), sub);
        w->op2[0]->click();
        QCOMPARE(where(*w), "A A/main A/main A/main/");
        w->op2[1]->click(); // on another drive: the drive list follows
        QCOMPARE(where(*w), "B B/dest B/dest B/dest/");
        QVERIFY(!w->OKB->isEnabled());
        w->op2[2]->click(); // back to the folder from before the first switch
        QCOMPARE(where(*w), sub + "/");
        QVERIFY(w->OrigFolder.isEmpty() && w->OKB->isEnabled());
        DestFolder = at("B"); // a drive root gets no second separator
        w->op2[1]->click();
        QCOMPARE(where(*w), "B B B B/");
        // Folders that cannot be shown change nothing.
        MainFolder = at("C/x");
        DestFolder = at("B/gone");
        w->op2[1]->click();
        w->op2[0]->click();
        QCOMPARE(where(*w), "B B B B/");
        QVERIFY(w->op2[1]->isChecked() && w->OrigFolder == at("A/start/sub"));

        ViewIndex = 3;
        const auto pick = [&](const char *drive) {
            emit w->d1->activated(w->d1->findText(at(drive)));
        };
        pick("A"); // the start-up drive opens on the start-up folder
        QCOMPARE(where(*w), "A A/start A/start A/start/");
        QCOMPARE(ViewIndex, 0);
        QCOMPARE(w->d2->setPath(at("A/start/sub")), Ok);
        pick("C");
        QCOMPARE(where(*w), "C A/start/sub A/start/sub A/start/sub");
        pick("A"); // the folder list already shows this drive: nothing else happens
        QCOMPARE(where(*w), "A A/start/sub A/start/sub A/start/sub");
        QCOMPARE(boxes.texts(), QStringList(2, jp("ドライブの準備ができていません")));
        QVERIFY(boxes.shown().last().icon == MsgIcon::None);
    }

    // Typing sets the pattern to the typed text, and neither Return nor
    // leaving the box re-evaluates the view button; a choice from the
    // drop-down list does.
    void filter() {
        auto w = start(true);
        QLineEdit *edit = w->sr->lineEdit();
        for (const char *typed : {"*", "*.g", "*.bmp"}) {
            edit->setFocus();
            edit->clear();
            QTest::keyClicks(edit, typed);
            QCOMPARE(w->sr->currentText() + " " + w->d3->pattern(), typed + QString(" ") + typed);
            QTest::keyClick(edit, Qt::Key_Return);
            QTest::keyClick(edit, Qt::Key_Tab);
            QVERIFY(w->OKB->isEnabled());
        }
        w->sr->showPopup(); // "*.bmp", as typed: no such file
        w->sr->view()->setCurrentIndex(w->sr->model()->index(1, 0));
        QTest::keyClick(w->sr->view(), Qt::Key_Return);
        QVERIFY(w->d3->pattern() == w->sr->itemText(1) && !w->OKB->isEnabled());
    }

    // Tab runs from the drive list through the visible controls and never
    // into the hidden current-folder field; coming back to the window
    // re-evaluates the view button; "終了" ends the program.
    void keyboardActivationAndQuit() {
        auto w = start(true);
        QCOMPARE(QApplication::focusWidget(), w->d1);
        QWidgetList chain;
        for (int i = 0; i < 30; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            chain << QApplication::focusWidget();
        }
        QCOMPARE(chain.mid(0, 3), (QWidgetList{w->d2, w->d3, w->OKB}));
        QVERIFY(chain.contains(w->d1) && chain.contains(w->tx[2]) && !chain.contains(w->tx[0]));

        w->sr->setEditText("*.none");
        QVERIFY(w->OKB->isEnabled());
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QVERIFY(!w->OKB->isEnabled());

        QTimer::singleShot(0, w->m1_2, &QAction::trigger);
        QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }

    // The hourglass reaches the screen before the viewer opens or the
    // content check runs (the event loop turns once with it), stays while
    // they run, and gives way to the arrow afterwards.
    void busyPointer() {
        auto w = start();
        QCOMPARE(w->d2->setPath(at("A/busy")), Ok);
        MessageRecorder boxes;
        for (QPushButton *button : {w->OKB, w->nc}) {
            bool turned = false;
            QTimer::singleShot(0, [&turned] { turned = busyPointerShown(); });
            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY(turned && !boxes.shown().isEmpty() && boxes.shown().last().busy);
            QVERIFY(!busyPointerShown());
            QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
        }
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
