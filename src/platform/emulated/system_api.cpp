// The Windows and system folders, and the DLLs a program loads at run time: LoadLibraryA,
// FreeLibrary and the one export of shell32 the product asks for, SHChangeNotify.
#include <cstring>

#include "handles.h"
#include "loader.h"
#include "platform_api.h"
#include "state.h"
#include "trace_format.h"

namespace {

using emu::detail::CurrentProcess;
using emu::detail::CurrentSession;
using emu::detail::Quote;
using emu::detail::SystemFolder;
using emu::detail::Trace;

// Both folder calls: the path without a trailing backslash, in the caller's code page, and its
// length in bytes; a buffer too small gets nothing and the result is the size needed,
// terminator included.
UINT ReportFolder(const char* operation, const std::string& machineFolder, LPSTR buffer,
                  UINT size) {
  using namespace emu::detail;
  const Call<UINT> call(std::string(operation) + "(" + std::to_string(size) + ")");
  if (call.Injected()) return call.Fail(ERROR_NOT_ENOUGH_MEMORY);
  const std::string folder = ToProgram(machineFolder);
  if (folder.size() + 1 > size) {
    return call.Return(static_cast<UINT>(folder.size() + 1),
                       std::to_string(folder.size() + 1) + " (does not fit; buffer untouched)");
  }
  std::memcpy(buffer, folder.c_str(), folder.size() + 1);
  return call.Return(static_cast<UINT>(folder.size()),
                     std::to_string(folder.size()) + " " + QuoteArg(folder));
}

std::string EventName(LONG eventId) {
  return eventId == 0x08000000L ? "SHCNE_ASSOCCHANGED"
                                : emu::detail::Hex(static_cast<std::uint32_t>(eventId));
}

// Records the notification where it is made; Explorer would refresh what it shows.
void WINAPI EmulatedShChangeNotify(LONG wEventId, UINT uFlags, LPCVOID dwItem1, LPCVOID dwItem2) {
  emu::Session& session = CurrentSession();
  Trace("SHChangeNotify(" + EventName(wEventId) + ", " + emu::detail::Hex(uFlags) + ", " +
        (dwItem1 ? "item" : "NULL") + ", " + (dwItem2 ? "item" : "NULL") + ")");
  emu::Event event = emu::detail::NewEvent(emu::Event::Kind::ShellNotify, CurrentProcess().id);
  event.what = EventName(wEventId);
  session.record.events.push_back(std::move(event));
}

}  // namespace

namespace emu::detail {

FARPROC Shell32Export(const char* name) {
  if (std::strcmp(name, "SHChangeNotify") != 0) return nullptr;
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&EmulatedShChangeNotify));
}

}  // namespace emu::detail

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  return ReportFolder("GetWindowsDirectoryA", CurrentSession().scenario.windowsFolder, lpBuffer,
                      uSize);
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
  return ReportFolder("GetSystemDirectoryA", SystemFolder(CurrentSession()), lpBuffer, uSize);
}

// The loader's model (loader.cpp): a path loads a DLL of the system folder that this Windows
// has; a bare name goes through the activation context, the loaded modules, KnownDLLs and the
// search order. Each load counts; FreeLibrary gives one back.
HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  using namespace emu::detail;
  const Call<HMODULE> call("LoadLibraryA(" + QuoteArg(lpLibFileName) + ")");
  if (call.Injected()) return call.Fail(ERROR_MOD_NOT_FOUND);
  if (!lpLibFileName) return call.Fail(ERROR_INVALID_PARAMETER);
  emu::Session& session = CurrentSession();
  const int process = CurrentProcess().id;
  const LoadOutcome outcome = LoadModule(session, process, FromProgram(lpLibFileName));
  if (outcome.error) return call.Fail(outcome.error);
  auto handle = reinterpret_cast<HMODULE>(outcome.handle);
  return call.Return(handle, ModuleName(session, *FindModule(session, process, handle)));
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  using namespace emu::detail;
  const Call<BOOL> call("FreeLibrary(" + Hex(reinterpret_cast<std::uintptr_t>(hLibModule)) + ")");
  if (call.Injected()) return call.Fail(ERROR_INVALID_HANDLE);
  emu::Session& session = CurrentSession();
  const int process = CurrentProcess().id;
  const emu::LoadedModule* module = FindModule(session, process, hLibModule);
  if (!module) return call.Fail(ERROR_INVALID_HANDLE);
  const std::string name = ModuleName(session, *module);
  FreeModule(session, process, hLibModule);
  return call.Return(TRUE, "TRUE (" + name + ")");
}
