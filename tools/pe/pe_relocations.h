// The base relocation table: the places the loader patches when the image cannot have its
// preferred base.
#pragma once

#include <cstdint>
#include <vector>

#include "pe_image.h"

namespace pe {

// IMAGE_REL_BASED_HIGHLOW on i386 and DIR64 on x86_64 are what a linker emits; ABSOLUTE only
// pads a block to 4 bytes.
inline constexpr std::uint8_t kRelAbsolute = 0;
inline constexpr std::uint8_t kRelHighLow = 3;
inline constexpr std::uint8_t kRelDir64 = 10;

struct Relocation {
  std::uint32_t rva = 0;  // where the address to patch lies
  std::uint8_t type = 0;
  bool operator==(const Relocation&) const = default;
};

// Every entry of every block (a page RVA, the block's size, then 16-bit entries: type in the top
// four bits, offset in the page below), in table order, the ABSOLUTE padding left out. A block
// shorter than its own header or reaching past the directory's size is a PeError.
std::vector<Relocation> ReadRelocations(const Image& image);

}  // namespace pe
