// The DLLs each Windows keeps in its system folder, which of them the loader never searches for
// (KnownDLLs), and the DLLs the system's own code loads by bare name once a program is running.
// Tests hold the product to the last table: where SetDefaultDllDirectories is missing, each of
// those DLLs must already be loaded from the system folder before the call that loads it.
#pragma once

#include <span>
#include <string_view>

#include "run_scenario.h"

namespace emu {

// One bit per WindowsVersion.
inline constexpr unsigned VersionBit(WindowsVersion version) {
  return 1u << static_cast<unsigned>(version);
}
inline constexpr unsigned kOnNt = VersionBit(WindowsVersion::Nt);
inline constexpr unsigned kOnSeven = VersionBit(WindowsVersion::Seven);
inline constexpr unsigned kOnXp = VersionBit(WindowsVersion::Xp);
inline constexpr unsigned kOnNine = VersionBit(WindowsVersion::Nine);
inline constexpr unsigned kOnNtLine = kOnNt | kOnSeven | kOnXp;
inline constexpr unsigned kOnAll = kOnNtLine | kOnNine;

struct SystemDll {
  const char* name;  // "uxtheme.dll"
  unsigned present;  // the versions whose system folder holds it
  unsigned known;    // the versions that list it in KnownDLLs
  // An import of its own that is no KnownDLL, where this Windows has it: found by the search
  // order whenever the DLL is mapped, even by full path.
  const char* import = nullptr;
};
std::span<const SystemDll> SystemDlls();
bool SystemDllExists(WindowsVersion version, std::string_view fileName);  // "UxTheme.dll"
bool IsKnownDll(WindowsVersion version, std::string_view fileName);

// A load by bare name that the system makes on the program's behalf: the first time a process
// reaches `trigger` (an operation as the trace spells it, or "registry" for its first registry
// call), `loader` loads `dll` by name, searched for as LoadLibraryA searches.
struct SystemLoad {
  const char* trigger;
  const char* loader;  // "user32": who loads it, for the trace
  const char* dll;
  unsigned versions;  // where Windows makes this load
};
std::span<const SystemLoad> SystemLoadsByName();

}  // namespace emu
