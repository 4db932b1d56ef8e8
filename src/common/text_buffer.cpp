#include "common/text_buffer.h"

BOOL CopyIfFits(LPSTR buffer, int capacity, LPCSTR text) {
  if (lstrlenA(text) >= capacity) return FALSE;
  lstrcpyA(buffer, text);
  return TRUE;
}

BOOL AppendIfFits(LPSTR buffer, int capacity, LPCSTR text) {
  if (lstrlenA(buffer) + lstrlenA(text) >= capacity) return FALSE;
  lstrcatA(buffer, text);
  return TRUE;
}

BOOL WriteNameAt(LPSTR buffer, int capacity, int position, LPCSTR name) {
  if (position < 0 || position >= capacity) return FALSE;
  return CopyIfFits(buffer + position, capacity - position, name);
}

BOOL AppendBackslash(LPSTR path, int capacity) {
  int length = lstrlenA(path);
  if (length == 0 || path[length - 1] == '\\') return TRUE;
  return AppendIfFits(path, capacity, "\\");
}

int FindLastBackslash(LPCSTR path) {
  int last = -1;
  for (int i = 0; path[i] != '\0'; ++i) {
    if (path[i] == '\\') last = i;
  }
  return last;
}

int LongestName(const char* const* names) {
  int longest = 0;
  for (int i = 0; names[i] != NULL; ++i) {
    int length = lstrlenA(names[i]);
    if (length > longest) longest = length;
  }
  return longest;
}
