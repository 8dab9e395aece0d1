// File names as the URIs the code-scanning reports locate results by.

#include "cli/reports/SourceRoot.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace tamberlo;

TEST(SourceRoot, EscapesEveryByteAUriCannotCarry) {
    const std::pair<std::string, std::string> cases[] = {
        {"a b/c.sas", "a%20b/c.sas"},
        {"100%#1?.sas", "100%25%231%3F.sas"},
        {"Gr\xC3\xBC\xC3\x9F"
         "e.sas",
         "Gr%C3%BC%C3%9Fe.sas"},
        {"C:x\\y[1]", "C%3Ax%5Cy%5B1%5D"},
        {"~_-.", "~_-."},
    };
    for (const auto& [path, uri] : cases) EXPECT_EQ(cli::SourceRoot::Escape(path), uri) << path;
}
