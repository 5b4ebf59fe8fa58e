#include "app/pmvmin.h"
#include "platform/Errors.h"
#include "platform/FileList.h"
#include "platform/FileService.h"
#include "platform/FolderList.h"
#include "settings/SettingsFile.h"
#include "settings/Shared.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace pomiv;
using namespace pomiv::test;

class TransferTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void selectionList();
    void completeRun();
    void startNumbers_data();
    void startNumbers();
    void extensionPart();
    void foldersEndingInSeparator();
    void noDestinationFolder();
    void clashMidRun();
    void numberNotANumber_data();
    void numberNotANumber();
    void emptyField_data();
    void emptyField();
    void emptySelectionList();
    void namesLookedUpInCurrentFolder();
    void failuresWithoutMessage_data();
    void failuresWithoutMessage();
    void missingDestinationFolder();

private:
    QString src() const { return m_dir->filePath(QStringLiteral("src")); }
    QString dst() const { return m_dir->filePath(QStringLiteral("dst")); }
    QString in(const QString &folder, const char *name) const {
        return QDir(folder).filePath(QString::fromUtf8(name));
    }
    void select(const QStringList &names);
    QStringList selection() const;
    QStringList settingsFields() const;
    // The window stayed on the source folder and shows the copies made so
    // far, after a run that stopped.
    void checkStoppedAfter(const QStringList &copied, const QString &number);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MessageRecorder> m_messages;
    std::unique_ptr<pmvmin> w;
};

void TransferTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QDir(m_dir->path()).mkpath(QStringLiteral("app"));
    QDir(m_dir->path()).mkpath(QStringLiteral("dst"));
    writeFile(in(src(), "x.jpg"), "xxxx");
    writeFile(in(src(), "y.gif"), "yyyyyy");
    AppDir = m_dir->filePath(QStringLiteral("app")) + QLatin1Char('/');
    MainFolder = src();
    DestFolder = dst();
    m_messages = std::make_unique<MessageRecorder>();
    w = std::make_unique<pmvmin>();
    QCOMPARE(w->d2->setPath(src()), int(Ok));
    w->tx[1]->setText(QStringLiteral("A"));
    w->tx[2]->setText(QStringLiteral("1"));
}

void TransferTest::cleanup() {
    FileService::setCopyFaultForTests(nullptr);
    w.reset();
    m_messages.reset();
    m_dir.reset();
}

void TransferTest::select(const QStringList &names) {
    w->d4->clear();
    w->d4->addItems(names);
}

QStringList TransferTest::selection() const {
    QStringList names;
    for (int i = 0; i < w->d4->count(); ++i)
        names.append(w->d4->item(i)->text());
    return names;
}

QStringList TransferTest::settingsFields() const {
    QStringList fields;
    readSettings(&fields);
    return fields;
}

void TransferTest::checkStoppedAfter(const QStringList &copied, const QString &number) {
    QCOMPARE(selection(), copied);
    QCOMPARE(w->tx[2]->text(), number);
    QCOMPARE(w->d3->path(), src());
    QCOMPARE(w->tx[0]->text(), src());
    if (!copied.isEmpty())
        QCOMPARE(settingsFields().value(3), number);
}

void TransferTest::selectionList() {
    writeFile(in(src(), "b.jpg"), "b");
    w->d3->refresh();
    QCOMPARE(w->d3->names(), QStringList({"b.jpg", "x.jpg", "y.gif"}));

    select({"old"});
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QCOMPARE(selection(), QStringList());

    w->d3->setSelected(2, true);
    w->d3->setSelected(0, true);
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QCOMPARE(selection(), QStringList({"b.jpg", "y.gif"}));

    QTest::mouseClick(w->Command2, Qt::LeftButton);
    QCOMPARE(selection(), QStringList({"b.jpg", "x.jpg", "y.gif"}));

    QTest::mouseClick(w->Command3, Qt::LeftButton);
    QCOMPARE(selection(), QStringList());
    QVERIFY(m_messages->shown().isEmpty());
}

