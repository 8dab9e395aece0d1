#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tamberlo {

// The words of an options text (a SAS configuration file, SASV9_OPTIONS) as
// SAS reads them: separated by white space, none inside a /* */ comment
// (one left open runs to the end); a word that starts with a double or
// single quotation mark runs to the next of the same kind and is taken
// without the two (an unclosed one to the end of the text), any other word
// to the next white space, quotation marks and "/*" inside it as they are.
std::vector<std::string> ConfigurationWords(std::string_view text);

}  // namespace tamberlo
