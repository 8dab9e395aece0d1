#pragma once

// Texts with their bytes in a session encoding, for the tests that write a
// text in one and read it back.

#include <string>
#include <vector>

namespace tamberlo::test {

struct EncodedSample {
    const char* encoding;
    std::string text;   // UTF-8
    std::string bytes;  // in the encoding
};

// German, the euro sign and Japanese in the encodings SAS sessions run in
// most: UTF-8, WLATIN1 and SHIFT-JIS.
inline std::vector<EncodedSample> CommonSessionSamples() {
    return {
        {"UTF-8", "Gr\u00FC\u00DFe, \u20AC and \u65E5\u672C\u8A9E",
         "Gr\xC3\xBC\xC3\x9F"
         "e, \xE2\x82\xAC and \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
        {"WLATIN1", "Gr\u00FC\u00DFe, \u20AC",
         "Gr\xFC\xDF"
         "e, \x80"},
        {"SHIFT-JIS", "\u65E5\u672C\u8A9E", "\x93\xFA\x96\x7B\x8C\xEA"},
    };
}

}  // namespace tamberlo::test
