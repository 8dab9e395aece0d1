#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace tamberlo::cli {

// Lays out the help of a form of the command from its CLI11 declarations:
//
//   Usage: <name> [OPTIONS] [PROGRAM ...]     (a positional's option text
//                                             replaces "[PROGRAM ...]")
//
//   <description>
//
//   <Group>:
//     -e, --code TEXT     <description, its lines as declared>
//
//   <footer>
//
// Groups come in the order of their first option, positionals among them;
// the options of the group named Untitled follow a blank line only.
class HelpFormatter : public CLI::Formatter {
public:
    static constexpr const char* Untitled = "(untitled)";
    static constexpr std::size_t NameColumnWidth = 22;

    HelpFormatter();

    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override;
    std::string make_usage(const CLI::App* app, std::string name) const override;

    std::string make_option_name(const CLI::Option* option, bool isPositional) const override;
    std::string make_option_opts(const CLI::Option* option) const override;

    // The names of an option as its help line starts: "-e, --code", "PROGRAM".
    static std::string Names(const CLI::Option& option);
    // What its help line shows after the names: " TEXT" for an option that
    // takes a value, nothing for a flag or a positional.
    static std::string ValueName(const CLI::Option& option);

private:
    std::string Groups(const CLI::App* app) const;
};

}  // namespace tamberlo::cli
