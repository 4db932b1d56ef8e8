#include "registry/associations.h"

#include "common/capacities.h"
#include "manifest/manifest.h"
#include "registry/key_tree.h"
#include "shell/shell_notify.h"

// A character the system's code page cannot hold comes back from the "A" calls as '?', which no
// class name holds.
static BOOL HoldsLostCharacter(LPCSTR text) {
  for (; *text != '\0'; ++text) {
    if (*text == '?') return TRUE;
  }
  return FALSE;
}

// Reads the default value of `key` (or of its subkey `subkey`) as a string. A value that does
// not fit, or any other failure, is a failed read.
static BOOL ReadDefaultValue(HKEY key, LPCSTR subkey, LPSTR value) {
  LONG size = RegistryValueCapacity;
  value[0] = '\0';
  if (RegQueryValueA(key, subkey, value, &size) != ERROR_SUCCESS) return FALSE;
  // A string stored without its terminator comes back without one; end it inside what the
  // platform filled, or treat it as too long.
  if (size <= 0) {
    value[0] = '\0';
  } else if (value[size - 1] != '\0') {
    if (size >= RegistryValueCapacity) return FALSE;
    value[size] = '\0';
  }
  return TRUE;
}

static void RestoreExtension(LPCSTR extension) {
  HKEY key;
  if (RegOpenKeyA(HKEY_CLASSES_ROOT, extension, &key) != ERROR_SUCCESS) return;

  char value[RegistryValueCapacity];
  // Only an extension that still names the product is ours; exact case, as the installer wrote it.
  if (!ReadDefaultValue(key, NULL, value) || lstrcmpA(value, ProductName) != 0) {
    RegCloseKey(key);
    return;
  }

  BOOL undoRead = ReadDefaultValue(key, UndoClassKeyName, value);
  // A name that lost characters to the code page is not the one stored: written back it would
  // name no class, and deleting the extension would take the only record of that class with it.
  // The extension stays as it is, for a Windows that reads the name whole.
  if (undoRead && HoldsLostCharacter(value)) {
    RegCloseKey(key);
    return;
  }
  if (!undoRead || value[0] == '\0' || lstrcmpA(value, ProductName) == 0) {
    // Nothing to give back: the extension existed only for the product.
    RegCloseKey(key);
    DeleteKeyTree(HKEY_CLASSES_ROOT, extension);
    return;
  }

  // UndoClass is the only record of the class to give back: while the extension still names
  // the product, it stays, so a failed write loses nothing.
  if (RegSetValueA(key, NULL, REG_SZ, value, (DWORD)lstrlenA(value)) == ERROR_SUCCESS) {
    RegDeleteKeyA(key, UndoClassKeyName);
    RegDeleteKeyA(key, ShellNewKeyName);
  }
  RegCloseKey(key);
}

BOOL RestoreAssociations(void) {
  // DeleteKeyTree cannot tell an absent class from one that resists deletion; this open can.
  HKEY classKey;
  if (RegOpenKeyA(HKEY_CLASSES_ROOT, ProductName, &classKey) != ERROR_SUCCESS) return TRUE;
  RegCloseKey(classKey);

  // While the class stays, the extensions keep pointing at something that works. Its icon or
  // open command may have gone all the same, and Explorer caches both: it is told whenever
  // anything went, or else it goes on showing what is no longer there.
  BOOL changed = FALSE;
  BOOL classDeleted = DeleteKeyTreeNoting(HKEY_CLASSES_ROOT, ProductName, &changed);
  if (classDeleted) {
    for (int i = 0; i < AssociatedExtensionCount; ++i) RestoreExtension(AssociatedExtensions[i]);
  }
  if (changed) NotifyAssociationsChanged();
  return classDeleted;
}
