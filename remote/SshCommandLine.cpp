#include "remote/SshCommandLine.h"

#include <stdexcept>

namespace tamberlo::remote {
namespace {

bool IsPlainWord(std::string_view word) {
    if (word.empty()) return false;
    for (const char c : word) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || c == '.' || c == '/';
        if (!plain) return false;
    }
    return true;
}

void AddOption(std::vector<std::string>& arguments, std::string option) {
    arguments.emplace_back("-o");
    arguments.push_back(std::move(option));
}

}  // namespace

std::string QuoteForPosixShell(std::string_view word) {
    std::string quoted = "'";
    for (const char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

void CheckSshOption(std::string_view option) {
    std::size_t keyword = 0;
    while (keyword < option.size() &&
           ((option[keyword] >= 'a' && option[keyword] <= 'z') || (option[keyword] >= 'A' && option[keyword] <= 'Z')))
        ++keyword;
    if (keyword == 0 || keyword == option.size() || (option[keyword] != '=' && option[keyword] != ' '))
        throw std::invalid_argument("expected an ssh option as NAME=VALUE (ssh -o), e.g. Port=2222");
    for (const char c : option) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < ' ' || byte == 0x7f) throw std::invalid_argument("it holds a control character");
    }
}

std::vector<std::string> SshArguments(const SshSettings& settings, const std::vector<std::string>& remoteWords) {
    std::vector<std::string> arguments{settings.program, "-T"};
    AddOption(arguments, "BatchMode=yes");
    AddOption(arguments, "ConnectTimeout=" + std::to_string(settings.connectTimeoutSeconds));
    for (const std::string& option : settings.options) AddOption(arguments, option);
    AddOption(arguments, "ServerAliveInterval=5");
    AddOption(arguments, "ServerAliveCountMax=3");
    if (settings.controlPath) {
        AddOption(arguments, "ControlMaster=auto");
        AddOption(arguments, "ControlPath=" + *settings.controlPath);
        AddOption(arguments, "ControlPersist=yes");
    }
    if (settings.address.port) {
        arguments.emplace_back("-p");
        arguments.push_back(std::to_string(*settings.address.port));
    }
    arguments.push_back(settings.address.Destination());
    arguments.emplace_back("--");
    std::string command = QuoteForPosixShell(settings.remoteCommand);
    for (const std::string& word : remoteWords) {
        if (!IsPlainWord(word)) throw std::invalid_argument("not a plain word for the remote command: " + word);
        command += " " + word;
    }
    arguments.push_back(std::move(command));
    return arguments;
}

std::vector<std::string> SshMasterExitArguments(const SshSettings& settings) {
    std::vector<std::string> arguments{settings.program};
    AddOption(arguments, "BatchMode=yes");
    if (settings.controlPath) AddOption(arguments, "ControlPath=" + *settings.controlPath);
    arguments.emplace_back("-O");
    arguments.emplace_back("exit");
    if (settings.address.port) {
        arguments.emplace_back("-p");
        arguments.push_back(std::to_string(*settings.address.port));
    }
    arguments.push_back(settings.address.Destination());
    return arguments;
}

}  // namespace tamberlo::remote
