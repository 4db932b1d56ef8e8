// Faults a test lays on the emulated machine before its run.
#pragma once

#include <string>
#include <vector>

#include "platform/emulated/session.h"

namespace test {

// Every call of each named operation fails.
inline void FailOperations(emu::Session& session, const std::vector<std::string>& operations) {
  session.scenario.faults.failingOperations.insert(operations.begin(), operations.end());
}

// The file is in use: for good when `failures` is negative, otherwise for that many attempts.
inline void LockFile(emu::Session& session, const std::string& path, int failures = -1) {
  session.scenario.faults.locked[emu::UpperName(path)] = {.always = failures < 0,
                                                          .failures = failures < 0 ? 0 : failures};
}

}  // namespace test
