#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace pomiv {

// The drives of the system. Without drive letters these are the mounted
// volumes (pseudo file systems left out); the drive of a folder is the volume
// that holds it. Tests put their own in place to have a drive that is not
// ready.
class Volumes {
public:
    virtual ~Volumes() = default;

    // Roots of the drives, in the order the drive list shows them.
    virtual QStringList roots() const = 0;

    // Whether the drive's medium can be read now.
    virtual bool isReady(const QString &root) const = 0;

    // Root of the drive that holds the path (the longest root it lies under).
    QString driveOf(const QString &path) const;

    // The folder a drive opens on: the start-up folder for the drive that
    // holds it, the root for every other drive.
    QString currentFolder(const QString &root) const;

    // The process's working directory when the program started.
    static QString startupFolder();
    static void setStartupFolder(const QString &folder);

    static Volumes &instance();
    // Replaces the system's drives (tests); null puts the real ones back.
    static void setInstance(std::unique_ptr<Volumes> volumes);
};

// The drive that holds a folder, looked up once, and whether it can be read
// now, asked anew each time: a run that checks before every file pays for the
// look-up once. A folder on no known drive counts as ready.
class FolderDrive {
public:
    explicit FolderDrive(const QString &folder);
    bool isReady() const;

private:
    QString m_drive;
};

// The real drives: mounted volumes as the system reports them.
class SystemVolumes : public Volumes {
public:
    QStringList roots() const override;
    bool isReady(const QString &root) const override;
};

} // namespace pomiv
