// Where another process's memory really is when this one reads it through the Wine server.
//
// The server reads a process's memory at the address it is given in the Unix process that
// runs it. Under qemu's user-mode emulation that Unix process is qemu, which keeps the guest's
// address A at A + guest_base: with vm.mmap_min_addr at 4096, qemu cannot put guest page 0 at
// host address 0 and moves the whole guest up a page. So ReadProcessMemory at a guest address
// of a 32-bit process returns the bytes one page below what that process sees there (its PEB
// pointer lands on the 64-bit PEB Wine keeps a page below the 32-bit one, its parameters on
// the environment block before them). Every 32-bit process under the same qemu gets the same
// guest_base, so the shift is measured once on this process's own memory, whose contents are
// known, and added to every address read from the others. On Windows and on a native Wine it
// comes out as 0.
//
// Kept free of <windows.h> so that the host tests can run it on a made-up address space.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace guest {

// Reads out.size() bytes at address the way ReadProcessMemory does; false where it cannot.
using MemoryReader = std::function<bool(std::uintptr_t address, std::span<unsigned char> out)>;

// Bytes of this process that it knows, at the address it sees them.
struct KnownBytes {
  std::uintptr_t address;
  std::span<const unsigned char> bytes;
};

// The shift s (a multiple of step, |s| <= limit, the smallest |s| first, + before -) at which
// read(k.address + s) returns k.bytes for every probe k; nothing where no shift in range does.
// Two probes far apart keep a stray copy of one of them from being taken for the shift.
std::optional<std::intptr_t> FindReadShift(const MemoryReader& read,
                                           std::span<const KnownBytes> probes, std::size_t step,
                                           std::size_t limit);

}  // namespace guest
