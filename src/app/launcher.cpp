// The launcher: what the user starts from the install folder. It cannot delete its own file
// while it runs, so it hands the work to a copy of itself in the temp folder.
#include "app/messages.h"
#include "app/stages.h"
#include "common/capacities.h"
#include "common/file_attributes.h"
#include "common/file_checks.h"
#include "common/text_buffer.h"
#include "manifest/manifest.h"
#include "registry/key_tree.h"

static BOOL IsFolder(LPCSTR path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The temp folder as reported; a length at or above the capacity means the buffer was not
// filled at all. A user whose profile is named outside the system's code page gets it back
// with a '?' for each character the page cannot hold, a path of no folder: the Windows
// folder's TEMP, which every Windows has and the elevated launcher may write, serves then.
static BOOL GetTempFolder(LPSTR tempFolder) {
  DWORD length = GetTempPathA(MAX_PATH, tempFolder);
  if (length == 0 || length >= MAX_PATH) return FALSE;
  if (IsFolder(tempFolder)) return TRUE;
  return BuildWindowsFilePath(GetWindowsDirectoryA, WindowsTempFolderName, tempFolder) &&
         IsFolder(tempFolder);
}

static BOOL BuildTempCopyPath(LPCSTR tempFolder, LPSTR copyPath) {
  return CopyIfFits(copyPath, MAX_PATH, tempFolder) && AppendBackslash(copyPath, MAX_PATH) &&
         AppendIfFits(copyPath, MAX_PATH, TempCopyFileName);
}

// Any program of the user can write to the temp folder, and the name is fixed: a link planted
// there would send an elevated copy wherever it points. Deleting removes a link itself, not its
// target, and the copy then refuses to overwrite, so a file re-created in between fails the
// stage instead of being followed. A copy still in use cannot be deleted and fails as well.
// CopyFileA gives the copy the attributes of its source: the copy of a read-only launcher (an
// install from CD) is made writable, or it would block every later run and its own deletion.
static BOOL PlaceTempCopy(LPCSTR ownPath, LPCSTR copyPath) {
  if (FileExists(copyPath) && !DeleteOwnedFile(copyPath)) return FALSE;
  if (!CopyFileA(ownPath, copyPath, TRUE)) return FALSE;
  ClearReadOnly(copyPath);
  return TRUE;
}

// The copy's path stands in quotes, so a temp folder with blanks still leaves the worker a
// tail equal to the install folder. Sized for the longest paths, so it cannot fail.
static void BuildHandOffCommandLine(LPCSTR copyPath, LPCSTR installFolder, LPSTR commandLine) {
  CopyIfFits(commandLine, HandOffCommandLineCapacity, "\"");
  AppendIfFits(commandLine, HandOffCommandLineCapacity, copyPath);
  AppendIfFits(commandLine, HandOffCommandLineCapacity, "\" ");
  AppendIfFits(commandLine, HandOffCommandLineCapacity, installFolder);
}

// The launcher runs elevated on Windows Vista and later, while every program of the user may
// write the temp folder: between the copy and the start, another program could rename the copy
// away and put its own exe at its name, to be started elevated. Opened this way, the file at
// the name can be neither written, deleted nor renamed by anyone until the handle is closed,
// and NTFS renames no folder that has an open file below it; CreateProcessA may still open it,
// since it asks for reading and execution only.
static HANDLE OpenDenyingChanges(LPCSTR path) {
  return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, NULL);
}

// Virus scanners open a new exe right after it is written, some without sharing; the copy is
// then ours again a moment later. Only that refusal is waited out.
static HANDLE OpenFreshCopy(LPCSTR path) {
  for (int attempt = 1;; ++attempt) {
    HANDLE copy = OpenDenyingChanges(path);
    if (copy != INVALID_HANDLE_VALUE || attempt == CopyOpenAttempts ||
        GetLastError() != ERROR_SHARING_VIOLATION) {
      return copy;
    }
    Sleep(CopyOpenRetryPauseMs);
  }
}

