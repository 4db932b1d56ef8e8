// Loading a whole machine image: registry.reg, drive_*/ and scenario.ini.
#pragma once

#include <string>
#include <vector>

#include "image_source.h"
#include "session.h"

namespace machine_image {

inline constexpr const char* kRegistryFile = "registry.reg";
inline constexpr const char* kScenarioFile = "scenario.ini";

// Fills a fresh session from the image: its machine and its scenario (the launcher at
// kDefaultExe unless the scenario or the caller says otherwise). Throws ImageError (file and line)
// for a bad image; the machine is then left half-filled and must not be used. Harmless oddities of
// a well-formed image are added to warnings.
void LoadMachine(const ImageSource& source, emu::Session& session,
                 std::vector<std::string>& warnings);

}  // namespace machine_image
