#include "Invocation.h"

#include "Filerefs.h"

namespace tamberlo::standin {

Invocation Invocation::Parse(const std::vector<std::string>& arguments) {
    Invocation invocation;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.empty() || argument[0] != '-') {
            if (!invocation.sysin) {
                invocation.sysin = argument;
            } else {
                invocation.warnings.push_back("WARNING: Unrecognized argument " + argument + " was ignored.");
            }
            continue;
        }
        const std::string name = Filerefs::Upper(argument.substr(1));
        std::optional<std::string>* value = name == "CONFIG" ? &invocation.config
                                            : name == "SYSIN" ? &invocation.sysin
                                            : name == "PRINT" ? &invocation.print
                                            : name == "LOG"   ? &invocation.log
                                                              : nullptr;
        if (value != nullptr) {
            if (i + 1 < arguments.size()) {
                *value = arguments[++i];
            } else {
                invocation.warnings.push_back("WARNING: Option " + name + " needs a value; it was ignored.");
            }
        } else if (name != "NOLOGO" && name != "$NOSTATUSWIN" && name != "NOCONFIG" && name != "ICON") {
            invocation.warnings.push_back("WARNING: Unrecognized SAS option name, " + name + ".");
        }
    }
    return invocation;
}

}  // namespace tamberlo::standin
