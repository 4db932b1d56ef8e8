// Uninstall.exe as Windows sees it: machine, subsystem and version, entry point, imports and
// section layout, for both builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>

#include "built_exes.h"
#include "map_file.h"
#include "pe_imports.h"
#include "pe_relocations.h"

namespace {

class ExeLayout : public testing::TestWithParam<BuiltExe> {
 protected:
  void SetUp() override {
    image_ = LoadBuiltExe(GetParam());
    ASSERT_TRUE(image_.has_value());
  }
  const pe::Headers& headers() const { return image_->headers(); }
  std::optional<pe::Image> image_;
};

TEST_P(ExeLayout, IsAGuiProgramForItsMachineAndWindowsVersion) {
  const BuiltExe& exe = GetParam();
  EXPECT_EQ(exe.machine, headers().machine);
  EXPECT_EQ(exe.pe32Plus, headers().pe32Plus);
  EXPECT_EQ(pe::kSubsystemWindowsGui, headers().subsystem);
  EXPECT_EQ(exe.windowsMajor, headers().subsystemMajor);
  EXPECT_EQ(exe.windowsMinor, headers().subsystemMinor);
  EXPECT_EQ(exe.windowsMajor, headers().osMajor);
  EXPECT_EQ(exe.windowsMinor, headers().osMinor);
  EXPECT_TRUE(headers().fileCharacteristics & 0x0002) << "not marked executable";
  EXPECT_FALSE(headers().fileCharacteristics & 0x2000) << "marked as a DLL";
}

// ld only warns when the entry symbol is missing and then starts the program at the beginning
// of .text; the build makes that warning fatal, and this holds the result against the map.
TEST_P(ExeLayout, StartsAtTheStartupFunction) {
  const auto symbols = pe::ReadMapSymbols(BuildDir(GetParam()) / "Uninstall.map");
  const auto startup = pe::FindSymbol(symbols, GetParam().entrySymbol);
  ASSERT_TRUE(startup.has_value()) << GetParam().entrySymbol << " is not in the link map";
  EXPECT_EQ(*startup, headers().imageBase + headers().entryRva);
  const auto& sections = image_->sections();
  const bool inCode = std::any_of(sections.begin(), sections.end(), [&](const pe::Section& s) {
    return (s.characteristics & pe::kScnExecute) && headers().entryRva >= s.virtualAddress &&
           headers().entryRva < s.virtualAddress + s.virtualSize;
  });
  EXPECT_TRUE(inCode) << "entry point is not in an executable section";
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The Windows operations the program is written against, the start-up's own three, and
// GetProcAddress and LoadLibraryA for what older Windows may lack (shell32 among it); nothing of a
// C runtime or C++ library, and no other DLL.
const std::map<std::string, std::set<std::string>> kAllowedImports = {
    {"KERNEL32.DLL",
     {"GetFileAttributesA",
      "DeleteFileA",
      "RemoveDirectoryA",
      "CopyFileA",
      "MoveFileExA",
      "GetTempPathA",
      "GetModuleFileNameA",
      "CreateProcessA",
      "CloseHandle",
      "CreateFileA",
      "ReadFile",
      "Sleep",
      "lstrcpyA",
      "lstrcatA",
      "lstrlenA",
      "lstrcmpA",
      "lstrcmpiA",
      "GetCommandLineA",
      "GetModuleHandleA",
      "ExitProcess",
      "GetProcAddress",
      "GetLastError",
      "SetFileAttributesA",
      "GetShortPathNameA",
      "GetWindowsDirectoryA",
      "GetSystemDirectoryA",
      "GetPrivateProfileSectionA",
      "WritePrivateProfileSectionA",
      "LoadLibraryA"}},
    {"ADVAPI32.DLL",
     {"RegOpenKeyA", "RegEnumKeyA", "RegDeleteKeyA", "RegCloseKey", "RegQueryValueA",
      "RegSetValueA", "RegQueryValueExA"}},
    {"USER32.DLL",
     {"LoadStringA", "wsprintfA", "MessageBoxA", "CreateWindowExA", "PeekMessageA",
      "DispatchMessageA", "DestroyWindow"}},
};

TEST_P(ExeLayout, ImportsOnlyTheAllowedFunctionsOfThreeSystemDlls) {
  const auto dlls = pe::ReadImports(*image_);
  std::set<std::string> imported;
  for (const auto& dll : dlls) {
    const auto allowed = kAllowedImports.find(Upper(dll.name));
    if (allowed == kAllowedImports.end()) {
      ADD_FAILURE() << "imports " << dll.name << " (a runtime library or another DLL)";
      continue;
    }
    for (const auto& function : dll.functions) {
      EXPECT_TRUE(allowed->second.count(function.name))
          << function.name << " from " << dll.name << " is not allowed";
      imported.insert(function.name);
    }
  }
  // What the start-up cannot do without: a sign that the import table was read at all.
  EXPECT_TRUE(imported.count("GetCommandLineA"));
  EXPECT_TRUE(imported.count("ExitProcess"));
}

// The lookup tables are discarded at the link (cmake/uninstall.ld) and ld resolves the
// descriptors' references to them to 0, the value that sends the loader to the IAT for the
// names; anything else would point it at whatever lies there now.
TEST_P(ExeLayout, NamesItsImportsThroughTheImportAddressTableAlone) {
  const pe::DataDirectory& iat = headers().directories[pe::kIatDir];
  const auto dlls = pe::ReadImports(*image_);
  for (const pe::ImportedDll& dll : dlls) {
    EXPECT_EQ(0u, dll.lookupRva) << dll.name;
    EXPECT_TRUE(dll.iatRva >= iat.rva && dll.iatRva < iat.rva + iat.size) << dll.name;
    for (const pe::ImportedFunction& function : dll.functions)
      EXPECT_TRUE(function.slotRva >= iat.rva && function.slotRva < iat.rva + iat.size)
          << function.name;
  }
  EXPECT_EQ(3u, dlls.size());
}

// The import address table shares the code section (see cmake/uninstall.ld): that section may
// be executable or writable, never both.
TEST_P(ExeLayout, HasNoSectionBothWritableAndExecutable) {
  for (const auto& s : image_->sections()) {
    EXPECT_FALSE((s.characteristics & pe::kScnWrite) && (s.characteristics & pe::kScnExecute))
        << s.name;
  }
}

TEST_P(ExeLayout, KeepsItsRelocationsForAddressSpaceRandomisation) {
  EXPECT_TRUE(headers().dllCharacteristics & 0x0040) << "not marked dynamic base";
  EXPECT_NE(0u, headers().directories[pe::kRelocDir].size) << "no relocations";
}

// The post-link step moves the table into the end of the code section when it fits there: the
// directory must then lie inside that section's bytes and every fixup must patch code or data
// in front of the table, never the table itself.
TEST_P(ExeLayout, KeepsItsRelocationTableWhereTheLoaderCanReadIt) {
  const pe::DataDirectory& relocs = headers().directories[pe::kRelocDir];
  ASSERT_NE(0u, relocs.size);
  const auto& sections = image_->sections();
  const auto holder = std::find_if(sections.begin(), sections.end(), [&](const pe::Section& s) {
    return relocs.rva >= s.virtualAddress &&
           relocs.rva + relocs.size <= s.virtualAddress + std::min(s.virtualSize, s.rawSize);
  });
  ASSERT_NE(sections.end(), holder) << "the relocation table is not inside one section's data";
  EXPECT_EQ(0u, relocs.rva % 4);
  std::vector<pe::Relocation> relocations;
  ASSERT_NO_THROW(relocations = pe::ReadRelocations(*image_));
  std::size_t fixups = 0;
  for (const pe::Relocation& fixup : relocations) {
    // The loaders of every Windows apply these two; the runner's loader refuses the rest.
    EXPECT_EQ(GetParam().pe32Plus ? pe::kRelDir64 : pe::kRelHighLow, fixup.type)
        << "fixup at 0x" << std::hex << fixup.rva;
    EXPECT_TRUE(fixup.rva + 4 <= relocs.rva || fixup.rva >= relocs.rva + relocs.size)
        << "fixup at 0x" << std::hex << fixup.rva << " patches the table";
    ++fixups;
  }
  // x86_64 code addresses RIP-relative, but the name tables hold absolute pointers on both.
  EXPECT_GT(fixups, 10u) << "too few fixups for the program's name tables";
}

INSTANTIATE_TEST_SUITE_P(Pe, ExeLayout, testing::ValuesIn(kBuiltExes), PresetName);

}  // namespace
