// The set-up calls of setup_api.h on the machine: folders, written files, keys and values.
#include "setup_api.h"

#include <cstring>
#include <vector>

#include "file_handles.h"
#include "kernel_state.h"
#include "paths.h"
#include "state.h"
#include "trace_format.h"

using emu::detail::CurrentProcess;
using emu::detail::CurrentSession;
using emu::detail::ErrorName;
using emu::detail::FailedWith;
using emu::detail::FromProgram;
using emu::detail::Location;
using emu::detail::QuoteArg;
using emu::detail::SetError;
using emu::detail::Trace;

namespace {

BOOL Fail(const std::string& call, DWORD error) {
  SetError(error);
  Trace(call + " = " + FailedWith(error));
  return FALSE;
}

LONG Status(const std::string& call, LONG status) {
  Trace(call + " = " + ErrorName(static_cast<std::uint32_t>(status)));
  return status;
}

// The key an HKEY stands for in the calling process: a root, or a handle it opened and whose
// key still exists (ERROR_KEY_DELETED once it went, ERROR_INVALID_HANDLE for any other value).
emu::RegKey* KeyOf(HKEY handle, std::string& path, LONG& error) {
  emu::Session& session = CurrentSession();
  error = ERROR_SUCCESS;
  const std::pair<HKEY, emu::Root> roots[] = {{HKEY_LOCAL_MACHINE, emu::Root::LocalMachine},
                                              {HKEY_CURRENT_USER, emu::Root::CurrentUser},
                                              {HKEY_CLASSES_ROOT, emu::Root::ClassesRoot}};
  for (const auto& [value, root] : roots) {
    if (handle != value) continue;
    path = emu::RootName(root);
    return &session.machine.registry.RootKey(root);
  }
  auto& handles = Kernel(session).keyHandles;
  auto found = handles.find(reinterpret_cast<std::uintptr_t>(handle));
  if (found == handles.end() || found->second.process != CurrentProcess().id) {
    error = ERROR_INVALID_HANDLE;
    return nullptr;
  }
  path = found->second.path;
  if (!found->second.key) error = ERROR_KEY_DELETED;
  return found->second.key;
}

std::string KeyName(HKEY handle) {
  std::string path;
  LONG error = ERROR_SUCCESS;
  KeyOf(handle, path, error);
  return path.empty() ? emu::detail::Hex(reinterpret_cast<std::uintptr_t>(handle)) : path;
}

}  // namespace

// A new folder in an existing one. Windows refuses a name that exists, file or folder, with
// ERROR_ALREADY_EXISTS, and a missing folder on the way with ERROR_PATH_NOT_FOUND; a drive root
// exists already.
BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
  std::string call = "CreateDirectoryA(" + QuoteArg(lpPathName) + ")";
  Location location = emu::detail::LocateForProcess(lpPathName);
  if (location.error) return Fail(call, location.error);
  if (location.root || location.node) return Fail(call, ERROR_ALREADY_EXISTS);
  auto folder = std::make_unique<emu::FsNode>();
  folder->name = location.name;
  folder->directory = true;
  location.folder->children[emu::UpperName(location.name)] = std::move(folder);
  Trace(call + " = TRUE");
  return TRUE;
}

// A synchronous write at the handle's position, which grows the file as needed. Windows needs
// write access on the handle (ERROR_ACCESS_DENIED) and lpNumberOfBytesWritten when there is no
// OVERLAPPED; the emulator refuses a call without it (ERROR_INVALID_PARAMETER).
BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
  using namespace emu::detail;
  std::string call = "WriteFile(" + Hex(reinterpret_cast<std::uintptr_t>(hFile)) + ", " +
                     std::to_string(nNumberOfBytesToWrite) + ")";
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  auto* open = FindFileHandle(CurrentSession(), reinterpret_cast<std::uintptr_t>(hFile));
  if (!open || open->process != CurrentProcess().id) return Fail(call, ERROR_INVALID_HANDLE);
  if (lpOverlapped) return Fail(call, ERROR_NOT_SUPPORTED);  // overlapped writes: not modelled
  if (!lpNumberOfBytesWritten) return Fail(call, ERROR_INVALID_PARAMETER);
  if (!(open->access & kWriteAccess)) return Fail(call, ERROR_ACCESS_DENIED);
  if (!lpBuffer && nNumberOfBytesToWrite > 0) return Fail(call, ERROR_INVALID_PARAMETER);
  emu::Bytes& content = open->file->content;
  const std::uint64_t end = open->position + nNumberOfBytesToWrite;
  if (content.size() < end) content.resize(end);
  if (nNumberOfBytesToWrite > 0) {
    std::memcpy(content.data() + open->position, lpBuffer, nNumberOfBytesToWrite);
  }
  open->position = end;
  *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
  Trace(call + " = TRUE");
  return TRUE;
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

