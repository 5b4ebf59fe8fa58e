#pragma once

#include <QString>

#include <functional>

namespace pomiv {

// Copies and deletions of the user's files. Every failure comes back as an
// error number; nothing is ever replaced.
class FileService {
public:
    // Copies source to destination, never replacing an existing file:
    // FileAlreadyExists when the destination exists, PathNotFound when the
    // folder of either path does not exist, GeneralFailure otherwise.
    int copyFile(const QString &source, const QString &destination) const;

    // FileNotFound when no file (a folder is not a file) is at the path.
    int getFile(const QString &path) const;

    // Deletes the file at once, read-only files too (with force); nothing goes
    // to a recycle bin.
    int deleteFile(const QString &path, bool force = true) const;

    // Renames a file, never replacing an existing one.
    int renameFile(const QString &from, const QString &to) const;

    // Lets tests make a copy fail the way the system would (access denied,
    // a full disk): the hook's error number, when not 0, is the copy's result.
    using CopyFault = std::function<int(const QString &source, const QString &destination)>;
    static void setCopyFaultForTests(CopyFault fault);
};

} // namespace pomiv
