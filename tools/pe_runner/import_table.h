// The bridge from a guest's imports to the emulated machine: one row an import. Adding an
// import is adding a row; the Windows behaviour each emulated function models is commented
// where the emulator implements it (src/platform/emulated/).
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

// The rows of each DLL, defined beside their handlers.
std::span<const BridgeRow> Kernel32Rows();
std::span<const BridgeRow> Advapi32Rows();
std::span<const BridgeRow> User32Rows();

}  // namespace runner
