// The process entry: the program links no C runtime, so it finds its own command tail and
// ends the process itself.
#include "app/command_tail.h"
#include "platform_api.h"

extern "C" void UninstallerStartup(void) {
  HINSTANCE instance = GetModuleHandleA(NULL);
  LPSTR tail = FindCommandTail(GetCommandLineA());
  int exitCode = WinMain(instance, NULL, tail, SW_SHOWDEFAULT);
  ExitProcess((UINT)exitCode);
}
