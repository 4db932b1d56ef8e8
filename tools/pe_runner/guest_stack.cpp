#include "guest_stack.h"

namespace runner {
namespace {

constexpr std::uint64_t kPage = 0x1000;

}  // namespace

GuestStack::GuestStack(Cpu& cpu, std::uint64_t top, std::uint64_t reserve, std::uint64_t commit)
    : cpu_(cpu), top_(top) {
  reserve = (reserve + 0xFFFF) & ~std::uint64_t{0xFFFF};  // the 64 KiB allocation granularity
  commit = (commit + kPage - 1) & ~(kPage - 1);
  if (commit == 0) commit = kPage;
  if (commit + kPage > reserve) reserve = commit + kPage;
  bottom_ = top - reserve;
  committed_ = top - commit;
  cpu_.Map(committed_, commit, UC_PROT_READ | UC_PROT_WRITE);
  cpu_.Fill(committed_, kStackMarker, commit);
}

bool GuestStack::Grow(std::uint64_t address, std::string& fault) {
  if (address >= top_ || address < bottom_) {
    fault.clear();
    return false;
  }
  std::uint64_t guard = committed_ - kPage;
  if (address >= guard && address < committed_) {
    // The last page of the reserve is never committed: Windows raises a stack overflow there.
    if (guard - kPage < bottom_) {
      fault = "stack overflow: the guard page is the last of the " +
              std::to_string((top_ - bottom_) / 1024) + " KiB reserve";
      return false;
    }
    cpu_.Map(guard, kPage, UC_PROT_READ | UC_PROT_WRITE);
    cpu_.Fill(guard, kStackMarker, kPage);
    committed_ = guard;
    return true;
  }
  fault = "guard page skipped: " + HexAddress(address) + " lies " +
          std::to_string((guard - address + kPage - 1) / kPage) +
          " page(s) below the stack's guard page at " + HexAddress(guard);
  return false;
}

}  // namespace runner
