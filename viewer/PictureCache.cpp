#include "viewer/PictureCache.h"

#include "core/Errors.h"

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

PictureCache::PictureCache(int capacity, qint64 largeBytes)
    : m_capacity(capacity), m_largeBytes(largeBytes) {
    m_pool.setMaxThreadCount(1);
}

PictureCache::~PictureCache() {
    stop();
}

void PictureCache::stop() {
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_stopped = true;
        m_ahead.clear();
        m_onWhole = nullptr;
    }
    m_pool.waitForDone();
}

void PictureCache::onWhole(std::function<void()> callback) {
    const std::lock_guard<std::mutex> guard(m_lock);
    m_onWhole = std::move(callback);
}

bool PictureCache::large(QSize size) const {
    return qint64(size.width()) * size.height() * 4 > m_largeBytes;
}

// The part of a large picture the window shows, when that is less than half
// of it; empty for the whole picture.
PartOf PictureCache::partOf(const PartOf &seen) const {
    if (!seen)
        return {};
    return [this, seen](QSize size) {
        const QRect part = seen(size) & QRect(QPoint(), size);
        if (!large(size) ||
            2 * qint64(part.width()) * part.height() > qint64(size.width()) * size.height())
            return QRect();
        return part;
    };
}

PictureCache::Entry PictureCache::decode(const QString &path, const PartOf &part) {
    Entry e;
    e.path = path;
    e.stamp = FileStamp::of(path);
    e.err = decodePicture(path, &e.picture, part);
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

// A copy may be handed out while its file is unchanged and, when it is a part,
// while the part covers what the window shows of the picture now.
bool PictureCache::usable(const Entry *e) const {
    if (!e || !e->trusted || e->stamp != FileStamp::of(e->path))
        return false;
    const Picture &p = e->picture;
    if (p.isNull() || p.isWhole())
        return true;
    const QRect part = partOf(m_seen)(p.size);
    return !part.isEmpty() && QRect(p.at, p.image.size()).contains(part);
}

// A large picture kept ahead is kept as the part the window shows.
void PictureCache::cutToPart(Entry &e) {
    Picture &p = e.picture;
    if (!p.isWhole() || !p.animation.isEmpty())
        return;
    const QRect part = partOf(m_seen)(p.size);
    if (part.isEmpty())
        return;
    m_dead.push_back(p);
    p.image = p.image.copy(part);
    p.at = part.topLeft();
}

int PictureCache::heldLocked() const {
    int n = m_decodingNow + (m_running.isEmpty() || m_runningWhole ? 0 : 1);
    for (const Entry &e : m_entries)
        n += e.picture.isNull() ? 0 : 1;
    return n;
}

int PictureCache::held() const {
    const std::lock_guard<std::mutex> guard(m_lock);
    return heldLocked();
}

qint64 PictureCache::heldBytes() const {
    const std::lock_guard<std::mutex> guard(m_lock);
    qint64 bytes = 0;
    for (const Entry &e : m_entries)
        bytes += e.picture.image.sizeInBytes();
    return bytes;
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
    if (m_dead.empty() || m_paused)
        return;
    auto dead = std::make_shared<std::vector<Picture>>(std::move(m_dead));
    m_dead.clear();
    m_pool.start([dead] { dead->clear(); });
}

void PictureCache::letGo(const QImage &image) {
    const std::lock_guard<std::mutex> guard(m_lock);
    Picture dead;
    dead.image = image;
    m_dead.push_back(std::move(dead));
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

Error PictureCache::take(const QString &path, const QStringList &ahead, const PartOf &seen,
                         Picture *picture) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_paused = true;
    m_target = path;
    m_seen = seen;
    m_ahead.clear();
    for (const QString &p : ahead) {
        if (p != path && !m_ahead.contains(p))
            m_ahead.append(p);
    }
    letGoOfUnwanted();
    // A part decoded ahead comes soon; the whole of the picture shown is
    // not waited for.
    m_finished.wait(lock, [&] { return m_running != path || m_runningWhole; });

    Error err = GeneralFailure;
    Entry *e = find(path);
    if (usable(e)) {
        *picture = e->picture;
        err = e->err;
        ++m_counts.fromCopy;
    } else {
        if (e && path != m_shown)
            evictIf([&](const Entry &x) { return x.path == path; });
        makeRoomForOne(path);
        disposeDead();
        ++m_decodingNow;
        const PartOf part = partOf(seen);
        lock.unlock();
        Entry fresh = decode(path, part);
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
        else if (Entry *b = find(before))
            cutToPart(*b);
    }
    m_target.clear();
    letGoOfUnwanted();
    return err;
}

void PictureCache::resume() {
    const std::lock_guard<std::mutex> guard(m_lock);
    m_paused = false;
    disposeDead();
    schedule();
}

Error PictureCache::whole(Picture *picture) {
    const std::lock_guard<std::mutex> guard(m_lock);
    const Entry *e = find(m_shown);
    if (e && e->err == InvalidPicture)
        return InvalidPicture;
    if (!e || !e->picture.isWhole())
        return GeneralFailure;
    *picture = e->picture;
    return Ok;
}

// Starts the next background decode: a file ahead that has no usable copy,
// when there is room for one more picture; then the whole of the picture
// shown in part.
void PictureCache::schedule() {
    if (!m_running.isEmpty() || m_stopped || m_paused)
        return;
    const PartOf part = partOf(m_seen);
    for (const QString &p : m_ahead) {
        if (const Entry *e = find(p)) {
            if (!e->trusted || usable(e))
                continue;
            evictIf([&](const Entry &x) { return x.path == p && p != m_shown; });
            disposeDead();
        }
        if (heldLocked() + 1 > m_capacity)
            break;
        m_running = p;
        m_pool.start([this, p, part] { run(p, part); });
        return;
    }
    const Entry *shown = find(m_shown);
    if (shown && shown->err == Ok && !shown->picture.isWhole()) {
        m_running = m_shown;
        m_runningWhole = true;
        m_pool.start([this, p = m_shown] { run(p, {}); });
    }
}

void PictureCache::run(const QString &path, const PartOf &part) {
    Entry fresh = decode(path, part);
    std::function<void()> completed;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        const bool whole = m_runningWhole;
        m_running.clear();
        m_runningWhole = false;
        if (whole) {
            // Only the whole of the same file as the part on screen will do,
            // or its refusal; one that is neither is not tried again.
            Entry *e = find(path);
            const bool same =
                e && path == m_shown && e->trusted && fresh.trusted && fresh.stamp == e->stamp;
            if (same && (fresh.err == InvalidPicture ||
                         (fresh.err == Ok && fresh.picture.size == e->picture.size))) {
                ++m_counts.completed;
                m_dead.push_back(std::move(e->picture));
                *e = std::move(fresh);
                completed = m_onWhole;
            } else {
                if (e && path == m_shown && !e->picture.isWhole())
                    evictIf([&](const Entry &x) { return x.path == path; });
                m_dead.push_back(std::move(fresh.picture));
            }
        } else {
            ++m_counts.decodedAhead;
            if (m_ahead.contains(path) || m_target == path) {
                if (m_target != path)
                    cutToPart(fresh);
                store(std::move(fresh));
            } else
                m_dead.push_back(std::move(fresh.picture));
        }
        disposeDead();
        schedule();
        m_finished.notify_all();
    }
    if (completed)
        completed();
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
