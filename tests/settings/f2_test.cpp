// The settings dialog: what it shows when it opens, what OK saves and
// applies to the main window, and what Cancel leaves alone.

#include "app/pmvmin.h"
#include "platform/DataFile.h"
#include "platform/DriveList.h"
#include "platform/Errors.h"
#include "platform/FileList.h"
#include "platform/FolderList.h"
#include "platform/Paths.h"
#include "platform/Ui.h"
#include "platform/Volumes.h"
#include "settings/SettingsFile.h"
#include "settings/Shared.h"
#include "settings/f2.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
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

QString jp(const char *utf8) {
    return QString::fromUtf8(utf8);
}

// A picture of a window under the build folder, to look at by eye.
void saveScreenshot(QWidget *w) {
    const QString dir = qEnvironmentVariable("POMIV_BUILD_DIR", QDir::currentPath());
    QVERIFY(w->grab().save(QDir(dir).filePath(w->objectName() + QStringLiteral(".png"))));
}

QByteArray settingsLine(const QString &a, const QString &b, const QString &c, const QString &d) {
    return formatSettingsLine(a, b, c, d).toUtf8();
}

} // namespace

class F2Test : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installFontSubstitutions(); }
    void init();
    void cleanup();

    void firstUseWithoutSettingsFile();
    void opensOnSavedFolders();
    void loadStepStopsQuietlyOnAMissingFolder();
    void loadStepReportsADriveThatIsNotReady();
    void emptyFieldsInTheFileKeepTheFolders();
    void prefixChangedWhileOpenIsSaved();
    void cancelChangesNothing_data();
    void cancelChangesNothing();
    void mainFolderOnAnotherVolume();
    void typedFoldersAreSavedAndApplied();
    void driveNotReadyInEitherHalf_data();
    void driveNotReadyInEitherHalf();
    void okWithUnwritableSettingsFile_data();
    void okWithUnwritableSettingsFile();
    void okWhenTheMainFolderCannotBeShown_data();
    void okWhenTheMainFolderCannotBeShown();
    void oneInstance();
    void windowAndKeyboard();

private:
    // The main window as it stands after start-up: lists on the main folder,
    // the folder labels and the transfer fields filled.
    void openMain(const QString &prefix = QString(), const QString &number = QString());
    f2 *openDialog();
    void writeSettings(const QString &mainFolder, const QString &destFolder,
                       const QString &prefix = QString(), const QString &number = QString());
    QByteArray settingsBytes() const { return readFile(settingsFilePath()); }
    // Opens a folder in a folder list as the user does, by double-clicking it.
    static void doubleClickFolder(FolderList *list, const QString &folder);
    // Picks a drive in a drive list as the user does.
    static void pickDrive(DriveList *list, const QString &root);
    static void flushDeletes();
    QString path(const QString &relative) const {
        return QDir::toNativeSeparators(m_tmp->path() + QLatin1Char('/') + relative);
    }

    std::unique_ptr<QTemporaryDir> m_tmp;
    std::unique_ptr<VolumesOverride> m_volumes;
    std::unique_ptr<MessageRecorder> m_messages;
    std::unique_ptr<pmvmin> m_main;
    QString m_start, m_volA, m_volB, m_volC;
};

void F2Test::init() {
    m_tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_tmp->isValid());
    m_volA = path(QStringLiteral("volA"));
    m_volB = path(QStringLiteral("volB"));
    m_volC = path(QStringLiteral("volC"));
    m_start = path(QStringLiteral("volA/start"));
    for (const char *folder : {"app", "volA/start/sub1", "volA/main", "volA/dest", "volB/pics",
                               "volB/other", "volC/cards"})
        QVERIFY(QDir().mkpath(path(QString::fromLatin1(folder))));
    writeFile(path(QStringLiteral("volB/pics/a.jpg")), "x");
    writeFile(path(QStringLiteral("volA/start/s.jpg")), "x");

    m_volumes = std::make_unique<VolumesOverride>(QStringList{m_volA, m_volB, m_volC});
    Volumes::setStartupFolder(m_start);
    QDir::setCurrent(m_start);
    m_messages = std::make_unique<MessageRecorder>();
    AppDir = withTrailingSeparator(path(QStringLiteral("app")));
    MainFolder.clear();
    DestFolder.clear();
}

