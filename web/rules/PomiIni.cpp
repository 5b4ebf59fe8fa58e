#include "web/rules/PomiIni.h"

#include "core/DataFile.h"
#include "core/Errors.h"
#include "core/Text.h"

#include <QFile>
#include <QFileInfo>

namespace pomiv {

PomiIni::PomiIni(const QString &dataFolder) : m_path(dataFolder + QLatin1String(fileName)) {}

QString PomiIni::quoted(const QString &address) {
    return QLatin1Char('"') + address + QLatin1Char('"');
}

QString PomiIni::entryOf(const QString &line) {
    return line.mid(1, line.size() - 2);
}

Error PomiIni::readLines(QStringList *lines) const {
    QString text;
    if (const Error err = readDataFile(m_path, &text); failed(err))
        return err;
    *lines = splitDataLines(text);
    return Ok;
}

Error PomiIni::read(QStringList *entries) const {
    QStringList lines;
    if (const Error err = readLines(&lines); failed(err))
        return err;
    for (const QString &line : lines) {
        if (line.size() < 2)
            return GeneralFailure;
        entries->append(entryOf(line));
    }
    return Ok;
}

Error PomiIni::createEmpty() const {
    QFile file(m_path);
    if (file.exists())
        return Ok;
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return QFileInfo(QFileInfo(m_path).absolutePath()).isDir() ? GeneralFailure : PathNotFound;
    return Ok;
}

Error PomiIni::append(const QString &address) const {
    const QString file = m_path;
    QByteArray old;
    if (const Error err = readDataBytes(file, &old, maxDataFileBytes);
        err != Ok && err != FileNotFound)
        return err;
    const bool needsLineEnd = !old.isEmpty() && !old.endsWith('\n') && !old.endsWith('\r');
    const QString line = (needsLineEnd ? QStringLiteral("\r\n") : QString()) + quoted(address) +
                         QStringLiteral("\r\n");
    const QString text = decodeDataText(old) + line;

    // The line goes after the old bytes, which stay as they are, in
    // Shift_JIS or in UTF-8, whichever keeps the whole file reading as it
    // should; when neither does, the whole file is written anew. Either
    // way the file is replaced whole, so a full disk never leaves half a
    // line at its end.
    for (const QByteArray &add : {toShiftJis(line).value_or(QByteArray()), line.toUtf8()}) {
        if (!add.isEmpty() && decodeDataText(old + add) == text)
            return writeDataBytes(file, old + add);
    }
    return writeDataFile(file, text);
}

static PomiIni::WriteFault &writeFault() {
    static PomiIni::WriteFault fault;
    return fault;
}

void PomiIni::setWriteFaultForTests(WriteFault fault) {
    writeFault() = std::move(fault);
}

Error PomiIni::writeAnew(const QStringList &lines) const {
    if (writeFault()) {
        if (const Error err = writeFault()(); failed(err))
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
    return writeDataFile(m_path, text);
}

} // namespace pomiv
