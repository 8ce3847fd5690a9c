#pragma once

#include <string>
#include <string_view>

namespace ksv {

// The shown form of a count of minutes: hours, a colon and two digits of
// minutes ("1:05"); a negative count puts its sign in front ("-1:05").
// Throws CountError when the count is not a number or too large to show.
std::string ElapsedText(std::string_view count, std::string_view decimalSeparator);

}  // namespace ksv