void F2Test::cleanup() {
    test::deleteTopLevels<f2>();
    m_main.reset();
    flushDeletes();
    m_messages.reset();
    m_volumes.reset();
    QDir::setCurrent(QDir::tempPath());
    m_tmp.reset();
}

void F2Test::openMain(const QString &prefix, const QString &number) {
    if (MainFolder.isEmpty())
        MainFolder = m_start;
    if (DestFolder.isEmpty())
        DestFolder = m_start;
    m_main = std::make_unique<pmvmin>();
    m_main->tx[1]->setText(prefix);
    m_main->tx[2]->setText(number);
    m_main->fr[0]->setText(DestFolder);
    m_main->fr[1]->setText(MainFolder);
    // A main folder that cannot be shown leaves the lists on the start-up folder.
    m_main->d2->setPath(MainFolder);
    m_main->d1->setDrive(m_main->d2->path());
    m_main->show();
}

f2 *F2Test::openDialog() {
    m_main->m1_1_Click();
    const auto dialogs = test::topLevels<f2>();
    return dialogs.size() == 1 ? dialogs.front() : nullptr;
}

void F2Test::writeSettings(const QString &mainFolder, const QString &destFolder,
                           const QString &prefix, const QString &number) {
    writeFile(settingsFilePath(), settingsLine(mainFolder, destFolder, prefix, number));
}

void F2Test::doubleClickFolder(FolderList *list, const QString &folder) {
    for (int row = 0; row < list->count(); ++row) {
        if (list->rowPath(row) == folder) {
            emit list->itemDoubleClicked(list->item(row));
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no row for ") + folder));
}

void F2Test::pickDrive(DriveList *list, const QString &root) {
    list->reload();
    const int index = list->findText(root);
    QVERIFY(index >= 0);
    list->setCurrentIndex(index);
    emit list->activated(index);
}

void F2Test::flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void F2Test::firstUseWithoutSettingsFile() {
    openMain(QStringLiteral("A"), QStringLiteral("1"));
    QPointer<f2> dialog = openDialog();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(dialog->d2[i]->path(), m_start);
        QCOMPARE(dialog->d3[i]->text(), m_start);
        QCOMPARE(dialog->d1[i]->drive(), m_volA);
    }
    QVERIFY(m_messages.get()->shown().isEmpty());

    QTest::mouseClick(dialog->OKB, Qt::LeftButton);
    QCOMPARE(settingsBytes(),
             settingsLine(m_start, m_start, QStringLiteral("A"), QStringLiteral("1")));
    QVERIFY(!dialog || !dialog->isVisible());
    flushDeletes();
    QVERIFY(!dialog);
    QCOMPARE(MainFolder, m_start);
    QCOMPARE(DestFolder, m_start);
    QVERIFY(m_messages.get()->shown().isEmpty());
}

void F2Test::opensOnSavedFolders() {
    const QString mainFolder = path(QStringLiteral("volA/main"));
    const QString destFolder = path(QStringLiteral("volB/other"));
    writeSettings(mainFolder, destFolder, QStringLiteral("P"), QStringLiteral("9"));
    MainFolder = mainFolder;
    DestFolder = destFolder;
    openMain(QStringLiteral("P"), QStringLiteral("9"));
    f2 *dialog = openDialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->d1[0]->drive(), m_volA);
    QCOMPARE(dialog->d2[0]->path(), mainFolder);
    QCOMPARE(dialog->d3[0]->text(), mainFolder);
    QCOMPARE(dialog->d1[1]->drive(), m_volB);
    QCOMPARE(dialog->d2[1]->path(), destFolder);
    QCOMPARE(dialog->d3[1]->text(), destFolder);
    QVERIFY(m_messages.get()->shown().isEmpty());
}

