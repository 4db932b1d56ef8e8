// Machine code turned into instructions by a disassembler from binutils (objdump), for the
// checks of which processor the code needs. objdump is given the bytes alone ("binary"), so
// what it decodes is exactly the range asked for, whatever the PE file's own symbols say.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pe {

struct Instruction {
  std::uint64_t address;
  std::string bytes;                  // as objdump prints them: "0f 44 c2"
  std::vector<std::string> prefixes;  // "rep", "lock", "ds", "data16", ...
  std::string mnemonic;               // Intel syntax, as objdump spells it: "cmove", "stos"
  std::string operands;               // "eax,DWORD PTR [esp+0x4]"; empty when there are none
};

enum class CodeArch { kI386, kX86_64 };

// Disassembles `code`, the bytes that run at `address`, with the objdump at `objdumpPath`.
// Throws std::runtime_error when objdump cannot be run or says something it cannot parse.
std::vector<Instruction> Disassemble(const std::string& objdumpPath,
                                     std::span<const std::uint8_t> code, std::uint64_t address,
                                     CodeArch arch);

}  // namespace pe
