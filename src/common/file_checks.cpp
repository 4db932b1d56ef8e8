#include "common/file_checks.h"

#include "common/text_buffer.h"

BOOL FileExists(LPCSTR path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

BOOL GetOwnPath(LPSTR ownPath) {
  // Windows returns the capacity, with the buffer filled to it, when the path was cut.
  DWORD length = GetModuleFileNameA(NULL, ownPath, MAX_PATH);
  return length != 0 && length < MAX_PATH && FindLastBackslash(ownPath) >= 0;
}

BOOL BuildWindowsFilePath(WindowsFolderQuery query, LPCSTR name, LPSTR path) {
  UINT length = query(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return FALSE;
  return AppendBackslash(path, MAX_PATH) && AppendIfFits(path, MAX_PATH, name);
}
