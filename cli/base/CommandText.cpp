#include "cli/base/CommandText.h"

namespace tamberlo::commandtext {

// As UTF-8 (char8_t) text: std::filesystem widens that as UTF-8 on Windows
// and takes it byte for byte elsewhere, whereas plain char text would be
// widened with the C run-time's locale.
std::filesystem::path ToPath(std::string_view text) {
    return std::filesystem::path(std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace tamberlo::commandtext
