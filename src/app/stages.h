// The two stages of a run. Each returns its success flag; the entry reports a failure.
#pragma once

#include "platform_api.h"

// Started by the user: confirm, copy to the temp folder, start the copy, delete the
// machine-wide entries.
BOOL RunLauncherStage(HINSTANCE instance, LPCSTR caption);
// Started by the launcher from the temp copy, with the install folder as `tail`.
BOOL RunWorkerStage(HINSTANCE instance, LPCSTR caption, LPCSTR tail);
