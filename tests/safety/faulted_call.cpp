#include "safety/faulted_call.h"

namespace safety {
namespace {

constexpr const char kSweepMarker[] = "(fault sweep: call ";

std::string CallText(const emu::TraceLine& line) {
  auto colon = line.text.find(": ");
  return colon == std::string::npos ? line.text : line.text.substr(colon + 2);
}

bool StartsWithName(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() &&
         emu::UpperName(text.substr(0, prefix.size())) == emu::UpperName(prefix);
}

}  // namespace

bool FaultedCall::Is(const std::string& prefix) const {
  return StartsWithName(call, prefix);
}

std::optional<FaultedCall> FindFaultedCall(const emu::Session& session) {
  const auto& trace = session.record.trace;
  for (std::size_t i = 0; i < trace.size(); ++i) {
    if (trace[i].text.find(kSweepMarker) == std::string::npos) continue;
    for (std::size_t j = i + 1; j < trace.size(); ++j) {
      if (trace[j].process == trace[i].process) {
        return FaultedCall{trace[j].process, j, CallText(trace[j])};
      }
    }
  }
  return std::nullopt;
}

bool CalledBefore(const emu::Session& session, const FaultedCall& fault,
                  const std::string& prefix) {
  for (std::size_t i = 0; i < fault.traceIndex; ++i) {
    const auto& line = session.record.trace[i];
    if (line.process == fault.process && StartsWithName(CallText(line), prefix)) return true;
  }
  return false;
}

bool CalledAfter(const emu::Session& session, const FaultedCall& fault, const std::string& prefix) {
  for (std::size_t i = fault.traceIndex + 1; i < session.record.trace.size(); ++i) {
    const auto& line = session.record.trace[i];
    if (line.process == fault.process && StartsWithName(CallText(line), prefix)) return true;
  }
  return false;
}

std::string OperationOf(const std::string& call) {
  return call.substr(0, call.find('('));
}

}  // namespace safety
