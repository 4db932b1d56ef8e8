// The program's string table as the emulator's LoadStringA sees it: the texts of res/messages.h,
// which res/strings.rc compiles into the exe.
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
