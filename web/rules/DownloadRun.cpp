#include "web/rules/DownloadRun.h"

#include "core/Errors.h"
#include "core/FileService.h"
#include "core/Paths.h"
#include "core/Volumes.h"
#include "net/InternetTransfer.h"
#include "settings/rules/SettingsFile.h"
#include "web/rules/DownloadRules.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTimer>

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

// Failures that fetching ahead may cause and fetching one at a time not: a
// server that serves one connection at a time, or refuses more.
bool mayBeFromFetchingAhead(const NetRequest &request) {
    return request.error() == NetTimeout || request.error() == NetConnectFailed;
}

// Lets the network's events run for a while, but no click or key.
void pauseFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

DownloadRun::DownloadRun() : m_transfer(std::make_unique<InternetTransfer>()) {}

DownloadRun::~DownloadRun() = default;

RunResult DownloadRun::run(const DownloadJob &job,
                           const std::function<bool(const PictureReport &)> &report) {
    if (job.settings.number.isEmpty() || job.settings.prefix.isEmpty())
        return {RunEnd::Unnamed};
    qint64 number = 0;
    if (const Error err = parseNumberField(job.settings.number, &number); failed(err))
        return {err == TypeMismatch ? RunEnd::TypeMismatch : RunEnd::Failed, err};
    const int count = int(job.links.size());
    if (count == 0)
        return {RunEnd::NoLinks};

    const QString &folder = job.folder;
    SettingsRecord record = job.settings;
    RunResult result;
    FolderNames existing(folder);
    // The settings file is rewritten after every good picture.
    SettingsRun settings(job.dataFolder);
    // Whether the folder's drive is ready is asked before every file.
    const FolderDrive drive(folder);

    // Later pictures are fetched ahead, within a count and a byte budget,
    // while each is saved in list order.
    FetchBudget budget{m_aheadBytes};
    int ahead = m_ahead;
    std::vector<std::unique_ptr<NetRequest>> requests(count);
    int started = 0;
    const auto start = [&](int j) {
        requests[j].reset(m_transfer->startPicture(job.links[j].address, job.links[j].page,
                                                   ahead > 1 ? &budget : nullptr));
        // A picture fetched again starts where it stood, not one further.
        started = j + 1;
    };
    for (int i = 0; i < count; ++i) {
        while (started < count && started < i + ahead &&
               (started == i || budget.held < budget.limit))
            start(started);
        for (int j = i; started - i > 1 && j < started; ++j)
            requests[j]->shared = true;
        NetRequest *request = requests[i].get();
        request->setHead();
        InternetTransfer::waitFor(request);
        if (request->error() != Ok && request->shared && mayBeFromFetchingAhead(*request)) {
            // Fetched again on its own before it counts as failed, and the
            // rest one at a time: this server wants no more.
            for (int j = i; j < started; ++j)
                requests[j].reset();
            started = i;
            ahead = 1;
            // The server may not yet have seen the connections just given
            // up: each try waits a little longer for them to go first.
            for (int attempt = 0;; ++attempt) {
                pauseFor(100 << attempt);
                start(i);
                request = requests[i].get();
                InternetTransfer::waitFor(request);
                // Turned away: tried up to three times more; kept waiting:
                // once more, so that a server that is gone costs little.
                const Error err = request->error();
                if (!(err == NetConnectFailed && attempt < 3) &&
                    !(err == NetTimeout && attempt < 1))
                    break;
            }
        }
        const Error err = request->error();
        if (err != Ok && !request->hasAnswer() && mayBeFromFetchingAhead(*request))
            return {RunEnd::Failed, err, result.failures}; // no answer at all

        const QString name = addressName(job.links[i].address);
        const QString fileName =
            job.numbering ? numberedName(record.prefix, number) : safeFileName(name);
        const QString target = joinPath(folder, fileName);
        if (existing.contains(fileName))
            return {RunEnd::Clash, FileAlreadyExists, result.failures};
        if (!drive.isReady() || !QFileInfo(folder).isDir())
            return {RunEnd::NoPath, PathNotFound, result.failures};
        if (QFileInfo(QFileInfo(target).absolutePath()).canonicalFilePath() !=
            QFileInfo(folder).canonicalFilePath()) {
            // A name with a separator in it would leave the folder.
            return {RunEnd::Failed, GeneralFailure, result.failures};
        }
        // Refused redirections, bodies over the limit, connections broken off
        // and names too long are bad pictures like error answers: the run
        // goes on.
        const BodyPieces &body = request->body();
        const QByteArray head = body.first(16);
        const bool good =
            err == Ok && isGoodPicture(head, body.size(), request->httpStatus()) &&
            (!request->endedByClose() || endsWhole(head, body.last(64), body.size())) &&
            fileNameFits(fileName);
        if (good) {
            const Error writeErr = createNewFile(target, [&](NewFile &file) {
                QIODevice *device = file.device();
                return device && body.writeTo(device) ? Ok : GeneralFailure;
            });
            if (failed(writeErr)) {
                const RunEnd end = writeErr == FileAlreadyExists ? RunEnd::Clash
                                   : writeErr == PathNotFound    ? RunEnd::NoPath
                                                                 : RunEnd::Failed;
                return {end, writeErr, result.failures};
            }
            existing.add(fileName);
            if (job.numbering)
                record.number = QString::number(++number);
        } else {
            ++result.failures;
        }
        requests[i].reset();
        for (int j = i + 1; j < started; ++j)
            requests[j]->resume();
        if (!report({i, name, good, record.number}))
            return {RunEnd::Abandoned, Ok, result.failures};
        if (good) {
            // A settings file that cannot be written ends the run as its
            // folder would: a missing folder is a drive not ready.
            if (const Error saveErr = settings.f_save(record); failed(saveErr))
                return {saveErr == PathNotFound ? RunEnd::NoPath : RunEnd::Failed, saveErr,
                        result.failures};
        }
    }
    return result;
}

} // namespace pomiv
