#pragma once

#include "core/Errors.h"

#include <QString>

#include <functional>
#include <memory>

class QFile;
class QIODevice;

namespace pomiv {

// What a name led to when a file was examined, read without following a
// link: acting on the file later first checks that the name still leads to
// the same file, unchanged (a file rewritten in place gets a new change time
// and mostly a new size).
struct FileIdentity {
    bool exists = false;
    bool isLink = false;
    bool regular = false; // a regular file, not a link, folder, FIFO or device
    quint64 device = 0;
    quint64 node = 0;
    qint64 size = 0;
    qint64 changed = 0; // status change time, nanoseconds where the system tells them

    // The identity of whatever is at the path now; a link is the link itself.
    static FileIdentity of(const QString &path);
    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

// Writes all `size` bytes to an open file descriptor, going on after
// interrupted and partial writes; false when the system refuses.
bool writeAll(int fd, const char *data, qint64 size);

// Opens a regular file for reading, by the bytes of its path (systemPath).
// Never blocks: a FIFO, a device or a folder is refused (GeneralFailure).
// With followLinks false a link is refused too (its identity then says
// isLink). FileNotFound when nothing is at the path. The identity is the
// opened file's.
Error openForReading(const QString &path, QFile *file, FileIdentity *identity = nullptr,
                     bool followLinks = true);

// A file createNewFile has just made, open for writing.
class NewFile {
public:
    explicit NewFile(int handle);
    ~NewFile();
    NewFile(const NewFile &) = delete;
    NewFile &operator=(const NewFile &) = delete;

    // The system's descriptor of the file, for copying inside the system.
    int handle() const { return m_handle; }
    // The file as a device, made on first use (which costs system calls a
    // plain copy does without); null when it cannot be.
    QIODevice *device();

private:
    int m_handle;
    std::unique_ptr<QFile> m_file;
};

// Makes a new file at the path and has fill write its content into it. Never
// replaces anything at the path, a link included, nor a file that appeared a
// moment ago. The file starts with the permission bits given, narrowed by the
// process's mask (where the system has them). When fill fails, or the file
// cannot be closed, the file made here is removed. Returns FileAlreadyExists,
// PathNotFound when its folder does not exist, fill's error or
// GeneralFailure.
using NewFileFill = std::function<Error(NewFile &file)>;
Error createNewFile(const QString &path, const NewFileFill &fill, unsigned permissions = 0666);

// Copies and deletions of the user's files, by the bytes of their paths.
// Every failure comes back as an error; nothing is ever replaced.
class FileService {
public:
    // Copies source to destination, never replacing an existing file:
    // FileAlreadyExists when the destination exists, PathNotFound when the
    // folder of either path does not exist, GeneralFailure otherwise.
    Error copyFile(const QString &source, const QString &destination) const;

    // FileNotFound when no file (a folder is not a file) is at the path; a
    // link to a file is a file.
    Error getFile(const QString &path) const;

    // Deletes the file at once, read-only files too; nothing goes to a
    // recycle bin. A link is removed itself, never what it points to. No
    // permission is changed where deleting needs none (Unix); where it does
    // (force, Windows), only on the file itself, and put back when the delete
    // fails.
    Error deleteFile(const QString &path, bool force = true) const;

    // Renames a file, never replacing an existing one.
    Error renameFile(const QString &from, const QString &to) const;

    // Lets tests make a copy fail the way the system would (access denied,
    // a full disk): the hook's error, when not Ok, is the copy's result.
    using CopyFault = std::function<Error(const QString &source, const QString &destination)>;
    static void setCopyFaultForTests(CopyFault fault);
};

} // namespace pomiv
