// The platform operations a scenario's [fail] section may name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace machine_image {

// The operation's name as the emulator spells it ("CopyFileA"), looked up case-insensitively;
// "" when the program's platform layer has no such failable operation.
std::string CanonicalFailableOperation(std::string_view name);
const std::vector<std::string>& KnownFailableOperations();

}  // namespace machine_image
