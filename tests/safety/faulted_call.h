// The one platform call that a fault-sweep run made fail, read back from the run's trace, so
// the verdict can tell the failures the uninstaller reads as "absent" from those it must report.
#pragma once

#include <optional>
#include <string>

#include "platform/emulated/session.h"

namespace safety {

struct FaultedCall {
  int process = 0;
  std::size_t traceIndex = 0;
  std::string call;  // the trace text without its "N: " prefix: RegOpenKeyA(HKEY_..., "x") = ...

  // Whether the call starts with `prefix`, compared as Windows compares names.
  bool Is(const std::string& prefix) const;
};

std::optional<FaultedCall> FindFaultedCall(const emu::Session& session);

// Whether the process made another call starting with `prefix` before (or after) the fault.
bool CalledBefore(const emu::Session& session, const FaultedCall& fault, const std::string& prefix);
bool CalledAfter(const emu::Session& session, const FaultedCall& fault, const std::string& prefix);

// The Windows API name of a trace line's call: "RegOpenKeyA".
std::string OperationOf(const std::string& call);

}  // namespace safety