void TransferTest::completeRun() {
    QList<int> progress;
    FileService::setCopyFaultForTests([&](const QString &, const QString &) {
        progress.append(w->s->value());
        return 0;
    });
    // A longer line from before is replaced whole, nothing of it left.
    writeFile(AppDir + QStringLiteral("pmvf2.ini"),
              "\"" + QByteArray(300, 'm') + "\",\"d\",\"P\",\"12345\"\r\n");
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    QTest::mouseClick(w->st, Qt::LeftButton);

    QCOMPARE(readFile(AppDir + QStringLiteral("pmvf2.ini")),
             formatSettingsLine(src(), dst(), "A", "3").toUtf8());
    QCOMPARE(filesIn(dst()), QStringList({"A1.jpg", "A2.gif"}));
    QCOMPARE(readFile(in(dst(), "A1.jpg")), QByteArray("xxxx"));
    QCOMPARE(readFile(in(dst(), "A2.gif")), QByteArray("yyyyyy"));
    QCOMPARE(filesIn(src()), QStringList({"x.jpg", "y.gif"}));
    QCOMPARE(w->tx[2]->text(), QStringLiteral("3"));
    QCOMPARE(settingsFields(), QStringList({src(), dst(), "A", "3"}));
    QCOMPARE(selection(), QStringList());
    QCOMPARE(progress, QList<int>({0, 1}));
    QCOMPARE(w->s->maximum(), 2);
    QCOMPARE(w->s->value(), 0);
    // The main window now shows the destination folder with the copies.
    QCOMPARE(w->d2->path(), dst());
    QCOMPARE(w->d3->path(), dst());
    QCOMPARE(w->tx[0]->text(), dst());
    QCOMPARE(w->d3->names(), QStringList({"A1.jpg", "A2.gif"}));
    QCOMPARE(DestFolder, dst());
    QVERIFY(m_messages->shown().isEmpty());

    // The next run goes on from the stored number.
    w->d2->setPath(src());
    select({"x.jpg"});
    w->st_Click();
    QCOMPARE(filesIn(dst()), QStringList({"A1.jpg", "A2.gif", "A3.jpg"}));
    QCOMPARE(settingsFields().value(3), QStringLiteral("4"));
}

void TransferTest::startNumbers_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("copies");
    QTest::addColumn<QString>("next");
    QTest::newRow("leading zeros") << "007" << QStringList({"A7.jpg", "A8.gif"}) << "9";
    QTest::newRow("blanks and sign") << " +5 " << QStringList({"A5.jpg", "A6.gif"}) << "7";
    QTest::newRow("negative") << "-1" << QStringList({"A-1.jpg", "A0.gif"}) << "1";
}

void TransferTest::startNumbers() {
    QFETCH(QString, start);
    QFETCH(QStringList, copies);
    QFETCH(QString, next);
    w->tx[2]->setText(start);
    select({"x.jpg", "y.gif"});
    w->st_Click();
    QCOMPARE(filesIn(dst()), copies);
    QCOMPARE(w->tx[2]->text(), next);
    QCOMPARE(settingsFields().value(3), next);
}

void TransferTest::extensionPart() {
    writeFile(in(src(), "photo.jpeg"), "p");
    writeFile(in(src(), "ab.c"), "c");
    writeFile(in(src(), "README"), "r");
    select({"photo.jpeg", "ab.c", "README"});
    w->st_Click();
    QCOMPARE(filesIn(dst()), QStringList({"A1.jpeg", "A2.c", "A3"}));
    QCOMPARE(readFile(in(dst(), "A3")), QByteArray("r"));
}

void TransferTest::foldersEndingInSeparator() {
    // Drive roots carry their separator; no second one goes between folder
    // and name.
    QStringList paths;
    FileService::setCopyFaultForTests([&](const QString &from, const QString &to) {
        paths << from << to;
        return 0;
    });
    w->tx[0]->setText(src() + QLatin1Char('/'));
    DestFolder = dst() + QLatin1Char('/');
    select({"x.jpg"});
    w->st_Click();
    QCOMPARE(paths, QStringList({in(src(), "x.jpg"), in(dst(), "A1.jpg")}));
    QCOMPARE(filesIn(dst()), QStringList({"A1.jpg"}));
    QCOMPARE(w->d3->path(), dst());
}

