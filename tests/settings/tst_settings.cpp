// The settings file: its line of four quoted fields, the reading rules that
// also take hand-edited files, and the encodings of both data files.

#include "core/DataFile.h"
#include "core/Errors.h"
#include "settings/rules/SettingsFile.h"
#include "tests/support/TestFiles.h"
#include "web/rules/PomiIni.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace pomiv;
using namespace pomiv::test;

class SettingsTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    const QString m_app = m_dir.path() + QLatin1Char('/');

private slots:
    void init() {
        QFile::remove(settingsFilePath(m_app));
        QFile::remove(PomiIni(m_app).path());
    }

    // One line in Shift_JIS ended by CR LF, replacing a longer one, nothing
    // left beside it; a doubled separator in the folder still finds the file.
    void written() {
        QCOMPARE(f_save(m_app, {QString(300, 'm'), "/d", "P", "1234"}), Ok);
        QCOMPARE(f_save(m_dir.path() + "//", {"/a", "", QString::fromUtf8("ア"), "1"}), Ok);
        QCOMPARE(readFile(m_dir.filePath("pmvf2.ini")), "\"/a\",\"\",\"\x83\x41\",\"1\"\r\n");
        QCOMPARE(filesIn(m_dir.path()), QStringList{"pmvf2.ini"});
    }

    void handEdited_data() {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<bool>("complete");
        const auto row = [](const char *name, const QByteArray &content, const QStringList &fields,
                            bool complete = true) {
            QTest::newRow(name) << content << fields << complete;
        };
        const QStringList abc3{"/a", "/b", "A", "3"};
        row("unquoted, trailing spaces cut", "/a  , /b ,A,3\r\n", abc3);
        row("blanks before quotes, junk after", " \t\"/a\" x,\"/b\",\"A\"  ,\"3\"", abc3);
        row("fields on several lines, LF only", "\"/a\"\n\"/b\"\n\"A\",\"3\"\n", abc3);
        row("no line end, unclosed quote", "\"/a\",\"/b\",\"A\",\"3", abc3);
        row("only the first field", "\"/only\"\r\n", {"/only"}, false);
        row("empty file", "", {}, false);
        row("no file", QByteArray(), {}, false);
        row("nul bytes", QByteArray("\"a\0b\",\"c\",\"d\",\"e\"", 18),
            {QString::fromLatin1("a\0b", 3), "c", "d", "e"});
        row("invalid in both encodings", "\"\x81\",\"\xff\xfe\",\"\xa0\",\"\x82\"\r\n",
            {"\ufffd", "\ufffd\ufffd", "\ufffd", "\ufffd"});
        const QByteArray editor = QString::fromUtf8("\"/写真\",\"/ｶﾒﾗ\",\"é\",\"1\"").toUtf8();
        const QStringList edited = QString::fromUtf8("/写真,/ｶﾒﾗ,é,1").split(',');
        row("UTF-8 from an editor", editor, edited);
        // Fields longer than any path (or any file name, for the prefix and
        // the number) make the file unreadable from there on.
        row("first field too long", "\"" + QByteArray(4097, 'p') + "\",\"/b\",\"A\",\"3\"", {},
            false);
        row("longest path", "\"" + QByteArray(4096, 'p') + "\",\"/b\",\"A\",\"3\"",
            {QString(4096, 'p'), "/b", "A", "3"});
        row("prefix too long", "\"/a\",\"/b\",\"" + QByteArray(256, 'A') + "\",\"3\"", {"/a", "/b"},
            false);
        row("50 MB after the fields", "\"/a\",\"/b\",\"A\",\"3\"\r\n" + QByteArray(50 << 20, 'x'),
            abc3);
        row("50 MB line without end", QByteArray(50 << 20, 'x'), {}, false);
    }

    // The main window reads all four fields; the dialog only the folders.
    void handEdited() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, fields);
        QFETCH(bool, complete);
        if (!content.isNull())
            writeFile(settingsFilePath(m_app), content);
        QStringList read{"old"};
        QCOMPARE(readSettings(m_app, &read) == Ok, complete);
        QCOMPARE(read, fields);
        QCOMPARE(readSettings(m_app, &read, 2) == Ok, fields.size() >= 2);
        QCOMPARE(read, fields.mid(0, 2));
    }

    // Every text the program writes reads back as it was, through the real
    // writer and reader of both data files: random texts of ASCII, half-width
    // katakana, kanji, Latin-1 and emoji, half of them of one kind only.
    void everyTextReadsBack() {
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        const char32_t kinds[][2] = {
            {0x20, 0x5f}, {0xff61, 0x3f}, {0x4e00, 0x51a6}, {0xa0, 0x60}, {0x1f600, 0x50}};
        for (int round = 0; round < 2500; ++round) {
            const int only = random.bounded(2) ? int(random.bounded(5)) : -1;
            QStringList values;
            for (int field = 0; field < 4; ++field) {
                QString text;
                for (int n = int(random.bounded(only < 0 ? 12 : 4)); n > 0; --n) {
                    const auto *kind = kinds[only >= 0 ? only : random.bounded(5)];
                    const char32_t c = kind[0] + random.bounded(quint32(kind[1]));
                    text += c == U'"' ? QString("x") : QString::fromUcs4(&c, 1);
                }
                values << text;
            }
            const QByteArray context =
                "seed " + QByteArray::number(seed) + ": " + values.join('|').toUtf8();
            QCOMPARE(f_save(m_app, {values[0], values[1], values[2], values[3]}), Ok);
            QStringList fields, entries;
            QVERIFY2(readSettings(m_app, &fields) == Ok && fields == values, context.constData());
            const PomiIni ini(m_app);
            QCOMPARE(ini.writeAnew({PomiIni::quoted(values[0]), PomiIni::quoted(values[1]),
                                    PomiIni::quoted(values[2])}),
                     Ok);
            QCOMPARE(ini.append(values[3]), Ok);
            QVERIFY2(ini.read(&entries) == Ok && entries == values, context.constData());
        }
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
