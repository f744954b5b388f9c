#include "sound/sample_cache.h"

#include <sys/stat.h>

namespace sound {

SampleCache::SampleCache(LoadLimits limits, std::size_t budgetBytes) : limits_(limits), budget_(budgetBytes) {}

std::size_t SampleCache::BytesOf(const Entry &e)
{
    return e.sample ? e.sample->data.size() * sizeof(float) : 0;
}

void SampleCache::Erase(const std::string &path)
{
    const auto it = entries_.find(path);
    if (it == entries_.end())
        return;
    bytes_ -= BytesOf(it->second);
    entries_.erase(it);
}

void SampleCache::Clear()
{
    entries_.clear();
    bytes_ = 0;
}

void SampleCache::Evict(const std::string &keep)
{
    while (bytes_ > budget_) {
        auto oldest = entries_.end();
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->first != keep && it->second.sample &&
                (oldest == entries_.end() || it->second.lastUse < oldest->second.lastUse))
                oldest = it;
        }
        if (oldest == entries_.end())
            return;
        bytes_ -= BytesOf(oldest->second);
        entries_.erase(oldest);
    }
}

std::shared_ptr<const Sample> SampleCache::Get(const std::string &path, std::string *why)
{
    if (why)
        why->clear();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        Erase(path);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        Erase(path);
        if (why)
            *why = "not a file";
        return nullptr;
    }
    auto ns = [](const timespec &t) { return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec; };
    const Stamp stamp{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino), std::uint64_t(st.st_size), ns(st.st_mtim),
                      ns(st.st_ctim)};

    const auto it = entries_.find(path);
    if (it != entries_.end() && it->second.stamp == stamp) {
        it->second.lastUse = ++clock_;
        if (why)
            *why = it->second.error;
        return it->second.sample;
    }

    Erase(path);
    Entry entry;
    entry.stamp = stamp;
    entry.lastUse = ++clock_;
    entry.sample = LoadWavFile(path, limits_, &entry.error);
    ++loads_;
    if (entry.sample && BytesOf(entry) > budget_) {
        entry.error = "larger than the whole cache";
        entry.sample = nullptr;
    }
    if (why)
        *why = entry.error;
    bytes_ += BytesOf(entry);
    auto sample = entry.sample;
    entries_.emplace(path, std::move(entry));
    Evict(path);
    return sample;
}

} // namespace sound
