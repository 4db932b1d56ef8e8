// The bridge from a guest's imports to the emulated machine: one row for each function of the
// emulator's API table (api_table.h), with what the stub needs (stack cleanup) and the handler
// that carries the call. Handlers come from the functions' types (bridge_derived.h) unless
// written by hand; the Windows behaviour each emulated function models is commented where the
// emulator implements it (src/platform/emulated/).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "bridge_call.h"

namespace runner {

using BridgeHandler = std::uint64_t (*)(BridgeCall& call);

struct BridgeRow {
  const char* dll;  // compared case-insensitively, as the loader does
  const char* name;
  int arguments;  // what stdcall pops on i386, in 4-byte slots
  bool cdecl;     // the caller pops (wsprintfA)
  BridgeHandler handler;
};

std::span<const BridgeRow> BridgeRows();
// The row of an import, or nullptr. A module handle's name for GetProcAddress is "KERNEL32".
const BridgeRow* FindBridgeRow(std::string_view dll, std::string_view name);

// Handlers written by hand, by function name, beside the DLL's other translations.
struct HandWritten {
  const char* name;
  BridgeHandler handler;
};
std::span<const HandWritten> Kernel32Handlers();
std::span<const HandWritten> Advapi32Handlers();
std::span<const HandWritten> User32Handlers();

}  // namespace runner
