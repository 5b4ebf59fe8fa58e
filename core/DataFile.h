#pragma once

#include "core/Errors.h"

#include <QString>
#include <QStringList>

namespace pomiv {

// The program's two data files are small text files beside it, written in
// Shift_JIS (as files from earlier versions and other programs are). A text
// that Shift_JIS cannot hold, or whose Shift_JIS bytes would read back as
// something else, is written in UTF-8 with a byte-order mark. Reading: a
// byte-order mark means UTF-8; else valid UTF-8 holding a character at or
// above U+0800 (Japanese, as an editor writes it) is UTF-8; else valid
// Shift_JIS is Shift_JIS; else UTF-8. So every text written reads back the
// same.

// Decode bytes by the rule above.
QString decodeDataText(const QByteArray &bytes);

// Encode text by the rule above.
QByteArray encodeDataText(const QString &text);

// Read the bytes of a data file, at most maxBytes of them; *cut tells
// whether more followed (without cut, a longer file is unreadable). Only a
// regular file (or a link to one) is read, and opening never waits: a FIFO,
// a device or a folder is unreadable. Returns the error (FileNotFound when
// there is no file, Ok when it was read).
Error readDataBytes(const QString &path, QByteArray *bytes, qint64 maxBytes, bool *cut = nullptr);

// Read a whole data file and decode it. Returns the error (Ok when it was
// read). Files larger than maxDataFileBytes are refused as unreadable.
Error readDataFile(const QString &path, QString *text);

// Replace a data file whole: the new content goes to a temporary file beside
// it, named after it (pmvf2.ini.XXXXXX), which is then put in its place. A
// crash at any instant or a full disk leaves the whole old or the whole new
// file; nothing is forced to disk, which a rename does not need for that.
// What is not a regular file (a FIFO, a device, a folder) is not replaced.
// Returns the error (Ok when written).
Error writeDataFile(const QString &path, const QString &text);

// The same with the bytes already encoded.
Error writeDataBytes(const QString &path, const QByteArray &bytes);

// Replaces one data file again and again, as the settings file is after
// every file of a run, each time as safely as writeDataBytes. The file the
// last replacement put aside is kept beside it, under a temporary name, and
// the next content is written into it before it is swapped in: no new file
// is made for each write, and the folder and the permissions are looked up
// once. The file in place is never written into.
class DataFileWriter {
public:
    explicit DataFileWriter(const QString &path);
    // Removes the file put aside.
    ~DataFileWriter();
    DataFileWriter(const DataFileWriter &) = delete;
    DataFileWriter &operator=(const DataFileWriter &) = delete;

    // Replaces the file whole. Returns the error (Ok when written);
    // on failure the file stays as it was.
    Error write(const QByteArray &bytes);

    // Ends a series of writes: the file put aside goes, and the file as last
    // written, and its name, are forced to disk, so that a power cut loses
    // nothing of them. Returns the error.
    Error finish();

private:
    Error writeNew(const QByteArray &bytes);
    void removeSpare();

    QString m_path;
    QByteArray m_target; // the file's own path (past a link), once written
    QByteArray m_spare;  // the file put aside, while there is one
};

// Removes the temporary files a rewrite of one of these data files left in
// folder when the program was stopped in the middle: regular files named
// after a data file, a dot and six letters or digits.
void removeStaleTemporaries(const QString &folder, const QStringList &fileNames);

// Lines of a data file, each ended by CR LF, CR or LF (the last one may have
// no end).
QStringList splitDataLines(const QString &text);

inline constexpr qint64 maxDataFileBytes = 64 * 1024 * 1024;

} // namespace pomiv