void F2Test::loadStepStopsQuietlyOnAMissingFolder() {
    // The main folder was deleted since it was saved: the load stops there,
    // so neither half moves, and nothing is said.
    const QString gone = path(QStringLiteral("volA/gone"));
    writeSettings(gone, path(QStringLiteral("volA/dest")));
    MainFolder = gone;
    DestFolder = path(QStringLiteral("volA/dest"));
    openMain();
    f2 *dialog = openDialog();
    QVERIFY(dialog);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(dialog->d2[i]->path(), m_start);
        QCOMPARE(dialog->d3[i]->text(), m_start);
    }
    QCOMPARE(MainFolder, gone);
    QVERIFY(m_messages.get()->shown().isEmpty());
}

void F2Test::loadStepReportsADriveThatIsNotReady() {
    const QString onCard = path(QStringLiteral("volC/cards"));
    writeSettings(onCard, path(QStringLiteral("volA/dest")));
    openMain();
    (*m_volumes)->notReady.insert(m_volC);
    f2 *dialog = openDialog();
    QVERIFY(dialog);
    QCOMPARE(m_messages->texts(), QStringList{jp("ドライブの準備ができていません")});
    QCOMPARE(m_messages.get()->shown().front().buttons, MsgButtons::Ok);
    QCOMPARE(m_messages.get()->shown().front().icon, MsgIcon::None);
    // The drive list shows the card's drive; the folder lists stay put.
    QCOMPARE(dialog->d1[0]->drive(), m_volC);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(dialog->d2[i]->path(), m_start);
        QCOMPARE(dialog->d3[i]->text(), m_start);
    }
}

void F2Test::emptyFieldsInTheFileKeepTheFolders() {
    // A hand-edited file with empty folders: the main window stands for them
    // with the start-up folder, and opening and cancelling must not wipe the
    // shared folders out.
    writeSettings(QString(), QString(), QStringLiteral("A"), QStringLiteral("3"));
    const QByteArray before = settingsBytes();
    openMain(QStringLiteral("A"), QStringLiteral("3"));
    f2 *dialog = openDialog();
    QVERIFY(dialog);
    QCOMPARE(MainFolder, m_start);
    QCOMPARE(DestFolder, m_start);
    QCOMPARE(dialog->d3[0]->text(), m_start);
    QCOMPARE(dialog->d3[1]->text(), m_start);
    QTest::mouseClick(dialog->exitb, Qt::LeftButton);
    QCOMPARE(MainFolder, m_start);
    QCOMPARE(DestFolder, m_start);
    QCOMPARE(settingsBytes(), before);
}

void F2Test::prefixChangedWhileOpenIsSaved() {
    writeSettings(m_start, m_start, QStringLiteral("old"), QStringLiteral("5"));
    openMain(QStringLiteral("old"), QStringLiteral("5"));
    f2 *dialog = openDialog();
    QVERIFY(dialog);
    doubleClickFolder(dialog->d2[1], path(QStringLiteral("volA/start/sub1")));

    // The user goes back to the main window and types there meanwhile.
    m_main->tx[1]->setText(jp("新しい"));
    m_main->tx[2]->setText(QStringLiteral("120"));
    QTest::mouseClick(dialog->OKB, Qt::LeftButton);

    const QStringList fields = readSettingsFields(decodeDataText(settingsBytes()));
    QCOMPARE(fields, (QStringList{m_start, path(QStringLiteral("volA/start/sub1")), jp("新しい"),
                                  QStringLiteral("120")}));
    QCOMPARE(DestFolder, path(QStringLiteral("volA/start/sub1")));
    QCOMPARE(m_main->fr[0]->text(), DestFolder);
}

void F2Test::cancelChangesNothing_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("キャンセル") << false;
    QTest::newRow("close box") << true;
}

