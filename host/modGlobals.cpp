#include "host/modGlobals.h"

#include "host/HostEnvironment.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <random>

namespace tamberlo {

namespace {

void RemoveAll(std::string& text, std::string_view what) {
    std::string::size_type at = 0;
    while ((at = text.find(what, at)) != std::string::npos) text.erase(at, what.size());
}

// A process-wide sequence started at a random point and passed through a
// bijective mix: within the process no value ever repeats, whatever the
// threads, and other processes start elsewhere.
std::uint64_t NextRandomNumber() {
    static std::atomic<std::uint64_t> sequence{[] {
        std::random_device device;
        return (std::uint64_t{device()} << 32) ^ device();
    }()};
    std::uint64_t x = sequence.fetch_add(1, std::memory_order_relaxed);
    // splitmix64's finaliser, a bijection on 64-bit values.
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

// For every byte: 0 when it stays as it is, else the length of its
// replacement ("%9" is 2, "%12" is 3).
constexpr std::array<unsigned char, 256> MakeReplacementLengths() {
    std::array<unsigned char, 256> lengths{};
    for (int code = 1; code < 32; ++code) {
        if (code != '\n' && code != '\r') lengths[code] = code < 10 ? 2 : 3;
    }
    return lengths;
}
constexpr auto ReplacementLength = MakeReplacementLengths();

}  // namespace

std::string GetTempDirectory() { return hostenv::SystemTempDirectory(); }

std::string MakeTimeStamp() {
    std::string stamp = hostenv::LocalDateTimeText();
    for (std::string_view what : {":", "/", " ", "AM", "PM"}) RemoveAll(stamp, what);
    return stamp;
}

std::string MakeTempFileName(std::string_view prefix, std::string_view extension) {
    std::string name = GetTempDirectory();
    name += prefix;
    name += '_';
    name += MakeTimeStamp();
    name += '_';
    name += std::to_string(NextRandomNumber());
    name += extension;
    return name;
}

std::string CleanControlChars(std::string_view text) {
    // Size the result first, then copy the runs between replacements whole.
    std::size_t size = text.size();
    for (const char c : text) {
        const unsigned extra = ReplacementLength[static_cast<unsigned char>(c)];
        if (extra != 0) size += extra - 1;
    }
    if (size == text.size()) return std::string(text);

    std::string cleaned;
    cleaned.resize(size);
    char* out = cleaned.data();
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (ReplacementLength[c] == 0) continue;
        out = std::copy(text.data() + runStart, text.data() + i, out);
        *out++ = '%';
        if (c >= 10) *out++ = static_cast<char>('0' + c / 10);
        *out++ = static_cast<char>('0' + c % 10);
        runStart = i + 1;
    }
    std::copy(text.data() + runStart, text.data() + text.size(), out);
    return cleaned;
}

}  // namespace tamberlo
