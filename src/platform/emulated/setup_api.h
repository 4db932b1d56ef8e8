// Windows calls that the product never makes but that tests and tools use to set a machine up
// through the "A" API, the way a program on real Windows would: the conformance cases build
// their folders, files and keys with these and then check the calls the product relies on.
// Declared apart from platform_api.h so the product can never reach them.
#pragma once

#include "platform_api.h"

#define ERROR_NOACCESS 998L

// KERNEL32
BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
UINT WINAPI GetACP(void);
DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer);

// ADVAPI32
LONG WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult);
LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                           const BYTE* lpData, DWORD cbData);
LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
