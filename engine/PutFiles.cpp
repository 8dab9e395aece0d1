#include "engine/PutFiles.h"

#include "engine/SASContract.h"
#include "host/Error.h"

namespace tamberlo {

namespace {

// A SAS string literal in single quotes stands for one quote by two.
std::string DoubleSingleQuotes(const std::string& text) {
    std::string quoted;
    quoted.reserve(text.size());
    for (const char c : text) {
        quoted += c;
        if (c == '\'') quoted += '\'';
    }
    return quoted;
}

}  // namespace

std::shared_ptr<PutFile> PutFiles::Item(long position) const {
    if (position < 1 || position > Count()) throw RuntimeError(errors::InvalidArgument);
    return items_[static_cast<std::size_t>(position - 1)];
}

std::shared_ptr<PutFile> PutFiles::Item(const std::string& key) const {
    const auto found = positionByKey_.find(key);
    if (found == positionByKey_.end()) throw RuntimeError(errors::InvalidArgument);
    return items_[found->second];
}

std::string PutFiles::AddPutFile(std::int16_t index) {
    // Made first, as its file must exist before anything refers to it; on a
    // duplicate key it ends here again, and its file with it.
    auto item = std::make_shared<PutFile>(index);
    if (positionByKey_.count(item->Key()) != 0) throw RuntimeError(errors::DuplicateKey);

    std::string statement = "filename " + item->Key() + " '" + DoubleSingleQuotes(item->Path()) + "' mod;" + sas::CrLf;
    // Room first, so that nothing below can fail once the key is recorded;
    // doubled when full, as push_back would, so that a run with thousands of
    // put files does not copy the collection once for every one.
    if (items_.size() == items_.capacity()) items_.reserve(items_.empty() ? 16 : 2 * items_.size());
    positionByKey_.emplace(item->Key(), items_.size());
    items_.push_back(std::move(item));
    return statement;
}

void PutFiles::WithdrawAfter(long count) noexcept {
    while (Count() > count && count >= 0) {
        positionByKey_.erase(items_.back()->Key());
        items_.pop_back();
    }
}

}  // namespace tamberlo
