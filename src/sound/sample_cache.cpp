#include "sound/sample_cache.h"

namespace sound {

namespace fs = std::filesystem;

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
            if (it->first != keep && it->second.sample && (oldest == entries_.end() || it->second.lastUse < oldest->second.lastUse))
                oldest = it;
        }
        if (oldest == entries_.end())
            return;
        bytes_ -= BytesOf(oldest->second);
        entries_.erase(oldest);
    }
}

std::shared_ptr<const Sample> SampleCache::Get(const std::string &path)
{
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    std::uintmax_t size = 0;
    fs::file_time_type modified{};
    if (!ec && fs::is_regular_file(status)) {
        size = fs::file_size(path, ec);
        if (!ec)
            modified = fs::last_write_time(path, ec);
    }
    if (ec || !fs::is_regular_file(status)) {
        Erase(path);
        lastError_ = "not a file";
        return nullptr;
    }

    const auto it = entries_.find(path);
    if (it != entries_.end() && it->second.fileSize == size && it->second.modified == modified) {
        it->second.lastUse = ++clock_;
        return it->second.sample;
    }

    Erase(path);
    Entry entry;
    entry.fileSize = size;
    entry.modified = modified;
    entry.lastUse = ++clock_;
    lastError_.clear();
    entry.sample = LoadWavFile(path, limits_, &lastError_);
    ++loads_;
    if (entry.sample && BytesOf(entry) > budget_) {
        lastError_ = "larger than the whole cache";
        entry.sample = nullptr;
    }
    bytes_ += BytesOf(entry);
    auto sample = entry.sample;
    entries_.emplace(path, std::move(entry));
    Evict(path);
    return sample;
}

} // namespace sound
