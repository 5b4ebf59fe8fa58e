// The settings dialog: what it shows when it opens, what OK saves and
// applies to the main window, and what Cancel leaves alone.

#include "app/pmvmin.h"
#include "controls/DriveList.h"
#include "controls/FileList.h"
#include "controls/FolderList.h"
#include "core/Errors.h"
#include "settings/Shared.h"
#include "settings/f2.h"
#include "settings/rules/SettingsFile.h"
#include "tests/support/TestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

using namespace pomiv;
using namespace pomiv::test;

// The saved main and destination folder (none: no file); whether the dialog's
// halves show them; the main folder picked (volB/pics) or typed; how the
// dialog is left ("ok", "cancel" or "close box"); the error of the write.
struct Session {
    QStringList saved;
    bool loads;
    QString main, close;
    Error err = Ok;
};

// Drives volA to volC made of folders, volC not ready; the program starts in
// volA/start.
class SettingsDialogTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_tmp;

    QString path(const QString &relative) const {
        return relative.isEmpty() ? QString() : QDir::toNativeSeparators(m_tmp.filePath(relative));
    }

private slots:
    void initTestCase() {
        for (const char *folder : {"volA/start", "volA/main", "volB/pics", "volB/other", "volC"})
            QVERIFY(QDir().mkpath(path(folder)));
        writeFile(path("volB/pics/a.jpg"), "x");
        Volumes::setStartupFolder(path("volA/start"));
    }

    void cleanup() { qDeleteAll(topLevels<f2>()); }

    // The dialog opens on the saved folders, stopping at one it cannot show;
    // a drive that is not ready leaves either half where it was. The main
    // folder is picked on another drive or typed, the prefix changed in the
    // main window meanwhile. Once OK has written the file, it, the shared
    // folders and the labels agree, and the main window's lists follow a
    // folder they can show; Cancel, the close box or a failed write change
    // nothing.
    void dialog_data() {
        QTest::addColumn<Session>("s");
        const auto row = [](const char *name, const Session &s) { QTest::newRow(name) << s; };
        row("saved, cancelled", {{"volA/main", "volA/start"}, true, "volB/pics", "cancel"});
        row("not ready, close box", {{"volC", "volA/main"}, false, "volB/pics", "close box"});
        row("deleted, typed", {{"volA/gone", "volA/main"}, false, "volA/gone", "ok"});
        // Empty fields stand for the start-up folder and must not wipe it out.
        row("empty, picked", {{"", ""}, false, "volB/pics", "ok"});
        row("first use, typed, not ready", {{}, false, "volC", "ok"});
        // Running as root, access rights would not stop the write: a folder in
        // the file's place does.
        row("file is a folder", {{}, false, "volA/main", "ok", GeneralFailure});
    }

    void dialog() {
        QFETCH(Session, s);
        const auto &[saved, loads, main, close, err] = s;
        VolumesOverride volumes({path("volA"), path("volB"), path("volC")});
        volumes->notReady.insert(path("volC"));
        MessageRecorder messages;
        QTemporaryDir app;
        AppDir = app.path() + '/';
        if (err == GeneralFailure)
            QVERIFY(QDir().mkpath(settingsFilePath(AppDir)));
        if (!saved.isEmpty())
            writeFile(settingsFilePath(AppDir),
                      formatSettingsLine({path(saved[0]), path(saved[1]), "A", "1"}).toUtf8());
        const QByteArray before = readFile(settingsFilePath(AppDir));
        const QString start = path("volA/start");
        const QString folders[] = {saved.value(0).isEmpty() ? start : path(saved[0]),
                                   saved.value(1).isEmpty() ? start : path(saved[1])};
        MainFolder = folders[0];
        DestFolder = folders[1];

        pmvmin window; // as after start-up, on MainFolder where it can
        window.d2->setPath(MainFolder);
        const QString shownBefore = window.d2->path();
        window.show();
        window.m1_1_Click();
        QPointer<f2> dialog = topLevels<f2>().value(0);
        QVERIFY(dialog && !dialog->isModal() && window.isEnabled());
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QCOMPARE(QApplication::focusWidget(), dialog->OKB);
        const QString notReady = QString::fromUtf8("ドライブの準備ができていません");
        QStringList shown(folders[0].startsWith(path("volC")) ? 1 : 0, notReady);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(dialog->d1[i]->drive(), Volumes::instance().driveOf(folders[i]));
            QCOMPARE(dialog->d2[i]->path(), loads ? folders[i] : start);
            QCOMPARE(dialog->d3[i]->text(), dialog->d2[i]->path());
            // Another drive opens on its root.
            dialog->d1[i]->setDrive(path("volB"));
            QCOMPARE(dialog->d3[i]->text(), path("volB"));
            dialog->d1[i]->setDrive(path("volC"));
            QCOMPARE(dialog->d3[i]->text(), path("volB"));
            shown << notReady;
        }
        const QString mainFolder = path(main), destFolder = path("volB/other");
        const bool picked = main == "volB/pics";
        if (picked)
            dialog->d2[0]->setPath(mainFolder);
        for (int i = picked ? 1 : 0; i < 2; ++i) {
            dialog->d3[i]->clear();
            QTest::keyClicks(dialog->d3[i], i ? destFolder : mainFolder);
        }
        // The menu item again brings this dialog forward without loading it again.
        window.m1_1->trigger();
        QCOMPARE(topLevels<f2>(), QList<f2 *>{dialog});
        window.tx[1]->setText("img");
        window.tx[2]->setText("120");
        if (close == "ok")
            QTest::keyClick(dialog->OKB, Qt::Key_Return);
        else if (close == "cancel")
            QTest::mouseClick(dialog->exitb, Qt::LeftButton);
        else
            dialog->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const bool written = close == "ok" && !failed(err);
        if (failed(err))
            shown << errorText(err);
        else if (written && main == "volC")
            shown << notReady;
        QCOMPARE(messages.texts(), shown);
        QCOMPARE(!dialog, !failed(err));
        QCOMPARE(readFile(settingsFilePath(AppDir)),
                 written ? formatSettingsLine({mainFolder, destFolder, "img", "120"}).toUtf8()
                         : before);
        const QStringList now{MainFolder, DestFolder, window.fr[1]->text(), window.fr[0]->text()};
        QCOMPARE(now, written ? QStringList({mainFolder, destFolder, mainFolder, destFolder})
                              : QStringList({folders[0], folders[1], "", ""}));
        QCOMPARE(window.d1->drive(), Volumes::instance().driveOf(window.d2->path()));
        QCOMPARE(window.d2->path(), written && picked ? mainFolder : shownBefore);
        QCOMPARE(window.d3->names(), written && picked ? QStringList{"a.jpg"} : QStringList());
    }
};

QTEST_MAIN(SettingsDialogTest)
#include "tst_settingsdialog.moc"
