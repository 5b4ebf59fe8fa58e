#pragma once

#include "settings/rules/SettingsFile.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace pomiv {

class InternetTransfer;

// One picture to fetch: its address and the page that listed it, sent as the
// Referer (empty for an address listed on its own).
struct DownloadLink {
    QString address;
    QString page{};
};

// What a download run reads: the links in list order, the folder, the naming,
// and the settings record as the run starts, whose name prefix and number name
// the pictures and which is written back, with the number advanced, after
// every good picture.
struct DownloadJob {
    QList<DownloadLink> links{};
    QString folder{};
    bool numbering = true;     // numbered names, or the names in the addresses
    SettingsRecord settings{}; // the folders, the name prefix and the number
    QString dataFolder{};      // where the settings file is
};

// The result for one picture, reported in list order.
struct PictureReport {
    int index = 0;
    QString name; // the address name, as the download monitor shows it
    bool ok = false;
    QString number; // the number field's text from now on
};

// How a run ended.
enum class RunEnd {
    Done,         // every link handled; failures counts the bad pictures
    Unnamed,      // the prefix or the number is empty
    TypeMismatch, // the number is not a number
    NoLinks,      // nothing to download
    NoPath,       // the folder is missing or its drive not ready
    Clash,        // a file of the numbered name is in the folder
    Failed,       // any other failure, err tells which
    Abandoned,    // the report asked to stop
};

struct RunResult {
    RunEnd end = RunEnd::Done;
    Error err = Ok;
    int failures = 0;
};

// A download run: every link, in list order, into the folder. A bad picture
// (an error answer, too small, not a picture) is deleted and reported, and
// the run goes on; the number advances and the settings file is written after
// every good one. Later pictures are fetched ahead while one is saved; what is
// reported is what fetching one at a time would give.
class DownloadRun {
public:
    DownloadRun();
    ~DownloadRun();

    // How many pictures are fetched at once (8); 1 fetches one at a time.
    void setFetchAhead(int count) { m_ahead = qMax(1, count); }

    // How many body bytes may be held for pictures fetched ahead of the one
    // being saved (256 MB); the one being saved may always come whole.
    void setAheadBytes(qint64 bytes) { m_aheadBytes = bytes; }

    // Runs the job; report is called once per picture and returns false to
    // stop the run at once (the window that shows it has gone).
    RunResult run(const DownloadJob &job, const std::function<bool(const PictureReport &)> &report);

private:
    std::unique_ptr<InternetTransfer> m_transfer;
    int m_ahead = 8;
    qint64 m_aheadBytes = 256LL * 1024 * 1024;
};

} // namespace pomiv
