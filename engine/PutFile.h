#pragma once

#include <cstdint>
#include <string>

namespace tamberlo {

// One put file: a temporary file that SAS appends to through the fileref
// Key. The file is created empty with the object and deleted when the
// object ends (a failed deletion is ignored).
class PutFile {
public:
    // Key "_PUT<index>"; creates the empty temporary file under a new name
    // (never through an existing file), or throws the file system's error
    // (and then leaves no file behind).
    explicit PutFile(std::int16_t index);
    ~PutFile();
    PutFile(const PutFile&) = delete;
    PutFile& operator=(const PutFile&) = delete;

    const std::string& Key() const noexcept { return key_; }
    // The file's content, read at the first request only, cleaned when the
    // thread's CleanOutput switch is on. A failed read throws and leaves the
    // item unread, so that a later request tries again.
    std::string Value();
    // The file's content as read, uncleaned: read at the first request as
    // for Value, and kept by the item.
    const std::string& Content();
    const std::string& Path() const noexcept { return path_; }

private:
    void LoadContent();

    std::string key_;
    std::string path_;
    std::string content_;
    bool loaded_ = false;
};

}  // namespace tamberlo
