// The loader: where LoadLibraryA finds a DLL (the activation context, modules already loaded,
// KnownDLLs, the search order), each process's loaded modules, and the system's own loads by
// bare name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform_api.h"
#include "session.h"

namespace emu::detail {

// GetSystemDirectoryA's folder: SYSTEM on Windows 95/98/ME, system32 on the NT line.
std::string SystemFolder(const Session& session);

struct LoadOutcome {
  std::uint32_t error = 0;  // 0: loaded
  std::uintptr_t handle = 0;
  bool fresh = false;  // mapped by this load, not found loaded already
};

// One load by `process` of `name` as LoadLibraryA reads it, counted on the module.
LoadOutcome LoadModule(Session& session, int process, std::string_view name);

// The process's module behind a handle, or nullptr.
const LoadedModule* FindModule(const Session& session, int process, HMODULE handle);
// Gives one load back; the module goes with its last. False for a handle of no module.
bool FreeModule(Session& session, int process, HMODULE handle);

// How the trace names a module: "SHELL32", "UXTHEME from C:\\WINDOWS\\TEMP\\uxtheme.dll".
std::string ModuleName(const Session& session, const LoadedModule& module);

// The system's loads by bare name that `trigger` sets off in the current process, each once a
// process (system_dlls.h); noted in the trace.
void MakeSystemLoads(std::string_view trigger);

// Whether the process has common controls 6 loaded, which only a load of comctl32.dll by bare
// name gives (through the manifest's activation context).
bool HasCommonControls6(const Session& session, int process);

}  // namespace emu::detail
