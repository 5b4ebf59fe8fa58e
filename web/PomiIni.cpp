#include "web/PomiIni.h"

#include "platform/DataFile.h"
#include "platform/Errors.h"
#include "settings/Shared.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

namespace pomiv {

QString PomiIni::path() {
    return AppDir + QLatin1String(fileName);
}

QString PomiIni::quoted(const QString &address) {
    return QLatin1Char('"') + address + QLatin1Char('"');
}

QString PomiIni::entryOf(const QString &line) {
    return line.mid(1, line.size() - 2);
}

int PomiIni::readLines(QStringList *lines) {
    QString text;
    if (const int err = readDataFile(path(), &text))
        return err;
    *lines = splitDataLines(text);
    return Ok;
}

int PomiIni::read(QStringList *entries) {
    QStringList lines;
    if (const int err = readLines(&lines))
        return err;
    for (const QString &line : lines) {
        if (line.size() < 2)
            return GeneralFailure;
        entries->append(entryOf(line));
    }
    return Ok;
}

int PomiIni::createEmpty() {
    QFile file(path());
    if (file.exists())
        return Ok;
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return QFileInfo(QFileInfo(path()).absolutePath()).isDir() ? GeneralFailure : PathNotFound;
    return Ok;
}

static bool holdsNonAscii(const QByteArray &bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

static bool isValidUtf8(const QByteArray &bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(bytes);
    Q_UNUSED(decoded);
    return !utf8.hasError();
}

// The bytes of a line in Shift_JIS, or nothing when it cannot hold them.
static bool toShiftJis(const QString &text, QByteArray *bytes) {
    QStringEncoder sjis("Shift_JIS");
    *bytes = sjis.encode(text);
    return !sjis.hasError() && QStringDecoder("Shift_JIS").decode(*bytes) == text;
}

int PomiIni::append(const QString &address) {
    const QString file = path();
    QByteArray old;
    if (QFileInfo::exists(file)) {
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly))
            return GeneralFailure;
        if (in.size() > maxDataFileBytes)
            return GeneralFailure;
        old = in.readAll();
    }
    const bool needsLineEnd = !old.isEmpty() && !old.endsWith('\n') && !old.endsWith('\r');
    const QString line = quoted(address) + QStringLiteral("\r\n");

    // The file's own encoding: UTF-8 when it already is (it decodes as
    // such and is not plain ASCII), else Shift_JIS.
    const bool isUtf8 = holdsNonAscii(old) && isValidUtf8(old);
    QByteArray add = needsLineEnd ? QByteArray("\r\n") : QByteArray();
    QByteArray lineBytes;
    if (isUtf8) {
        lineBytes = line.toUtf8();
    } else if (!toShiftJis(line, &lineBytes)) {
        // Shift_JIS cannot hold it: the whole file goes over to UTF-8.
        QString text = decodeDataText(old);
        if (needsLineEnd)
            text += QStringLiteral("\r\n");
        return writeDataFile(file, text + line);
    }
    add += lineBytes;

    // The whole file is replaced rather than appended to, so a full disk
    // never leaves half a line at its end.
    return writeDataBytes(file, old + add);
}

static PomiIni::WriteFault &writeFault() {
    static PomiIni::WriteFault fault;
    return fault;
}

void PomiIni::setWriteFaultForTests(WriteFault fault) {
    writeFault() = std::move(fault);
}

int PomiIni::writeAnew(const QStringList &lines) {
    if (writeFault()) {
        if (const int err = writeFault()())
            return err;
    }
    QString text;
    qsizetype size = 0;
    for (const QString &line : lines)
        size += line.size() + 2;
    text.reserve(size);
    for (const QString &line : lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    return writeDataFile(path(), text);
}

} // namespace pomiv
