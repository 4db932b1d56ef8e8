// Reads a registry file in the text form regedit exports and imports.
#pragma once

#include <string>
#include <string_view>

#include "machine.h"
#include "reg_format.h"

namespace machine_image {

// Adds the file's keys and values to machine.registry and records its header in
// machine.registryHeader. fileBytes is the file as stored (UTF-16LE with a byte order mark,
// UTF-8 with or without one, or Windows-1252); fileName only names the file in errors.
// A file without a header is read as REGEDIT4. Throws ImageError naming the file and line.
void ReadRegFile(std::string_view fileBytes, const std::string& fileName, emu::Machine& machine);

}  // namespace machine_image
