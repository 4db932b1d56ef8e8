#include "pe_relocations.h"

namespace pe {

std::vector<Relocation> ReadRelocations(const Image& image) {
  std::vector<Relocation> relocations;
  const DataDirectory dir = image.headers().directories[kRelocDir];
  if (dir.rva == 0 || dir.size == 0) return relocations;
  const ByteView& v = image.bytes();
  const std::size_t table = image.Offset(dir.rva, dir.size, "base relocation table");
  for (std::size_t block = 0; block + 8 <= dir.size;) {
    const std::uint32_t page = v.U32(table + block, "base relocation block");
    const std::uint32_t blockSize = v.U32(table + block + 4, "base relocation block");
    if (blockSize < 8 || blockSize > dir.size - block) {
      throw PeError(v.name() + ": a base relocation block of " + std::to_string(blockSize) +
                    " bytes at offset " + std::to_string(table + block) +
                    " does not fit the table");
    }
    for (std::size_t entry = block + 8; entry + 2 <= block + blockSize; entry += 2) {
      const std::uint16_t value = v.U16(table + entry, "base relocation");
      const auto type = static_cast<std::uint8_t>(value >> 12);
      if (type != kRelAbsolute) relocations.push_back({page + (value & 0xFFFu), type});
    }
    block += blockSize;
  }
  return relocations;
}

}  // namespace pe
