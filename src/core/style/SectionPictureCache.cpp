#include "style/SectionPictureCache.h"

namespace korvane {

namespace {
// Pictures kept at most; beyond it the cache starts again (a window shows a few dozen sections).
constexpr std::size_t kMaxEntries = 512;
} // namespace

CSectionPictureCache::CSectionPictureCache(std::function<void(std::uint64_t)> onReady)
    : m_onReady(std::move(onReady)) {}

CSectionPictureCache::~CSectionPictureCache() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void CSectionPictureCache::Store(const Key& key, std::shared_ptr<const SectionPicture> picture) {
    if (m_entries.size() >= kMaxEntries && !m_entries.count(key.serial))
        m_entries.clear();
    m_entries[key.serial] = Entry{key, std::move(picture)};
}

std::shared_ptr<const SectionPicture> CSectionPictureCache::Find(const CStyleSection& section,
                                                                 const SectionTiming& timing) {
    const Key key{section.GetSerial(), section.GetDataLength(), timing,
                  RoutingOf(section.GetSegment())};
    std::unique_lock<std::mutex> lock(m_mutex);
    if (const auto found = m_entries.find(key.serial);
        found != m_entries.end() && found->second.key == key)
        return found->second.picture; // nullptr while the worker is at it
    const ByteArray* data = section.GetData();
    if (!data || data->size() <= kLargeSection) {
        lock.unlock();
        auto picture = std::make_shared<const SectionPicture>(
            SummariseSection(data ? ByteSpan(*data) : ByteSpan(), timing, key.routing));
        lock.lock();
        Store(key, picture);
        return picture;
    }
    Store(key, nullptr);
    m_jobs.push_back({key, *data});
    if (!m_worker.joinable())
        m_worker = std::thread(&CSectionPictureCache::Work, this);
    lock.unlock();
    m_wake.notify_one();
    return nullptr;
}

void CSectionPictureCache::Work() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_stopping)
            return;
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        auto picture = std::make_shared<const SectionPicture>(
            SummariseSection(job.bytes, job.key.timing, job.key.routing));
        job.bytes = ByteArray();
        lock.lock();
        Store(job.key, std::move(picture));
        if (m_onReady) {
            lock.unlock();
            m_onReady(job.key.serial);
            lock.lock();
        }
    }
}

} // namespace korvane
