// Everything the uninstaller removes is fixed here: names, tables and registry locations.
#pragma once

#include "manifest/message_ids.h"
#include "platform_api.h"

extern const char ProductName[];
extern const char MakerName[];
extern const char UninstallerFileName[];
extern const char TempCopyFileName[];
extern const char AppPathKeyName[];
extern const char ShortcutExtension[];
extern const char DrainWindowClass[];
extern const char GroupFolderPath[];

// Walked up to their null entry.
extern const char* const ProgramFileNames[];
extern const char* const GroupShortcutNames[];
extern const char* const ProductShortcutFolders[];  // Shell Folders values, in deletion order

// Walked by count: the extensions have no end entry.
extern const char* const AssociatedExtensions[];
enum { AssociatedExtensionCount = 5 };

extern const char UninstallKeyPath[];     // HKEY_LOCAL_MACHINE
extern const char AppPathsKeyPath[];      // HKEY_LOCAL_MACHINE
extern const char MakerKeyPath[];         // HKEY_CURRENT_USER
extern const char SoftwareKeyPath[];      // HKEY_CURRENT_USER, when the maker's key fails
extern const char ShellFoldersKeyPath[];  // HKEY_CURRENT_USER, read only
extern const char UndoClassKeyName[];
extern const char ShellNewKeyName[];
extern const char ProgramsFolderValue[];

extern const char Shell32FileName[];         // loaded from the system folder, by full path
extern const char CommonControlsFileName[];  // loaded by name: the manifest picks version 6
// Loaded from the system folder before anything else where the DLL search cannot be limited to
// it; walked up to the null entry.
extern const char* const PreloadedSystemDllNames[];
extern const char WindowsTempFolderName[];  // in the Windows folder: the temp folder of last resort
extern const char WininitFileName[];        // in the Windows folder: restart work on Windows 9x
extern const char WininitSectionName[];     // its section of renames and deletions
extern const char WininitDeleteKey[];       // "NUL=": the line that deletes the path after it

// The worker's wait for the launcher's file: attempts, and the pause after each failed one.
enum { LauncherDeleteAttempts = 41, LauncherRetryPauseMs = 50 };
// The launcher's open of its fresh copy, which a virus scanner may hold for a moment: attempts,
// and the pause after each sharing violation, about a second in all.
enum { CopyOpenAttempts = 21, CopyOpenRetryPauseMs = 50 };
