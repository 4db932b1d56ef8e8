// Writes the registry in the text form regedit exports: the reader reads it back unchanged.
#pragma once

#include <string>

#include "machine.h"

namespace machine_image {

// The file's bytes under machine.registryHeader: Version 5.00 as UTF-16LE with a byte order
// mark, as regedit writes it; REGEDIT4 as plain ASCII when it is, else as UTF-8 with a byte
// order mark (never ambiguous, unlike bare Windows-1252); a REGEDIT4 registry holding a
// character beyond Windows-1252 goes out as Version 5.00 instead. Roots in the order HKLM,
// HKCU, HKCR; every key in its own section, parents first, subkeys in RegEnumKeyA order; the
// default value first; CRLF line ends.
std::string WriteRegFile(const emu::Machine& machine);

}  // namespace machine_image
