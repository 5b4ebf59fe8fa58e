#include "core/Paths.h"

#include "core/Text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace pomiv {

QChar pathSeparator() {
    return QDir::separator();
}

QString joinPath(const QString &folder, const QString &name) {
    return withTrailingSeparator(folder) + name;
}

QString withTrailingSeparator(const QString &folder) {
    if (folder.endsWith(pathSeparator()))
        return folder;
    return folder + pathSeparator();
}

bool holdsPathSeparator(const QString &text) {
    return text.contains(QLatin1Char('/')) || text.contains(pathSeparator());
}

static bool folderWritable(const QString &dir) {
    // Access bits lie for root and on some file systems: try it.
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".pomiv-probe-XXXXXX")));
    return probe.open();
}

QString installedProgramDir() {
    return QStringLiteral(POMIV_INSTALLED_BINDIR);
}

static bool sameFolder(const QString &a, const QString &b) {
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}

QString appDirFor(const QString &programDir) {
    if (!sameFolder(programDir, installedProgramDir()) && folderWritable(programDir))
        return QDir::toNativeSeparators(programDir) + pathSeparator();
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(config);
    return withTrailingSeparator(QDir::toNativeSeparators(config));
}

static QString &programDirOverride() {
    static QString folder;
    return folder;
}

QString programDir() {
    if (!programDirOverride().isEmpty())
        return programDirOverride();
    return QCoreApplication::applicationDirPath();
}

void setProgramDirForTests(const QString &folder) {
    programDirOverride() = folder;
}

// Bytes that could not be decoded, one character each.
static constexpr char16_t firstCarriedByte = 0xDC80;
static constexpr char16_t lastCarriedByte = 0xDCFF;

// Whether the character at i carries a byte: one of U+DC80..U+DCFF standing
// alone, never the second half of a character beyond 16 bits (U+1F4F7, for
// one, ends in U+DCF7).
static bool isCarriedByte(const QString &text, qsizetype i) {
    const char16_t c = text[i].unicode();
    return c >= firstCarriedByte && c <= lastCarriedByte &&
           (i == 0 || !text[i - 1].isHighSurrogate());
}

static bool holdsCarriedByte(const QString &text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isCarriedByte(text, i))
            return true;
    }
    return false;
}

// Length of the valid UTF-8 sequence at the start of s (0 when none).
static int utf8SequenceAt(const unsigned char *s, qsizetype left) {
    const unsigned char c = s[0];
    if (c < 0x80)
        return 1;
    int n = 0;
    unsigned char low = 0x80, high = 0xBF; // range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0)
            low = 0xA0;
        else if (c == 0xED)
            high = 0x9F; // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0)
            low = 0x90;
        else if (c == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (left < n || s[1] < low || s[1] > high)
        return 0;
    for (int i = 2; i < n; ++i) {
        if ((s[i] & 0xC0) != 0x80)
            return 0;
    }
    return n;
}

// The text of valid UTF-8, a byte-order mark at its start included.
static QString validText(const char *bytes, qsizetype size) {
    QString text;
    isUtf8(QByteArrayView(bytes, size), &text);
    return text;
}

QString nameFromSystem(const char *bytes, qsizetype size) {
    if (size < 0)
        size = qsizetype(qstrlen(bytes));
    QString text;
    if (isUtf8(QByteArrayView(bytes, size), &text))
        return text;
    text.clear();
    const auto *s = reinterpret_cast<const unsigned char *>(bytes);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < size;) {
        const int n = utf8SequenceAt(s + i, size - i);
        if (n > 0) {
            i += n;
            continue;
        }
        text += validText(bytes + runStart, i - runStart);
        text += QChar(char16_t(firstCarriedByte + (s[i] - 0x80)));
        runStart = ++i;
    }
    text += validText(bytes + runStart, size - runStart);
    return text;
}

QByteArray systemPath(const QString &path) {
    if (!holdsCarriedByte(path))
        return QFile::encodeName(path);
    QByteArray bytes;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (!isCarriedByte(path, i))
            continue;
        bytes += QFile::encodeName(path.mid(runStart, i - runStart));
        bytes += char(0x80 + (path[i].unicode() - firstCarriedByte));
        runStart = i + 1;
    }
    bytes += QFile::encodeName(path.mid(runStart));
    return bytes;
}

QString displayText(const QString &text) {
    if (!holdsCarriedByte(text))
        return text;
    QString shown = text;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isCarriedByte(text, i))
            shown[i] = QChar::ReplacementCharacter;
    }
    return shown;
}

QString cleanFolderPath(const QString &path) {
    return QDir::toNativeSeparators(QDir::cleanPath(path));
}

} // namespace pomiv
