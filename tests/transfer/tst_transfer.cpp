// The main window's transfer controls: the selection list, and what a run
// leaves in the window and tells the user.

#include "app/pmvmin.h"
#include "controls/FileList.h"
#include "controls/FolderList.h"
#include "core/Errors.h"
#include "core/FileService.h"
#include "settings/Shared.h"
#include "tests/support/TestSupport.h"

#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <unistd.h>

using namespace pomiv;
using namespace pomiv::test;

// The source folder holds x.jpg and y.gif; the destination folder is empty.
class TransferTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MessageRecorder> m_messages;
    std::unique_ptr<pmvmin> w;

private slots:
    void init() {
        FileService::setCopyFaultForTests(nullptr);
        w.reset();
        m_messages.reset();
        m_dir = std::make_unique<QTemporaryDir>();
        MainFolder = m_dir->filePath("src");
        DestFolder = m_dir->filePath("dst");
        AppDir = m_dir->filePath("app/");
        QDir().mkpath(DestFolder);
        QDir().mkpath(AppDir);
        writeFile(MainFolder + "/x.jpg", "x");
        writeFile(MainFolder + "/y.gif", "y");
        m_messages = std::make_unique<MessageRecorder>();
        w = std::make_unique<pmvmin>();
        QCOMPARE(w->d2->setPath(MainFolder), Ok);
    }

    // A name that is no UTF-8 is copied by its bytes, not by the text shown.
    void selectionAndNamesNoUtf8() {
        writeRaw(MainFolder, "a\xff.jpg", "\xff");
        w->d3->refresh();
        QCOMPARE(w->d3->count(), 3);
        for (const int row : {2, 0})
            w->d3->selectionModel()->select(w->d3->model()->index(row, 0),
                                            QItemSelectionModel::Select);
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QCOMPARE(items(w->d4), QStringList({"a\ufffd.jpg", "x.jpg", "y.gif"}));
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QCOMPARE(items(w->d4), QStringList({"a\ufffd.jpg", "y.gif"}));
        QTest::mouseClick(w->Command3, Qt::LeftButton);
        QCOMPARE(items(w->d4), QStringList());
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        w->tx[1]->setText("A");
        w->tx[2]->setText("1");
        QTest::mouseClick(w->st, Qt::LeftButton);
        QCOMPARE(readFile(DestFolder + "/A1.jpg"), QByteArray("\xff"));
        ::unlink((QFile::encodeName(MainFolder) + "/a\xff.jpg").constData());
    }

    // x.jpg and y.gif picked (but for "unpicked"). Fields: prefix|number
    // typed > as left; the selection list and the progress after the run;
    // "!": the critical icon.
    void run_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QStringList>("selection");
        QTest::addColumn<int>("progress");
        QTest::addColumn<QString>("message");
        const QString typeError = "正しく入力してください、" + errorText(TypeMismatch);
        const QStringList none, one{"A1.jpg"};
        // clang-format off
        QTest::newRow("done") << "" << "A|1>A|3" << none << 0 << "";
        QTest::newRow("no destination") << "none" << "A|1>A|3" << none << 0 << "";
        QTest::newRow("clash") << "clash" << "A|1>A|2" << one << 1 << "!同名ファイルがあります";
        QTest::newRow("copy fails") << "copy" << "A|1>A|2" << one << 1 << "";
        QTest::newRow("no destination folder") << "dest" << "A|1>A|1" << none << 0 << "!ドライブの準備ができません";
        QTest::newRow("nothing picked") << "unpicked" << "A|1>A|1" << none << 1 << "";
        QTest::newRow("abc") << "" << "A|abc>|" << none << 0 << typeError;
        QTest::newRow("no prefix") << "" << "|1>|1" << none << 1 << "正しく入力してください";
        QTest::newRow("no number") << "" << "A|>A|" << none << 1 << "正しく入力してください";
        // clang-format on
    }

    void run() {
        QFETCH(QString, setup);
        QFETCH(QString, fields);
        QFETCH(QStringList, selection);
        QFETCH(int, progress);
        QFETCH(QString, message);
        w->s->setValue(1);
        const QString target = setup == "none" ? MainFolder : DestFolder;
        DestFolder = setup == "none" ? "" : setup == "dest" ? m_dir->filePath("x") : DestFolder;
        if (setup == "clash")
            writeFile(target + "/A2.gif", "old");
        FileService::setCopyFaultForTests([&](const QString &from, const QString &) {
            return setup == "copy" && from.endsWith("y.gif") ? GeneralFailure : Ok;
        });
        w->tx[1]->setText(fields.section('>', 0, 0).section('|', 0, 0));
        w->tx[2]->setText(fields.section('>', 0, 0).section('|', 1));
        if (setup != "unpicked")
            QTest::mouseClick(w->Command2, Qt::LeftButton);
        QTest::mouseClick(w->st, Qt::LeftButton);

        // A complete run shows the folder that received the copies, without
        // a message; one that ends early stays where it was. With no
        // destination folder the copies go into the current one, which
        // becomes the destination folder, stored with the number.
        const bool complete = fields.endsWith("|3");
        QCOMPARE(items(w->d4), selection);
        QCOMPARE(w->tx[1]->text() + '|' + w->tx[2]->text(), fields.section('>', 1));
        QCOMPARE(w->s->value(), progress);
        QCOMPARE(m_messages->texts().join(""), QString(message).remove('!'));
        QCOMPARE(m_messages->shown().value(0).icon == MsgIcon::Critical, message.startsWith('!'));
        QCOMPARE(w->d3->path(), complete ? target : MainFolder);
        QCOMPARE(w->d3->names(), filesIn(complete ? target : MainFolder));
        if (complete)
            QCOMPARE(readFile(settingsFilePath(AppDir)),
                     formatSettingsLine({MainFolder, target, "A", "3"}).toUtf8());
    }
};

QTEST_MAIN(TransferTest)
#include "tst_transfer.moc"
