// The main thread's stack as Windows lays it out: SizeOfStackReserve of address space, of
// which SizeOfStackCommit is committed at the top with a guard page below it. Touching the
// guard page commits it and makes the page below the new guard, one page at a time; touching
// reserved memory below the guard (a frame that skipped it without probing) is an access
// violation, and so is running past the reserve (a stack overflow).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cpu.h"

namespace runner {

// Fresh stack bytes: what an unfilled buffer holds, so reading one shows in the trace.
inline constexpr std::uint8_t kStackMarker = 0xCC;

class GuestStack {
 public:
  GuestStack(Cpu& cpu, std::uint64_t top, std::uint64_t reserve, std::uint64_t commit);

  std::uint64_t top() const { return top_; }
  std::uint64_t committedBottom() const { return committed_; }
  // Called for an access to unmapped memory: true when it hit the guard page and the stack
  // grew; otherwise the reason it is a fault inside the stack, or "" outside it.
  bool Grow(std::uint64_t address, std::string& fault);

 private:
  Cpu& cpu_;
  std::uint64_t top_, bottom_, committed_;
};

}  // namespace runner
