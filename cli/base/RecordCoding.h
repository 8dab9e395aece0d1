#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tamberlo::cli::record_coding {

// The bytes of what a batch keeps on disk of its programs (findings,
// outcomes): numbers as 8 bytes little-endian, texts as their length and
// bytes. Written and read by this process alone, so the layout has no
// version.
void AppendNumber(std::string& out, std::uint64_t value);
void AppendText(std::string& out, std::string_view text);

// Reads back what the Append functions wrote, in the same order. Throws
// std::runtime_error when the bytes end too soon.
class Reader {
public:
    explicit Reader(std::string_view bytes) : rest_(bytes) {}

    std::uint64_t Number();
    std::string Text();
    bool AtEnd() const noexcept { return rest_.empty(); }
    std::size_t Left() const noexcept { return rest_.size(); }

private:
    std::string_view Take(std::uint64_t size);

    std::string_view rest_;
};

}  // namespace tamberlo::cli::record_coding
