// The memory routines GCC calls on its own, for the Windows build that links no C runtime.
//
// GCC turns the zeroing of a structure (STARTUPINFOA si = {0}), the copy of a large one and
// loops it recognises into calls to memset and memcpy (and, more rarely, memmove and memcmp),
// even when the source never names them. Without a C runtime those calls would not link, so the
// program carries its own. This file is compiled with -fno-builtin and
// -fno-tree-loop-distribute-patterns: otherwise GCC would recognise the loops below as memset
// and memcpy and compile them into calls to themselves.
// The linker drops whichever of them nothing calls (--gc-sections).

#include <stddef.h>

extern "C" {

void* memset(void* dest, int value, size_t count) {
  unsigned char* out = (unsigned char*)dest;
  while (count-- > 0) {
    *out++ = (unsigned char)value;
  }
  return dest;
}

void* memcpy(void* dest, const void* src, size_t count) {
  unsigned char* out = (unsigned char*)dest;
  const unsigned char* in = (const unsigned char*)src;
  while (count-- > 0) {
    *out++ = *in++;
  }
  return dest;
}

// Overlapping ranges: copy backwards when the destination starts inside the source, so no
// byte is overwritten before it has been read.
void* memmove(void* dest, const void* src, size_t count) {
  unsigned char* out = (unsigned char*)dest;
  const unsigned char* in = (const unsigned char*)src;
  if (out == in || count == 0) {
    return dest;
  }
  if (out < in || out >= in + count) {
    while (count-- > 0) {
      *out++ = *in++;
    }
  } else {
    out += count;
    in += count;
    while (count-- > 0) {
      *--out = *--in;
    }
  }
  return dest;
}

int memcmp(const void* left, const void* right, size_t count) {
  const unsigned char* a = (const unsigned char*)left;
  const unsigned char* b = (const unsigned char*)right;
  for (; count > 0; --count, ++a, ++b) {
    if (*a != *b) {
      return *a < *b ? -1 : 1;
    }
  }
  return 0;
}

}  // extern "C"
