// Folds a linked exe's base relocations into the unused end of its code section's last file
// block, so the file loses the .reloc section and the 512 bytes its own block costs.
//
// The loaders find relocations through the base relocation directory of the optional header,
// never through a section name (NT's ntdll and the kernel's image relocation, Wine, and the
// Windows 9x loader, which does not relocate an exe at all), so the table may lie in any section
// as long as the directory names it. The code section keeps its protection (read and execute);
// the loader only reads the table. The relocations themselves stay whole: the image can still be
// moved, and the DYNAMIC_BASE flag keeps asking for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pe_fold {

struct FoldResult {
  bool folded = false;
  // Why the file was left as linked (it does not fit, or has no separate relocation section).
  std::string reason;
};

// Rewrites `file` in place when the relocations fit; leaves it unchanged otherwise. Throws
// std::runtime_error for a file that is no PE image this step understands.
FoldResult FoldRelocations(std::vector<std::uint8_t>& file);

// The optional header's checksum as the image help library computes it: 16-bit words summed
// with their carries folded in, the checksum field itself skipped, plus the file length.
std::uint32_t PeChecksum(const std::vector<std::uint8_t>& file, std::size_t checksumOffset);

}  // namespace pe_fold
