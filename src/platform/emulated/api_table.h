// The Windows API of the emulated machine, one row a function: its DLL, what it returns, its
// name and parameters, and how a scenario may use it: Failable (its [fail] section and the
// fault sweep can make it fail; it shows in the trace), Traced (it shows in the trace, so a
// race may follow it) or Quiet (neither: pure functions that would drown the trace).
// The rows declare the functions to the product (platform_api.h), name the failable and traced
// operations (faults.cpp) and give the runner its bridge rows, whose argument count and
// calling convention come from the declared type (a variadic function is cdecl).
// A new function is one more row; its handler in the runner is derived from its parameter
// types, or written by hand where the guest's memory needs more than a read.
#pragma once

#define ORBELLE_KERNEL32(ROW)                                                                    \
  ROW(KERNEL32, DWORD, GetFileAttributesA, (LPCSTR lpFileName), Failable)                        \
  ROW(KERNEL32, BOOL, SetFileAttributesA, (LPCSTR lpFileName, DWORD dwFileAttributes), Failable) \
  ROW(KERNEL32, BOOL, DeleteFileA, (LPCSTR lpFileName), Failable)                                \
  ROW(KERNEL32, BOOL, RemoveDirectoryA, (LPCSTR lpPathName), Failable)                           \
  ROW(KERNEL32, BOOL, CopyFileA,                                                                 \
      (LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists), Failable)           \
  ROW(KERNEL32, BOOL, MoveFileExA,                                                               \
      (LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags), Failable)                \
  ROW(KERNEL32, DWORD, GetTempPathA, (DWORD nBufferLength, LPSTR lpBuffer), Failable)            \
  ROW(KERNEL32, DWORD, GetModuleFileNameA, (HMODULE hModule, LPSTR lpFilename, DWORD nSize),     \
      Failable)                                                                                  \
  ROW(KERNEL32, BOOL, CreateProcessA,                                                            \
      (LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES lpProcessAttributes, \
       LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,    \
       LPVOID lpEnvironment, LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,            \
       LPPROCESS_INFORMATION lpProcessInformation),                                              \
      Failable)                                                                                  \
  ROW(KERNEL32, HANDLE, CreateFileA,                                                             \
      (LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,                              \
       LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,                  \
       DWORD dwFlagsAndAttributes, HANDLE hTemplateFile),                                        \
      Failable)                                                                                  \
  ROW(KERNEL32, BOOL, ReadFile,                                                                  \
      (HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,   \
       LPOVERLAPPED lpOverlapped),                                                               \
      Failable)                                                                                  \
  ROW(KERNEL32, BOOL, CloseHandle, (HANDLE hObject), Failable)                                   \
  ROW(KERNEL32, UINT, GetWindowsDirectoryA, (LPSTR lpBuffer, UINT uSize), Failable)              \
  ROW(KERNEL32, UINT, GetSystemDirectoryA, (LPSTR lpBuffer, UINT uSize), Failable)               \
  ROW(KERNEL32, DWORD, GetShortPathNameA,                                                        \
      (LPCSTR lpszLongPath, LPSTR lpszShortPath, DWORD cchBuffer), Failable)                     \
  ROW(KERNEL32, DWORD, GetPrivateProfileSectionA,                                                \
      (LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName), Failable)      \
  ROW(KERNEL32, BOOL, WritePrivateProfileSectionA,                                               \
      (LPCSTR lpAppName, LPCSTR lpString, LPCSTR lpFileName), Failable)                          \
  ROW(KERNEL32, HMODULE, LoadLibraryA, (LPCSTR lpLibFileName), Failable)                         \
  ROW(KERNEL32, BOOL, FreeLibrary, (HMODULE hLibModule), Failable)                               \
  ROW(KERNEL32, FARPROC, GetProcAddress, (HMODULE hModule, LPCSTR lpProcName), Failable)         \
  ROW(KERNEL32, BOOL, MoveFileA, (LPCSTR lpExistingFileName, LPCSTR lpNewFileName), Traced)      \
  ROW(KERNEL32, LPSTR, GetCommandLineA, (void), Traced)                                          \
  ROW(KERNEL32, HMODULE, GetModuleHandleA, (LPCSTR lpModuleName), Traced)                        \
  ROW(KERNEL32, void, Sleep, (DWORD dwMilliseconds), Traced)                                     \
  ROW(KERNEL32, [[noreturn]] void, ExitProcess, (UINT uExitCode), Traced)                        \
  ROW(KERNEL32, DWORD, GetLastError, (void), Quiet)                                              \
  ROW(KERNEL32, void, SetLastError, (DWORD dwErrCode), Quiet)                                    \
  ROW(KERNEL32, LPSTR, lstrcpyA, (LPSTR lpString1, LPCSTR lpString2), Quiet)                     \
  ROW(KERNEL32, LPSTR, lstrcatA, (LPSTR lpString1, LPCSTR lpString2), Quiet)                     \
  ROW(KERNEL32, int, lstrlenA, (LPCSTR lpString), Quiet)                                         \
  ROW(KERNEL32, int, lstrcmpA, (LPCSTR lpString1, LPCSTR lpString2), Quiet)                      \
  ROW(KERNEL32, int, lstrcmpiA, (LPCSTR lpString1, LPCSTR lpString2), Quiet)

