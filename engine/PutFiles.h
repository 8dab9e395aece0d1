#pragma once

#include "engine/PutFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace tamberlo {

// The ordered collection of a run's put files, each under its key. It grows
// with every run; only a run that fails before SAS starts takes its own
// items out again. Items (and so their files) end with their last holder.
class PutFiles {
public:
    using Items = std::vector<std::shared_ptr<PutFile>>;

    long Count() const noexcept { return static_cast<long>(items_.size()); }
    // By 1-based position. Throws 5 outside 1 to Count.
    std::shared_ptr<PutFile> Item(long position) const;
    // By key. Throws 5 when there is no such key.
    std::shared_ptr<PutFile> Item(const std::string& key) const;
    // Iteration in collection order.
    Items::const_iterator begin() const noexcept { return items_.begin(); }
    Items::const_iterator end() const noexcept { return items_.end(); }

    // Makes the put file for `index`, adds it and returns its statement
    // "filename <key> '<path>' mod;" + CR LF, every single quote of the path
    // doubled. A key already present throws 457; the new item's file is then
    // deleted again and nothing is added.
    std::string AddPutFile(std::int16_t index);

    // Takes out the items added after the collection held `count` items,
    // last first; each deletes its file as it ends.
    void WithdrawAfter(long count) noexcept;

private:
    Items items_;
    std::unordered_map<std::string, std::size_t> positionByKey_;
};

}  // namespace tamberlo
