// The Windows API of the shipped program: MinGW's own headers, 8-bit ("A") forms only.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef STRICT
#define STRICT
#endif
#undef UNICODE
#undef _UNICODE

#include <windows.h>
