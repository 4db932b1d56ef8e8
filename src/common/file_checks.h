// Questions about files the stages ask before acting, each in one place.
#pragma once

#include "platform_api.h"

// TRUE when anything (file or folder) answers to `path`.
BOOL FileExists(LPCSTR path);
// Fills `ownPath` (MAX_PATH bytes) with the running executable's full path. A path cut to the
// buffer, or one without a folder, is no path of ours: FALSE, and nothing may be built on it.
BOOL GetOwnPath(LPSTR ownPath);

// GetWindowsDirectoryA and GetSystemDirectoryA: the folders of Windows itself.
typedef UINT(WINAPI* WindowsFolderQuery)(LPSTR buffer, UINT capacity);
// Fills `path` (MAX_PATH bytes) with `name` in the folder `query` answers. A folder that does not
// fit, or a name that does not fit after it, is FALSE: a relative name would be looked up in the
// current folder, which is the temp folder anyone may write.
BOOL BuildWindowsFilePath(WindowsFolderQuery query, LPCSTR name, LPSTR path);
