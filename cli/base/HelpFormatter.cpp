#include "cli/base/HelpFormatter.h"

namespace tamberlo::cli {

HelpFormatter::HelpFormatter() { column_width(NameColumnWidth); }

std::string HelpFormatter::Names(const CLI::Option& option) {
    std::string names;
    const auto add = [&names](const std::string& name) { names += (names.empty() ? "" : ", ") + name; };
    for (const std::string& name : option.get_snames()) add("-" + name);
    for (const std::string& name : option.get_lnames()) add("--" + name);
    if (names.empty()) add(option.get_name(true, false));
    return names;
}

std::string HelpFormatter::make_help(const CLI::App* app, std::string name, CLI::AppFormatMode) const {
    std::string help = make_usage(app, name) + "\n" + make_description(app) + Groups(app);
    if (!app->get_footer().empty()) help += "\n" + app->get_footer() + "\n";
    return help;
}

std::string HelpFormatter::make_usage(const CLI::App* app, std::string name) const {
    std::string usage = "Usage: " + name + " [OPTIONS]";
    for (const CLI::Option* positional :
         app->get_options([](const CLI::Option* option) { return option->get_positional(); })) {
        // A positional that must be given says so by its option text.
        const std::string& text = positional->get_option_text();
        usage += " " + (text.empty() ? "[" + positional->get_name(true, false) + " ...]" : text);
    }
    return usage + "\n";
}

std::string HelpFormatter::Groups(const CLI::App* app) const {
    std::string groups;
    for (const std::string& group : app->get_groups()) {
        const std::vector<const CLI::Option*> options =
            app->get_options([&group](const CLI::Option* option) { return option->get_group() == group; });
        // An empty group name hides its options, as in CLI11.
        if (group.empty() || options.empty()) continue;
        groups += "\n";
        if (group != Untitled) groups += group + ":\n";
        for (const CLI::Option* option : options) groups += make_option(option, false);
    }
    return groups;
}

std::string HelpFormatter::make_option_name(const CLI::Option* option, bool) const { return Names(*option); }

std::string HelpFormatter::ValueName(const CLI::Option& option) {
    const std::string type = option.get_type_name();
    if (!option.nonpositional() || option.get_type_size() == 0 || type.empty()) return {};
    return " " + type;
}

std::string HelpFormatter::make_option_opts(const CLI::Option* option) const { return ValueName(*option); }

}  // namespace tamberlo::cli
