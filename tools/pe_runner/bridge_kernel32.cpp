// KERNEL32's imports, translated between guest memory and the emulated functions.
#include <cstring>

#include "guest_process.h"
#include "guest_structs.h"
#include "import_table.h"

namespace runner {
namespace {

std::uint64_t Bool(BOOL value) {
  return static_cast<std::uint32_t>(value);
}

std::uint64_t GetLastErrorRow(BridgeCall&) {
  return ::GetLastError();
}

std::uint64_t GetFileAttributesRow(BridgeCall& call) {
  return ::GetFileAttributesA(Text(call.String(0)));
}

std::uint64_t DeleteFileRow(BridgeCall& call) {
  return Bool(::DeleteFileA(Text(call.String(0))));
}

std::uint64_t RemoveDirectoryRow(BridgeCall& call) {
  return Bool(::RemoveDirectoryA(Text(call.String(0))));
}

std::uint64_t CopyFileRow(BridgeCall& call) {
  return Bool(::CopyFileA(Text(call.String(0)), Text(call.String(1)), call.U32(2)));
}

std::uint64_t MoveFileExRow(BridgeCall& call) {
  return Bool(::MoveFileExA(Text(call.String(0)), Text(call.String(1)), call.U32(2)));
}

std::uint64_t GetTempPathRow(BridgeCall& call) {
  GuestBuffer buffer(call.cpu(), call.Arg(1), call.U32(0));
  DWORD result = ::GetTempPathA(call.U32(0), buffer.chars());
  buffer.WriteBack();
  return result;
}

std::uint64_t GetModuleFileNameRow(BridgeCall& call) {
  GuestBuffer buffer(call.cpu(), call.Arg(1), call.U32(2));
  DWORD result =
      ::GetModuleFileNameA(static_cast<HMODULE>(call.Handle(0)), buffer.chars(), call.U32(2));
  buffer.WriteBack();
  return result;
}

// The command line is writable (LPSTR) because Windows may cut it while it parses; the
// emulator only reads it.
std::uint64_t CreateProcessRow(BridgeCall& call) {
  std::optional<std::string> commandLine = call.String(1);
  std::vector<char> line;
  if (commandLine)
    line.assign(commandLine->c_str(), commandLine->c_str() + commandLine->size() + 1);
  STARTUPINFOA startup{};
  std::uint64_t startupAt = call.Arg(8);
  if (startupAt) startup = ReadStartupInfo(call.cpu(), startupAt);
  PROCESS_INFORMATION information{};
  std::uint64_t informationAt = call.Arg(9);
  BOOL result =
      ::CreateProcessA(Text(call.String(0)), commandLine ? line.data() : nullptr, nullptr, nullptr,
                       call.U32(4), call.U32(5), nullptr, Text(call.String(7)),
                       startupAt ? &startup : nullptr, informationAt ? &information : nullptr);
  if (result && informationAt) WriteProcessInformation(call, informationAt, information);
  return Bool(result);
}

std::uint64_t MoveFileRow(BridgeCall& call) {
  return Bool(::MoveFileA(Text(call.String(0)), Text(call.String(1))));
}

// The security attributes and the template file are not read by the emulation.
std::uint64_t CreateFileRow(BridgeCall& call) {
  return call.GuestHandle(::CreateFileA(Text(call.String(0)), call.U32(1), call.U32(2), nullptr,
                                        call.U32(4), call.U32(5), call.Handle(6)));
}

// Only synchronous reads exist here: an OVERLAPPED would need the event and offsets bridged.
std::uint64_t ReadFileRow(BridgeCall& call) {
  if (call.Arg(4)) throw GuestFault("ReadFile with an OVERLAPPED is not bridged");
  GuestBuffer buffer(call.cpu(), call.Arg(1), call.U32(2));
  GuestDword read(call.cpu(), call.Arg(3));
  BOOL result = ::ReadFile(call.Handle(0), buffer.bytes(), call.U32(2), read.get(), nullptr);
  buffer.WriteBack();
  read.WriteBack();
  return Bool(result);
}

std::uint64_t CloseHandleRow(BridgeCall& call) {
  return Bool(::CloseHandle(call.Handle(0)));
}

std::uint64_t SleepRow(BridgeCall& call) {
  ::Sleep(call.U32(0));
  return 0;
}

// lstrcpyA and lstrcatA write the whole result into the guest's buffer, as far as it goes: a
// copy that runs past the guest's memory is the guest's fault, reported at the write.
std::uint64_t LstrcpyRow(BridgeCall& call) {
  std::uint64_t target = call.Arg(0);
  std::optional<std::string> source = call.String(1);
  if (!target || !source) return 0;
  std::vector<char> host(source->size() + 1, '\0');
  ::lstrcpyA(host.data(), source->c_str());
  call.cpu().Write(target, host.data(), host.size());
  return target;
}

std::uint64_t LstrcatRow(BridgeCall& call) {
  std::uint64_t target = call.Arg(0);
  std::optional<std::string> source = call.String(1);
  if (!target || !source) return 0;
  std::string current = call.cpu().CString(target);
  std::vector<char> host(current.size() + source->size() + 1, '\0');
  std::memcpy(host.data(), current.c_str(), current.size() + 1);
  ::lstrcatA(host.data(), source->c_str());
  call.cpu().Write(target + current.size(), host.data() + current.size(), source->size() + 1);
  return target;
}

std::uint64_t LstrlenRow(BridgeCall& call) {
  return static_cast<std::uint32_t>(::lstrlenA(Text(call.String(0))));
}

std::uint64_t LstrcmpRow(BridgeCall& call) {
  return static_cast<std::uint32_t>(::lstrcmpA(Text(call.String(0)), Text(call.String(1))));
}

std::uint64_t LstrcmpiRow(BridgeCall& call) {
  return static_cast<std::uint32_t>(::lstrcmpiA(Text(call.String(0)), Text(call.String(1))));
}

std::uint64_t SetFileAttributesRow(BridgeCall& call) {
  return Bool(::SetFileAttributesA(Text(call.String(0)), call.U32(1)));
}

std::uint64_t GetShortPathNameRow(BridgeCall& call) {
  GuestBuffer buffer(call.cpu(), call.Arg(1), call.U32(2));
  DWORD result = ::GetShortPathNameA(Text(call.String(0)), buffer.chars(), call.U32(2));
  buffer.WriteBack();
  return result;
}

std::uint64_t GetWindowsDirectoryRow(BridgeCall& call) {
  GuestBuffer buffer(call.cpu(), call.Arg(0), call.U32(1));
  UINT result = ::GetWindowsDirectoryA(buffer.chars(), call.U32(1));
  buffer.WriteBack();
  return result;
}

std::uint64_t GetSystemDirectoryRow(BridgeCall& call) {
  GuestBuffer buffer(call.cpu(), call.Arg(0), call.U32(1));
  UINT result = ::GetSystemDirectoryA(buffer.chars(), call.U32(1));
  buffer.WriteBack();
  return result;
}

std::uint64_t GetPrivateProfileSectionRow(BridgeCall& call) {
  GuestBuffer buffer(call.cpu(), call.Arg(1), call.U32(2));
  DWORD result = ::GetPrivateProfileSectionA(Text(call.String(0)), buffer.chars(), call.U32(2),
                                             Text(call.String(3)));
  buffer.WriteBack();
  return result;
}

// A section's lines stand one after another, each ended by NUL, with a second NUL after the
// last: read up to that, as Windows does.
std::optional<std::vector<char>> MultiString(BridgeCall& call, int index) {
  std::uint64_t at = call.Arg(index);
  if (!at) return std::nullopt;
  std::vector<char> lines;
  for (;;) {
    std::string line = call.cpu().CString(at);
    lines.insert(lines.end(), line.begin(), line.end());
    lines.push_back('\0');
    at += line.size() + 1;
    if (line.empty()) break;
  }
  if (lines.size() == 1) lines.push_back('\0');
  return lines;
}

std::uint64_t WritePrivateProfileSectionRow(BridgeCall& call) {
  std::optional<std::vector<char>> lines = MultiString(call, 1);
  return Bool(::WritePrivateProfileSectionA(Text(call.String(0)), lines ? lines->data() : nullptr,
                                            Text(call.String(2))));
}

std::uint64_t LoadLibraryRow(BridgeCall& call) {
  return call.GuestHandle(::LoadLibraryA(Text(call.String(0))));
}

std::uint64_t FreeLibraryRow(BridgeCall& call) {
  return Bool(::FreeLibrary(static_cast<HMODULE>(call.Handle(0))));
}

std::uint64_t GetCommandLineRow(BridgeCall& call) {
  return call.process().CommandLine(::GetCommandLineA());
}

std::uint64_t GetModuleHandleRow(BridgeCall& call) {
  return call.GuestHandle(::GetModuleHandleA(Text(call.String(0))));
}

// What GetProcAddress finds is a function of the emulator's; the guest gets a stub that
// lands in the bridge row of that name and calls it.
std::uint64_t GetProcAddressRow(BridgeCall& call) {
  std::uint64_t nameAt = call.Arg(1);
  bool ordinal = nameAt < 0x10000;
  std::optional<std::string> name = ordinal ? std::nullopt : call.String(1);
  const char* hostName =
      ordinal ? reinterpret_cast<const char*>(static_cast<std::uintptr_t>(nameAt)) : name->c_str();
  FARPROC found = ::GetProcAddress(static_cast<HMODULE>(call.Handle(0)), hostName);
  if (!found) return 0;
  const BridgeRow* row = nullptr;
  if (!ordinal) {
    row = FindBridgeRow("KERNEL32.dll", *name);
    if (!row) row = FindBridgeRow("SHELL32.dll", *name);
  }
  if (!row) {
    throw GuestFault("GetProcAddress found " + (ordinal ? "#" + std::to_string(nameAt) : *name) +
                     ", which the bridge does not carry");
  }
  return call.process().DynamicStub(*row, found);
}

std::uint64_t ExitProcessRow(BridgeCall& call) {
  ::ExitProcess(call.U32(0));
}

// Only handed out by GetProcAddress: the emulator's function is the one it found.
std::uint64_t SetDefaultDllDirectoriesRow(BridgeCall& call) {
  if (!call.hostFunction())
    throw GuestFault("SetDefaultDllDirectories bound without GetProcAddress");
  auto function =
      reinterpret_cast<BOOL(WINAPI*)(DWORD)>(reinterpret_cast<void (*)()>(call.hostFunction()));
  return Bool(function(call.U32(0)));
}

// Only handed out by GetProcAddress, from the shell32 that LoadLibraryA gave.
std::uint64_t ShChangeNotifyRow(BridgeCall& call) {
  if (!call.hostFunction()) throw GuestFault("SHChangeNotify bound without GetProcAddress");
  auto function = reinterpret_cast<void(WINAPI*)(LONG, UINT, LPCVOID, LPCVOID)>(
      reinterpret_cast<void (*)()>(call.hostFunction()));
  if (call.Arg(2) || call.Arg(3)) throw GuestFault("SHChangeNotify with items is not bridged");
  function(static_cast<LONG>(call.U32(0)), call.U32(1), nullptr, nullptr);
  return 0;
}

const BridgeRow kRows[] = {
    {"KERNEL32.dll", "GetLastError", 0, false, GetLastErrorRow},
    {"KERNEL32.dll", "GetFileAttributesA", 1, false, GetFileAttributesRow},
    {"KERNEL32.dll", "DeleteFileA", 1, false, DeleteFileRow},
    {"KERNEL32.dll", "RemoveDirectoryA", 1, false, RemoveDirectoryRow},
    {"KERNEL32.dll", "CopyFileA", 3, false, CopyFileRow},
    {"KERNEL32.dll", "MoveFileExA", 3, false, MoveFileExRow},
    {"KERNEL32.dll", "GetTempPathA", 2, false, GetTempPathRow},
    {"KERNEL32.dll", "GetModuleFileNameA", 3, false, GetModuleFileNameRow},
    {"KERNEL32.dll", "CreateProcessA", 10, false, CreateProcessRow},
    {"KERNEL32.dll", "MoveFileA", 2, false, MoveFileRow},
    {"KERNEL32.dll", "CreateFileA", 7, false, CreateFileRow},
    {"KERNEL32.dll", "ReadFile", 5, false, ReadFileRow},
    {"KERNEL32.dll", "CloseHandle", 1, false, CloseHandleRow},
    {"KERNEL32.dll", "Sleep", 1, false, SleepRow},
    {"KERNEL32.dll", "lstrcpyA", 2, false, LstrcpyRow},
    {"KERNEL32.dll", "lstrcatA", 2, false, LstrcatRow},
    {"KERNEL32.dll", "lstrlenA", 1, false, LstrlenRow},
    {"KERNEL32.dll", "lstrcmpA", 2, false, LstrcmpRow},
    {"KERNEL32.dll", "GetCommandLineA", 0, false, GetCommandLineRow},
    {"KERNEL32.dll", "GetModuleHandleA", 1, false, GetModuleHandleRow},
    {"KERNEL32.dll", "GetProcAddress", 2, false, GetProcAddressRow},
    {"KERNEL32.dll", "ExitProcess", 1, false, ExitProcessRow},
    {"KERNEL32.dll", "SetDefaultDllDirectories", 1, false, SetDefaultDllDirectoriesRow},
    {"KERNEL32.dll", "lstrcmpiA", 2, false, LstrcmpiRow},
    {"KERNEL32.dll", "SetFileAttributesA", 2, false, SetFileAttributesRow},
    {"KERNEL32.dll", "GetShortPathNameA", 3, false, GetShortPathNameRow},
    {"KERNEL32.dll", "GetWindowsDirectoryA", 2, false, GetWindowsDirectoryRow},
    {"KERNEL32.dll", "GetSystemDirectoryA", 2, false, GetSystemDirectoryRow},
    {"KERNEL32.dll", "GetPrivateProfileSectionA", 4, false, GetPrivateProfileSectionRow},
    {"KERNEL32.dll", "WritePrivateProfileSectionA", 3, false, WritePrivateProfileSectionRow},
    {"KERNEL32.dll", "LoadLibraryA", 1, false, LoadLibraryRow},
    {"KERNEL32.dll", "FreeLibrary", 1, false, FreeLibraryRow},
    {"SHELL32.dll", "SHChangeNotify", 4, false, ShChangeNotifyRow},
};

}  // namespace

std::span<const BridgeRow> Kernel32Rows() {
  return kRows;
}

}  // namespace runner
