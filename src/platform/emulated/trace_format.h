// How trace lines spell arguments and results, the way a process monitor shows them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace emu::detail {

std::string Quote(const char* text);  // NULL, or the text in double quotes with C escapes
std::string Quote(std::string_view text);
std::string ErrorName(std::uint32_t error);   // "ERROR_ACCESS_DENIED", or the number
std::string FailedWith(std::uint32_t error);  // "FALSE (ERROR_ACCESS_DENIED)"
std::string Hex(std::uintptr_t value);        // "0x1000"

}  // namespace emu::detail
