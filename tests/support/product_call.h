// One product routine called on its own in a process of its own on the session's machine, for
// tests of a single routine: what it returned, and what it changed once the process had ended.
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "platform/emulated/session.h"
#include "platform_api.h"
#include "support/machine_lines.h"

namespace test {

struct CallOutcome {
  BOOL result;
  Change change;
};

template <typename Call>
CallOutcome CallInProcess(emu::Session& session, Call call, std::string_view currentDir = {}) {
  const std::set<std::string> before = Snapshot(session);
  BOOL result;
  {
    emu::ActiveProcess process(session, currentDir);
    result = call();
  }
  return {result, Compare(before, Snapshot(session))};
}

}  // namespace test
