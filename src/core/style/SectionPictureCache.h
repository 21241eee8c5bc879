#pragma once

#include "style/SectionPicture.h"
#include "style/StyleSection.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace korvane {

// The pictures of the sections asked about, each computed once. A small section's picture is
// computed at once; a large one's on a worker thread of the cache's own, from a copy of its
// bytes, so that the asking thread never waits for it and the section may be released meanwhile.
// The worker starts at the first large section, not before.
class CSectionPictureCache {
public:
    // Sections of more bytes than this are summarised on the worker thread.
    static constexpr std::size_t kLargeSection = 64 * 1024;

    // onReady is called on the worker thread with the serial of each section whose picture has
    // just been computed there.
    explicit CSectionPictureCache(std::function<void(std::uint64_t serial)> onReady = {});
    ~CSectionPictureCache();
    CSectionPictureCache(const CSectionPictureCache&) = delete;
    CSectionPictureCache& operator=(const CSectionPictureCache&) = delete;

    // The section's picture, its notes routed by its CSEG's Ctab records, when it is known;
    // otherwise nullptr, and the worker computes it.
    std::shared_ptr<const SectionPicture> Find(const CStyleSection& section,
                                               const SectionTiming& timing);

private:
    struct Key {
        std::uint64_t serial;
        std::size_t size;
        SectionTiming timing;
        PartRouting routing;
        bool operator==(const Key&) const = default;
    };
    struct Entry {
        Key key;
        std::shared_ptr<const SectionPicture> picture; // nullptr while the worker computes it
    };
    struct Job {
        Key key;
        ByteArray bytes;
    };
    void Work();
    void Store(const Key& key, std::shared_ptr<const SectionPicture> picture);

    std::function<void(std::uint64_t)> m_onReady;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::unordered_map<std::uint64_t, Entry> m_entries; // by serial
    std::deque<Job> m_jobs;
    bool m_stopping = false;
    std::thread m_worker; // last: it ends before the members it uses
};

} // namespace korvane
