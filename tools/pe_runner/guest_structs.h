// The structures the bridge passes, as a 32-bit and a 64-bit exe lay them out: pointers and
// handles are 4 or 8 bytes, and each member is aligned to its size.
#pragma once

#include <cstdint>

#include "bridge_call.h"

namespace runner {

// STARTUPINFOA is 68 bytes on i386 and 104 on x86_64. The emulator checks cb against the
// host's size, so a guest cb that is right for the guest becomes the host's size, and a wrong
// one stays wrong. The pointers it carries (desktop, title) are not read by CreateProcessA's
// emulation and stay NULL.
STARTUPINFOA ReadStartupInfo(Cpu& cpu, std::uint64_t address);
// PROCESS_INFORMATION: two handles and two DWORDs (16 or 24 bytes).
void WriteProcessInformation(BridgeCall& call, std::uint64_t address,
                             const PROCESS_INFORMATION& information);
// MSG: hwnd, message, wParam, lParam, time, pt (28 or 48 bytes).
MSG ReadMessage(BridgeCall& call, std::uint64_t address);
void WriteMessage(BridgeCall& call, std::uint64_t address, const MSG& message);

}  // namespace runner
