// The parameter table's CSV, read record by record.

#include "cli/batch/CsvReader.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

using namespace tamberlo;

TEST(CsvReader, ReadsQuotedFieldsLineBreaksAndAByteOrderMark) {
    using Records = std::vector<std::pair<std::size_t, std::vector<std::string>>>;
    const struct {
        std::string text;
        Records records;
    } cases[] = {
        {"a,b\nc,d", {{1, {"a", "b"}}, {2, {"c", "d"}}}},
        {"\xEF\xBB\xBF"
         "a,b\r\n\r\nc,\r\n",
         {{1, {"a", "b"}}, {3, {"c", ""}}}},
        {"\"x,y\",\"say \"\"hi\"\"\"\n\"two\r\nlines\",\"\"\nz,1",
         {{1, {"x,y", "say \"hi\""}}, {2, {"two\r\nlines", ""}}, {4, {"z", "1"}}}},
        {"a\rb,c\n", {{1, {"a\rb", "c"}}}},
        {"", {}},
    };
    for (const auto& c : cases) {
        Records records;
        for (const cli::CsvRecord& record : cli::CsvReader::Read(c.text))
            records.emplace_back(record.line, record.fields);
        EXPECT_EQ(records, c.records) << c.text;
    }
}
