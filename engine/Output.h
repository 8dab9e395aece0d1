#pragma once

#include "engine/PutFiles.h"

#include <memory>
#include <string>

namespace tamberlo {

// What runs produced: the log and listing texts, stored raw, and the put
// files. Also the access point to the thread's two output switches.
class Output {
public:
    // Turns both switches of this thread on.
    Output();

    bool CleanOutput() const noexcept;
    void SetCleanOutput(bool pNewValue) noexcept;
    // Cleaned on every read when CleanOutput is on; the stored text never changes.
    std::string Log() const;
    std::string Lst() const;
    // The stored texts, uncleaned, for callers that clean them on their way
    // elsewhere and would otherwise copy them twice.
    const std::string& StoredLog() const noexcept { return log_; }
    const std::string& StoredLst() const noexcept { return lst_; }
    const std::shared_ptr<tamberlo::PutFiles>& PutFiles() const noexcept { return putFiles_; }
    void SetSafeFormChar(bool pNewValue) noexcept;
    bool SafeFormChar() const noexcept;

    void SetLog(std::string text) { log_ = std::move(text); }
    void SetLst(std::string text) { lst_ = std::move(text); }

private:
    std::string log_;
    std::string lst_;
    std::shared_ptr<tamberlo::PutFiles> putFiles_;
};

}  // namespace tamberlo
