#include "settings/rules/SettingsFile.h"

#include "core/DataFile.h"
#include "core/Errors.h"

#include <algorithm>

namespace pomiv {

QString settingsFilePath(const QString &dataFolder) {
    return dataFolder + QString::fromLatin1(settingsFileName);
}

static bool isLineEnd(QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// The longest value each field may hold, in bytes as the system writes names:
// a path, then a file name's worth for the prefix and the number.
static constexpr qsizetype longestField[] = {4096, 4096, 255, 255};

static bool fitsField(const QString &value, qsizetype field) {
    const qsizetype longest = longestField[std::min<qsizetype>(field, 3)];
    return value.size() <= longest && value.toUtf8().size() <= longest;
}

QStringList readSettingsFields(const QString &text, int wanted) {
    QStringList fields;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (fields.size() < wanted) {
        while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
            ++i;
        if (i >= n)
            break;
        QString value;
        if (text[i] == QLatin1Char('"')) {
            qsizetype close = text.indexOf(QLatin1Char('"'), i + 1);
            if (close < 0)
                close = n;
            value = text.mid(i + 1, close - i - 1);
            i = close + 1;
            while (i < n && text[i] != QLatin1Char(',') && !isLineEnd(text[i]))
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && text[i] != QLatin1Char(',') && !isLineEnd(text[i]))
                ++i;
            qsizetype end = i;
            while (end > start && text[end - 1] == QLatin1Char(' '))
                --end;
            value = text.mid(start, end - start);
        }
        // Past the comma, or past the line end (CR LF counts as one).
        if (i < n) {
            if (text[i] == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
                ++i;
            ++i;
        }
        if (!fitsField(value, fields.size()))
            break;
        fields.append(value);
    }
    return fields;
}

QString formatSettingsLine(const SettingsRecord &r) {
    const QChar q = QLatin1Char('"');
    return q + r.mainFolder + q + QLatin1Char(',') + q + r.destFolder + q + QLatin1Char(',') + q +
           r.prefix + q + QLatin1Char(',') + q + r.number + q + QStringLiteral("\r\n");
}

Error readSettings(const QString &dataFolder, QStringList *fields, int wanted) {
    fields->clear();
    // A whole line of the longest fields fits many times over; past that
    // only the fields that end before are read, so a huge file costs nothing.
    QByteArray bytes;
    bool cut = false;
    if (const Error err = readDataBytes(settingsFilePath(dataFolder), &bytes, 64 * 1024, &cut);
        failed(err))
        return err;
    if (cut) {
        // Back to the end of the last field that ended: a comma or a line
        // end, bytes that are never part of a character in either encoding.
        qsizetype end = bytes.size();
        while (end > 0 && bytes[end - 1] != ',' && bytes[end - 1] != '\n' && bytes[end - 1] != '\r')
            --end;
        bytes.truncate(end);
    }
    *fields = readSettingsFields(decodeDataText(bytes), wanted);
    return fields->size() < wanted ? GeneralFailure : Ok;
}

Error f_save(const QString &dataFolder, const SettingsRecord &record) {
    return writeDataFile(settingsFilePath(dataFolder), formatSettingsLine(record));
}

SettingsRun::SettingsRun(const QString &dataFolder) : m_file(settingsFilePath(dataFolder)) {}

SettingsRun::~SettingsRun() {
    m_file.finish();
}

Error SettingsRun::f_save(const SettingsRecord &record) {
    return m_file.write(encodeDataText(formatSettingsLine(record)));
}

} // namespace pomiv
