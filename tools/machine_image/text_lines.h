// Line and blank handling shared by the text formats of an image.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace machine_image {

// Splits at CRLF, LF or a lone CR; a final line break does not start another line.
std::vector<std::string> SplitLines(std::string_view text);
// Strips blanks, tabs and line-break characters from both ends.
std::string Trim(std::string_view text);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
std::string LowerAscii(std::string_view text);

}  // namespace machine_image
