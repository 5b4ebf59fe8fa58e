#pragma once

#include "platform/PictureDecoder.h"

#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <condition_variable>
#include <mutex>
#include <vector>

namespace pomiv {

// What identifies one version of a file on disk: a file rewritten, replaced
// or deleted no longer matches the stamp taken before.
struct FileStamp {
    bool exists = false;
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds where the system tells them
    qint64 changed = 0;
    quint64 node = 0;

    static FileStamp of(const QString &path);
    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

// The viewer's decoded pictures: the one shown and the ones it is likely to
// show next, decoded ahead on a background thread. A copy is only handed out
// while its file is unchanged on disk. At most `capacity` decoded pictures are
// held at a time, the one being decoded included.
class PictureCache {
public:
    explicit PictureCache(int capacity = 3);
    ~PictureCache();
    PictureCache(const PictureCache &) = delete;
    PictureCache &operator=(const PictureCache &) = delete;

    // The picture of the file at path, with the result of decodePicture: the
    // copy decoded ahead when its file is unchanged, the one being decoded
    // ahead when it is under way, otherwise decoded now. `ahead` names the
    // files to decode next, most likely first; every other copy is let go,
    // except the one shown until a new one is.
    int take(const QString &path, const QStringList &ahead, Picture *picture);

    // Hands over a picture no longer on screen, to be freed off the caller's
    // thread.
    void letGo(const QImage &image);

    // Decoded pictures held now, the one under way included.
    int held() const;

    // Waits until nothing is being decoded ahead.
    void waitUntilIdle();

    // How the pictures taken so far were had.
    struct Counts {
        int fromCopy = 0;   // decoded ahead (or earlier) and unchanged since
        int decodedNow = 0; // decoded when taken
        int decodedAhead = 0;
    };
    Counts counts() const;

private:
    struct Entry {
        QString path;
        FileStamp stamp;
        bool trusted = false; // the file did not change while it was read
        int err = 0;
        Picture picture;
    };

    static Entry decode(const QString &path);
    Entry *find(const QString &path);
    int heldLocked() const;
    template <class Pred> void evictIf(Pred pred);
    void disposeDead();
    void letGoOfUnwanted();
    void makeRoomForOne(const QString &keep);
    void store(Entry entry);
    void schedule();
    void runAhead(const QString &path);

    const int m_capacity;
    mutable std::mutex m_lock;
    std::condition_variable m_finished;
    std::vector<Entry> m_entries;
    QString m_shown;       // the picture on screen
    QString m_target;      // the picture asked for now
    QStringList m_ahead;   // to be decoded ahead, in order
    QString m_running;     // being decoded ahead
    int m_decodingNow = 0; // decodes under way on the caller's thread
    Counts m_counts;
    std::vector<Picture> m_dead; // let go of, to be freed in the background
    QThreadPool m_pool;
};

} // namespace pomiv
