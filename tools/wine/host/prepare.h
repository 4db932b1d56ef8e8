// Lays a machine image onto a fresh Wine prefix and writes the plan that orbrun follows.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "session.h"

namespace wine_harness {

namespace fs = std::filesystem;

// Where the guest helpers live in every prefix (the template has them): C:\orbtest\, and the
// run's results below it. Neither is part of any image, and the comparison leaves them out.
inline constexpr const char* kHarnessFolder = "C:\\orbtest";

// What of the scenario Wine cannot be made to do; empty when the image can run under Wine.
// Wine has no switch for a failing API call, a key that refuses deletion, a launcher file
// released only after N more attempts, or a planted link; a file in use is realised by a
// holder process, for ever.
std::vector<std::string> UnrealisableParts(const emu::Session& session);

// The Shell Folders values Wine would overwrite from User Shell Folders (when something asks
// the shell for a folder): set User Shell Folders to the same paths. Returns the names of the
// User Shell Folders values this set or changed, which the comparison then leaves out.
std::vector<std::string> MirrorShellFolders(emu::Session& session);

// Wine's GetTempPath reports the folder HKCU\Environment names (TMP, else TEMP, read as each
// program starts), so an image that sets one must say the same folder in temp=, or the
// emulator would run with another. Empty when they agree or the image sets neither; else why
// not.
std::string TempDisagreement(const emu::Session& session);

struct PrepareOptions {
  fs::path image, prefix, exe;
  bool handshake = false;
  unsigned timeoutMs = 60000;
};

// Lays the drives, puts the exe at the image's exe= path, and writes C:\orbtest\import.reg
// and C:\orbtest\plan.txt. Throws on a bad or unrealisable image.
void Prepare(const PrepareOptions& options);

// "HKLM\Software" -> "HKEY_LOCAL_MACHINE\Software"
std::string FullKeyName(const std::string& shortName);

}  // namespace wine_harness
