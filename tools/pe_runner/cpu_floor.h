// The oldest processor a 32-bit exe of ours must run on is the 80386 (Windows 95's floor).
// Unicorn executes what a modern CPU does whatever model it is given, so each instruction of
// the exe's own code is checked once, the first time it runs, against the 386's opcodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace runner {

// "" when a 386 has the instruction, else what it is ("cmov (Pentium Pro)").
std::string Post386Instruction(const std::uint8_t* bytes, std::size_t size);

}  // namespace runner
