// File attributes as images spell them: "readonly,hidden,system" in scenario.ini's [attributes]
// and in an outcome's attributes.ini.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "session.h"

namespace machine_image {

// "readonly", "hidden", "system", comma-separated, any case and order; nullopt for anything
// else (an empty list included).
std::optional<std::uint32_t> ParseAttributes(std::string_view list);
std::string AttributeList(std::uint32_t attributes);  // "readonly,hidden"

// attributes.ini: "[attributes]" and one PATH=LIST line for each file or folder that carries an
// attribute, in the order of the drives' listing, CRLF line ends; "" when none does.
std::string AttributesIni(const emu::FileSystem& files);

}  // namespace machine_image
