// Maps a PE exe into a guest's memory the way the Windows loader does: headers and sections
// with the protections their characteristics ask for, base relocations applied for the base
// chosen, and every import bound to the address a binder gives for it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cpu.h"

namespace runner {

struct CodeRange {
  std::uint64_t begin = 0, end = 0;
};

struct LoadedImage {
  Arch arch = Arch::I386;
  std::uint64_t base = 0;           // where it was mapped
  std::uint64_t preferredBase = 0;  // the header's ImageBase (the link map's addresses)
  std::uint64_t entry = 0;
  std::uint64_t sizeOfImage = 0;
  std::uint64_t stackReserve = 0, stackCommit = 0;
  std::vector<CodeRange> code;  // executable sections
  bool InCode(std::uint64_t address) const;
};

// The architecture a PE file is built for; GuestFault when it is no PE this runner loads.
Arch PeArch(const std::vector<std::uint8_t>& bytes);

// Returns the guest address an import is bound to; it may throw GuestFault (an import that
// the bridge does not carry).
using ImportBinder = std::function<std::uint64_t(const std::string& dll, const std::string& name)>;

// Loads at `base` (0: the preferred base). A relocation that cannot be applied, a section out
// of the file or an import the binder refuses is a GuestFault.
LoadedImage LoadPe(Cpu& cpu, const std::vector<std::uint8_t>& bytes, std::uint64_t base,
                   const ImportBinder& bind);

}  // namespace runner
