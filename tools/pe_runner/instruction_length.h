// The length of one 32-bit x86 instruction, from its bytes: what the runner needs to walk a
// block of the exe's code instruction by instruction when the CPU first enters it, instead of
// a hook on every instruction executed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace runner {

// The bytes the instruction at `bytes` takes in 32-bit code (prefixes, opcode, ModRM, SIB,
// displacement and immediate), or 0 when `size` bytes do not hold a whole instruction or the
// opcode is not one the walk knows.
std::size_t InstructionLength32(const std::uint8_t* bytes, std::size_t size);

}  // namespace runner