void F2Test::cancelChangesNothing() {
    QFETCH(bool, closeBox);
    const QString mainFolder = path(QStringLiteral("volA/main"));
    const QString destFolder = path(QStringLiteral("volA/dest"));
    writeSettings(mainFolder, destFolder, QStringLiteral("A"), QStringLiteral("2"));
    const QByteArray before = settingsBytes();
    MainFolder = mainFolder;
    DestFolder = destFolder;
    openMain(QStringLiteral("A"), QStringLiteral("2"));
    const QString tx0 = m_main->tx[0]->text();

    QPointer<f2> dialog = openDialog();
    QVERIFY(dialog);
    pickDrive(dialog->d1[0], m_volB);
    doubleClickFolder(dialog->d2[0], path(QStringLiteral("volB/pics")));
    doubleClickFolder(dialog->d2[1], path(QStringLiteral("volA")));
    QCOMPARE(dialog->d3[0]->text(), path(QStringLiteral("volB/pics")));
    QCOMPARE(dialog->d3[1]->text(), m_volA);

    if (closeBox)
        dialog->close();
    else
        QTest::mouseClick(dialog->exitb, Qt::LeftButton);
    flushDeletes();
    QVERIFY(!dialog);

    QCOMPARE(settingsBytes(), before);
    QCOMPARE(MainFolder, mainFolder);
    QCOMPARE(DestFolder, destFolder);
    QCOMPARE(m_main->d1->drive(), m_volA);
    QCOMPARE(m_main->d2->path(), mainFolder);
    QCOMPARE(m_main->d3->path(), mainFolder);
    QCOMPARE(m_main->tx[0]->text(), tx0);
    QCOMPARE(m_main->fr[0]->text(), destFolder);
    QCOMPARE(m_main->fr[1]->text(), mainFolder);
    QVERIFY(m_messages.get()->shown().isEmpty());
}

void F2Test::mainFolderOnAnotherVolume() {
    openMain(QStringLiteral("img"), QStringLiteral("10"));
    QCOMPARE(m_main->d3->count(), 1); // s.jpg
    f2 *dialog = openDialog();
    QVERIFY(dialog);

    // Another drive opens on its root; the user then opens a folder on it.
    pickDrive(dialog->d1[0], m_volB);
    QCOMPARE(dialog->d2[0]->path(), m_volB);
    QCOMPARE(dialog->d3[0]->text(), m_volB);
    const QString pics = path(QStringLiteral("volB/pics"));
    doubleClickFolder(dialog->d2[0], pics);
    QCOMPARE(dialog->d3[0]->text(), pics);
    QCOMPARE(dialog->d2[1]->path(), m_start); // the other half stays
    QCOMPARE(dialog->d3[1]->text(), m_start);

    saveScreenshot(dialog);
    QTest::mouseClick(dialog->OKB, Qt::LeftButton);

    QCOMPARE(settingsBytes(),
             settingsLine(pics, m_start, QStringLiteral("img"), QStringLiteral("10")));
    QCOMPARE(MainFolder, pics);
    QCOMPARE(DestFolder, m_start);
    QCOMPARE(m_main->d1->drive(), m_volB);
    QCOMPARE(m_main->d2->path(), pics);
    QCOMPARE(m_main->d3->path(), pics);
    QCOMPARE(m_main->d3->names(), QStringList{QStringLiteral("a.jpg")});
    QCOMPARE(m_main->tx[0]->text(), pics);
    QVERIFY(m_main->OKB->isEnabled());
    QCOMPARE(m_main->fr[1]->text(), pics);
    QCOMPARE(m_main->fr[0]->text(), m_start);
    QVERIFY(m_messages.get()->shown().isEmpty());
}

