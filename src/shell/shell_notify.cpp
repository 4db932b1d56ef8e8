#include "shell/shell_notify.h"

#include "common/file_checks.h"
#include "manifest/manifest.h"

// From the shell's headers, which the program does not include.
static const LONG AssociationsChangedEvent = 0x08000000L;  // SHCNE_ASSOCCHANGED
static const UINT ItemIdListFlags = 0x0000;                // SHCNF_IDLIST

typedef void(WINAPI* ShChangeNotifyFunction)(LONG eventId, UINT flags, LPCVOID item1,
                                             LPCVOID item2);

// Explorer caches the icons and verbs of file types: without this it goes on showing the
// product's icon on VRML files that belong to another class again, until the next logon.
// shell32 is loaded by its full path in the system folder, never by name: the worker runs in
// the temp folder, where a planted shell32.dll would be found first. Loading it here, not
// importing it, keeps the program on its three system DLLs, so a missing shell32 or function
// costs only the notification. It stays loaded until the process ends: the shell may leave a
// window or a thread of its own behind, and the boxes that follow pump messages into its code.
BOOL NotifyAssociationsChanged(void) {
  char path[MAX_PATH];
  if (!BuildWindowsFilePath(GetSystemDirectoryA, Shell32FileName, path)) return FALSE;
  HMODULE shell = LoadLibraryA(path);
  if (shell == NULL) return FALSE;
  FARPROC found = GetProcAddress(shell, "SHChangeNotify");
  if (found != NULL) {
    // Through void (*)(void), the one function type GCC lets stand for any other.
    ShChangeNotifyFunction notify = (ShChangeNotifyFunction)(void (*)(void))found;
    notify(AssociationsChangedEvent, ItemIdListFlags, NULL, NULL);
  }
  return found != NULL;
}
