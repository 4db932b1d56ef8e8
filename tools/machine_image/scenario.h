// scenario.ini: how a run on the image goes (the launcher's path, the temporary folder, the
// message box answers, files in use, keys that cannot be deleted, failing operations, links).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "session.h"

namespace machine_image {

// Where the launcher runs from when the image does not say: the product's install folder.
inline constexpr const char* kDefaultExe = "C:\\Program Files\\Orbelle\\Uninstall.exe";

// Applies the scenario to a session whose registry and drives are already loaded; a session
// without a launcher path gets kDefaultExe unless the scenario names one. Throws
// ImageError naming the file and line for an unknown section or key or a bad value. Entries
// that are well-formed but find nothing to act on (a [denied] key the registry lacks) are
// reported in warnings.
void ApplyScenario(std::string_view fileBytes, const std::string& fileName, emu::Session& session,
                   std::vector<std::string>& warnings);

}  // namespace machine_image
