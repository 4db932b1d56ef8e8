// The worker: runs from the temp copy, with the install folder as its command tail, and does
// the removal the launcher could not do from inside the install folder.
#include "app/messages.h"
#include "app/restart_deletion.h"
#include "app/stages.h"
#include "common/file_attributes.h"
#include "common/file_checks.h"
#include "common/text_buffer.h"
#include "manifest/manifest.h"
#include "registry/associations.h"
#include "registry/key_tree.h"
#include "shell/shell_folders.h"

// The shell marks a program "starting" until it looks at its message queue; draining it
// through a never-shown window ends that before the long work begins.
static void DrainStartupMessages(HINSTANCE instance) {
  HWND window =
      CreateWindowExA(0, DrainWindowClass, NULL, 0, 0, 0, 1, 1, NULL, NULL, instance, NULL);
  MSG message;
  while (PeekMessageA(&message, window, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  DestroyWindow(window);
}

static int LongestInstalledName(void) {
  int longest = LongestName(ProgramFileNames);
  int uninstaller = lstrlenA(UninstallerFileName);
  return uninstaller > longest ? uninstaller : longest;
}

// The install folder with its separator; every name must fit after it before anything is
// deleted, so a tail too long removes nothing. Returns the name position, or 0.
static int StartWorkingPath(LPSTR path, LPCSTR tail) {
  if (!CopyIfFits(path, MAX_PATH, tail) || !AppendBackslash(path, MAX_PATH)) return 0;
  int namePosition = lstrlenA(path);
  if (namePosition + LongestInstalledName() >= MAX_PATH) return 0;
  return namePosition;
}

// The launcher may still be finishing its registry work; Windows keeps its file until it
// has ended. 41 attempts with a pause after each failure bound the wait at about 2 seconds.
// A read-only file would fail every one of them; its attribute can change while it runs.
static BOOL DeleteLauncherFile(LPCSTR path) {
  ClearReadOnly(path);
  for (int attempt = 0; attempt < LauncherDeleteAttempts; ++attempt) {
    if (DeleteFileA(path)) return TRUE;
    Sleep(LauncherRetryPauseMs);
  }
  return FALSE;
}

// A file in use is retried for as long as the user answers OK; Cancel gives it up and the
// run is reported as failed, but the other files still go.
static BOOL DeleteProgramFiles(HINSTANCE instance, LPCSTR caption, LPSTR path, int namePosition) {
  BOOL allDeleted = TRUE;
  for (int i = 0; ProgramFileNames[i] != NULL; ++i) {
    if (!WriteNameAt(path, MAX_PATH, namePosition, ProgramFileNames[i]) || !FileExists(path)) {
      continue;
    }
    // Read-only, the file would be reported in use for as long as the user waits; so every
    // attempt clears the attribute again, lest one failed change hold it for good.
    while (!DeleteOwnedFile(path)) {
      if (ShowPathMessage(instance, caption, IDS_STILL_RUNNING, path, MB_OKCANCEL) != IDOK) {
        allDeleted = FALSE;
        break;
      }
    }
  }
  return allDeleted;
}

static void DeleteSettingsKey(void) {
  // Older versions kept their settings directly under Software.
  if (!DeleteProductKey(HKEY_CURRENT_USER, MakerKeyPath)) {
    DeleteProductKey(HKEY_CURRENT_USER, SoftwareKeyPath);
  }
}

// Stops at the first failure: a class that stays means the shortcuts stay with it.
static BOOL RunCleanupChain(void) {
  if (!RestoreAssociations()) return FALSE;
  for (int i = 0; ProductShortcutFolders[i] != NULL; ++i) {
    if (!DeleteProductShortcut(ProductShortcutFolders[i])) return FALSE;
  }
  return TRUE;
}

static BOOL RemoveInstallation(HINSTANCE instance, LPCSTR caption, LPCSTR tail) {
  char path[MAX_PATH];
  int namePosition = StartWorkingPath(path, tail);
  if (namePosition == 0) return FALSE;

  // Without the uninstaller in it, the tail is no install folder of ours (typed by hand,
  // perhaps): remove nothing.
  if (!WriteNameAt(path, MAX_PATH, namePosition, UninstallerFileName) || !FileExists(path) ||
      !DeleteLauncherFile(path)) {
    return FALSE;
  }

  BOOL succeeded = DeleteProgramFiles(instance, caption, path, namePosition);
  if (succeeded) {
    // Windows removes only an empty folder, so the user's own files keep it in place.
    path[namePosition - 1] = '\0';
    RemoveDirectoryA(path);
  }

  DeleteSettingsKey();
  if (!RunCleanupChain()) succeeded = FALSE;
  RemoveProgramGroup();
  return succeeded;
}

// The temp copy cannot delete itself while it runs; Windows deletes it at the next restart.
// A cut path would name another file, so nothing is scheduled then; nor when this is not the
// launcher's copy: Uninstall.exe started by hand with a tail runs this stage from the install
// folder, and must not take itself away from a product it left installed.
static void ScheduleOwnDeletion(void) {
  char ownPath[MAX_PATH];
  if (!GetOwnPath(ownPath)) return;
  if (lstrcmpiA(ownPath + FindLastBackslash(ownPath) + 1, TempCopyFileName) != 0) return;
  ScheduleDeletionAtRestart(ownPath);
}

BOOL RunWorkerStage(HINSTANCE instance, LPCSTR caption, LPCSTR tail) {
  DrainStartupMessages(instance);

  BOOL succeeded = RemoveInstallation(instance, caption, tail);
  // The success box comes before the scheduling; the entry shows a failure after it.
  if (succeeded) ShowMessage(instance, caption, IDS_SUCCESS, MB_OK);
  ScheduleOwnDeletion();
  return succeeded;
}
