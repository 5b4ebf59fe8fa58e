#include "viewer/PictureCache.h"

#include "platform/Errors.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#endif

#include <algorithm>
#include <memory>

namespace pomiv {

FileStamp FileStamp::of(const QString &path) {
    FileStamp s;
#ifdef Q_OS_LINUX
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return s;
    s.exists = true;
    s.size = st.st_size;
    s.modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.changed = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    s.node = st.st_ino;
#else
    const QFileInfo info(path);
    if (!info.isFile())
        return s;
    s.exists = true;
    s.size = info.size();
    s.modified = info.lastModified().toMSecsSinceEpoch();
    s.changed = info.metadataChangeTime().toMSecsSinceEpoch();
#endif
    return s;
}

PictureCache::PictureCache(int capacity) : m_capacity(capacity) {
    m_pool.setMaxThreadCount(1);
}

PictureCache::~PictureCache() {
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_ahead.clear();
    }
    m_pool.waitForDone();
}

PictureCache::Entry PictureCache::decode(const QString &path) {
    Entry e;
    e.path = path;
    e.stamp = FileStamp::of(path);
    e.err = decodePicture(path, &e.picture);
    e.trusted = FileStamp::of(path) == e.stamp;
    return e;
}

PictureCache::Entry *PictureCache::find(const QString &path) {
    for (Entry &e : m_entries) {
        if (e.path == path)
            return &e;
    }
    return nullptr;
}

int PictureCache::heldLocked() const {
    int n = m_decodingNow + (m_running.isEmpty() ? 0 : 1);
    for (const Entry &e : m_entries)
        n += e.picture.isNull() ? 0 : 1;
    return n;
}

int PictureCache::held() const {
    const std::lock_guard<std::mutex> guard(m_lock);
    return heldLocked();
}

template <class Pred> void PictureCache::evictIf(Pred pred) {
    std::erase_if(m_entries, [&](Entry &e) {
        if (!pred(e))
            return false;
        if (!e.picture.isNull())
            m_dead.push_back(std::move(e.picture));
        return true;
    });
}

// Freeing a large picture takes the system several milliseconds: the
// background thread does it, before it decodes anything new.
void PictureCache::disposeDead() {
    if (m_dead.empty())
        return;
    auto dead = std::make_shared<std::vector<Picture>>(std::move(m_dead));
    m_dead.clear();
    m_pool.start([dead] { dead->clear(); });
}

void PictureCache::letGo(const QImage &image) {
    const std::lock_guard<std::mutex> guard(m_lock);
    m_dead.push_back(Picture{image, {}});
    disposeDead();
}

void PictureCache::letGoOfUnwanted() {
    evictIf([this](const Entry &e) {
        return e.path != m_target && e.path != m_shown && !m_ahead.contains(e.path);
    });
}

// Lets go of pictures decoded ahead, the least likely first, until one more
// fits.
void PictureCache::makeRoomForOne(const QString &keep) {
    for (qsizetype i = m_ahead.size() - 1; i >= 0 && heldLocked() + 1 > m_capacity; --i) {
        if (m_ahead[i] == keep || m_ahead[i] == m_shown)
            continue;
        evictIf([&](const Entry &e) { return e.path == m_ahead[i]; });
    }
}

void PictureCache::store(Entry entry) {
    if (Entry *old = find(entry.path)) {
        if (!old->picture.isNull())
            m_dead.push_back(std::move(old->picture));
        *old = std::move(entry);
    } else
        m_entries.push_back(std::move(entry));
}

int PictureCache::take(const QString &path, const QStringList &ahead, Picture *picture) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_target = path;
    m_ahead.clear();
    for (const QString &p : ahead) {
        if (p != path && !m_ahead.contains(p))
            m_ahead.append(p);
    }
    letGoOfUnwanted();
    m_finished.wait(lock, [&] { return m_running != path; });

    int err = GeneralFailure;
    Entry *e = find(path);
    if (e && e->trusted && e->stamp == FileStamp::of(path)) {
        *picture = e->picture;
        err = e->err;
        ++m_counts.fromCopy;
    } else {
        if (e && path != m_shown)
            evictIf([&](const Entry &x) { return x.path == path; });
        makeRoomForOne(path);
        disposeDead();
        ++m_decodingNow;
        lock.unlock();
        Entry fresh = decode(path);
        lock.lock();
        --m_decodingNow;
        ++m_counts.decodedNow;
        *picture = fresh.picture;
        err = fresh.err;
        store(std::move(fresh));
    }
    if (err == Ok && m_shown != path) {
        const QString before = m_shown;
        m_shown = path;
        if (!m_ahead.contains(before))
            evictIf([&](const Entry &x) { return x.path == before; });
    }
    m_target.clear();
    letGoOfUnwanted();
    disposeDead();
    schedule();
    return err;
}

// Starts decoding the next file ahead that has no usable copy, when there is
// room for one more picture.
void PictureCache::schedule() {
    if (!m_running.isEmpty())
        return;
    for (const QString &p : m_ahead) {
        if (const Entry *e = find(p)) {
            if (!e->trusted || e->stamp == FileStamp::of(p))
                continue;
            evictIf([&](const Entry &x) { return x.path == p && p != m_shown; });
            disposeDead();
        }
        if (heldLocked() + 1 > m_capacity)
            return;
        m_running = p;
        m_pool.start([this, p] { runAhead(p); });
        return;
    }
}

void PictureCache::runAhead(const QString &path) {
    Entry fresh = decode(path);
    const std::lock_guard<std::mutex> guard(m_lock);
    m_running.clear();
    ++m_counts.decodedAhead;
    if (m_ahead.contains(path) || m_target == path)
        store(std::move(fresh));
    else if (!fresh.picture.isNull())
        m_dead.push_back(std::move(fresh.picture));
    disposeDead();
    schedule();
    m_finished.notify_all();
}

PictureCache::Counts PictureCache::counts() const {
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_counts;
}

void PictureCache::waitUntilIdle() {
    std::unique_lock<std::mutex> lock(m_lock);
    m_finished.wait(lock, [this] { return m_running.isEmpty(); });
}

} // namespace pomiv
