// The process entry: the program links no C runtime, so it finds its own command tail and
// ends the process itself.
#include "app/startup.h"

#include "app/command_tail.h"
#include "common/file_checks.h"
#include "manifest/manifest.h"
#include "platform_api.h"

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD directoryFlags);

// Where SetDefaultDllDirectories is missing, the DLLs that Windows itself loads by bare name
// after the start are loaded here first from the system folder, by full path: a later load by
// name then finds the module loaded and searches no folder. A DLL that this Windows lacks
// simply fails to load.
static void PreloadSystemDlls(void) {
  for (int i = 0; PreloadedSystemDllNames[i] != NULL; ++i) {
    char path[MAX_PATH];
    if (BuildWindowsFilePath(GetSystemDirectoryA, PreloadedSystemDllNames[i], path)) {
      LoadLibraryA(path);
    }
  }
}

// The worker runs from the temp folder, where any program of the user may drop a DLL named
// like a system one, and Windows searches a program's own folder first. Where the platform can
// (Windows 8, or 7 with its update), loading is limited to the system folder; the function is
// looked up so the program still starts on older Windows, which get the preloading instead.
static void RestrictDllSearch(void) {
  HMODULE kernel = GetModuleHandleA("KERNEL32");
  FARPROC found = kernel != NULL ? GetProcAddress(kernel, "SetDefaultDllDirectories") : NULL;
  if (found == NULL) {
    PreloadSystemDlls();
    return;
  }
  // Through void (*)(void), the one function type GCC lets stand for any other.
  SetDefaultDllDirectoriesFunction setDefault =
      (SetDefaultDllDirectoriesFunction)(void (*)(void))found;
  setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// The manifest asks for common controls 6, and a program that does so is to load comctl32
// itself: Windows XP before SP2 does not load it on demand, and without it no message box
// appears (MessageBoxA answers 0, which the launcher would take for No). By bare name, so that
// the manifest's activation context picks version 6 from the side-by-side store; a full path
// would load the system folder's version 5. Windows without manifests (9x, NT 4.0, 2000) then
// search for it as for any name, but they draw their boxes without it and give no other
// program of the user less power than this one.
static void LoadCommonControls(void) {
  LoadLibraryA(CommonControlsFileName);
}

extern "C" void UninstallerStartup(void) {
  RestrictDllSearch();
  LoadCommonControls();
  HINSTANCE instance = GetModuleHandleA(NULL);
  LPSTR tail = FindCommandTail(GetCommandLineA());
  int exitCode = WinMain(instance, NULL, tail, SW_SHOWDEFAULT);
  ExitProcess((UINT)exitCode);
}
