#include "guest_structs.h"

namespace runner {
namespace {

struct StartupLayout {
  std::uint32_t size, x, flags, showWindow;
};
constexpr StartupLayout kStartup32 = {68, 16, 44, 48};
constexpr StartupLayout kStartup64 = {104, 32, 60, 64};

struct MessageLayout {
  std::uint32_t message, wParam, lParam, time, pt;
};
constexpr MessageLayout kMessage32 = {4, 8, 12, 16, 20};
constexpr MessageLayout kMessage64 = {8, 16, 24, 32, 36};

}  // namespace

STARTUPINFOA ReadStartupInfo(Cpu& cpu, std::uint64_t address) {
  const StartupLayout& layout = cpu.arch() == Arch::X64 ? kStartup64 : kStartup32;
  STARTUPINFOA startup{};
  DWORD cb = cpu.U32(address);
  startup.cb = cb == layout.size ? sizeof(STARTUPINFOA) : cb;
  DWORD* sizes[] = {
      &startup.dwX,           &startup.dwY,           &startup.dwXSize,        &startup.dwYSize,
      &startup.dwXCountChars, &startup.dwYCountChars, &startup.dwFillAttribute};
  for (std::size_t i = 0; i < std::size(sizes); ++i)
    *sizes[i] = cpu.U32(address + layout.x + 4 * i);
  startup.dwFlags = cpu.U32(address + layout.flags);
  startup.wShowWindow = static_cast<WORD>(cpu.U32(address + layout.showWindow));
  return startup;
}

void WriteProcessInformation(BridgeCall& call, std::uint64_t address,
                             const PROCESS_INFORMATION& information) {
  Cpu& cpu = call.cpu();
  unsigned word = cpu.pointerSize();
  cpu.WritePointer(address, call.GuestHandle(information.hProcess));
  cpu.WritePointer(address + word, call.GuestHandle(information.hThread));
  cpu.WriteU32(address + 2 * word, information.dwProcessId);
  cpu.WriteU32(address + 2 * word + 4, information.dwThreadId);
}

MSG ReadMessage(BridgeCall& call, std::uint64_t address) {
  Cpu& cpu = call.cpu();
  const MessageLayout& layout = cpu.arch() == Arch::X64 ? kMessage64 : kMessage32;
  MSG message{};
  message.hwnd = static_cast<HWND>(call.HostHandle(cpu.Pointer(address)));
  message.message = cpu.U32(address + layout.message);
  message.wParam = static_cast<WPARAM>(cpu.Pointer(address + layout.wParam));
  std::uint64_t lParam = cpu.Pointer(address + layout.lParam);
  message.lParam = cpu.arch() == Arch::X64 ? static_cast<LPARAM>(lParam)
                                           : static_cast<LPARAM>(static_cast<std::int32_t>(lParam));
  message.time = cpu.U32(address + layout.time);
  message.pt.x = static_cast<LONG>(cpu.U32(address + layout.pt));
  message.pt.y = static_cast<LONG>(cpu.U32(address + layout.pt + 4));
  return message;
}

void WriteMessage(BridgeCall& call, std::uint64_t address, const MSG& message) {
  Cpu& cpu = call.cpu();
  const MessageLayout& layout = cpu.arch() == Arch::X64 ? kMessage64 : kMessage32;
  cpu.WritePointer(address, call.GuestHandle(message.hwnd));
  cpu.WriteU32(address + layout.message, message.message);
  cpu.WritePointer(address + layout.wParam, static_cast<std::uint64_t>(message.wParam));
  cpu.WritePointer(address + layout.lParam, static_cast<std::uint64_t>(message.lParam));
  cpu.WriteU32(address + layout.time, message.time);
  cpu.WriteU32(address + layout.pt, static_cast<std::uint32_t>(message.pt.x));
  cpu.WriteU32(address + layout.pt + 4, static_cast<std::uint32_t>(message.pt.y));
}

}  // namespace runner
