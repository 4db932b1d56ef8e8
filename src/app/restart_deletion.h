// Deleting a file at the next restart, on every Windows the program runs on.
#pragma once

#include "platform_api.h"

// MoveFileExA where Windows has it (NT); on Windows 95, 98 and ME, where it fails with
// ERROR_CALL_NOT_IMPLEMENTED, a NUL= line in WININIT.INI. Returns FALSE when neither was made.
BOOL ScheduleDeletionAtRestart(LPCSTR path);
