// scenario.ini: how a run on the image goes (the launcher's path, the temporary folder, the
// message box answers, files in use, keys that cannot be deleted, failing operations, links).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "machine.h"

namespace machine_image {

// Applies the scenario to a machine whose registry and drives are already loaded. Throws
// ImageError naming the file and line for an unknown section or key or a bad value. Entries
// that are well-formed but find nothing to act on (a [denied] key the registry lacks) are
// reported in warnings.
void ApplyScenario(std::string_view fileBytes, const std::string& fileName, emu::Machine& machine,
                   std::vector<std::string>& warnings);

}  // namespace machine_image
