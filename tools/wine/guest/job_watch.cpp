#include "job_watch.h"

#include <winternl.h>

#include <cstdint>
#include <optional>

#include "read_shift.h"

namespace guest {
namespace {

// The shift to add to an address of another process before reading it (see read_shift.h),
// measured once on this process's own memory: a constant block and one made at run time on
// the stack, far apart. nullopt where no shift within a megabyte reads them back.
std::optional<std::intptr_t> MeasureReadShift() {
  static const unsigned char kConstant[32] = {0x6f, 0x72, 0x62, 0x72, 0x75, 0x6e, 0x3a, 0x20,
                                              0xd1, 0x5a, 0x0e, 0x93, 0x27, 0xc4, 0x88, 0x3b,
                                              0x41, 0xf7, 0x02, 0x6d, 0xb9, 0x14, 0xe6, 0x5c,
                                              0x9a, 0x30, 0x7e, 0xcb, 0x55, 0x08, 0xa3, 0xfd};
  unsigned char made[32];
  DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
  for (unsigned char& byte : made) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<unsigned char>(seed >> 16);
  }
  const KnownBytes probes[] = {{reinterpret_cast<std::uintptr_t>(kConstant), kConstant},
                               {reinterpret_cast<std::uintptr_t>(made), made}};
  const MemoryReader self = [](std::uintptr_t address, std::span<unsigned char> out) {
    SIZE_T got = 0;
    return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<const void*>(address),
                             out.data(), out.size(), &got) &&
           got == out.size();
  };
  return FindReadShift(self, probes, 0x1000, 0x100000);
}

// Reads another process's memory at the addresses that process sees.
class RemoteMemory {
 public:
  RemoteMemory(HANDLE process, std::intptr_t shift) : process_(process), shift_(shift) {}
  bool Read(const void* address, void* out, std::size_t size) const {
    SIZE_T got = 0;
    const auto at = reinterpret_cast<std::uintptr_t>(address) + static_cast<std::uintptr_t>(shift_);
    return ReadProcessMemory(process_, reinterpret_cast<const void*>(at), out, size, &got) &&
           got == size;
  }

 private:
  HANDLE process_;
  std::intptr_t shift_;
};

// A UNICODE_STRING of another process's start-up parameters, read from its memory.
std::wstring RemoteString(const RemoteMemory& memory, const unsigned char* params,
                          std::size_t offset) {
  UNICODE_STRING text = {};
  if (!memory.Read(params + offset, &text, sizeof text) || text.Length == 0) return {};
  std::wstring out(text.Length / sizeof(wchar_t), L'\0');
  if (!memory.Read(text.Buffer, out.data(), text.Length)) return {};
  return out;
}

// The command line and current folder of another process, from its PEB: Windows offers no
// call for them (ProcessCommandLineInformation came with 8.1 and Wine 8 lacks it). The
// offsets follow this build's pointer size: the 64-bit orbrun watches x86_64 programs, the
// 32-bit one (orbrun32.exe) i386 programs, whose PEB it is given is the 32-bit one (Wine's
// parameters are normalized by then: the strings hold addresses, not offsets).
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

StartParameters StartParametersOf(HANDLE process, std::intptr_t shift) {
  using QueryFn = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic = {};
  if (query == nullptr || query(process, 0, &basic, sizeof basic, nullptr) != 0) return {};
  constexpr bool k64 = sizeof(void*) == 8;
  constexpr std::size_t kPebProcessParameters = k64 ? 0x20 : 0x10;
  constexpr std::size_t kCurrentDirectoryPath = k64 ? 0x38 : 0x24;
  constexpr std::size_t kCommandLine = k64 ? 0x70 : 0x40;
  const RemoteMemory memory(process, shift);
  const auto* peb = reinterpret_cast<const unsigned char*>(basic.PebBaseAddress);
  const unsigned char* params = nullptr;
  if (peb == nullptr || !memory.Read(peb + kPebProcessParameters, &params, sizeof params) ||
      params == nullptr) {
    return {};
  }
  return {RemoteString(memory, params, kCommandLine),
          RemoteString(memory, params, kCurrentDirectoryPath)};
}

std::wstring ImageOf(HANDLE process) {
  wchar_t path[1024];
  DWORD size = 1024;
  if (!QueryFullProcessImageNameW(process, 0, path, &size)) return {};
  return std::wstring(path, size);
}

}  // namespace

bool JobWatch::Start(const std::wstring& exe, std::wstring& error) {
  const std::optional<std::intptr_t> shift = MeasureReadShift();
  if (!shift) {
    error =
        L"ReadProcessMemory does not read this process's own memory back within 1 MiB of "
        L"where it is, so no other process's command line can be read";
    return false;
  }
  readShift_ = *shift;
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
      tracked.process ? StartParametersOf(tracked.process.get(), readShift_) : StartParameters{};
  // A process is reported before it has finished setting up its parameters: wait for two
  // equal readings that look like a path and a command line.
  const bool settled = !image.empty() && Plausible(start) &&
                       start == StartParametersOf(tracked.process.get(), readShift_);
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
