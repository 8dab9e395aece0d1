#include "guard/wire/RunProgram.h"

#include "guard/wire/Framing.h"
#include "guard/wire/ReaperMessages.h"

#include <string_view>

namespace tamberlo::guard {

std::string EncodeProgram(const RunProgram& program) {
    std::string texts;
    std::size_t size = 0;
    for (const std::vector<std::string>* list : {&program.arguments, &program.candidates, &program.environment})
        for (const std::string& text : *list) size += sizeof(std::uint32_t) + text.size();
    if (size > MaxProgramBytes) return {};
    texts.reserve(size);
    for (const std::vector<std::string>* list : {&program.arguments, &program.candidates, &program.environment})
        for (const std::string& text : *list) AppendText(texts, text);
    const RunHeader header{static_cast<std::uint32_t>(texts.size()), program.gracePeriodMs,
                           static_cast<std::uint32_t>(program.arguments.size()),
                           static_cast<std::uint32_t>(program.candidates.size()),
                           static_cast<std::uint32_t>(program.environment.size())};
    std::string message(reinterpret_cast<const char*>(&header), sizeof header);
    message += texts;
    return message;
}

ProgramRead ReadProgram(int channel, RunProgram& program, WaitReadable wait, void* context) {
    RunHeader header{};
    if (!ReadExactly(channel, &header, sizeof header, wait, context)) return ProgramRead::Closed;
    if (header.bytes > MaxProgramBytes) return ProgramRead::TooLong;
    program.gracePeriodMs = header.gracePeriodMs;
    std::string bytes(header.bytes, '\0');
    if (!ReadExactly(channel, bytes.data(), bytes.size(), wait, context)) return ProgramRead::Closed;
    std::string_view rest(bytes);
    const bool whole = TakeTexts(rest, header.arguments, program.arguments) &&
                       TakeTexts(rest, header.candidates, program.candidates) &&
                       TakeTexts(rest, header.environment, program.environment) && rest.empty();
    // A program with no name cannot be started: execve would be given none.
    return whole && !program.arguments.empty() ? ProgramRead::Taken : ProgramRead::Malformed;
}

}  // namespace tamberlo::guard