// Opens the key, making every missing key on the way. As RegOpenKeyA, a NULL or empty subkey
// gives back the handle passed in; a leading or doubled backslash is ERROR_BAD_PATHNAME.
LONG WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  std::string call = "RegCreateKeyA(" + KeyName(hKey) + ", " + QuoteArg(lpSubKey) + ")";
  if (!phkResult) return Status(call, ERROR_INVALID_PARAMETER);
  *phkResult = NULL;
  std::string path;
  LONG error = ERROR_SUCCESS;
  emu::RegKey* key = KeyOf(hKey, path, error);
  if (error) return Status(call, error);
  if (!lpSubKey || !*lpSubKey) {
    *phkResult = hKey;
    return Status(call, ERROR_SUCCESS);
  }
  std::string sub = FromProgram(lpSubKey);
  while (!sub.empty() && sub.back() == '\\') sub.pop_back();
  std::vector<std::string> names;
  for (std::size_t start = 0;;) {
    std::size_t slash = sub.find('\\', start);
    std::string name = sub.substr(start, slash == std::string::npos ? slash : slash - start);
    if (name.empty()) return Status(call, ERROR_BAD_PATHNAME);
    names.push_back(std::move(name));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  for (const std::string& name : names) {
    key = &key->Create(name);
    path += "\\" + key->name;
  }
  emu::Session& session = CurrentSession();
  std::uintptr_t value = Kernel(session).nextKeyHandle;
  Kernel(session).nextKeyHandle += 4;
  Kernel(session).keyHandles[value] = {key, CurrentProcess().id, path};
  *phkResult = reinterpret_cast<HKEY>(value);
  return Status(call, ERROR_SUCCESS);
}

// Stores the bytes as given: for the string types in the caller's code page, converted to the
// machine's text (cbData counts the terminator, as the documentation asks of the caller; data
// without one is stored without one). Windows does not check the size against the type.
LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                           DWORD cbData) {
  std::string call = "RegSetValueExA(" + KeyName(hKey) + ", " + QuoteArg(lpValueName) + ", " +
                     std::to_string(dwType) + ", " + std::to_string(cbData) + ")";
  std::string path;
  LONG error = ERROR_SUCCESS;
  emu::RegKey* key = KeyOf(hKey, path, error);
  if (error) return Status(call, error);
  if (!lpData && cbData > 0) return Status(call, ERROR_NOACCESS);
  emu::Bytes data(lpData, lpData + cbData);
  if (dwType == REG_SZ || dwType == REG_EXPAND_SZ || dwType == REG_MULTI_SZ) {
    const std::string text =
        FromProgram(std::string_view(reinterpret_cast<const char*>(lpData), cbData));
    data.assign(text.begin(), text.end());
  }
  key->SetValue(FromProgram(lpValueName), dwType, std::move(data));
  return Status(call, ERROR_SUCCESS);
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  std::string call = "RegDeleteValueA(" + KeyName(hKey) + ", " + QuoteArg(lpValueName) + ")";
  std::string path;
  LONG error = ERROR_SUCCESS;
  emu::RegKey* key = KeyOf(hKey, path, error);
  if (error) return Status(call, error);
  const std::string name = FromProgram(lpValueName);
  auto& values = key->values;
  for (auto at = values.begin(); at != values.end(); ++at) {
    if (!emu::SameName(at->name, name)) continue;
    values.erase(at);
    return Status(call, ERROR_SUCCESS);
  }
  return Status(call, ERROR_FILE_NOT_FOUND);
}
