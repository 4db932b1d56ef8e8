// The Orbelle icon's picture: a shaded globe with a ring around it, in the 16 standard colours.
#pragma once

#include <array>
#include <cstdint>

namespace orbicon {

inline constexpr int kSize = 32;

// A palette index per pixel (row 0 at the top), or kTransparent where the desktop shows through.
inline constexpr int kTransparent = -1;
using Picture = std::array<std::array<int, kSize>, kSize>;

Picture DrawOrb();

}  // namespace orbicon
