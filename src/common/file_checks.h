// Questions about files the stages ask before acting, each in one place.
#pragma once

#include "platform_api.h"

// TRUE when anything (file or folder) answers to `path`.
BOOL FileExists(LPCSTR path);
// Fills `ownPath` (MAX_PATH bytes) with the running executable's full path. A path cut to the
// buffer, or one without a folder, is no path of ours: FALSE, and nothing may be built on it.
BOOL GetOwnPath(LPSTR ownPath);
