// The process entry the link names: the program has no C runtime to call WinMain for it. The
// host's emulated machine starts each process here too.
#pragma once

extern "C" void UninstallerStartup(void);
