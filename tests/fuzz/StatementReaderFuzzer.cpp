// The stand-in's statement reader on any bytes: no fault, and every
// statement it returns is well formed.
#include "StatementReader.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using tamberlo::standin::StatementReader;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view program(reinterpret_cast<const char*>(data), size);
    const auto lines = StatementReader::Lines(program);
    const int lastLine = static_cast<int>(lines.size()) + 1;
    for (const auto& statement : StatementReader::Read(program)) {
        if (statement.tokens.empty()) std::abort();
        if (statement.firstLine < 1 || statement.firstLine > statement.lastLine || statement.lastLine > lastLine)
            std::abort();
        for (const auto& token : statement.tokens) {
            if (token.text.empty() || token.offset >= statement.text.size() + 1) std::abort();
            if (token.line < statement.firstLine || token.line > statement.lastLine) std::abort();
            if (statement.text.compare(token.offset, token.text.size(), token.text) != 0 && !statement.unclosedString &&
                token.text.find('\n') == std::string::npos)
                std::abort();
        }
    }
    return 0;
}
