#pragma once

#include "core/Errors.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace pomiv {

// The saved main URLs, pomi.ini beside the program: one address per line
// between double quotes, nothing escaped, lines ended by CR LF (CR or LF
// alone are read as well). Shift_JIS, or UTF-8 (with a byte-order mark)
// once an address needs it.
class PomiIni {
public:
    inline static const char *fileName = "pomi.ini";

    // The file in the program's data folder (which ends in a separator).
    explicit PomiIni(const QString &dataFolder);

    QString path() const { return m_path; }

    // The entries in file order: each line without its first and last
    // character, whatever they are. The reading stops at a line shorter than
    // two characters (GeneralFailure, the entries before it kept).
    // FileNotFound when there is no file; other failures give the error
    // with no entries.
    Error read(QStringList *entries) const;

    // Every line of the file as it stands, without line ends.
    Error readLines(QStringList *lines) const;

    // Creates an empty file when none exists.
    Error createEmpty() const;

    // Appends one address: a file that does not end with a line end gets
    // CR LF first; the old bytes stay and the line goes in the encoding that
    // keeps the whole file reading back as written, or, when none does, the
    // whole file is written anew. A failed append leaves the file as it was.
    Error append(const QString &address) const;

    // Replaces the file whole with these lines, each ended by CR LF: a new
    // file beside it takes the old one's place.
    Error writeAnew(const QStringList &lines) const;

    // Lets tests make writing the file anew fail as the system would (a
    // full disk): the hook's error, when not Ok, is the result.
    using WriteFault = std::function<Error()>;
    static void setWriteFaultForTests(WriteFault fault);

    // One line's text for an address: the address between double quotes.
    static QString quoted(const QString &address);

    // The entry a line gives: the line without its first and last character.
    static QString entryOf(const QString &line);

private:
    QString m_path;
};

} // namespace pomiv
