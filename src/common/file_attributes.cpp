#include "common/file_attributes.h"

BOOL ClearReadOnly(LPCSTR path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
  if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) return FALSE;
  if (!(attributes & FILE_ATTRIBUTE_READONLY)) return TRUE;
  // Windows keeps only the bits that can be set (archive, hidden, system, ...) and ignores the
  // others read back with them, so the rest go back unchanged.
  attributes &= ~FILE_ATTRIBUTE_READONLY;
  // FILE_ATTRIBUTE_NORMAL is how "none" is said; 0 could read as "leave them" underneath.
  if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesA(path, attributes);
}

BOOL DeleteOwnedFile(LPCSTR path) {
  ClearReadOnly(path);
  return DeleteFileA(path);
}
