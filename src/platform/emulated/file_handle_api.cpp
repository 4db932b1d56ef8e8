// KERNEL32's open files: CreateFileA, ReadFile and CloseHandle, with Windows' sharing rules;
// and MoveFileA, the rename that sharing refuses while the file is open.
#include <algorithm>
#include <cstring>
#include <memory>

#include "file_changes.h"
#include "file_handles.h"
#include "file_use.h"
#include "paths.h"
#include "platform_api.h"
#include "state.h"
#include "trace_format.h"

using emu::detail::Call;
using emu::detail::CurrentSession;
using emu::detail::Hex;
using emu::detail::Location;
using emu::detail::QuoteArg;

namespace {

std::string FlagNames(DWORD value, std::initializer_list<std::pair<DWORD, const char*>> names) {
  std::string text;
  for (const auto& [bit, name] : names) {
    if ((value & bit) != bit) continue;
    value &= ~bit;
    if (!text.empty()) text += '|';
    text += name;
  }
  if (value != 0 || text.empty()) text += (text.empty() ? "" : "|") + Hex(value);
  return text;
}

std::string AccessName(DWORD access) {
  return FlagNames(access, {{GENERIC_READ, "GENERIC_READ"},
                            {GENERIC_WRITE, "GENERIC_WRITE"},
                            {GENERIC_EXECUTE, "GENERIC_EXECUTE"},
                            {DELETE, "DELETE"}});
}

std::string ShareName(DWORD share) {
  if (share == 0) return "0";
  return FlagNames(share, {{FILE_SHARE_READ, "FILE_SHARE_READ"},
                           {FILE_SHARE_WRITE, "FILE_SHARE_WRITE"},
                           {FILE_SHARE_DELETE, "FILE_SHARE_DELETE"}});
}

std::string DispositionName(DWORD disposition) {
  switch (disposition) {
    case CREATE_NEW:
      return "CREATE_NEW";
    case CREATE_ALWAYS:
      return "CREATE_ALWAYS";
    case OPEN_EXISTING:
      return "OPEN_EXISTING";
    case OPEN_ALWAYS:
      return "OPEN_ALWAYS";
    case TRUNCATE_EXISTING:
      return "TRUNCATE_EXISTING";
    default:
      return std::to_string(disposition);
  }
}

std::string NameOf(HANDLE handle) {
  auto* open =
      emu::detail::FindFileHandle(CurrentSession(), reinterpret_cast<std::uintptr_t>(handle));
  return open ? emu::detail::HandleName(*open) : Hex(reinterpret_cast<std::uintptr_t>(handle));
}

}  // namespace

