// The set-up calls of setup_api.h for folders and written files; the registry's are with the
// other registry functions.
#include "setup_api.h"

#include <cstring>
#include <vector>

#include "file_handles.h"
#include "kernel_state.h"
#include "paths.h"
#include "state.h"
#include "trace_format.h"

using emu::detail::Call;
using emu::detail::CurrentProcess;
using emu::detail::CurrentSession;
using emu::detail::Location;
using emu::detail::QuoteArg;

// A new folder in an existing one. Windows refuses a name that exists, file or folder, with
// ERROR_ALREADY_EXISTS, and a missing folder on the way with ERROR_PATH_NOT_FOUND; a drive root
// exists already.
BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
  const Call<BOOL> call("CreateDirectoryA(" + QuoteArg(lpPathName) + ")");
  Location location = emu::detail::LocateForProcess(lpPathName);
  if (location.error) return call.Fail(location.error);
  if (location.root || location.node) return call.Fail(ERROR_ALREADY_EXISTS);
  auto folder = std::make_unique<emu::FsNode>();
  folder->name = location.name;
  folder->directory = true;
  location.folder->children[emu::UpperName(location.name)] = std::move(folder);
  return call.Return(TRUE, "TRUE");
}

// A synchronous write at the handle's position, which grows the file as needed. Windows needs
// write access on the handle (ERROR_ACCESS_DENIED) and lpNumberOfBytesWritten when there is no
// OVERLAPPED; the emulator refuses a call without it (ERROR_INVALID_PARAMETER).
BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
  using namespace emu::detail;
  const Call<BOOL> call("WriteFile(" + Hex(reinterpret_cast<std::uintptr_t>(hFile)) + ", " +
                        std::to_string(nNumberOfBytesToWrite) + ")");
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  auto* open = FindFileHandle(CurrentSession(), reinterpret_cast<std::uintptr_t>(hFile));
  if (!open || open->process != CurrentProcess().id) return call.Fail(ERROR_INVALID_HANDLE);
  if (lpOverlapped) return call.Fail(ERROR_NOT_SUPPORTED);  // overlapped writes: not modelled
  if (!lpNumberOfBytesWritten) return call.Fail(ERROR_INVALID_PARAMETER);
  if (!(open->access & kWriteAccess)) return call.Fail(ERROR_ACCESS_DENIED);
  if (!lpBuffer && nNumberOfBytesToWrite > 0) return call.Fail(ERROR_INVALID_PARAMETER);
  emu::Bytes& content = open->file->content;
  const std::uint64_t end = open->position + nNumberOfBytesToWrite;
  if (content.size() < end) content.resize(end);
  if (nNumberOfBytesToWrite > 0) {
    std::memcpy(content.data() + open->position, lpBuffer, nNumberOfBytesToWrite);
  }
  open->position = end;
  *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
  return call.Return(TRUE, "TRUE");
}

// The ANSI code page the calling process runs with (the system's, or 65001 where the manifest
// asks for UTF-8 and this Windows honours it).
UINT WINAPI GetACP(void) {
  return CurrentProcess().codePage;
}

// The current folder without a trailing backslash (a root keeps its own), in the caller's code
// page; a buffer too small gets nothing and the result is the size needed, terminator included.
DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  const std::string folder = emu::detail::ToProgram(CurrentProcess().currentDir);
  if (folder.size() + 1 > nBufferLength || !lpBuffer) return static_cast<DWORD>(folder.size() + 1);
  std::memcpy(lpBuffer, folder.c_str(), folder.size() + 1);
  return static_cast<DWORD>(folder.size());
}
