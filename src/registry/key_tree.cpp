#include "registry/key_tree.h"

#include "common/capacities.h"
#include "manifest/manifest.h"

BOOL DeleteKeyTree(HKEY parent, LPCSTR name) {
  // An empty name would open `parent` itself and empty it: refuse before touching anything.
  if (name == NULL || name[0] == '\0') return FALSE;

  HKEY key;
  if (RegOpenKeyA(parent, name, &key) != ERROR_SUCCESS) return FALSE;

  // Always index 0: the child just deleted is gone. A child that stays ends the emptying
  // rather than being met again, so the loop cannot spin.
  char child[KeyNameBufferSize];
  while (RegEnumKeyA(key, 0, child, KeyNameCapacity) == ERROR_SUCCESS) {
    if (!DeleteKeyTree(key, child)) break;
  }
  RegCloseKey(key);

  // Attempted even when a child stayed: the platform's refusal is then the answer.
  return RegDeleteKeyA(parent, name) == ERROR_SUCCESS;
}

BOOL DeleteProductKey(HKEY root, LPCSTR keyPath) {
  HKEY key;
  if (RegOpenKeyA(root, keyPath, &key) != ERROR_SUCCESS) return FALSE;
  BOOL deleted = DeleteKeyTree(key, ProductName);
  RegCloseKey(key);
  return deleted;
}