#define ORBELLE_ADVAPI32(ROW)                                                                     \
  ROW(ADVAPI32, LONG, RegOpenKeyA, (HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult), Failable)       \
  ROW(ADVAPI32, LONG, RegEnumKeyA, (HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName),       \
      Failable)                                                                                   \
  ROW(ADVAPI32, LONG, RegDeleteKeyA, (HKEY hKey, LPCSTR lpSubKey), Failable)                      \
  ROW(ADVAPI32, LONG, RegCloseKey, (HKEY hKey), Failable)                                         \
  ROW(ADVAPI32, LONG, RegQueryValueA, (HKEY hKey, LPCSTR lpSubKey, LPSTR lpData, PLONG lpcbData), \
      Failable)                                                                                   \
  ROW(ADVAPI32, LONG, RegSetValueA,                                                               \
      (HKEY hKey, LPCSTR lpSubKey, DWORD dwType, LPCSTR lpData, DWORD cbData), Failable)          \
  ROW(ADVAPI32, LONG, RegQueryValueExA,                                                           \
      (HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,          \
       LPDWORD lpcbData),                                                                         \
      Failable)

#define ORBELLE_USER32(ROW)                                                                        \
  ROW(USER32, int, LoadStringA, (HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax), \
      Traced)                                                                                      \
  ROW(USER32, int, wsprintfA, (LPSTR lpOut, LPCSTR lpFmt, ...), Quiet)                             \
  ROW(USER32, int, MessageBoxA, (HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType), Traced)  \
  ROW(USER32, HWND, CreateWindowExA,                                                               \
      (DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int x, int y,      \
       int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,                 \
       LPVOID lpParam),                                                                            \
      Traced)                                                                                      \
  ROW(USER32, BOOL, PeekMessageA,                                                                  \
      (LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg), Traced)   \
  ROW(USER32, LRESULT, DispatchMessageA, (const MSG* lpMsg), Traced)                               \
  ROW(USER32, BOOL, DestroyWindow, (HWND hWnd), Traced)

// What the product imports.
#define ORBELLE_API(ROW) ORBELLE_KERNEL32(ROW) ORBELLE_ADVAPI32(ROW) ORBELLE_USER32(ROW)

// What a program reaches only through GetProcAddress: not declared to the product, since
// older Windows lacks them or the product loads their DLL itself.
#define ORBELLE_API_FOUND(ROW)                                                  \
  ROW(KERNEL32, BOOL, SetDefaultDllDirectories, (DWORD DirectoryFlags), Traced) \
  ROW(SHELL32, void, SHChangeNotify,                                            \
      (LONG wEventId, UINT uFlags, LPCVOID dwItem1, LPCVOID dwItem2), Traced)

// What tests and tools call to set a machine up through the "A" API, as a program on Windows
// would; declared in setup_api.h only, so the product never reaches them, and never failed by a
// scenario.
#define ORBELLE_SETUP(ROW)                                                                  \
  ROW(KERNEL32, BOOL, CreateDirectoryA,                                                     \
      (LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes), Traced)              \
  ROW(KERNEL32, BOOL, WriteFile,                                                            \
      (HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,                         \
       LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped),                          \
      Traced)                                                                               \
  ROW(KERNEL32, UINT, GetACP, (void), Quiet)                                                \
  ROW(KERNEL32, DWORD, GetCurrentDirectoryA, (DWORD nBufferLength, LPSTR lpBuffer), Quiet)  \
  ROW(ADVAPI32, LONG, RegCreateKeyA, (HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult), Traced) \
  ROW(ADVAPI32, LONG, RegSetValueExA,                                                       \
      (HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,     \
       DWORD cbData),                                                                       \
      Traced)                                                                               \
  ROW(ADVAPI32, LONG, RegDeleteValueA, (HKEY hKey, LPCSTR lpValueName), Traced)
