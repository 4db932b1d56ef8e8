// Registry key trees come down leaves first: Windows NT refuses to delete a key that still
// has subkeys.
#pragma once

#include "platform_api.h"

// Deletes `name` (one key directly below `parent`, an open key or a root) with every key
// below it. TRUE when the key itself was deleted.
BOOL DeleteKeyTree(HKEY parent, LPCSTR name);
// DeleteKeyTree, also setting `deletedAny` when any key of the tree went, the key itself or
// only some keys below it; it is left alone otherwise.
BOOL DeleteKeyTreeNoting(HKEY parent, LPCSTR name, BOOL* deletedAny);
// Deletes the product's subkey, with its tree, below `keyPath` under `root`; never the key
// at `keyPath` itself.
BOOL DeleteProductKey(HKEY root, LPCSTR keyPath);