void F2Test::typedFoldersAreSavedAndApplied() {
    openMain();
    f2 *dialog = openDialog();
    QVERIFY(dialog);
    const QString mainFolder = path(QStringLiteral("volA/main"));
    const QString destFolder = path(QStringLiteral("volB/other"));
    dialog->d3[0]->clear();
    QTest::keyClicks(dialog->d3[0], mainFolder);
    dialog->d3[1]->clear();
    QTest::keyClicks(dialog->d3[1], destFolder);
    QTest::mouseClick(dialog->OKB, Qt::LeftButton);

    QCOMPARE(settingsBytes(), settingsLine(mainFolder, destFolder, QString(), QString()));
    QCOMPARE(MainFolder, mainFolder);
    QCOMPARE(DestFolder, destFolder);
    QCOMPARE(m_main->d2->path(), mainFolder);
    QCOMPARE(m_main->d3->path(), mainFolder);
    QVERIFY(!m_main->OKB->isEnabled()); // volA/main holds no pictures
}

void F2Test::driveNotReadyInEitherHalf_data() {
    QTest::addColumn<int>("half");
    QTest::newRow("main folder") << 0;
    QTest::newRow("destination folder") << 1;
}

void F2Test::driveNotReadyInEitherHalf() {
    QFETCH(int, half);
    openMain();
    f2 *dialog = openDialog();
    QVERIFY(dialog);
    const QString sub = path(QStringLiteral("volA/start/sub1"));
    doubleClickFolder(dialog->d2[half], sub);

    (*m_volumes)->notReady.insert(m_volC);
    pickDrive(dialog->d1[half], m_volC);
    QCOMPARE(m_messages->texts(), QStringList{jp("ドライブの準備ができていません")});
    QCOMPARE(m_messages.get()->shown().front().icon, MsgIcon::None);
    QCOMPARE(dialog->d1[half]->drive(), m_volC);
    QCOMPARE(dialog->d2[half]->path(), sub);
    QCOMPARE(dialog->d3[half]->text(), sub);
    const int other = 1 - half;
    QCOMPARE(dialog->d1[other]->drive(), m_volA);
    QCOMPARE(dialog->d2[other]->path(), m_start);
    QCOMPARE(dialog->d3[other]->text(), m_start);

    // Once the card is in, picking the drive again works.
    (*m_volumes)->notReady.clear();
    pickDrive(dialog->d1[half], m_volA);
    pickDrive(dialog->d1[half], m_volC);
    QCOMPARE(dialog->d2[half]->path(), m_volC);
    QCOMPARE(dialog->d3[half]->text(), m_volC);
    QCOMPARE(m_messages.get()->shown().size(), 1);
}

void F2Test::okWithUnwritableSettingsFile_data() {
    QTest::addColumn<bool>("folderMissing");
    QTest::addColumn<int>("err");
    // Running as root, access rights would not stop the write: a folder in
    // the file's place does.
    QTest::newRow("folder in the file's place") << false << int(GeneralFailure);
    QTest::newRow("program folder gone") << true << int(PathNotFound);
}

void F2Test::okWithUnwritableSettingsFile() {
    QFETCH(bool, folderMissing);
    QFETCH(int, err);
    openMain(QStringLiteral("A"), QStringLiteral("1"));
    if (folderMissing)
        AppDir = withTrailingSeparator(path(QStringLiteral("nowhere")));
    else
        QVERIFY(QDir().mkpath(settingsFilePath()));
    const QString tx0 = m_main->tx[0]->text();

    QPointer<f2> dialog = openDialog();
    QVERIFY(dialog);
    QVERIFY(m_messages.get()->shown().isEmpty());
    doubleClickFolder(dialog->d2[0], path(QStringLiteral("volA/start/sub1")));
    QTest::mouseClick(dialog->OKB, Qt::LeftButton);
    flushDeletes();

    QCOMPARE(m_messages->texts(), QStringList{errorText(err)});
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(MainFolder, m_start);
    QCOMPARE(DestFolder, m_start);
    QCOMPARE(m_main->d2->path(), m_start);
    QCOMPARE(m_main->tx[0]->text(), tx0);
    QCOMPARE(m_main->fr[1]->text(), m_start);
    QCOMPARE(QFileInfo(settingsFilePath()).isFile(), false);

    // Once the file can be written again, OK goes through.
    if (folderMissing)
        QVERIFY(QDir().mkpath(path(QStringLiteral("nowhere"))));
    else
        QVERIFY(QDir().rmdir(settingsFilePath()));
    QTest::mouseClick(dialog->OKB, Qt::LeftButton);
    QCOMPARE(m_messages.get()->shown().size(), 1);
    QCOMPARE(MainFolder, path(QStringLiteral("volA/start/sub1")));
    QCOMPARE(m_main->d2->path(), MainFolder);
    QVERIFY(QFileInfo(settingsFilePath()).isFile());
}

