// The settings dialog: what it shows when it opens, what OK saves and
// applies to the main window, and what Cancel leaves alone.

#include "app/pmvmin.h"
#include "platform/DriveList.h"
#include "platform/Errors.h"
#include "platform/FileList.h"
#include "platform/FolderList.h"
#include "platform/Paths.h"
#include "platform/Ui.h"
#include "settings/SettingsFile.h"
#include "settings/Shared.h"
#include "settings/f2.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace pomiv;
using namespace pomiv::test;

namespace {

const QString notReadyText = QString::fromUtf8("ドライブの準備ができていません");

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class F2Test : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_tmp;
    std::unique_ptr<VolumesOverride> m_volumes;
    std::unique_ptr<MessageRecorder> m_messages;
    std::unique_ptr<pmvmin> m_main;
    QString m_start;

    QString path(const QString &relative) const {
        return QDir::toNativeSeparators(m_tmp->path() + '/' + relative);
    }

    // The main window as after start-up on MainFolder (the start-up folder
    // where empty, as DestFolder), prefix "A" and number "1"; then the dialog.
    f2 *open() {
        MainFolder = MainFolder.isEmpty() ? m_start : MainFolder;
        DestFolder = DestFolder.isEmpty() ? m_start : DestFolder;
        m_main = std::make_unique<pmvmin>();
        m_main->tx[1]->setText("A");
        m_main->tx[2]->setText("1");
        m_main->d2->setPath(MainFolder); // stays on the start-up folder if it cannot
        m_main->show();
        m_main->m1_1_Click();
        return topLevels<f2>().value(0);
    }

private slots:
    void initTestCase() { installFontSubstitutions(); }

    void init() {
        m_tmp = std::make_unique<QTemporaryDir>();
        for (const char *folder :
             {"app", "volA/start/sub1", "volA/main", "volB/pics", "volB/other", "volC/cards"})
            QVERIFY(QDir().mkpath(path(folder)));
        writeFile(path("volB/pics/a.jpg"), "x");
        m_start = path("volA/start");
        m_volumes = std::make_unique<VolumesOverride>(
            QStringList{path("volA"), path("volB"), path("volC")});
        Volumes::setStartupFolder(m_start);
        m_messages = std::make_unique<MessageRecorder>();
        AppDir = withTrailingSeparator(path("app"));
        MainFolder = DestFolder = QString();
    }

    void cleanup() {
        deleteTopLevels<f2>();
        m_main.reset();
        flushDeletes();
        m_messages.reset();
        m_volumes.reset();
        m_tmp.reset();
    }

    // The dialog opens on the saved folders; Cancel or the close box after
    // changing both halves changes nothing.
    void loadStepThenCancel_data() {
        QTest::addColumn<QStringList>("saved"); // main and destination folder, in the file
        QTest::addColumn<bool>("notReady");     // the card drive volC
        QTest::addColumn<bool>("loads");        // the halves show the saved folders
        QTest::newRow("saved") << QStringList{"volA/main", "volB/other"} << false << true;
        // The load stops at a folder it cannot show, quietly unless its drive
        // is not ready.
        QTest::newRow("deleted") << QStringList{"volA/gone", "volA/main"} << false << false;
        QTest::newRow("not ready") << QStringList{"volC/cards", "volA/main"} << true << false;
        // Empty fields stand for the start-up folder and must not wipe it out.
        QTest::newRow("empty") << QStringList{"", ""} << false << false;
    }

    void loadStepThenCancel() {
        QFETCH(QStringList, saved);
        QFETCH(bool, notReady);
        QFETCH(bool, loads);
        QString folders[2], inFile[2];
        for (int i = 0; i < 2; ++i) {
            inFile[i] = saved[i].isEmpty() ? QString() : path(saved[i]);
            folders[i] = saved[i].isEmpty() ? m_start : inFile[i];
        }
        writeFile(settingsFilePath(), formatSettingsLine(inFile[0], inFile[1], "A", "1").toUtf8());
        const QByteArray before = readFile(settingsFilePath());
        MainFolder = folders[0];
        DestFolder = folders[1];
        if (notReady)
            (*m_volumes)->notReady.insert(path("volC"));
        QPointer<f2> dialog = open();
        QVERIFY(dialog);
        const QString shownBefore = m_main->d2->path();
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(dialog->d1[i]->drive(), Volumes::instance().driveOf(folders[i]));
            QCOMPARE(dialog->d2[i]->path(), loads ? folders[i] : m_start);
            QCOMPARE(dialog->d3[i]->text(), loads ? folders[i] : m_start);
        }
        QCOMPARE(m_messages->texts(), notReady ? QStringList{notReadyText} : QStringList());

