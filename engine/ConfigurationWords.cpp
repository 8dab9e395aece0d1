#include "engine/ConfigurationWords.h"

#include <cctype>

namespace tamberlo {

std::vector<std::string> ConfigurationWords(std::string_view text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (text.substr(i, 2) == "/*") {
            const std::size_t end = text.find("*/", i + 2);
            i = end == std::string_view::npos ? text.size() : end + 2;
        } else if (c == '"' || c == '\'') {
            const std::size_t end = text.find(c, i + 1);
            words.emplace_back(
                text.substr(i + 1, end == std::string_view::npos ? std::string_view::npos : end - i - 1));
            i = end == std::string_view::npos ? text.size() : end + 1;
        } else {
            std::size_t end = i;
            while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
            words.emplace_back(text.substr(i, end - i));
            i = end;
        }
    }
    return words;
}

}  // namespace tamberlo
