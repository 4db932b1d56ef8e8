#include "job_watch.h"

#include <winternl.h>

namespace guest {
namespace {

// A UNICODE_STRING of another process's start-up parameters, read from its memory.
std::wstring RemoteString(HANDLE process, const unsigned char* params, std::size_t offset) {
  UNICODE_STRING text = {};
  SIZE_T got = 0;
  if (!ReadProcessMemory(process, params + offset, &text, sizeof text, &got) || text.Length == 0) {
    return {};
  }
  std::wstring out(text.Length / sizeof(wchar_t), L'\0');
  if (!ReadProcessMemory(process, text.Buffer, out.data(), text.Length, &got)) return {};
  return out;
}

// The command line and current folder of another process, from its PEB: Windows offers no
// call for them (ProcessCommandLineInformation came with 8.1 and Wine 8 lacks it). The
// offsets follow this build's pointer size: the 64-bit orbrun watches x86_64 programs, the
// 32-bit one (orbrun32.exe) i386 programs, whose PEB it is given is the 32-bit one.
struct StartParameters {
  std::wstring commandLine, currentDir;
  bool operator==(const StartParameters&) const = default;
};

bool Plausible(const StartParameters& start) {
  const std::wstring& folder = start.currentDir;
  if (start.commandLine.empty() || folder.size() < 3 || folder[1] != L':' || folder[2] != L'\\') {
    return false;
  }
  for (const std::wstring* text : {&start.commandLine, &start.currentDir}) {
    for (const wchar_t c : *text) {
      if (c < L' ') return false;
    }
  }
  return true;
}

// The parameters as the PEB at peb points to them, in this build's layout.
StartParameters StartParametersAt(HANDLE process, const unsigned char* peb) {
  constexpr bool k64 = sizeof(void*) == 8;
  constexpr std::size_t kPebProcessParameters = k64 ? 0x20 : 0x10;
  constexpr std::size_t kCurrentDirectoryPath = k64 ? 0x38 : 0x24;
  constexpr std::size_t kCommandLine = k64 ? 0x70 : 0x40;
  const unsigned char* params = nullptr;
  SIZE_T got = 0;
  if (peb == nullptr ||
      !ReadProcessMemory(process, peb + kPebProcessParameters, &params, sizeof params, &got) ||
      params == nullptr) {
    return {};
  }
  return {RemoteString(process, params, kCommandLine),
          RemoteString(process, params, kCurrentDirectoryPath)};
}

StartParameters StartParametersOf(HANDLE process) {
  using QueryFn = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic = {};
  if (query == nullptr || query(process, 0, &basic, sizeof basic, nullptr) != 0) return {};
  const auto* peb = reinterpret_cast<const unsigned char*>(basic.PebBaseAddress);
  StartParameters start = StartParametersAt(process, peb);
  // Windows gives a 32-bit caller the 32-bit PEB of a WoW64 process; Wine 8's 32-bit loader
  // reports the 64-bit PEB it keeps one page below the 32-bit one.
  if (sizeof(void*) == 4 && peb != nullptr && !Plausible(start)) {
    start = StartParametersAt(process, peb + 0x1000);
  }
  return start;
}

std::wstring ImageOf(HANDLE process) {
  wchar_t path[1024];
  DWORD size = 1024;
  if (!QueryFullProcessImageNameW(process, 0, path, &size)) return {};
  return std::wstring(path, size);
}

}  // namespace

bool JobWatch::Start(const std::wstring& exe, std::wstring& error) {
  job_ = UniqueHandle(CreateJobObjectW(nullptr, nullptr));
  port_ = UniqueHandle(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
  if (!job_ || !port_) {
    error = L"cannot create the job object";
    return false;
  }
  JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {};
  association.CompletionKey = job_.get();
  association.CompletionPort = port_.get();
  if (!SetInformationJobObject(job_.get(), JobObjectAssociateCompletionPortInformation,
                               &association, sizeof association)) {
    error = L"cannot attach the completion port to the job";
    return false;
  }

  // Explorer starts a program with its quoted path and its folder as the current folder.
  std::wstring commandLine = L"\"" + exe + L"\"";
  std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
  if (folder.size() == 2) folder += L'\\';  // a drive root is "C:\", not "C:"
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                      nullptr, folder.c_str(), &startup, &info)) {
    error = L"cannot start " + exe + L" (error " + std::to_wstring(GetLastError()) + L")";
    return false;
  }
  UniqueHandle thread(info.hThread);
  UniqueHandle process(info.hProcess);
  if (!AssignProcessToJobObject(job_.get(), info.hProcess)) {
    TerminateProcess(info.hProcess, 1);
    error = L"cannot put the program into the job";
    return false;
  }
  Track(info.dwProcessId);
  ResumeThread(info.hThread);
  return true;
}

void JobWatch::Track(DWORD processId) {
  if (processes_.contains(processId)) return;
  Tracked& tracked = processes_[processId];
  tracked.number = nextNumber_++;
  tracked.process = UniqueHandle(OpenProcess(
      PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_VM_READ | PROCESS_QUERY_INFORMATION,
      FALSE, processId));
  ++running_;
  Announce(tracked, false);
}

void JobWatch::Announce(Tracked& tracked, bool final) {
  if (tracked.announced) return;
  const std::wstring image = tracked.process ? ImageOf(tracked.process.get()) : L"";
  const StartParameters start =
      tracked.process ? StartParametersOf(tracked.process.get()) : StartParameters{};
  // A process is reported before it has finished setting up its parameters: wait for two
  // equal readings that look like a path and a command line.
  const bool settled =
      !image.empty() && Plausible(start) && start == StartParametersOf(tracked.process.get());
  if (!final && !settled) return;
  tracked.announced = true;
  log_.Start(tracked.number, image, start.commandLine, start.currentDir);
}

void JobWatch::Ended(DWORD processId) {
  auto found = processes_.find(processId);
  if (found == processes_.end() || found->second.ended) return;
  Tracked& tracked = found->second;
  Announce(tracked, true);
  tracked.ended = true;
  --running_;
  DWORD code = 0;
  if (tracked.process) GetExitCodeProcess(tracked.process.get(), &code);
  log_.Exit(tracked.number, code);
}

bool JobWatch::Pump(DWORD waitMs) {
  DWORD message = 0;
  ULONG_PTR key = 0;
  LPOVERLAPPED data = nullptr;
  DWORD wait = waitMs;
  while (GetQueuedCompletionStatus(port_.get(), &message, &key, &data, wait)) {
    const auto processId = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(data));
    if (message == JOB_OBJECT_MSG_NEW_PROCESS) Track(processId);
    if (message == JOB_OBJECT_MSG_EXIT_PROCESS || message == JOB_OBJECT_MSG_ABNORMAL_EXIT_PROCESS) {
      Ended(processId);
    }
    wait = 0;  // take what is queued, then go back to the boxes
  }
  for (auto& [processId, tracked] : processes_) Announce(tracked, false);
  // The last exit can come before ACTIVE_PROCESS_ZERO; the count of our own is what decides.
  return running_ > 0;
}

void JobWatch::TerminateAll() {
  if (job_) TerminateJobObject(job_.get(), 1);
}

int JobWatch::NumberOf(DWORD processId) const {
  const auto found = processes_.find(processId);
  return found == processes_.end() ? 0 : found->second.number;
}

}  // namespace guest
