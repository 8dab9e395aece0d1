#include "engine/RunSettings.h"

#include "engine/MethodErrors.h"
#include "engine/SASContract.h"
#include "host/AsciiCase.h"
#include "host/CommandLine.h"

#include <algorithm>
#include <cctype>

namespace tamberlo {

namespace {

// The environment name that carries a macro variable's value to SAS.
std::string CarrierName(const std::string& macroVariable) { return sas::MacroCarrierPrefix + macroVariable; }

const char* Describe(RunSettingKind kind) {
    switch (kind) {
    case RunSettingKind::Sysparm: return "-SYSPARM";
    case RunSettingKind::Environment: return "-SET ";
    case RunSettingKind::MacroVariable:
    case RunSettingKind::PathMacroVariable: return "The macro variable ";
    case RunSettingKind::Autoexec: return "-AUTOEXEC";
    case RunSettingKind::ExtraOption: return "The SAS option ";
    }
    return "";
}

[[noreturn]] void Refuse(RunSettingKind kind, const std::string& subject, const std::string& reason) {
    throw UnpassableSetting(kind, subject, reason);
}

// Refuses `value` when it cannot be passed as it is, or not in `encoding`.
void CheckValue(RunSettingKind kind, const std::string& subject, const std::string& value,
                const SessionEncoding* encoding) {
    if (std::string why = runsettings::WhyNotValue(value); !why.empty()) Refuse(kind, subject, why);
    if (encoding == nullptr) return;
    try {
        encoding->FromUtf8(value);
    } catch (const UnrepresentableCharacter& character) {
        Refuse(
            kind, subject,
            "the character " + character.Describe() + " has no place in the SAS session encoding " + encoding->Name());
    }
}

void CheckPath(const std::string& name, const std::string& path, const SessionEncoding* encoding) {
    constexpr RunSettingKind kind = RunSettingKind::PathMacroVariable;
    if (std::string why = runsettings::WhyNotName(name); !why.empty()) Refuse(kind, name, why);
    if (std::string why = runsettings::WhyNotValue(path); !why.empty()) Refuse(kind, name, why);
    if (encoding == nullptr) return;
    try {
        encoding->FromHostPath(path);
    } catch (const UnrepresentableCharacter& character) {
        Refuse(kind, name,
               "the character " + character.Describe() + " of its path has no place in the SAS session encoding " +
                   encoding->Name());
    }
}

}  // namespace

UnpassableSetting::UnpassableSetting(RunSettingKind kind, std::string subject, std::string reason)
    : Error(ComponentErrorNumber, ExecuteSource,
            std::string(Describe(kind)) + subject + " cannot be passed to SAS: " + reason + "."),
      kind_(kind),
      subject_(std::move(subject)),
      reason_(std::move(reason)) {}

namespace runsettings {

std::string WhyNotValue(std::string_view value) {
    if (value.find('\0') != std::string_view::npos) return "it holds a NUL character";
    if (value.find_first_of("\r\n") != std::string_view::npos) return "it holds a line break";
    return {};
}

std::string WhyNotName(std::string_view name) {
    const auto isStart = [](unsigned char c) { return std::isalpha(c) || c == '_'; };
    const auto isRest = [](unsigned char c) { return std::isalnum(c) || c == '_'; };
    if (name.empty() || !isStart(static_cast<unsigned char>(name[0])) ||
        !std::all_of(name.begin(), name.end(), [&](char c) { return isRest(static_cast<unsigned char>(c)); }) ||
        name.size() > 32) {
        return "not a SAS name (a letter or _, then letters, digits and _, at most 32)";
    }
    return {};
}

std::string WhyNotExtraOption(std::string_view word) {
    if (std::string why = WhyNotValue(word); !why.empty()) return why;
    if (word.empty() || (word[0] != '-' && word[0] != '/')) return {};
    // The options by which Tamberlo runs SAS, and those it sets itself.
    static const char* const taken[] = {"SYSIN",      "LOG",     "PRINT",    "CONFIG",  "NOCONFIG", "TERMINAL",
                                        "NOTERMINAL", "LOGO",    "NOLOGO",   "ICON",    "NOICON",   "$NOSTATUSWIN",
                                        "STDIO",      "NOSTDIO", "ENCODING", "SYSPARM", "SET",      "AUTOEXEC"};
    const std::string name = AsciiUpper(word.substr(1));
    for (const char* option : taken) {
        if (name == option) return "Tamberlo passes -" + name + " itself";
    }
    return {};
}

void Check(const RunSettings& settings, const SessionEncoding* encoding) {
    if (settings.sysparm) CheckValue(RunSettingKind::Sysparm, "", *settings.sysparm, encoding);
    for (const auto& [name, value] : settings.environment) {
        if (std::string why = WhyNotName(name); !why.empty()) Refuse(RunSettingKind::Environment, name, why);
        CheckValue(RunSettingKind::Environment, name, value, encoding);
    }
    for (const auto& [name, value] : settings.macroVariables) {
        if (std::string why = WhyNotName(name); !why.empty()) Refuse(RunSettingKind::MacroVariable, name, why);
        if (AsciiUpper(name).rfind("SYS", 0) == 0) {
            Refuse(RunSettingKind::MacroVariable, name, "names that start with SYS are SAS's own");
        }
        CheckValue(RunSettingKind::MacroVariable, name, value, encoding);
    }
    for (const auto& [name, path] : settings.pathMacroVariables) CheckPath(name, path, encoding);
    if (settings.autoexec) {
        if (std::string why = WhyNotValue(*settings.autoexec); !why.empty() || settings.autoexec->empty()) {
            Refuse(RunSettingKind::Autoexec, "", why.empty() ? "the path is empty" : why);
        }
    }
    for (const std::string& word : settings.extraOptions) {
        if (std::string why = WhyNotExtraOption(word); !why.empty()) Refuse(RunSettingKind::ExtraOption, word, why);
        CheckValue(RunSettingKind::ExtraOption, word, word, encoding);
    }
}

std::string CommandLineOptions(const RunSettings& settings, const SessionEncoding& encoding) {
    std::string line;
    const auto value = [&](const std::string& text) { return QuoteArgument(encoding.FromUtf8(text)); };
    if (settings.sysparm) line += sas::SysparmOption + value(*settings.sysparm);
    for (const auto& [name, text] : settings.environment) line += sas::SetOption + name + " " + value(text);
    // An empty value needs no carrier: the preamble sets it directly.
    for (const auto& [name, text] : settings.macroVariables) {
        if (!text.empty()) line += sas::SetOption + CarrierName(name) + " " + value(text);
    }
    for (const auto& [name, path] : settings.pathMacroVariables) {
        if (!path.empty())
            line += sas::SetOption + CarrierName(name) + " " + QuoteArgument(encoding.FromHostPath(path));
    }
    if (settings.autoexec) line += sas::AutoexecOption + QuoteArgument(*settings.autoexec);
    for (const std::string& word : settings.extraOptions) {
        const std::string encoded = encoding.FromUtf8(word);
        const bool plain = !encoded.empty() && encoded.find_first_of(" \t\"") == std::string::npos;
        line += " " + (plain ? encoded : QuoteArgument(encoded));
    }
    return line;
}

std::string MacroPreamble(const RunSettings& settings) {
    std::string preamble;
    const auto let = [&preamble](const std::string& name, const std::string& value) {
        preamble += "%LET " + name + "=";
        if (!value.empty()) preamble += "%QSYSFUNC(SYSGET(" + CarrierName(name) + "))";
        preamble += std::string(";") + sas::CrLf;
    };
    for (const auto& [name, text] : settings.macroVariables) let(name, text);
    for (const auto& [name, path] : settings.pathMacroVariables) let(name, path);
    return preamble;
}

}  // namespace runsettings
}  // namespace tamberlo
