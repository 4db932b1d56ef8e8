// Encodes a 32x32 16-colour picture as a Windows .ico file with one image.
#pragma once

#include <cstdint>
#include <vector>

#include "orb_image.h"

namespace orbicon {

std::vector<std::uint8_t> EncodeIco(const Picture& picture);

}  // namespace orbicon