enum { CompareChunkSize = 512 };

// Both read to their ends chunk by chunk: ReadFile fills a chunk unless the file ends, so a
// shorter file shows as a chunk of another length, and a size that differs fails the same way
// as a byte that differs. A failed read is a mismatch too.
static BOOL HoldSameBytes(HANDLE own, HANDLE copy) {
  BYTE ownChunk[CompareChunkSize];
  BYTE copyChunk[CompareChunkSize];
  for (;;) {
    DWORD ownRead = 0;
    DWORD copyRead = 0;
    if (!ReadFile(own, ownChunk, CompareChunkSize, &ownRead, NULL) ||
        !ReadFile(copy, copyChunk, CompareChunkSize, &copyRead, NULL) || ownRead != copyRead) {
      return FALSE;
    }
    if (ownRead == 0) return TRUE;
    for (DWORD i = 0; i < ownRead; ++i) {
      if (ownChunk[i] != copyChunk[i]) return FALSE;
    }
  }
}

static BOOL StartWorker(LPSTR copyPath, LPSTR commandLine, LPCSTR tempFolder) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process;
  if (!CreateProcessA(copyPath, commandLine, NULL, NULL, FALSE, 0, NULL, tempFolder, &startup,
                      &process)) {
    return FALSE;
  }
  // The launcher never waits for the worker; holding its handles would only keep the worker's
  // process and thread objects alive after it ends.
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return TRUE;
}

// The copy is held from before its bytes are checked until the worker has started from it, so
// what starts is what was checked: the launcher's own bytes, read through its own file.
static BOOL StartCheckedWorker(LPCSTR ownPath, LPSTR copyPath, LPSTR commandLine,
                               LPCSTR tempFolder) {
  HANDLE copy = OpenFreshCopy(copyPath);
  if (copy == INVALID_HANDLE_VALUE) return FALSE;
  BOOL started = FALSE;
  HANDLE own = OpenDenyingChanges(ownPath);
  if (own != INVALID_HANDLE_VALUE) {
    BOOL same = HoldSameBytes(own, copy);
    CloseHandle(own);
    if (same) started = StartWorker(copyPath, commandLine, tempFolder);
  }
  CloseHandle(copy);
  return started;
}

static void DeleteMachineWideEntries(void) {
  DeleteProductKey(HKEY_LOCAL_MACHINE, UninstallKeyPath);

  HKEY appPaths;
  if (RegOpenKeyA(HKEY_LOCAL_MACHINE, AppPathsKeyPath, &appPaths) == ERROR_SUCCESS) {
    DeleteKeyTree(appPaths, AppPathKeyName);
    RegCloseKey(appPaths);
  }
}

BOOL RunLauncherStage(HINSTANCE instance, LPCSTR caption) {
  // A cut path is refused here, before the user is asked anything.
  char ownPath[MAX_PATH];
  if (!GetOwnPath(ownPath)) return FALSE;

  // The install folder loses its trailing backslash; at a drive root it is "X:" alone.
  char installFolder[MAX_PATH];
  CopyIfFits(installFolder, MAX_PATH, ownPath);
  installFolder[FindLastBackslash(installFolder)] = '\0';

  if (ShowPathMessage(instance, caption, IDS_CONFIRM, installFolder, MB_YESNO) != IDYES) {
    return TRUE;
  }

  char tempFolder[MAX_PATH];
  char copyPath[MAX_PATH];
  if (!GetTempFolder(tempFolder) || !BuildTempCopyPath(tempFolder, copyPath)) return FALSE;
  if (!PlaceTempCopy(ownPath, copyPath)) return FALSE;

  char commandLine[HandOffCommandLineCapacity];
  BuildHandOffCommandLine(copyPath, installFolder, commandLine);
  if (!StartCheckedWorker(ownPath, copyPath, commandLine, tempFolder)) return FALSE;

  // Only now, with the worker on its way: a failure before this point must leave the
  // product registered, so the user can run the uninstall again.
  DeleteMachineWideEntries();
  return TRUE;
}
