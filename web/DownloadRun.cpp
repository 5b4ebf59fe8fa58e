#include "web/DownloadRun.h"

#include "platform/Errors.h"
#include "platform/InternetTransfer.h"
#include "platform/Paths.h"
#include "platform/Volumes.h"
#include "settings/SettingsFile.h"
#include "web/DownloadRules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <vector>

namespace pomiv {

namespace {

// Names in a folder, compared without regard to case.
class FolderNames {
public:
    explicit FolderNames(const QString &folder) {
        const QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                         QDir::System | QDir::NoDotAndDotDot);
        for (const QString &name : names)
            m_names.insert(name.toCaseFolded());
    }
    bool contains(const QString &name) const { return m_names.contains(name.toCaseFolded()); }
    void add(const QString &name) { m_names.insert(name.toCaseFolded()); }

private:
    QSet<QString> m_names;
};

bool folderAvailable(const QString &folder) {
    const Volumes &volumes = Volumes::instance();
    const QString drive = volumes.driveOf(folder);
    if (!drive.isEmpty() && !volumes.isReady(drive))
        return false;
    return QFileInfo(folder).isDir();
}

// Creates the file with the bytes, never replacing one; a write that fails
// removes what it wrote.
int writeNewFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
            return FileAlreadyExists;
        if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
            return PathNotFound;
        return GeneralFailure;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.close();
        file.remove();
        return GeneralFailure;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        file.remove();
        return GeneralFailure;
    }
    return Ok;
}

} // namespace

QString runErrorText(int err) {
    return err == NumberOverflow ? numberErrorText(err) : netErrorText(err);
}

DownloadRun::DownloadRun() : m_transfer(std::make_unique<InternetTransfer>()) {}

DownloadRun::~DownloadRun() = default;

RunResult DownloadRun::run(const DownloadJob &job,
                           const std::function<bool(const PictureReport &)> &report) {
    if (job.number.isEmpty() || job.prefix.isEmpty())
        return {RunEnd::Unnamed};
    qint64 number = 0;
    if (const int err = parseNumberField(job.number, &number))
        return {err == TypeMismatch ? RunEnd::TypeMismatch : RunEnd::Failed, err};
    const int count = int(job.links.size());
    if (count == 0)
        return {RunEnd::NoLinks};

    const QString &folder = job.folder;
    QString numberText = job.number;
    RunResult result;
    FolderNames existing(folder);

    // Later addresses are fetched ahead while each is saved in list order.
    std::vector<std::unique_ptr<NetRequest>> requests(count);
    int started = 0;
    for (int i = 0; i < count; ++i) {
        while (started < count && started < i + m_ahead) {
            requests[started].reset(m_transfer->startBytes(job.links[started].address));
            ++started;
        }
        NetRequest *request = requests[i].get();
        InternetTransfer::waitFor(request);
        if (request->error() != Ok)
            return {RunEnd::Failed, request->error(), result.failures};
        const QByteArray body = request->takeBody();
        const int status = request->httpStatus();
        requests[i].reset();

        const QString name = addressName(job.links[i].address);
        const QString fileName =
            job.numbering ? numberedName(job.prefix, number) : safeFileName(name);
        const QString target = joinPath(folder, fileName);
        if (existing.contains(fileName))
            return {RunEnd::Clash, FileAlreadyExists, result.failures};
        if (!folderAvailable(folder))
            return {RunEnd::NoPath, PathNotFound, result.failures};
        if (QFileInfo(QFileInfo(target).absolutePath()).canonicalFilePath() !=
            QFileInfo(folder).canonicalFilePath()) {
            // A name with a separator in it would leave the folder.
            return {RunEnd::Failed, GeneralFailure, result.failures};
        }
        const bool good = isGoodPicture(body, status);
        if (good) {
            if (const int err = writeNewFile(target, body)) {
                const RunEnd end = err == FileAlreadyExists ? RunEnd::Clash
                                   : err == PathNotFound    ? RunEnd::NoPath
                                                            : RunEnd::Failed;
                return {end, err, result.failures};
            }
            existing.add(fileName);
            if (job.numbering)
                numberText = QString::number(++number);
        } else {
            // Not a picture, an error answer or too small: counted as failed
            // and nothing is left in the folder.
            ++result.failures;
        }
        if (!report({i, name, good, numberText}))
            return {RunEnd::Abandoned, Ok, result.failures};
        if (good) {
            if (const int err = f_save(job.mainFolder, job.destFolder, job.prefix, numberText))
                return {RunEnd::Failed, err, result.failures};
        }
    }
    return result;
}

} // namespace pomiv
