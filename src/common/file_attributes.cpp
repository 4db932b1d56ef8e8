#include "common/file_attributes.h"

// What SetFileAttributesA takes; the rest (compression, encryption, ...) it ignores or refuses.
static const DWORD SettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                        FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                        FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

BOOL ClearReadOnly(LPCSTR path) {
  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
  if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) return FALSE;
  if (!(attributes & FILE_ATTRIBUTE_READONLY)) return TRUE;
  attributes &= SettableAttributes & ~FILE_ATTRIBUTE_READONLY;
  // FILE_ATTRIBUTE_NORMAL is how "none" is said; 0 could read as "leave them" underneath.
  if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesA(path, attributes);
}

BOOL DeleteOwnedFile(LPCSTR path) {
  ClearReadOnly(path);
  return DeleteFileA(path);
}
