// The process entry: the program links no C runtime, so it finds its own command tail and
// ends the process itself.
#include "app/command_tail.h"
#include "platform_api.h"

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD directoryFlags);

// The worker runs from the temp folder, where any program of the user may drop a DLL named
// like a system one. Where the platform can (Windows 8, or 7 with its update), loading is
// limited to the system folder; the function is looked up so the program still starts on
// older Windows.
static void RestrictDllSearch(void) {
  HMODULE kernel = GetModuleHandleA("KERNEL32");
  if (kernel == NULL) return;
  FARPROC found = GetProcAddress(kernel, "SetDefaultDllDirectories");
  if (found == NULL) return;
  // Through void (*)(void), the one function type GCC lets stand for any other.
  SetDefaultDllDirectoriesFunction setDefault =
      (SetDefaultDllDirectoriesFunction)(void (*)(void))found;
  setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

extern "C" void UninstallerStartup(void) {
  RestrictDllSearch();
  HINSTANCE instance = GetModuleHandleA(NULL);
  LPSTR tail = FindCommandTail(GetCommandLineA());
  int exitCode = WinMain(instance, NULL, tail, SW_SHOWDEFAULT);
  ExitProcess((UINT)exitCode);
}
