#include "shell/shell_folders.h"

#include "common/capacities.h"
#include "common/file_attributes.h"
#include "common/file_checks.h"
#include "common/text_buffer.h"
#include "manifest/manifest.h"

BOOL ReadShellFolderPath(LPCSTR valueName, LPSTR path) {
  HKEY key;
  if (RegOpenKeyA(HKEY_CURRENT_USER, ShellFoldersKeyPath, &key) != ERROR_SUCCESS) return FALSE;

  BOOL read = FALSE;
  DWORD size = 0;
  // The size first, so a value too long for the buffer is refused before it is read. The type
  // plays no part: Windows writes these values as REG_SZ, some tools as REG_EXPAND_SZ.
  if (RegQueryValueExA(key, valueName, NULL, NULL, NULL, &size) == ERROR_SUCCESS &&
      size < ShellPathCapacity) {
    path[0] = '\0';
    if (RegQueryValueExA(key, valueName, NULL, NULL, (LPBYTE)path, &size) == ERROR_SUCCESS &&
        size < ShellPathCapacity) {
      // Registry strings need not carry their terminator; end the path inside what was filled.
      path[size] = '\0';
      read = AppendBackslash(path, ShellPathCapacity);
    }
  }
  RegCloseKey(key);
  return read;
}

BOOL DeleteProductShortcut(LPCSTR valueName) {
  char path[ShellPathCapacity];
  if (!ReadShellFolderPath(valueName, path)) return FALSE;
  if (path[0] == '\0') return TRUE;
  if (!AppendIfFits(path, ShellPathCapacity, ProductName) ||
      !AppendIfFits(path, ShellPathCapacity, ShortcutExtension)) {
    return FALSE;
  }
  // A folder named outside the system's code page reads back with a '?' for each character it
  // cannot hold, and such a path names no file: Windows calls it an invalid name. The
  // shortcut is then not known to be gone.
  if (!FileExists(path)) return GetLastError() != ERROR_INVALID_NAME;
  return DeleteOwnedFile(path);
}

BOOL RemoveProgramGroup(void) {
  char path[ShellPathCapacity];
  if (!ReadShellFolderPath(ProgramsFolderValue, path)) return FALSE;
  // Without a Programs folder the group path would be relative, resolved against the worker's
  // current folder (the temp folder): nothing there is ours to delete.
  if (path[0] == '\0') return FALSE;
  if (!AppendIfFits(path, ShellPathCapacity, GroupFolderPath)) return FALSE;

  // Every name must fit before the first is deleted, so a long Programs path touches nothing.
  int namePosition = lstrlenA(path);
  if (namePosition + LongestName(GroupShortcutNames) >= ShellPathCapacity) return FALSE;

  BOOL allDeleted = TRUE;
  for (int i = 0; GroupShortcutNames[i] != NULL; ++i) {
    if (!WriteNameAt(path, ShellPathCapacity, namePosition, GroupShortcutNames[i])) {
      allDeleted = FALSE;
    } else if (FileExists(path) && !DeleteOwnedFile(path)) {
      allDeleted = FALSE;
    }
  }
  if (!allDeleted) return FALSE;

  path[namePosition - 1] = '\0';
  if (!RemoveDirectoryA(path)) return FALSE;

  // The maker's folder goes only when no other product of the maker lives there; Windows
  // removes nothing but an empty folder.
  int makerEnd = FindLastBackslash(path);
  if (makerEnd > 0) {
    path[makerEnd] = '\0';
    RemoveDirectoryA(path);
  }
  return TRUE;
}
