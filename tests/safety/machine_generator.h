// Plausible machines for the safety tests, from a seed: complete and partial installs, missing
// pieces, the user's own files in the product's folders, other products' keys and folders,
// extensions owned by others, odd install and temp locations (a drive root, blanks, paths just
// under and just over MAX_PATH), Shell Folders values with and without backslashes, empty or
// huge values, deep and wide key trees, files in use, keys that cannot be deleted, planted
// links, read-only files, Windows 9x with and without a WININIT.INI, XP before SP2 and 7
// without SetDefaultDllDirectories. The same seed always gives the same machine.
#pragma once

#include <cstdint>

#include "platform/emulated/session.h"

namespace safety {

struct GeneratorOptions {
  // Deep trees go down this many levels below a product key (never past Windows' limit of
  // 512 levels), wide ones hold up to this many subkeys. The fault sweep keeps them small, so
  // that every call of a run can be made to fail in turn.
  int maxTreeDepth = 500;
  int maxTreeWidth = 400;
  // One machine in ten also gets another program acting on the temp copy or its folder
  // between two calls of the launcher (a scenario's [race]), and one in twelve a virus
  // scanner holding the copy for a few calls or for ever.
  bool races = false;
};

emu::Session GenerateMachine(std::uint64_t seed, const GeneratorOptions& options = {});

}  // namespace safety
