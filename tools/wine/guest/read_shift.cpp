#include "read_shift.h"

#include <algorithm>
#include <vector>

namespace guest {
namespace {

bool ReadsBack(const MemoryReader& read, const KnownBytes& probe, std::intptr_t shift) {
  std::vector<unsigned char> got(probe.bytes.size());
  const std::uintptr_t at = probe.address + static_cast<std::uintptr_t>(shift);
  // A shift that wraps the address round cannot be the emulator's.
  if ((shift > 0 && at < probe.address) || (shift < 0 && at > probe.address)) return false;
  return read(at, got) && std::equal(got.begin(), got.end(), probe.bytes.begin());
}

}  // namespace

std::optional<std::intptr_t> FindReadShift(const MemoryReader& read,
                                           std::span<const KnownBytes> probes, std::size_t step,
                                           std::size_t limit) {
  if (probes.empty() || step == 0) return std::nullopt;
  for (std::size_t distance = 0; distance <= limit; distance += step) {
    for (const int sign : {1, -1}) {
      if (distance == 0 && sign < 0) continue;
      const std::intptr_t shift = sign * static_cast<std::intptr_t>(distance);
      const bool all = std::all_of(probes.begin(), probes.end(), [&](const KnownBytes& probe) {
        return ReadsBack(read, probe, shift);
      });
      if (all) return shift;
    }
  }
  return std::nullopt;
}

}  // namespace guest