void TransferTest::noDestinationFolder() {
    DestFolder.clear();
    select({"x.jpg", "y.gif"});
    w->st_Click();
    QCOMPARE(filesIn(src()), QStringList({"A1.jpg", "A2.gif", "x.jpg", "y.gif"}));
    QCOMPARE(filesIn(dst()), QStringList());
    QCOMPARE(DestFolder, src());
    QCOMPARE(settingsFields(), QStringList({src(), src(), "A", "3"}));
    QCOMPARE(w->d3->path(), src());
    QCOMPARE(w->d3->names(), QStringList({"A1.jpg", "A2.gif", "x.jpg", "y.gif"}));
    QVERIFY(m_messages->shown().isEmpty());
}

void TransferTest::clashMidRun() {
    writeFile(in(src(), "z.jpg"), "zz");
    writeFile(in(dst(), "A2.gif"), "old");
    select({"x.jpg", "y.gif", "z.jpg"});
    w->st_Click();

    QCOMPARE(filesIn(dst()), QStringList({"A1.jpg", "A2.gif"}));

    checkStoppedAfter({"A1.jpg"}, QStringLiteral("2"));
    QCOMPARE(readFile(in(dst(), "A2.gif")), QByteArray("old"));
    QCOMPARE(readFile(in(dst(), "A1.jpg")), QByteArray("xxxx"));
    QCOMPARE(w->s->value(), 1);
    QCOMPARE(m_messages->shown().size(), 1);
    const ShownMessage &shown = m_messages->shown().first();
    QCOMPARE(shown.text, QStringLiteral("同名ファイルがあります"));
    QCOMPARE(shown.buttons, MsgButtons::Ok);
    QCOMPARE(shown.icon, MsgIcon::Critical);
}

void TransferTest::numberNotANumber_data() {
    QTest::addColumn<QString>("number");
    QTest::newRow("letters") << "abc";
    QTest::newRow("fraction") << "1.5";
    QTest::newRow("thousands separator") << "1,000";
    QTest::newRow("blanks only") << "  ";
}

void TransferTest::numberNotANumber() {
    QFETCH(QString, number);
    writeFile(AppDir + QStringLiteral("pmvf2.ini"), "\"m\",\"d\",\"P\",\"9\"\r\n");
    w->tx[2]->setText(number);
    select({"x.jpg", "y.gif"});
    w->st_Click();

    QCOMPARE(filesIn(dst()), QStringList());
    QCOMPARE(selection(), QStringList());
    QCOMPARE(w->tx[1]->text(), QString());
    QCOMPARE(w->tx[2]->text(), QString());
    QCOMPARE(readFile(AppDir + QStringLiteral("pmvf2.ini")),
             QByteArray("\"m\",\"d\",\"P\",\"9\"\r\n"));
    QCOMPARE(m_messages->shown().size(), 1);
    const ShownMessage &shown = m_messages->shown().first();
    QCOMPARE(shown.text, QStringLiteral("正しく入力してください、") + errorText(TypeMismatch));
    QVERIFY(shown.text.size() > QStringLiteral("正しく入力してください、").size());
    QCOMPARE(shown.icon, MsgIcon::None);
    QCOMPARE(w->d3->path(), src());
}

void TransferTest::emptyField_data() {
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("number");
    QTest::newRow("no prefix") << ""
                               << "1";
    QTest::newRow("no number") << "A"
                               << "";
}

