// The two stages of a run. Each returns its success flag; the entry reports a failure.
#pragma once

#include "platform_api.h"

// Each stage keeps its buffers in its own frame. Compiled as one whole program, the two would be
// merged into the entry's frame, past the 4 KiB a stack grows by without probes (there are none).
#define STAGE_FRAME __attribute__((noinline))

// Started by the user: confirm, copy to the temp folder, start the copy, delete the
// machine-wide entries.
STAGE_FRAME BOOL RunLauncherStage(HINSTANCE instance, LPCSTR caption);
// Started by the launcher from the temp copy, with the install folder as `tail`.
STAGE_FRAME BOOL RunWorkerStage(HINSTANCE instance, LPCSTR caption, LPCSTR tail);
