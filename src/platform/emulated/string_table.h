// The program's string table as the emulator's LoadStringA sees it. The definition is generated
// at build time from res/strings.rc, the one source of the texts that the Windows build compiles.
#pragma once

#include <cstddef>

namespace emu {

struct StringResource {
  unsigned id;
  const char* text;  // Windows-1252 bytes, as LoadStringA returns them
};

extern const StringResource kStringTable[];
extern const std::size_t kStringTableSize;

}  // namespace emu