void TransferTest::emptyField() {
    QFETCH(QString, prefix);
    QFETCH(QString, number);
    w->tx[1]->setText(prefix);
    w->tx[2]->setText(number);
    select({"x.jpg"});
    w->st_Click();
    QCOMPARE(m_messages->texts(), QStringList({"正しく入力してください"}));
    QCOMPARE(m_messages->shown().first().icon, MsgIcon::None);
    QCOMPARE(selection(), QStringList());
    QCOMPARE(filesIn(dst()), QStringList());
    QCOMPARE(w->tx[1]->text(), prefix);
    QCOMPARE(w->tx[2]->text(), number);
    QVERIFY(!QFile::exists(AppDir + QStringLiteral("pmvf2.ini")));
}

void TransferTest::emptySelectionList() {
    w->s->setValue(0);
    const int maximum = w->s->maximum();
    w->st_Click();
    QVERIFY(m_messages->shown().isEmpty());
    QCOMPARE(w->s->maximum(), maximum);
    QCOMPARE(w->tx[2]->text(), QStringLiteral("1"));
    QCOMPARE(filesIn(dst()), QStringList());
    QVERIFY(!QFile::exists(AppDir + QStringLiteral("pmvf2.ini")));
}

void TransferTest::namesLookedUpInCurrentFolder() {
    // Picked in one folder, run in another: the names are looked up where
    // the window is now; one that is not there ends the run silently.
    writeFile(in(src(), "gone.jpg"), "g");
    const QString other = m_dir->filePath(QStringLiteral("other"));
    writeFile(in(other, "x.jpg"), "other x");
    select({"x.jpg", "gone.jpg", "y.gif"});
    w->d2->setPath(other);
    w->st_Click();

    QCOMPARE(filesIn(dst()), QStringList({"A1.jpg"}));
    QCOMPARE(readFile(in(dst(), "A1.jpg")), QByteArray("other x"));
    QCOMPARE(selection(), QStringList({"A1.jpg"}));
    QCOMPARE(w->tx[2]->text(), QStringLiteral("2"));
    QCOMPARE(w->d3->path(), other);
    QVERIFY(m_messages->shown().isEmpty());
}

void TransferTest::failuresWithoutMessage_data() {
    QTest::addColumn<bool>("copyFails");
    QTest::newRow("copy denied") << true;
    QTest::newRow("settings file not writable") << false;
}

void TransferTest::failuresWithoutMessage() {
    QFETCH(bool, copyFails);
    if (copyFails) {
        FileService::setCopyFaultForTests([](const QString &from, const QString &) {
            return from.endsWith(QLatin1String("y.gif")) ? int(GeneralFailure) : 0;
        });
    } else {
        AppDir = m_dir->filePath(QStringLiteral("no-such-folder")) + QLatin1Char('/');
    }
    select({"x.jpg", "y.gif"});
    w->st_Click();

    QVERIFY(m_messages->shown().isEmpty());
    QCOMPARE(filesIn(dst()), QStringList({"A1.jpg"}));
    if (copyFails) {
        checkStoppedAfter({"A1.jpg"}, QStringLiteral("2"));
        QCOMPARE(w->s->value(), 1);
    } else {
        QCOMPARE(selection(), QStringList({"A1.jpg"}));
        QCOMPARE(w->tx[2]->text(), QStringLiteral("2"));
        QCOMPARE(w->d3->path(), src());
    }
}

void TransferTest::missingDestinationFolder() {
    DestFolder = m_dir->filePath(QStringLiteral("missing"));
    select({"x.jpg", "y.gif"});
    w->st_Click();
    QCOMPARE(m_messages->shown().size(), 1);
    const ShownMessage &shown = m_messages->shown().first();
    QCOMPARE(shown.text, QStringLiteral("ドライブの準備ができません"));
    QCOMPARE(shown.icon, MsgIcon::Critical);
    QVERIFY(!QFileInfo::exists(DestFolder));
    QCOMPARE(selection(), QStringList());
    QCOMPARE(w->tx[2]->text(), QStringLiteral("1"));
    QCOMPARE(w->d3->path(), src());
    QVERIFY(!QFile::exists(AppDir + QStringLiteral("pmvf2.ini")));
}

QTEST_MAIN(TransferTest)
#include "TransferTest.moc"
