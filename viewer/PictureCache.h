#pragma once

#include "pictures/PictureDecoder.h"

#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <condition_variable>
#include <functional>
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
// held at a time, the one being decoded ahead included.
//
// A large picture (more than `largeBytes` decoded, and more than twice what
// the window shows of it) is decoded first as the part the window shows,
// which a JPEG's reader does in a fraction of the time; the whole of it
// follows in the background while it is shown. Only the picture shown is held
// whole: the copies of large pictures kept ahead are their seen parts.
class PictureCache {
public:
    explicit PictureCache(int capacity = 3, qint64 largeBytes = 16 << 20);
    ~PictureCache();
    PictureCache(const PictureCache &) = delete;
    PictureCache &operator=(const PictureCache &) = delete;

    // The picture of the file at path, with the result of decodePicture: the
    // copy decoded ahead when its file is unchanged, the one being decoded
    // ahead when it is under way, otherwise decoded now. `ahead` names the
    // files to decode next, most likely first; every other copy is let go,
    // except the one shown until a new one is. `seen` tells the part of a
    // picture the window shows; a picture handed out in part is completed in
    // the background (see onWhole).
    Error take(const QString &path, const QStringList &ahead, const PartOf &seen, Picture *picture);
    // Nothing new starts in the background after a take until this is
    // called: the picture taken is to be painted first.
    void resume();

    // Called, on the background thread, when the whole of the picture shown
    // in part has been decoded, or found to be no picture after all.
    void onWhole(std::function<void()> callback);
    // The whole of the picture last handed out: Ok once it is decoded;
    // InvalidPicture when the rest of the file is no picture (a JPEG damaged
    // below the part shown), which is then kept as a refused file;
    // GeneralFailure while neither is known.
    Error whole(Picture *picture);

    // Hands over a picture no longer on screen, to be freed off the caller's
    // thread.
    void letGo(const QImage &image);

    // Decoded pictures held now, the one under way ahead included, and the
    // bytes of the pictures held.
    int held() const;
    qint64 heldBytes() const;

    // Waits until nothing is being decoded in the background.
    void waitUntilIdle();
    // Decodes nothing more and calls no one back; waits for the decode under
    // way.
    void stop();

    // How the pictures taken so far were had.
    struct Counts {
        int fromCopy = 0;   // decoded ahead (or earlier) and unchanged since
        int decodedNow = 0; // decoded when taken
        int decodedAhead = 0;
        int completed = 0; // wholes decoded in the background
    };
    Counts counts() const;

private:
    struct Entry {
        QString path;
        FileStamp stamp;
        bool trusted = false; // the file did not change while it was read
        Error err = Ok;
        Picture picture;
    };

    static Entry decode(const QString &path, const PartOf &part);
    Entry *find(const QString &path);
    bool usable(const Entry *e) const;
    bool large(QSize size) const;
    PartOf partOf(const PartOf &seen) const;
    void cutToPart(Entry &e);
    int heldLocked() const;
    template <class Pred> void evictIf(Pred pred);
    void disposeDead();
    void letGoOfUnwanted();
    void makeRoomForOne(const QString &keep);
    void store(Entry entry);
    void schedule();
    void run(const QString &path, const PartOf &part);

    const int m_capacity;
    const qint64 m_largeBytes;
    mutable std::mutex m_lock;
    std::condition_variable m_finished;
    std::vector<Entry> m_entries;
    QString m_shown;             // the picture on screen
    QString m_target;            // the picture asked for now
    QStringList m_ahead;         // to be decoded ahead, in order
    PartOf m_seen;               // what the window shows of a picture
    QString m_running;           // being decoded in the background
    bool m_runningWhole = false; // the whole of the picture shown
    bool m_stopped = false;
    bool m_paused = false;
    int m_decodingNow = 0; // decodes under way on the caller's thread
    Counts m_counts;
    std::function<void()> m_onWhole;
    std::vector<Picture> m_dead; // let go of, to be freed in the background
    QThreadPool m_pool;
};

} // namespace pomiv