void F2Test::okWhenTheMainFolderCannotBeShown_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("notReady");
    QTest::newRow("deleted") << QStringLiteral("volA/gone") << false;
    QTest::newRow("drive not ready") << QStringLiteral("volC/cards") << true;
}

void F2Test::okWhenTheMainFolderCannotBeShown() {
    QFETCH(QString, typed);
    QFETCH(bool, notReady);
    openMain(QStringLiteral("A"), QStringLiteral("1"));
    const QString tx0 = m_main->tx[0]->text();
    QPointer<f2> dialog = openDialog();
    QVERIFY(dialog);
    const QString mainFolder = path(typed);
    dialog->d3[0]->setText(mainFolder);
    if (notReady)
        (*m_volumes)->notReady.insert(m_volC);
    QTest::mouseClick(dialog->OKB, Qt::LeftButton);

    // The file and the shared folders agree; the lists stay where they were.
    QCOMPARE(settingsBytes(),
             settingsLine(mainFolder, m_start, QStringLiteral("A"), QStringLiteral("1")));
    QCOMPARE(MainFolder, mainFolder);
    QCOMPARE(DestFolder, m_start);
    QCOMPARE(m_main->fr[1]->text(), mainFolder);
    QCOMPARE(m_main->fr[0]->text(), m_start);
    QCOMPARE(m_main->d1->drive(), m_volA);
    QCOMPARE(m_main->d2->path(), m_start);
    QCOMPARE(m_main->d3->path(), m_start);
    QCOMPARE(m_main->tx[0]->text(), tx0);
    const QStringList expected =
        notReady ? QStringList{jp("ドライブの準備ができていません")} : QStringList();
    QCOMPARE(m_messages->texts(), expected);
    flushDeletes();
    QVERIFY(!dialog);
}

void F2Test::oneInstance() {
    openMain();
    QPointer<f2> first = openDialog();
    QVERIFY(first);
    first->d3[0]->setText(QStringLiteral("typed"));

    // Choosing the menu item again brings the open dialog forward without
    // loading it again.
    m_main->m1_1->trigger();
    QCOMPARE(test::topLevels<f2>().size(), 1);
    QCOMPARE(first->d3[0]->text(), QStringLiteral("typed"));
    QVERIFY(first->isVisible());

    first->close();
    flushDeletes();
    QVERIFY(!first);
    QPointer<f2> second = openDialog();
    QVERIFY(second);
    QCOMPARE(second->d3[0]->text(), m_start);
}

void F2Test::windowAndKeyboard() {
    openMain();
    QPointer<f2> dialog = openDialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), jp("環境設定"));
    QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
    QVERIFY(!dialog->isModal());
    QVERIFY(m_main->isEnabled());
    QVERIFY(!dialog->d3[0]->isReadOnly());

    // OK comes first in keyboard order; Enter presses the focused button.
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    QCOMPARE(QApplication::focusWidget(), dialog->OKB);
    QTest::keyClick(dialog->OKB, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), dialog->exitb);
    QTest::keyClick(dialog->exitb, Qt::Key_Return);
    flushDeletes();
    QVERIFY(!dialog);
    QVERIFY(!QFileInfo::exists(settingsFilePath()));
}

QTEST_MAIN(F2Test)
#include "f2_test.moc"
