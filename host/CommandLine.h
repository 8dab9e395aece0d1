#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tamberlo {

// Splits a Windows command line into its arguments the way a Windows program
// sees them. The first argument, the program, follows CreateProcess: a
// quoted name runs to the next quotation mark, an unquoted one to the first
// blank or tab. The others follow the C run-time rules: blanks and tabs
// separate, quotation marks group, 2n backslashes before a quotation mark
// stand for n backslashes, 2n+1 for n and a literal quotation mark, and a
// doubled quotation mark inside a quoted part stands for one.
std::vector<std::string> SplitCommandLine(std::string_view cmdline);

// `argument` as one argument of such a command line, between quotation marks,
// so that SplitCommandLine (and a Windows program) gives it back exactly:
// a quotation mark escaped with a backslash, backslashes doubled where they
// come before one or at the end. The argument must hold no NUL.
std::string QuoteArgument(std::string_view argument);

}  // namespace tamberlo
