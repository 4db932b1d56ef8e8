#pragma once

#include "platform_api.h"

// The command tail as Windows start-up code hands it to WinMain: the line after the program's
// own path (quoted or not) and the blanks that follow it, taken unchanged.
LPSTR FindCommandTail(LPSTR commandLine);
