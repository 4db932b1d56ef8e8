// Whether an instruction runs on the Intel 80386 (with its 80387), the oldest processor
// Windows 95 runs on: every instruction a later processor added faults there as invalid.
#pragma once

#include <string>

#include "disassembly.h"

namespace pe {

// Empty when the 80386 executes the instruction; otherwise why not, naming the processor or
// extension that brought it ("cmov: Pentium Pro"). Judged against the list of what the 80386
// has, so an instruction this code has never heard of is refused too.
std::string WhyNotI386(const Instruction& instruction);

}  // namespace pe
