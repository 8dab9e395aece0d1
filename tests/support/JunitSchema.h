#pragma once

#include <string>

namespace tamberlo::test {

// xmllint's complaints about the JUnit report in the file `report`, checked
// against the schema the tests carry (tests/cli/data/junit.xsd); "" when it
// validates. Under Wine there is no xmllint: always "", the native run
// checks the same writer. Leaves no file beside the report.
std::string ValidateJUnit(const std::string& report);

}  // namespace tamberlo::test
