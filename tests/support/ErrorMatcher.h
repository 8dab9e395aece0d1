#pragma once

// The error triple as one assertion:
//   EXPECT_THAT(ErrorOf([&] { runner.Execute(root); }),
//               IsError(1, "Execute method", StartsWith("The SAS program file '")));
// Source and description take a text or any matcher of a std::string.

#include "host/Error.h"

#include <gmock/gmock.h>

namespace tamberlo::test {

// An Error with this number, source and description.
template <typename SourceMatcher, typename DescriptionMatcher>
auto IsError(long number, SourceMatcher source, DescriptionMatcher description) {
    return testing::AllOf(testing::Property("Number", &Error::Number, number),
                          testing::Property("Source", &Error::Source, source),
                          testing::Property("Description", &Error::Description, description));
}

// An Error with this number, whatever its source and description.
inline auto IsError(long number) { return IsError(number, testing::_, testing::_); }

}  // namespace tamberlo::test
