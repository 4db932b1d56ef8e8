// Holds the run under Wine against the simulator's run of the same image: the same keys,
// values, files and folders afterwards, the same message boxes in the same order, the same
// process starts and exit codes, the same deletions pending for a restart.
#pragma once

#include <string>
#include <vector>

#include "session.h"

namespace wine_harness {

// Each difference as a line for people; empty when the two agree. Paths and key names
// compare case-insensitively, as Windows compares them (Wine reports a path in the case it
// has on disk). Not compared: the pauses (their number follows real timing), and a trailing
// backslash of a process's current folder (Windows keeps one there, the transcript does not).
std::vector<std::string> CompareOutcomes(const emu::Session& wine, const emu::Session& simulated);

}  // namespace wine_harness
