// KERNEL32's process functions: the command line, modules, the own path, the temporary folder,
// the last error, pauses and the end of the process.
#include <cstring>

#include "handles.h"
#include "kernel_state.h"
#include "loader.h"
#include "platform_api.h"
#include "state.h"
#include "trace_format.h"

using emu::detail::Call;
using emu::detail::CurrentProcess;
using emu::detail::CurrentSession;
using emu::detail::FromProgram;
using emu::detail::Quote;
using emu::detail::QuoteArg;
using emu::detail::SetError;
using emu::detail::ToProgram;
using emu::detail::Trace;

namespace {

std::string FileNameOf(const std::string& path) {
  auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Handed out by GetProcAddress. Windows accepts only a combination of the LOAD_LIBRARY_SEARCH
// flags that its documentation lists; anything else is ERROR_INVALID_PARAMETER.
BOOL WINAPI EmulatedSetDefaultDllDirectories(DWORD flags) {
  const DWORD allowed = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS |
                        LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
  const Call<BOOL> call("SetDefaultDllDirectories(" + emu::detail::Hex(flags) + ")");
  if (flags == 0 || (flags & ~allowed) != 0) return call.Fail(ERROR_INVALID_PARAMETER);
  CurrentProcess().defaultDllDirectories = flags;
  return call.Return(TRUE, "TRUE");
}

}  // namespace

DWORD WINAPI GetLastError(void) {
  return CurrentProcess().lastError;
}

void WINAPI SetLastError(DWORD dwErrCode) {
  SetError(dwErrCode);
}

// The buffer holds the command line in the process's code page, converted once at its start.
LPSTR WINAPI GetCommandLineA(void) {
  std::string& line = *CurrentProcess().commandLineBuffer;
  Trace("GetCommandLineA() = " + QuoteArg(line));
  return line.data();
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  const Call<HMODULE> call("GetModuleHandleA(" + QuoteArg(lpModuleName) + ")");
  if (!lpModuleName ||
      emu::SameName(FromProgram(lpModuleName), FileNameOf(CurrentProcess().modulePath))) {
    return call.Return(emu::detail::ProcessInstance(), "the program");
  }
  if (emu::SameName(lpModuleName, "KERNEL32") || emu::SameName(lpModuleName, "KERNEL32.DLL")) {
    return call.Return(emu::detail::Kernel32Module(), "KERNEL32");
  }
  return call.Fail(ERROR_MOD_NOT_FOUND);
}

// Export names are case-sensitive. An ordinal (a "name" below 0x10000) names nothing here. Of
// the modules a program loads, only shell32's SHChangeNotify is served; another loaded module
// has no export the emulator knows (ERROR_PROC_NOT_FOUND).
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  emu::Session& session = CurrentSession();
  const emu::LoadedModule* loaded = emu::detail::FindModule(session, CurrentProcess().id, hModule);
  bool ordinal = reinterpret_cast<std::uintptr_t>(lpProcName) < 0x10000;
  const Call<FARPROC> call(
      "GetProcAddress(" +
      std::string(hModule == emu::detail::Kernel32Module() ? "KERNEL32"
                  : loaded ? emu::detail::ModuleName(session, *loaded)
                           : emu::detail::Hex(reinterpret_cast<std::uintptr_t>(hModule))) +
      ", " +
      (ordinal ? "#" + std::to_string(reinterpret_cast<std::uintptr_t>(lpProcName))
               : Quote(lpProcName)) +
      ")");
  if (call.Injected()) return call.Fail(ERROR_PROC_NOT_FOUND);
  if (hModule == emu::detail::Shell32Module() && loaded && !ordinal) {
    if (FARPROC found = emu::detail::Shell32Export(lpProcName)) {
      return call.Return(found, lpProcName);
    }
  }
  // Windows 9x has no SetDefaultDllDirectories, nor XP, Vista and 7 before the KB2533623 update.
  if (hModule == emu::detail::Kernel32Module() && !ordinal &&
      std::strcmp(lpProcName, "SetDefaultDllDirectories") == 0 &&
      emu::OffersSetDefaultDllDirectories(session.scenario)) {
    return call.Return(
        reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&EmulatedSetDefaultDllDirectories)),
        "SetDefaultDllDirectories");
  }
  bool knownModule = hModule == emu::detail::Kernel32Module() || hModule == NULL ||
                     hModule == emu::detail::ProcessInstance() || loaded;
  return call.Fail(knownModule ? ERROR_PROC_NOT_FOUND : ERROR_MOD_NOT_FOUND);
}

