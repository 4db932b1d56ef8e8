// The program's string table as the emulator's LoadStringA sees it. The definition is generated
// at build time from res/strings.rc, the one source of the texts that the Windows build compiles.
#pragma once

#include <cstddef>

namespace emu {

struct StringResource {
  unsigned id;
  const char* text;  // ASCII (rc_strings takes nothing else), which every code page holds
};

extern const StringResource kStringTable[];
extern const std::size_t kStringTableSize;

}  // namespace emu
