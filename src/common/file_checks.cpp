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
