// The run told for people, on stdout: processes starting and ending, every message box as
// the user saw it, pauses summarised, restart deletions; with trace, every platform call
// in between, the way a process monitor shows them.
#pragma once

#include <ostream>

#include "session.h"

namespace machine_image {

struct TranscriptOptions {
  bool trace = false;
  bool stopped = false;  // the run was stopped after kMaxMessageBoxes boxes
};

void WriteReadableTranscript(std::ostream& out, const emu::Session& session,
                             const TranscriptOptions& options);

}  // namespace machine_image
