// The texts of a log as the reports write them: read in pieces of any
// session encoding, and carried well-formed in XML and JSON.

#include "TestSupport.h"
#include "cli/reports/ReportText.h"
#include "host/SessionEncoding.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

using namespace tamberlo;

// Read in pieces, a text of any encoding is cut between characters only.
TEST(ReportText, PiecesEndBetweenCharacters) {
    const test::TempFolder folder;
    const std::pair<const char*, std::string> cases[] = {{"UTF-8", "\xE6\x97\xA5\xF0\x9F\x98\x80\xC3\xA9x"},
                                                         {"SHIFT-JIS",
                                                          "\x93\xFA\x96\x7B"
                                                          "x"},
                                                         {"EUC-JP",
                                                          "\xC6\xFC\x8E\xB1"
                                                          "x"},
                                                         {"BIG5",
                                                          "\xA4\xA4"
                                                          "x"},
                                                         {"WLATIN1", "\xE9x"}};
    for (const auto& [name, unit] : cases) {
        const SessionEncoding encoding = *SessionEncoding::FromName(name);
        for (std::size_t offset = 0; offset < unit.size(); ++offset) {
            std::string text(offset, '.');
            while (text.size() < 300 * 1000) text += unit;
            test::WriteFile(folder / "text", text);
            std::string joined;
            cli::report_text::ForEachPiece(folder / "text", encoding, false, [&](std::string_view piece) {
                EXPECT_EQ(piece.find("\uFFFD"), std::string_view::npos) << name << " " << offset;
                joined += piece;
            });
            EXPECT_TRUE(joined == encoding.ToUtf8(text)) << name << " " << offset;
        }
    }
}

// What a log of any session encoding can hold, as the reports write it.
TEST(ReportText, XmlAndJsonCarryEveryTextWellFormed) {
    const std::string fffd = "\xEF\xBF\xBD";
    const std::vector<std::tuple<std::string, std::string, std::string, std::string>> cases{
        // text, XML character data, XML attribute, JSON string
        {"a<b>&\"c\"", "a&lt;b&gt;&amp;&quot;c&quot;", "a&lt;b&gt;&amp;&quot;c&quot;", "a<b>&\\\"c\\\""},
        {"\t\r\n\x01\x1f", "\t\r\n%1%31", "&#9;&#13;&#10;%1%31", "\\t\\r\\n\\u0001\\u001f"},
        {"\xEF\xBF\xBE\xEF\xBF\xBF", fffd + fffd, fffd + fffd, "\xEF\xBF\xBE\xEF\xBF\xBF"},
        {"\xED\xA0\x80|\xED\xBF\xBF", fffd + "|" + fffd, fffd + "|" + fffd, fffd + "|" + fffd},
        {"\xC0\xAF\xFF\xE2\x82", fffd + fffd + fffd + fffd + fffd, fffd + fffd + fffd + fffd + fffd,
         fffd + fffd + fffd + fffd + fffd},
        {"\xC3\xA9\xF0\x9F\x98\x80", "\xC3\xA9\xF0\x9F\x98\x80", "\xC3\xA9\xF0\x9F\x98\x80",
         "\xC3\xA9\xF0\x9F\x98\x80"},
    };
    for (const auto& [text, xml, attribute, json] : cases) {
        EXPECT_EQ(cli::report_text::Xml(text), xml) << text;
        EXPECT_EQ(cli::report_text::Xml(text, true), attribute) << text;
        std::string out;
        cli::report_text::AppendJson(out, text);
        EXPECT_EQ(out, json) << text;
        EXPECT_TRUE(nlohmann::json::accept("\"" + out + "\"")) << text;
    }
}
