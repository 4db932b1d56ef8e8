// Judges one whole uninstall run against the safety invariants: nothing outside the footprint
// touched, every process ends with 0 and at most one closing message, the closing message
// tells the truth, no registry key left open, nothing scheduled for deletion but the copy, no
// DLL loaded from outside the system folder.
#pragma once

#include <string>
#include <vector>

#include "platform/emulated/session.h"
#include "safety/image_facts.h"
#include "safety/machine_state.h"

namespace safety {

struct RunVerdict {
  std::vector<std::string> violations;
  bool workerStarted = false;
  bool succeeded = false;   // the worker showed the success message
  std::string faultedCall;  // "" for a run without an injected failure
};

struct JudgeOptions {
  // After a run without injected failures that reports success, also require that every
  // product file, shortcut and key the uninstaller targets is gone and every extension that named
  // the product names its previous class or is gone.
  bool requireCompleteRemoval = false;
};

RunVerdict JudgeRun(const ImageFacts& facts, const emu::Session& session, emu::RunStatus status,
                    const MachineState& before, const MachineState& after,
                    const JudgeOptions& options = {});

}  // namespace safety
