// The shift between the addresses a process sees and those the Wine server reads it at, as
// orbrun measures it on its own memory: found where it is, never taken from a stray copy.
#include "read_shift.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using guest::FindReadShift;
using guest::KnownBytes;

// A process's memory as the server reads it: what the process sees at A comes back from a
// read at A + shift; reads outside [base, base + size) fail.
struct Space {
  std::uintptr_t base = 0x10000;
  std::vector<unsigned char> bytes = std::vector<unsigned char>(0x40000, 0);
  std::intptr_t shift = 0;
  bool readable = true;

  void Put(std::uintptr_t address, const std::vector<unsigned char>& data) {
    std::memcpy(bytes.data() + (address - base), data.data(), data.size());
  }
  guest::MemoryReader Reader() const {
    return [this](std::uintptr_t at, std::span<unsigned char> out) {
      const std::uintptr_t seen = at - static_cast<std::uintptr_t>(shift);
      if (!readable || seen < base || seen + out.size() > base + bytes.size()) return false;
      std::memcpy(out.data(), bytes.data() + (seen - base), out.size());
      return true;
    };
  }
};

const std::vector<unsigned char> kFirst = {1, 2, 3, 4, 5, 6, 7, 8};
const std::vector<unsigned char> kSecond = {9, 8, 7, 6, 5, 4, 3, 2};
constexpr std::uintptr_t kFirstAt = 0x14010;
constexpr std::uintptr_t kSecondAt = 0x40020;

TEST(ReadShift, FoundWhereTheServerReads) {
  struct Case {
    const char* what;
    std::intptr_t shift;
    bool readable;
    std::optional<std::intptr_t> expected;
  };
  const Case cases[] = {
      {"native: reads where the process sees", 0, true, 0},
      {"qemu with guest page 0 one page up", 0x1000, true, 0x1000},
      {"a shift downwards", -0x3000, true, -0x3000},
      {"a shift of many pages", 0x20000, true, 0x20000},
      {"beyond the limit searched", 0x30000, true, std::nullopt},
      {"not a whole number of pages", 0x1800, true, std::nullopt},
      {"nothing readable at all", 0, false, std::nullopt},
  };
  for (const Case& c : cases) {
    Space space;
    space.bytes.resize(0x80000);
    space.Put(kFirstAt, kFirst);
    space.Put(kSecondAt, kSecond);
    space.shift = c.shift;
    space.readable = c.readable;
    const KnownBytes probes[] = {{kFirstAt, kFirst}, {kSecondAt, kSecond}};
    EXPECT_EQ(FindReadShift(space.Reader(), probes, 0x1000, 0x20000), c.expected) << c.what;
  }
}

TEST(ReadShift, StrayCopyOfOneProbeIsNotTheShift) {
  Space space;
  space.Put(kFirstAt, kFirst);
  space.Put(kSecondAt, kSecond);
  // A copy of the first probe a page above it, as a stack copy or a second mapping could
  // leave: with the real shift at three pages, one page matches the first probe only.
  space.Put(kFirstAt - 0x2000, kFirst);
  space.shift = 0x3000;
  const KnownBytes probes[] = {{kFirstAt, kFirst}, {kSecondAt, kSecond}};
  EXPECT_EQ(FindReadShift(space.Reader(), probes, 0x1000, 0x10000), 0x3000);
}

TEST(ReadShift, NoProbesOrNoStepFindNothing) {
  Space space;
  const KnownBytes probe[] = {{kFirstAt, kFirst}};
  EXPECT_EQ(FindReadShift(space.Reader(), {}, 0x1000, 0x10000), std::nullopt);
  EXPECT_EQ(FindReadShift(space.Reader(), probe, 0, 0x10000), std::nullopt);
}

TEST(ReadShift, AddressesThatWouldWrapAreNotRead) {
  // A probe near the top of the address space: a shift past the end must not wrap round to
  // low addresses, where a reader could find anything.
  std::vector<std::uintptr_t> asked;
  const guest::MemoryReader reader = [&](std::uintptr_t at, std::span<unsigned char>) {
    asked.push_back(at);
    return false;
  };
  const std::uintptr_t top = UINTPTR_MAX - 0x1fff;
  const KnownBytes probe[] = {{top, kFirst}};
  EXPECT_EQ(FindReadShift(reader, probe, 0x1000, 0x4000), std::nullopt);
  for (const std::uintptr_t at : asked) EXPECT_GE(at, top - 0x4000) << std::hex << at;
}

}  // namespace
