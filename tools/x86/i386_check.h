// Which processor brought an x86 instruction, from its bytes (Zydis' decoder): the oldest one a
// 32-bit exe of ours must run on is the Intel 80386 with its 80387, Windows 95's floor. Both the
// link-map check of the shipped exe and the runner's walk over each block it enters ask here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace x86 {

struct I386Verdict {
  // The bytes the instruction takes; 0 when `bytes` hold no whole instruction (cut short, over
  // 15 bytes, or an opcode no processor defines).
  std::size_t length = 0;
  // "" when the 80386 executes it; otherwise why not: the instruction and the processor or
  // extension that brought it, "cmovz eax, edx: Pentium Pro (CMOV)".
  std::string whyNot;
};

// Decodes the first instruction of `bytes` as 32-bit code and judges it.
I386Verdict CheckI386Instruction(std::span<const std::uint8_t> bytes);

}  // namespace x86
