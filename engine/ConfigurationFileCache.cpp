#include "engine/ConfigurationFileCache.h"

#include <algorithm>
#include <chrono>

namespace tamberlo {

namespace {

// A file changed this shortly before it was read is not kept: the system
// stamps changes with a clock coarser than the nanoseconds it stores, so a
// second change of the same size within one tick would look like none. The
// later of its two times counts: a file written with its modification time
// restored (`cp -p`) has changed just now all the same.
constexpr std::chrono::seconds Settled(2);
// Readings kept at most (a long-lived host may meet many files): past this
// all are dropped and read anew.
constexpr std::size_t MostReadings = 64;

bool IsSettled(const filesystem::FileStamp& stamp) {
    const auto now =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch());
    return now - std::chrono::nanoseconds(std::max(stamp.modifiedNs, stamp.changedNs)) > Settled;
}

}  // namespace

ConfigurationFileCache& ConfigurationFileCache::Shared() {
    static ConfigurationFileCache cache;
    return cache;
}

filesystem::RegularFileRead ConfigurationFileCache::Read(const std::string& path, std::uintmax_t limit) {
    const std::optional<filesystem::FileStamp> stamp = filesystem::StampOfRegularFile(path);
    if (stamp) {
        const std::lock_guard<std::mutex> locked(lock_);
        if (const auto kept = readings_.find(path);
            kept != readings_.end() && kept->second.stamp == *stamp && kept->second.text.size() <= limit)
            return {filesystem::RegularFileRead::Outcome::Read, kept->second.text};
    }
    filesystem::RegularFileRead read = filesystem::ReadRegularFileIfPresent(path, limit);
    // Kept under the stamp taken before the read: a change in between
    // makes the next look read the file again, never keeps a stale text.
    if (stamp && read.outcome == filesystem::RegularFileRead::Outcome::Read && read.text.size() == stamp->size &&
        IsSettled(*stamp)) {
        const std::lock_guard<std::mutex> locked(lock_);
        if (readings_.size() >= MostReadings) readings_.clear();
        readings_[path] = {*stamp, read.text};
    }
    return read;
}

}  // namespace tamberlo
