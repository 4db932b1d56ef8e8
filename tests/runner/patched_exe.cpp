#include "patched_exe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "../support/new_session.h"
#include "pe_imports.h"

namespace runner_test {

ExeFile LoadExe(const char* preset) {
  ExeFile exe{preset, {}};
  auto path = std::filesystem::path(PE_TEST_SOURCE_DIR) / "build" / preset / "Uninstall.exe";
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ADD_FAILURE() << path << " is missing: build it with cmake --preset " << preset
                  << " && cmake --build build/" << preset << " (scripts/test does)";
    return exe;
  }
  exe.bytes.assign(std::istreambuf_iterator<char>(in), {});
  return exe;
}

std::size_t OffsetOf(const std::vector<std::uint8_t>& exe, std::uint32_t rva) {
  pe::Image image = pe::Image::Parse(exe, "the exe");
  return image.Offset(rva, 1, "a patched byte");
}

std::uint32_t EntryRva(const std::vector<std::uint8_t>& exe) {
  return pe::Image::Parse(exe, "the exe").headers().entryRva;
}

std::uint32_t FirstImportSlot(const std::vector<std::uint8_t>& exe) {
  const auto dlls = pe::ReadImports(pe::Image::Parse(exe, "the exe"));
  if (dlls.empty() || dlls[0].functions.empty()) {
    ADD_FAILURE() << "the exe imports nothing";
    return 0;
  }
  return dlls[0].functions[0].slotRva;
}

void Patch(std::vector<std::uint8_t>& exe, std::size_t offset,
           const std::vector<std::uint8_t>& bytes) {
  std::copy(bytes.begin(), bytes.end(), exe.begin() + static_cast<std::ptrdiff_t>(offset));
}

bool Replace(std::vector<std::uint8_t>& exe, const std::vector<std::uint8_t>& from,
             const std::vector<std::uint8_t>& to) {
  auto at = std::search(exe.begin(), exe.end(), from.begin(), from.end());
  if (at == exe.end()) return false;
  std::copy(to.begin(), to.end(), at);
  return true;
}

std::vector<std::uint8_t> Utf16(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  for (char c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c));
    bytes.push_back(0);
  }
  return bytes;
}

emu::Session DeclineMachine() {
  emu::Session session = test::NewSession();
  session.machine.files.CreateFile(session.scenario.exePath);
  session.machine.files.CreateFolder("C:\\WINDOWS\\TEMP");
  session.scenario.answers = {emu::Answer::Second};
  return session;
}

}  // namespace runner_test
