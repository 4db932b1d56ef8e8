// The fake handle values the emulated API hands out for modules and windows.
#pragma once

#include <cstdint>

#include "platform_api.h"

namespace emu::detail {

// Every process's own module sits at the classic image base; kernel32 where XP loaded it.
inline HMODULE ProcessInstance() {
  return reinterpret_cast<HMODULE>(std::uintptr_t{0x00400000});
}
inline HMODULE Kernel32Module() {
  return reinterpret_cast<HMODULE>(std::uintptr_t{0x7C800000});
}

inline HMODULE Shell32Module() {
  return reinterpret_cast<HMODULE>(std::uintptr_t{0x7CA00000});
}
// What GetProcAddress finds in shell32: SHChangeNotify, nothing else (nullptr).
FARPROC Shell32Export(const char* name);

inline constexpr const char* kKernel32Path = "C:\\WINDOWS\\system32\\kernel32.dll";

inline HWND WindowHandle(int windowId) {
  return reinterpret_cast<HWND>(std::uintptr_t{0x00010000} + std::uintptr_t(windowId) * 0x10);
}
inline int WindowId(HWND window) {
  auto value = reinterpret_cast<std::uintptr_t>(window);
  if (value <= 0x00010000 || (value & 0xF) != 0) return 0;
  return static_cast<int>((value - 0x00010000) / 0x10);
}

}  // namespace emu::detail
