// Injected faults: operations that fail on every call, and the fault sweep's single failure.
#include <algorithm>
#include <array>

#include "kernel_state.h"
#include "state.h"

namespace emu {
namespace {

// Files, the temp folder, the own path, processes, the Windows and system folders, WININIT.INI,
// shell32 and the registry.
constexpr std::array<const char*, 27> kFailable = {"GetFileAttributesA",
                                                   "SetFileAttributesA",
                                                   "DeleteFileA",
                                                   "RemoveDirectoryA",
                                                   "CopyFileA",
                                                   "MoveFileExA",
                                                   "GetTempPathA",
                                                   "GetModuleFileNameA",
                                                   "CreateProcessA",
                                                   "CreateFileA",
                                                   "ReadFile",
                                                   "CloseHandle",
                                                   "GetWindowsDirectoryA",
                                                   "GetSystemDirectoryA",
                                                   "GetShortPathNameA",
                                                   "GetPrivateProfileSectionA",
                                                   "WritePrivateProfileSectionA",
                                                   "LoadLibraryA",
                                                   "FreeLibrary",
                                                   "RegOpenKeyA",
                                                   "RegEnumKeyA",
                                                   "RegDeleteKeyA",
                                                   "RegCloseKey",
                                                   "RegQueryValueA",
                                                   "RegSetValueA",
                                                   "RegQueryValueExA",
                                                   "GetProcAddress"};

}  // namespace

std::span<const char* const> FailableOperations() {
  return kFailable;
}

bool IsFailableOperation(std::string_view name) {
  return std::ranges::any_of(kFailable, [name](const char* op) { return name == op; });
}

// Every other call that shows in the trace, which a race may follow.
constexpr std::array<const char*, 14> kOtherTraced = {"MoveFileA",
                                                      "GetCommandLineA",
                                                      "GetModuleHandleA",
                                                      "GetProcAddress",
                                                      "SetDefaultDllDirectories",
                                                      "Sleep",
                                                      "ExitProcess",
                                                      "LoadStringA",
                                                      "wsprintfA",
                                                      "MessageBoxA",
                                                      "CreateWindowExA",
                                                      "PeekMessageA",
                                                      "DispatchMessageA",
                                                      "DestroyWindow"};

std::string CanonicalTracedOperation(std::string_view name) {
  auto same = [name](const char* op) { return SameName(name, op); };
  for (const char* op : kFailable) {
    if (same(op)) return op;
  }
  for (const char* op : kOtherTraced) {
    if (same(op)) return op;
  }
  return "";
}

namespace detail {

bool InjectedFailure(std::string_view operation) {
  Session& session = CurrentSession();
  const Faults& faults = session.scenario.faults;
  // Nobody checks RegCloseKey's result, so a sweep that failed it would find nothing.
  if (operation != "RegCloseKey") {
    const long call = ++Kernel(session).checkedCalls;
    if (faults.failCallNumber > 0 && call == faults.failCallNumber) {
      Trace("(fault sweep: call " + std::to_string(call) + " fails)");
      return true;
    }
  }
  return faults.failingOperations.count(std::string(operation)) > 0;
}

}  // namespace detail
}  // namespace emu
