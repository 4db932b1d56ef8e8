// The built exes, and copies of them with a few bytes changed, to make the runner meet what
// the real product never does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pe_image.h"
#include "session.h"

namespace runner_test {

struct ExeFile {
  const char* preset;
  std::vector<std::uint8_t> bytes;  // empty when the preset was not built (a failure is added)
};

ExeFile LoadExe(const char* preset);

// The file offset of an RVA.
std::size_t OffsetOf(const std::vector<std::uint8_t>& exe, std::uint32_t rva);
std::uint32_t EntryRva(const std::vector<std::uint8_t>& exe);
// The RVA of the first IAT slot (the exe's first import).
std::uint32_t FirstImportSlot(const std::vector<std::uint8_t>& exe);
void Patch(std::vector<std::uint8_t>& exe, std::size_t offset,
           const std::vector<std::uint8_t>& bytes);
// Replaces the first occurrence of `from` by `to` (same length); false when it is not there.
bool Replace(std::vector<std::uint8_t>& exe, const std::vector<std::uint8_t>& from,
             const std::vector<std::uint8_t>& to);
std::vector<std::uint8_t> Utf16(const std::string& text);

// A machine with the exe's file where the user starts it, answering No to the confirmation.
emu::Session DeclineMachine();

}  // namespace runner_test