// Windows XP's behaviour, the worst a caller meets: a path that does not fit is cut to the
// capacity without a terminator, the result is the capacity and the last error ERROR_SUCCESS.
// Sizes count bytes of the path in the caller's code page (a cut may split a UTF-8 sequence,
// as Windows' byte-wise copy does).
DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  const Call<DWORD> call(
      "GetModuleFileNameA(" +
      std::string(hModule ? emu::detail::Hex(reinterpret_cast<std::uintptr_t>(hModule)) : "NULL") +
      ", " + std::to_string(nSize) + ")");
  if (call.Injected()) return call.Fail(ERROR_NOT_ENOUGH_MEMORY);
  std::string path;
  if (hModule == NULL || hModule == emu::detail::ProcessInstance()) {
    path = CurrentProcess().modulePath;
    const auto& reported = CurrentSession().scenario.faults.modulePathAs;
    if (auto as = reported.find(emu::UpperName(path)); as != reported.end()) path = as->second;
    path = ToProgram(path);
  } else if (hModule == emu::detail::Kernel32Module()) {
    path = emu::detail::kKernel32Path;
  } else {
    return call.Fail(ERROR_MOD_NOT_FOUND);
  }
  if (!lpFilename && nSize > 0) return call.Fail(ERROR_INVALID_PARAMETER);
  if (path.size() + 1 > nSize) {
    if (nSize > 0) std::memcpy(lpFilename, path.data(), nSize);
    SetError(ERROR_SUCCESS);
    return call.Return(nSize, std::to_string(nSize) + " (cut, no terminator) " +
                                  QuoteArg(std::string_view(path).substr(0, nSize)));
  }
  std::memcpy(lpFilename, path.c_str(), path.size() + 1);
  return call.Return(static_cast<DWORD>(path.size()),
                     std::to_string(path.size()) + " " + QuoteArg(path));
}

// The path in the caller's code page: a user name the page cannot hold comes back with a '?'
// for each such character, a path that names no folder. When it does not fit, the result is
// the size needed in bytes (terminator included) and the buffer is left as it was.
DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
  const Call<DWORD> call("GetTempPathA(" + std::to_string(nBufferLength) + ")");
  if (call.Injected()) return call.Fail(ERROR_NOT_ENOUGH_MEMORY);
  const std::string temp = ToProgram(CurrentSession().scenario.tempPath);
  auto needed = static_cast<DWORD>(temp.size() + 1);
  if (nBufferLength < needed) {
    return call.Return(needed, std::to_string(needed) + " (does not fit; buffer untouched)");
  }
  if (!lpBuffer) return call.Fail(ERROR_INVALID_PARAMETER);
  std::memcpy(lpBuffer, temp.c_str(), temp.size() + 1);
  return call.Return(needed - 1, std::to_string(temp.size()) + " " + QuoteArg(temp));
}

// Nothing waits: the machine's clock moves on.
void WINAPI Sleep(DWORD dwMilliseconds) {
  emu::Session& session = CurrentSession();
  Kernel(session).clockMs += dwMilliseconds;
  emu::Event event = emu::detail::NewEvent(emu::Event::Kind::Sleep, CurrentProcess().id);
  event.ms = dwMilliseconds;
  Trace("Sleep(" + std::to_string(dwMilliseconds) + ")");
  session.record.events.push_back(std::move(event));
}

void WINAPI ExitProcess(UINT uExitCode) {
  int code = static_cast<int>(uExitCode);
  int id = CurrentProcess().id;
  Trace("ExitProcess(" + std::to_string(code) + ")");
  emu::detail::RecordExit(CurrentSession(), id, code);
  throw emu::detail::ProcessExit{code};
}
