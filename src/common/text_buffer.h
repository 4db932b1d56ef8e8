// Bounded writes into the fixed buffers the stages own: every copy and append goes through here,
// so the one length check a reviewer has to trust stands in one place.
#pragma once

#include "platform_api.h"

// Each returns FALSE and leaves the buffer as it was when the result would not fit in
// `capacity` bytes, terminator included.
BOOL CopyIfFits(LPSTR buffer, int capacity, LPCSTR text);
BOOL AppendIfFits(LPSTR buffer, int capacity, LPCSTR text);
// Writes `name` at `position` of `buffer` in place of what stood there from that point on: one
// folder, several names in turn. `position` must lie inside the buffer's text.
BOOL WriteNameAt(LPSTR buffer, int capacity, int position, LPCSTR name);
// The separator rule: a non-empty path not already ending in a backslash gets one; an empty
// path stays empty.
BOOL AppendBackslash(LPSTR path, int capacity);

// Index of the last backslash, or -1.
int FindLastBackslash(LPCSTR path);
// Length of the longest name of a table that ends with a null entry.
int LongestName(const char* const* names);
