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

std::uint64_t GetCommandLineRow(BridgeCall& call) {
  return call.process().CommandLine(::GetCommandLineA());
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

// Only handed out by GetProcAddress, from the shell32 that LoadLibraryA gave.
std::uint64_t ShChangeNotifyRow(BridgeCall& call) {
  if (!call.hostFunction()) throw GuestFault("SHChangeNotify bound without GetProcAddress");
  auto function = reinterpret_cast<void(WINAPI*)(LONG, UINT, LPCVOID, LPCVOID)>(
      reinterpret_cast<void (*)()>(call.hostFunction()));
  if (call.Arg(2) || call.Arg(3)) throw GuestFault("SHChangeNotify with items is not bridged");
  function(static_cast<LONG>(call.U32(0)), call.U32(1), nullptr, nullptr);
  return 0;
}

const HandWritten kHandlers[] = {
    {"CreateProcessA", CreateProcessRow},
    {"CreateFileA", CreateFileRow},
    {"ReadFile", ReadFileRow},
    {"WritePrivateProfileSectionA", WritePrivateProfileSectionRow},
    {"lstrcpyA", LstrcpyRow},
    {"lstrcatA", LstrcatRow},
    {"GetCommandLineA", GetCommandLineRow},
    {"GetProcAddress", GetProcAddressRow},
    {"SHChangeNotify", ShChangeNotifyRow},
};

}  // namespace

std::span<const HandWritten> Kernel32Handlers() {
  return kHandlers;
}

}  // namespace runner
