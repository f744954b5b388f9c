#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "sound/sample.h"
#include "sound/wav_loader.h"

namespace sound {

// Decoded samples by file path. A file is read again only when it has changed since it was last
// read: another file at the path (inode), another size, modification or change time (a copy that
// keeps size and modification time still changes the others), so a sound edited or replaced on
// disk is heard from the next play on while
// an unchanged one costs one look at the file's attributes. Files that fail to load are
// remembered as failures in the same way and not decoded again until they change.
//
// The cache keeps at most `budgetBytes` of samples (least recently used ones go first); a sample
// that a slot or a voice still uses stays alive with them.
//
// Threads (see sound/threads.h): UI thread only.
class SampleCache {
public:
    explicit SampleCache(LoadLimits limits = {}, std::size_t budgetBytes = 128u << 20);

    // The sample of the file at `path`, or null when it cannot be loaded (missing, unreadable, not
    // a regular file, too large, not a playable WAV file); then `why` (when given) says which, for
    // a file that is there but cannot be played, and is left empty for one that is not there.
    std::shared_ptr<const Sample> Get(const std::string &path, std::string *why = nullptr);

    void Clear();
    std::size_t size() const { return entries_.size(); }
    std::size_t bytes() const { return bytes_; }
    // How many times a file has been read and decoded.
    std::uint64_t loads() const { return loads_; }

private:
    // What tells one version of a file from another.
    struct Stamp {
        std::uint64_t device = 0, inode = 0, size = 0;
        std::int64_t modifiedNs = 0, changedNs = 0;
        bool operator==(const Stamp &) const = default;
    };
    struct Entry {
        Stamp stamp;
        std::shared_ptr<const Sample> sample; // null: the file failed to load, for this reason:
        std::string error;
        std::uint64_t lastUse = 0;
    };
    static std::size_t BytesOf(const Entry &e);
    void Erase(const std::string &path);
    void Evict(const std::string &keep);

    LoadLimits limits_;
    std::size_t budget_;
    std::unordered_map<std::string, Entry> entries_;
    std::size_t bytes_ = 0;
    std::uint64_t clock_ = 0;
    std::uint64_t loads_ = 0;
};

} // namespace sound
