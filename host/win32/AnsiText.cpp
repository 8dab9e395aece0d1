#include "host/AnsiText.h"

#include "host/SystemError.h"

#include <windows.h>

#include <climits>
#include <new>

namespace tamberlo::ansi {

namespace {

int CheckedLength(std::size_t length) {
    if (length > INT_MAX) throw std::bad_alloc();
    return static_cast<int>(length);
}

[[noreturn]] void ThrowLastError() { throw ErrorFromSystemCode(::GetLastError()); }

}  // namespace

std::size_t WideLength(std::string_view text) {
    if (text.empty()) return 0;
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), CheckedLength(text.size()), nullptr, 0);
    if (length <= 0) ThrowLastError();
    return static_cast<std::size_t>(length);
}

void ToWide(std::string_view text, wchar_t* out, std::size_t length) {
    if (text.empty()) return;
    if (::MultiByteToWideChar(CP_ACP, 0, text.data(), CheckedLength(text.size()), out, CheckedLength(length)) !=
        static_cast<int>(length))
        ThrowLastError();
}

std::string FromWide(const wchar_t* text, std::size_t length) {
    if (length == 0) return {};
    const int wide = CheckedLength(length);
    const int size = ::WideCharToMultiByte(CP_ACP, 0, text, wide, nullptr, 0, nullptr, nullptr);
    if (size <= 0) ThrowLastError();
    std::string result(static_cast<std::size_t>(size), '\0');
    if (::WideCharToMultiByte(CP_ACP, 0, text, wide, result.data(), size, nullptr, nullptr) != size) ThrowLastError();
    return result;
}

bool SingleByteCodePage() {
    CPINFO info{};
    return ::GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
}

std::string ToUtf8(std::string_view text) {
    try {
        const std::size_t length = WideLength(text);
        std::wstring wide(length, L'\0');
        ToWide(text, wide.data(), length);
        const int wideLength = CheckedLength(length);
        const int utf8Length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
        if (utf8Length <= 0) return std::string(text);
        std::string utf8(static_cast<std::size_t>(utf8Length), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), utf8Length, nullptr, nullptr);
        return utf8;
    } catch (const Error&) {
        return std::string(text);
    }
}

}  // namespace tamberlo::ansi
