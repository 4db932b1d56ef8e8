// The two Uninstall.exe builds the checks run on, and loading them. The Windows presets build
// them (scripts/test does so before it runs the tests); a missing exe fails its tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "pe_image.h"

struct BuiltExe {
  const char* preset;
  std::uint16_t machine;
  bool pe32Plus;
  std::uint16_t windowsMajor, windowsMinor;  // subsystem and OS version
  const char* entrySymbol;                   // UninstallerStartup as the linker names it
};

// i686 decorates the cdecl name with an underscore; x86_64 cannot claim a version below 5.2.
inline constexpr BuiltExe kBuiltExes[] = {
    {"win32", pe::kMachineI386, false, 4, 0, "_UninstallerStartup"},
    {"win64", pe::kMachineAmd64, true, 5, 2, "UninstallerStartup"},
};

inline std::filesystem::path BuildDir(const BuiltExe& exe) {
  return std::filesystem::path(PE_TEST_SOURCE_DIR) / "build" / exe.preset;
}

// The exe, or a fatal failure that names the preset to build.
inline std::optional<pe::Image> LoadBuiltExe(const BuiltExe& exe) {
  const auto path = BuildDir(exe) / "Uninstall.exe";
  if (!std::filesystem::exists(path)) {
    ADD_FAILURE() << path << " is missing: build it with cmake --preset " << exe.preset
                  << " && cmake --build build/" << exe.preset << " (scripts/test does)";
    return std::nullopt;
  }
  return pe::Image::Load(path);
}

inline void PrintTo(const BuiltExe& exe, std::ostream* out) {
  *out << exe.preset;
}

inline std::string PresetName(const testing::TestParamInfo<BuiltExe>& info) {
  return info.param.preset;
}
