// Text at the helpers' edges: Windows hands out UTF-16, the host side reads UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace guest {

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

}  // namespace guest
