// The main window's transfer controls: the selection list, and what a run
// leaves in the window and tells the user.

#include "app/pmvmin.h"
#include "controls/FileList.h"
#include "controls/FolderList.h"
#include "core/Errors.h"
#include "core/FileService.h"
#include "settings/Shared.h"
#include "settings/rules/SettingsFile.h"
#include "tests/support/TestSupport.h"

#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace pomiv;
using namespace pomiv::test;

class TransferTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MessageRecorder> m_messages;
    std::unique_ptr<pmvmin> w;

    QString src(const QString &name = {}) const { return m_dir->filePath("src/" + name); }
    QString dst(const QString &name = {}) const { return m_dir->filePath("dst/" + name); }
    QStringList selection() const {
        QStringList names;
        for (int i = 0; i < w->d4->count(); ++i)
            names.append(w->d4->item(i)->text());
        return names;
    }

private slots:
    void init() {
        FileService::setCopyFaultForTests(nullptr);
        w.reset();
        m_messages.reset();
        m_dir = std::make_unique<QTemporaryDir>();
        writeFile(src("x.jpg"), "x");
        writeFile(src("y.gif"), "y");
        QDir().mkpath(dst());
        AppDir = m_dir->filePath("app/");
        QDir().mkpath(AppDir);
        MainFolder = src().chopped(1);
        DestFolder = dst().chopped(1);
        m_messages = std::make_unique<MessageRecorder>();
        w = std::make_unique<pmvmin>();
        QCOMPARE(w->d2->setPath(MainFolder), int(Ok));
    }

    void selectionAndNamesNoUtf8() {
        // Two names that read alike, one of them no UTF-8: each copy holds the
        // bytes of the file its entry came from.
        const QByteArray names[] = {"a\xff.jpg", "a\xef\xbf\xbd.jpg"};
        for (const QByteArray &name : names)
            writeRaw(MainFolder, name, name.mid(1, 1));
        w->d3->refresh();
        w->d3->setSelected(3, true);
        w->d3->setSelected(1, true);
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        const QString shown = QString::fromUtf8("a\xef\xbf\xbd.jpg");
        QCOMPARE(selection(), QStringList({shown, shown, "x.jpg", "y.gif"}));
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QCOMPARE(selection(), QStringList({shown, "y.gif"}));
        QTest::mouseClick(w->Command3, Qt::LeftButton);
        QCOMPARE(selection(), QStringList());
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        w->tx[1]->setText("A");
        w->tx[2]->setText("1");
        QTest::mouseClick(w->st, Qt::LeftButton);
        QCOMPARE(readFile(dst("A1.jpg")) + readFile(dst("A2.jpg")), QByteArray("\xff\xef"));
        for (const QByteArray &name : names) // not removable by its decoded name
            ::unlink((QFile::encodeName(MainFolder) + '/' + name).constData());
    }

    void run_data() {
        // x.jpg and y.gif picked. Fields: prefix|number typed > as left; the
        // selection list and the progress after the run; "!": critical icon.
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QStringList>("selection");
        QTest::addColumn<int>("progress");
        QTest::addColumn<QString>("message");
        const QString typeError = "正しく入力してください、" + errorText(TypeMismatch);
        const QStringList none;
        // clang-format off
        QTest::newRow("done") << "" << "A|1>A|3" << none << 0 << "";
        QTest::newRow("no destination") << "none" << "A|1>A|3" << none << 0 << "";
        QTest::newRow("clash") << "clash" << "A|1>A|2" << QStringList{"A1.jpg"} << 1 << "!同名ファイルがあります";
        QTest::newRow("copy fails") << "copy" << "A|1>A|2" << QStringList{"A1.jpg"} << 1 << "";
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
        if (setup == "none")
            DestFolder.clear();
        if (setup == "dest")
            DestFolder = m_dir->filePath("missing");
        if (setup == "clash")
            writeFile(dst("A2.gif"), "old");
        FileService::setCopyFaultForTests([&](const QString &from, const QString &) {
            return setup == "copy" && from.endsWith("y.gif") ? int(GeneralFailure) : 0;
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
        const QString target = setup == "none" ? MainFolder : dst().chopped(1);
        QCOMPARE(this->selection(), selection);
        QCOMPARE(w->tx[1]->text() + '|' + w->tx[2]->text(), fields.section('>', 1));
        QCOMPARE(w->s->value(), progress);
        QCOMPARE(m_messages->texts().join(""), QString(message).remove('!'));
        QCOMPARE(m_messages->shown().value(0).icon == MsgIcon::Critical, message.startsWith('!'));
        QCOMPARE(w->d3->path(), complete ? target : MainFolder);
        QCOMPARE(w->d3->names(), filesIn(complete ? target : MainFolder));
        if (complete) {
            QCOMPARE(DestFolder, target);
            QCOMPARE(readFile(settingsFilePath(AppDir)),
                     formatSettingsLine({MainFolder, target, "A", "3"}).toUtf8());
        }
    }
};

QTEST_MAIN(TransferTest)
#include "tst_transfer.moc"
