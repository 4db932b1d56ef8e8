// Files the product owns may carry the read-only attribute (an install from CD copies it along
// with them), and Windows refuses to delete such a file with access denied.
#pragma once

#include "platform_api.h"

// Clears the read-only bit of the file at `path` and keeps its other attributes, so that a
// deletion can follow. A link (reparse point) or a folder is left as it is: Windows would pass
// the change on to whatever the link points at. Returns FALSE when the bit may still be set.
BOOL ClearReadOnly(LPCSTR path);

// ClearReadOnly, then the deletion; the deletion's result.
BOOL DeleteOwnedFile(LPCSTR path);
