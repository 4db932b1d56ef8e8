#include "registry/key_tree.h"

#include "common/capacities.h"
#include "manifest/manifest.h"

BOOL DeleteKeyTreeNoting(HKEY parent, LPCSTR name, BOOL* deletedAny) {
  // An empty name would open `parent` itself and empty it: refuse before touching anything.
  if (name == NULL || name[0] == '\0') return FALSE;

  HKEY key;
  if (RegOpenKeyA(parent, name, &key) != ERROR_SUCCESS) return FALSE;

  // Always index 0: the child just deleted is gone. A child that stays ends the emptying
  // rather than being met again, so the loop cannot spin.
  char child[KeyNameBufferSize];
  while (RegEnumKeyA(key, 0, child, KeyNameCapacity) == ERROR_SUCCESS) {
    if (!DeleteKeyTreeNoting(key, child, deletedAny)) break;
  }
  RegCloseKey(key);

  // Attempted even when a child stayed: the platform's refusal is then the answer.
  if (RegDeleteKeyA(parent, name) != ERROR_SUCCESS) return FALSE;
  *deletedAny = TRUE;
  return TRUE;
}

BOOL DeleteKeyTree(HKEY parent, LPCSTR name) {
  BOOL deletedAny = FALSE;
  return DeleteKeyTreeNoting(parent, name, &deletedAny);
}

BOOL DeleteProductKey(HKEY root, LPCSTR keyPath) {
  HKEY key;
  if (RegOpenKeyA(root, keyPath, &key) != ERROR_SUCCESS) return FALSE;
  BOOL deleted = DeleteKeyTree(key, ProductName);
  RegCloseKey(key);
  return deleted;
}
