// OUT_DIR: where a run's outcome goes. It is created when missing; an existing folder must be
// empty or hold an earlier outcome, which is replaced. Anything else is refused, so a
// mistyped --out can never wipe a folder of the user's.
#pragma once

#include <filesystem>
#include <stdexcept>

#include "session.h"

namespace machine_image {

class OutcomeFolderError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws OutcomeFolderError when the folder may not receive an outcome. Writes nothing.
void CheckOutcomeFolder(const std::filesystem::path& folder);

// Checks again, removes an earlier outcome, and writes registry.reg, drive_*/ and
// transcript.jsonl. Throws std::filesystem::filesystem_error when the host refuses a write.
void WriteOutcome(const emu::Session& session, const std::filesystem::path& folder);

}  // namespace machine_image
