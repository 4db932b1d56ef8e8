// CreateProcessA: the new process is queued and runs after its parent has ended (Run), and
// the process and thread handles it returns (CloseHandle: file_handle_api.cpp).
#include "file_handles.h"
#include "loader.h"
#include "paths.h"
#include "platform_api.h"
#include "state.h"
#include "trace_format.h"

namespace {

using emu::detail::Location;

// Without lpApplicationName Windows takes the program from the command line's first token.
std::string FirstToken(const std::string& line) {
  if (!line.empty() && line[0] == '"') {
    auto close = line.find('"', 1);
    return line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  return line.substr(0, line.find_first_of(" \t"));
}

// Windows hands out handle values in steps of 4, never reused while open; the caller owns both
// until it closes them (CloseHandle) or ends.
HANDLE NewKernelHandle(emu::Session& session, int target, bool thread) {
  std::uintptr_t value = emu::detail::NextHandleValue(session);
  Kernel(session).kernelHandles[value] = {emu::detail::CurrentProcess().id, target, thread};
  return reinterpret_cast<HANDLE>(value);
}

}  // namespace

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES,
                           LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPCSTR lpCurrentDirectory,
                           LPSTARTUPINFOA lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation) {
  using namespace emu::detail;
  emu::Session& session = CurrentSession();
  const Call<BOOL> call("CreateProcessA(" + QuoteArg(lpApplicationName) + ", " +
                        QuoteArg(lpCommandLine) + ", " + QuoteArg(lpCurrentDirectory) + ")");
  if (call.Injected()) return call.Fail(ERROR_ACCESS_DENIED);
  if (!lpStartupInfo || lpStartupInfo->cb != sizeof(STARTUPINFOA) || !lpProcessInformation) {
    return call.Fail(ERROR_INVALID_PARAMETER);
  }
  if (!lpApplicationName && !lpCommandLine) return call.Fail(ERROR_INVALID_PARAMETER);
  // What the start records (the event, the new process's command line) is Unicode, read in the
  // caller's code page; the new process gets its command line in its own page at its start.
  const std::string application =
      lpApplicationName ? FromProgram(lpApplicationName) : FirstToken(FromProgram(lpCommandLine));

  // The image: a missing file is ERROR_FILE_NOT_FOUND, a missing folder on the way
  // ERROR_PATH_NOT_FOUND, a folder ERROR_ACCESS_DENIED, as Windows reports them.
  Location image = LocateForProcess(ToProgram(application).c_str());
  if (image.error) return call.Fail(image.error);
  if (!image.node) return call.Fail(ERROR_FILE_NOT_FOUND);
  Location file = FollowLink(session.machine.files, image);
  if (file.error) return call.Fail(file.error);
  if (!file.node) return call.Fail(ERROR_FILE_NOT_FOUND);
  if (image.root || IsDirectory(*file.node)) return call.Fail(ERROR_ACCESS_DENIED);
  // The image is opened for reading and execution, sharing reads and deletion: a handle open
  // to it for writing, or without FILE_SHARE_READ, refuses the start.
  if (SharingConflict(session, file.node, kReadAccess, FILE_SHARE_READ | FILE_SHARE_DELETE)) {
    return call.Fail(ERROR_SHARING_VIOLATION);
  }

  // A current folder that is missing, no folder or too long fails the start: ERROR_DIRECTORY.
  std::string currentDir = CurrentProcess().currentDir;
  if (lpCurrentDirectory) {
    Location folder = LocateForProcess(lpCurrentDirectory);
    if (!folder.error && folder.node) folder = FollowLink(session.machine.files, folder);
    if (folder.error || !folder.node || !IsDirectory(*folder.node))
      return call.Fail(ERROR_DIRECTORY);
    currentDir = folder.RealPath();
  }

  MakeSystemLoads("CreateProcessA");
  std::string commandLine = lpCommandLine ? FromProgram(lpCommandLine) : application;
  bool product =
      !Kernel(session).productImage || file.node->content == *Kernel(session).productImage;
  int id = AddProcess(session, application, commandLine, currentDir);
  emu::Process& started = Kernel(session).processes.back();
  // Windows reports the image by the path it was started with: a folder link on the way stays
  // in it (the loader names the image by the path it opened, not by where the link leads).
  started.modulePath = emu::detail::JoinPath(image.spelled);
  started.imageFile = file.RealPath();
  started.runsProduct = product;
  started.imageBytes = std::make_shared<const emu::Bytes>(file.node->content);

  emu::Event event = emu::detail::NewEvent(emu::Event::Kind::Start, id);
  event.image = application;
  event.commandLine = commandLine;
  event.currentDir = lpCurrentDirectory ? FromProgram(lpCurrentDirectory) : currentDir;
  session.record.events.push_back(std::move(event));

  auto pid = static_cast<DWORD>(0x1000 + 8 * id);
  lpProcessInformation->hProcess = NewKernelHandle(session, id, false);
  lpProcessInformation->hThread = NewKernelHandle(session, id, true);
  lpProcessInformation->dwProcessId = pid;
  lpProcessInformation->dwThreadId = pid + 4;
  return call.Return(
      TRUE, "TRUE (process " + std::to_string(id) + (product ? "" : ", no product code") + ")");
}