// The product opens existing files only; tests also create them (CREATE_NEW, CREATE_ALWAYS,
// OPEN_ALWAYS, TRUNCATE_EXISTING, as Windows documents each). A link is followed,
// a folder is refused (it needs FILE_FLAG_BACKUP_SEMANTICS), and the new handle must agree
// with every handle already open to the file: its access shared by each of them, and its share
// mode allowing each one's access (ERROR_SHARING_VIOLATION otherwise). The image of a started
// process counts as open for reading and execution, sharing reads and deletion; a file of the
// scenario's [locked] list is held by a program that shares reading only.
HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  using namespace emu::detail;
  const emu::detail::Call<HANDLE> call(
      "CreateFileA(" + QuoteArg(lpFileName) + ", " + AccessName(dwDesiredAccess) + ", " +
          ShareName(dwShareMode) + ", " + DispositionName(dwCreationDisposition) + ")",
      INVALID_HANDLE_VALUE, "INVALID_HANDLE_VALUE");
  if (call.Injected()) return call.Fail(ERROR_ACCESS_DENIED);
  if ((dwShareMode & ~DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}) != 0) {
    return call.Fail(ERROR_INVALID_PARAMETER);
  }
  if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING) {
    return call.Fail(ERROR_INVALID_PARAMETER);
  }
  if (hTemplateFile != NULL) return call.Fail(ERROR_NOT_SUPPORTED);  // templates: not modelled
  emu::Session& session = CurrentSession();
  Location named = LocateForProcess(lpFileName);
  if (named.error) return call.Fail(named.error);
  if (!named.node && named.trailingSeparator) return call.Fail(ERROR_INVALID_NAME);
  if (named.node && !named.node->directory && named.trailingSeparator) {
    return call.Fail(ERROR_INVALID_NAME);
  }
  Location file = named.node ? FollowLink(session.machine.files, named) : named;
  if (file.error) return call.Fail(file.error);
  const bool creates = dwCreationDisposition == CREATE_NEW ||
                       dwCreationDisposition == CREATE_ALWAYS ||
                       dwCreationDisposition == OPEN_ALWAYS;
  if (!file.node && (!creates || !file.folder)) {
    return call.Fail(file.folder ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
  }
  if (file.root || (file.node && file.node->directory)) return call.Fail(ERROR_ACCESS_DENIED);
  // CREATE_NEW refuses an existing file; CREATE_ALWAYS and TRUNCATE_EXISTING empty it, which a
  // read-only file refuses (ERROR_ACCESS_DENIED), as does opening one for writing.
  if (file.node && dwCreationDisposition == CREATE_NEW) return call.Fail(ERROR_FILE_EXISTS);
  const bool truncates =
      dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING;
  if (file.node && (file.node->attributes & FILE_ATTRIBUTE_READONLY) &&
      (truncates || (AccessClasses(dwDesiredAccess) & kWriteAccess))) {
    return call.Fail(ERROR_ACCESS_DENIED);
  }

  const std::uint32_t access = AccessClasses(dwDesiredAccess);
  const std::string path = file.RealPath();
  if (IsRunningImage(session, path) &&
      ((access & kWriteAccess) || (access != 0 && !(dwShareMode & FILE_SHARE_READ)))) {
    return call.Fail(ERROR_SHARING_VIOLATION);
  }
  if (HeldAgainstWriting(session, path) && (access & (kWriteAccess | kDeleteAccess))) {
    return call.Fail(ERROR_SHARING_VIOLATION);
  }
  if (file.node && SharingConflict(session, file.node, access, dwShareMode)) {
    return call.Fail(ERROR_SHARING_VIOLATION);
  }
  // An existing file met by CREATE_ALWAYS or OPEN_ALWAYS succeeds with ERROR_ALREADY_EXISTS as
  // the last error; a new file clears it. The new file takes the settable attributes asked for.
  const bool existed = file.node != nullptr;
  if (!existed) {
    auto created = std::make_unique<emu::FsNode>();
    created->name = file.name;
    created->attributes = dwFlagsAndAttributes &
                          (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    file.node = created.get();
    file.folder->children[emu::UpperName(file.name)] = std::move(created);
  } else if (truncates) {
    file.node->content.clear();
  }
  if (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS) {
    SetError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  }
  emu::detail::KernelState::FileHandle open;
  open.process = CurrentProcess().id;
  open.file = file.node;
  open.path = path;
  open.access = access;
  open.share = dwShareMode;
  std::uintptr_t value = AddFileHandle(session, std::move(open));
  return call.Return(reinterpret_cast<HANDLE>(value),
                     HandleName(Kernel(session).fileHandles.at(value)));
}

// A synchronous read from the handle's position: the bytes read are reported through
// lpNumberOfBytesRead, set to 0 first; fewer than asked only where the file ends, and 0 with
// TRUE at its end. Windows requires lpNumberOfBytesRead when there is no OVERLAPPED.
BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
  using namespace emu::detail;
  const Call<BOOL> call("ReadFile(" + NameOf(hFile) + ", " + std::to_string(nNumberOfBytesToRead) +
                        ")");
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
  if (call.Injected()) return call.Fail(ERROR_ACCESS_DENIED);
  auto* open = FindFileHandle(CurrentSession(), reinterpret_cast<std::uintptr_t>(hFile));
  if (!open) return call.Fail(ERROR_INVALID_HANDLE);
  if (lpOverlapped) return call.Fail(ERROR_NOT_SUPPORTED);  // overlapped reads: not modelled
  if (!lpNumberOfBytesRead) return call.Fail(ERROR_INVALID_PARAMETER);
  if (!(open->access & kReadAccess)) return call.Fail(ERROR_ACCESS_DENIED);
  if (!lpBuffer && nNumberOfBytesToRead > 0) return call.Fail(ERROR_INVALID_PARAMETER);
  const emu::Bytes& content = open->file->content;
  const std::uint64_t left = content.size() > open->position ? content.size() - open->position : 0;
  const auto count = static_cast<DWORD>(std::min<std::uint64_t>(left, nNumberOfBytesToRead));
  if (count > 0) std::memcpy(lpBuffer, content.data() + open->position, count);
  open->position += count;
  *lpNumberOfBytesRead = count;
  return call.Return(TRUE, "TRUE, " + std::to_string(count) + " bytes" +
                               (count < nNumberOfBytesToRead ? " (end of file)" : ""));
}

// Files, and the process and thread handles CreateProcessA returns. A handle is valid only in
// the process that holds it and only once: a second close, or a value never handed out, fails
// with ERROR_INVALID_HANDLE (under a debugger Windows also raises an exception, which no caller
// here is meant to meet); the emulator records it, so a test sees a double close.
BOOL WINAPI CloseHandle(HANDLE hObject) {
  using namespace emu::detail;
  emu::Session& session = CurrentSession();
  const int process = CurrentProcess().id;
  auto value = reinterpret_cast<std::uintptr_t>(hObject);
  const Call<BOOL> call("CloseHandle(" + NameOf(hObject) + ")");
  if (call.Injected()) return call.Fail(ERROR_INVALID_HANDLE);
  if (auto* file = FindFileHandle(session, value); file && file->process == process) {
    Kernel(session).fileHandles.erase(value);
    return call.Return(TRUE, "TRUE");
  }
  auto kernel = Kernel(session).kernelHandles.find(value);
  if (kernel != Kernel(session).kernelHandles.end() && kernel->second.owner == process) {
    std::string what = std::string(kernel->second.thread ? "thread" : "process") + " of process " +
                       std::to_string(kernel->second.target);
    Kernel(session).kernelHandles.erase(kernel);
    return call.Return(TRUE, "TRUE (" + what + ")");
  }
  session.record.badHandleCloses.push_back("process " + std::to_string(process) + ": " +
                                           Hex(value));
  return call.Fail(ERROR_INVALID_HANDLE);
}

// A rename in place of the old name: the file (or folder, or link) keeps what it is. Refused
// while a handle is open to the file without FILE_SHARE_DELETE (ERROR_SHARING_VIOLATION), for a
// folder with anything in use in its tree (ERROR_ACCESS_DENIED), and onto a name that exists
// (ERROR_ALREADY_EXISTS). The image of a running process may be renamed.
BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
  using namespace emu::detail;
  const Call<BOOL> call("MoveFileA(" + QuoteArg(lpExistingFileName) + ", " +
                        QuoteArg(lpNewFileName) + ")");
  Location from = LocateForProcess(lpExistingFileName);
  if (from.error) return call.Fail(from.error);
  if (!from.node) return call.Fail(ERROR_FILE_NOT_FOUND);
  Location to = LocateForProcess(lpNewFileName);
  if (to.error) return call.Fail(to.error);
  ChangeResult result = RenameEntry(CurrentSession(), from, to, false);
  if (!result) return call.Fail(result.error);
  return call.Return(TRUE, "TRUE");
}
