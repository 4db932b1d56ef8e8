// Whole runs three ways: the host build of the product, the shipped i686 Uninstall.exe and
// the x86_64 one, each on the emulated CPU (tools/pe_runner/). The three must leave the same
// machine, the same events and the same trace; a difference fails the test and prints both
// traces around the first difference.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/emulated/session.h"

namespace test {

// Runs `machine` with the host build (the caller then asserts on it as before) and copies of
// it, taken before the run, with each exe. The exes come from the win32 and win64 presets; a
// missing one fails the test.
emu::RunStatus RunThreeWays(emu::Session& session);
// The same with process 1 started as given (the worker on its own).
emu::RunStatus RunThreeWays(emu::Session& session, const std::string& image,
                            const std::string& commandLine, const std::string& currentDir);

// The bytes of build/PRESET/Uninstall.exe ("win32", "win64"); empty when it is missing.
const std::vector<std::uint8_t>& ExeBytes(const char* preset);

}  // namespace test
