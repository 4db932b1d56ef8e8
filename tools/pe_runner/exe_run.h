// Runs an uninstall on an emulated machine with a real Uninstall.exe instead of the host
// build: every process runs the bytes of the file it was started from (the worker, the copy
// that CopyFileA made) on an emulated CPU, its imports bridged to the emulated machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "session.h"
#include "symbol_names.h"

namespace runner {

struct ExeRunOptions {
  bool relocate = true;    // load at another base than the preferred one, as ASLR does
  MapSymbolTable symbols;  // the exe's link map, for fault reports
  // The machine's files hold stand-ins for the exe (a test's few bytes, whose length or last
  // byte a test may depend on): they are left alone, and every process the emulator starts as
  // the product (its file holds process 1's bytes) runs the exe given, as the host build runs
  // the product there. Without it the exe goes into the launcher's file and each process runs
  // the bytes of its own file.
  bool standInFiles = false;
};

struct ExeRunResult {
  emu::RunStatus status = emu::RunStatus::Completed;
  std::vector<std::string> faults;  // one report a process that faulted, "process N: ..."
};

// The exe's bytes go into the file at machine.exePath first (when the machine has that file),
// as the installer left them there.
ExeRunResult RunExe(emu::Session& session, const std::vector<std::uint8_t>& exe,
                    const ExeRunOptions& options = {});

// The same with process 1 started as given, for runs of the worker on its own.
ExeRunResult RunExe(emu::Session& session, const std::vector<std::uint8_t>& exe,
                    const std::string& image, const std::string& commandLine,
                    const std::string& currentDir, const ExeRunOptions& options = {});

// The exe's string table as Unicode (UTF-8); LoadStringA converts it to the caller's code page.
std::map<std::uint32_t, std::string> ExeStrings(const std::vector<std::uint8_t>& exe);
// The application manifest the loader reads (RT_MANIFEST 1, any language); "" when it has none.
std::string ExeManifest(const std::vector<std::uint8_t>& exe);

}  // namespace runner
