#pragma once

#include <string_view>
#include <vector>

namespace tamberlo {

// The put-file numbers that a program mentions, in ascending order, each
// once: every n from 1 to 9999 for which "_PUT" followed by the digits of n
// occurs anywhere in the text, letters compared without regard to case. One
// pass: wherever "_PUT" is followed by a digit other than 0, the numbers
// formed by its first one, two, three and four digits all count.
std::vector<int> FindPutFileNumbers(std::string_view program);

}  // namespace tamberlo
