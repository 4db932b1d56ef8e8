// orbhold.exe EVENT PATH: opens PATH as a running program holds its files (read and write
// shared, delete not), sets the inherited event EVENT, and keeps the file open until it is
// ended. DeleteFile on the file then fails with a sharing violation, as on Windows.
#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <string>

int wmain() {
  const wchar_t* line = GetCommandLineW();
  // Skip the program's own (quoted) path.
  if (*line == L'"') {
    line = std::wcschr(line + 1, L'"');
    if (line == nullptr) return 2;
    ++line;
  } else {
    while (*line != L'\0' && *line != L' ') ++line;
  }
  while (*line == L' ') ++line;
  wchar_t* end = nullptr;
  const auto event =
      reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(std::wcstoull(line, &end, 10)));
  if (end == line) return 2;
  while (*end == L' ') ++end;
  const std::wstring path = end;

  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  SetEvent(event);
  Sleep(INFINITE);
  CloseHandle(file);
  return 0;
}
