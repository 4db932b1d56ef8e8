#include "failable_operations.h"

#include "session.h"
#include "text_lines.h"

namespace machine_image {

const std::vector<std::string>& KnownFailableOperations() {
  static const std::vector<std::string> operations(emu::FailableOperations().begin(),
                                                   emu::FailableOperations().end());
  return operations;
}

// Image authors write names in any case; the emulator matches the exact Win32 spelling.
std::string CanonicalFailableOperation(std::string_view name) {
  const std::string lower = LowerAscii(name);
  for (const std::string& operation : KnownFailableOperations()) {
    if (LowerAscii(operation) == lower) return operation;
  }
  return "";
}

}  // namespace machine_image
