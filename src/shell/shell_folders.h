// The product's shortcuts in the user's shell folders, found through the shell's per-user
// Shell Folders key.
#pragma once

#include "platform_api.h"

// Fills `path` (ShellPathCapacity bytes) with the folder named by `valueName`, ending in a
// backslash unless empty. FALSE when the key or value cannot be read or does not fit.
BOOL ReadShellFolderPath(LPCSTR valueName, LPSTR path);
// Deletes "Orbelle.lnk" from the folder named by `valueName`. TRUE when it is gone or never
// was there (or the folder value is empty).
BOOL DeleteProductShortcut(LPCSTR valueName);
// Deletes the group shortcuts, the group folder and, when left empty, the maker's folder.
// TRUE when the group folder was removed.
BOOL RemoveProgramGroup(void);