        dialog->d1[0]->setDrive(path("volB"));
        dialog->d2[0]->setPath(path("volB/pics"));
        dialog->d2[1]->setPath(path("volA"));
        QCOMPARE(dialog->d3[0]->text(), path("volB/pics"));
        if (notReady) // the close box
            dialog->close();
        else
            QTest::mouseClick(dialog->exitb, Qt::LeftButton);
        flushDeletes();
        QVERIFY(!dialog);
        QCOMPARE(readFile(settingsFilePath()), before);
        QCOMPARE(MainFolder, folders[0]);
        QCOMPARE(DestFolder, folders[1]);
        QCOMPARE(m_main->d2->path(), shownBefore);
    }

    // First use; the main folder picked on another drive or typed, the prefix
    // changed in the main window meanwhile, then OK. Once the file is written,
    // it, the shared folders and the labels agree, and the main window's lists
    // follow a folder they can show; else nothing changes.
    void ok_data() {
        QTest::addColumn<QString>("main");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<int>("err"); // of the write
        QTest::newRow("picked on another drive") << "volB/pics" << true << 0;
        QTest::newRow("typed, deleted") << "volA/gone" << false << 0;
        QTest::newRow("typed, drive not ready") << "volC/cards" << false << 0;
        // Running as root, access rights would not stop the write: a folder in
        // the file's place does.
        QTest::newRow("file is a folder") << "volA/main" << false << int(GeneralFailure);
        QTest::newRow("no program folder") << "volA/main" << false << int(PathNotFound);
    }

    void ok() {
        QFETCH(QString, main);
        QFETCH(bool, shown);
        QFETCH(int, err);
        if (err == GeneralFailure)
            QVERIFY(QDir().mkpath(settingsFilePath()));
        else if (err == PathNotFound)
            AppDir = withTrailingSeparator(path("nowhere"));
        QPointer<f2> dialog = open();
        QVERIFY(dialog);
        QVERIFY(!dialog->isModal() && m_main->isEnabled());
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QCOMPARE(QApplication::focusWidget(), dialog->OKB);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(dialog->d1[i]->drive(), path("volA"));
            QCOMPARE(dialog->d3[i]->text(), m_start);
        }
        const QString mainFolder = path(main), destFolder = path("volB/other");
        if (shown) {
            // Another drive opens on its root; the user opens a folder on it.
            dialog->d1[0]->setDrive(path("volB"));
            QCOMPARE(dialog->d3[0]->text(), path("volB"));
            dialog->d2[0]->setPath(mainFolder);
            const QString dir = qEnvironmentVariable("POMIV_BUILD_DIR", QDir::currentPath());
            QVERIFY(dialog->grab().save(QDir(dir).filePath("f2.png")));
        } else {
            dialog->d3[0]->clear();
            QTest::keyClicks(dialog->d3[0], mainFolder);
        }
        QCOMPARE(dialog->d3[0]->text(), mainFolder);
        dialog->d3[1]->clear();
        QTest::keyClicks(dialog->d3[1], destFolder);
        // The menu item again brings this dialog forward without loading it again.
        m_main->m1_1->trigger();
        QCOMPARE(topLevels<f2>().size(), 1);
        (*m_volumes)->notReady.insert(path("volC")); // the card is out by now
        m_main->tx[1]->setText("img");
        m_main->tx[2]->setText("120");
        QTest::keyClick(dialog->OKB, Qt::Key_Return);
        flushDeletes();
        if (err) {
            QCOMPARE(m_messages->texts(), QStringList{errorText(err)});
            QVERIFY(dialog && dialog->isVisible());
            QVERIFY(!QFileInfo(settingsFilePath()).isFile());
            QCOMPARE(MainFolder, m_start);
            QCOMPARE(m_main->d2->path(), m_start);
            return;
        }
        QVERIFY(!dialog);
        QCOMPARE(readFile(settingsFilePath()),
                 formatSettingsLine(mainFolder, destFolder, "img", "120").toUtf8());
        QCOMPARE(MainFolder, mainFolder);
        QCOMPARE(DestFolder, destFolder);
        QCOMPARE(m_main->fr[1]->text(), mainFolder);
        QCOMPARE(m_main->fr[0]->text(), destFolder);
        QCOMPARE(m_main->d1->drive(), path(shown ? "volB" : "volA"));
        QCOMPARE(m_main->d2->path(), shown ? mainFolder : m_start);
        QCOMPARE(m_main->d3->names(), shown ? QStringList{"a.jpg"} : QStringList());
        QCOMPARE(m_messages->texts(), QStringList(main == "volC/cards" ? 1 : 0, notReadyText));
    }

    void driveNotReadyInEitherHalf() {
        f2 *dialog = open();
        QVERIFY(dialog);
        (*m_volumes)->notReady.insert(path("volC"));
        for (int half = 0; half < 2; ++half) {
            dialog->d2[half]->setPath(path("volA/start/sub1"));
            dialog->d1[half]->setDrive(path("volC"));
            QCOMPARE(dialog->d3[half]->text(), path("volA/start/sub1"));
        }
        QCOMPARE(m_messages->texts(), (QStringList{notReadyText, notReadyText}));
    }
};

QTEST_MAIN(F2Test)
#include "f2_test.moc"
