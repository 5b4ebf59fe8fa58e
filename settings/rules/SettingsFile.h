#pragma once

#include "core/DataFile.h"

#include <QString>
#include <QStringList>

namespace pomiv {

// The settings file pmvf2.ini: one line of four fields, each between double
// quotes, nothing escaped: main folder, destination folder, name prefix,
// next number.
inline constexpr const char *settingsFileName = "pmvf2.ini";

// The four values the file holds.
struct SettingsRecord {
    QString mainFolder; // where browsing starts ("メインフォルダ")
    QString destFolder; // where numbered copies go ("変換先フォルダ")
    QString prefix;     // the name prefix of numbered copies
    QString number;     // the next number, as typed in the number field
};

// Full path of the settings file in the program's data folder (which ends in
// a separator).
QString settingsFilePath(const QString &dataFolder);

// Reads up to `wanted` fields of the settings file text by the rules that
// also take a hand-edited file: blanks skipped before a field; a quoted value
// runs to the next quote, commas included; an unquoted one to the next comma
// or line end, trailing spaces removed. The end of the text before a field
// starts ends the reading: fewer fields come back. So does a value longer
// than a path (4096 bytes) or, for the prefix and the number, a file name
// (255 bytes): such a file counts as unreadable from that field on.
QStringList readSettingsFields(const QString &text, int wanted = 4);

// The file's one line, CR LF included.
QString formatSettingsLine(const SettingsRecord &record);

// Reads the file's fields. Returns the error; the fields read before a
// failure are in *fields even then (fewer than four for a short file, which
// counts as a failure).
Error readSettings(const QString &dataFolder, QStringList *fields, int wanted = 4);

// The one writer: replaces the whole file with the four values (a new file
// beside it is renamed over it). The transfer and the download call it after
// every file, so it is cheap; a crash or a full disk still leaves the
// complete old or new line. Returns the error; the old file stays as it was
// on failure.
Error f_save(const QString &dataFolder, const SettingsRecord &record);

// The rewrites of one run that rewrites the settings file after every file
// (the transfer, the download): the same file as f_save writes, as safely,
// with what does not change between rewrites kept from one to the next. When
// the run ends the file is forced to disk, once, so that a power cut after
// it loses nothing.
class SettingsRun {
public:
    explicit SettingsRun(const QString &dataFolder);
    ~SettingsRun();
    SettingsRun(const SettingsRun &) = delete;
    SettingsRun &operator=(const SettingsRun &) = delete;

    Error f_save(const SettingsRecord &record);

private:
    DataFileWriter m_file;
};

} // namespace pomiv
