// Instruction lengths of 32-bit code: the runner walks each block of the exe by them to check
// every instruction against the 80386, so a wrong length would skip an instruction unchecked or
// read an immediate as an opcode.
#include "instruction_length.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <vector>

#include "disassembly.h"
#include "map_file.h"
#include "pe_image.h"

namespace {

struct LengthCase {
  const char* what;
  std::vector<std::uint8_t> bytes;  // the instruction, then a byte that is not part of it
  std::size_t length;               // 0: not a whole instruction
};

class InstructionLength : public testing::TestWithParam<LengthCase> {};

TEST_P(InstructionLength, CountsEveryByteOfTheInstruction) {
  const LengthCase& c = GetParam();
  EXPECT_EQ(runner::InstructionLength32(c.bytes.data(), c.bytes.size()), c.length) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstructionLength,
    testing::Values(
        LengthCase{"push ebp", {0x55, 0x90}, 1}, LengthCase{"mov ebp, esp", {0x89, 0xE5, 0x90}, 2},
        LengthCase{"mov eax, [esp+4]: SIB and disp8", {0x8B, 0x44, 0x24, 0x04, 0x90}, 4},
        LengthCase{
            "mov eax, [ebx*4+disp32]: SIB without base", {0x8B, 0x04, 0x9D, 1, 2, 3, 4, 0x90}, 7},
        LengthCase{"mov eax, [disp32]", {0x8B, 0x05, 1, 2, 3, 4, 0x90}, 6},
        LengthCase{"mov eax, [ebp+disp32]", {0x8B, 0x85, 1, 2, 3, 4, 0x90}, 6},
        LengthCase{"mov eax, imm32", {0xB8, 1, 2, 3, 4, 0x90}, 5},
        LengthCase{"mov ax, imm16 behind 66", {0x66, 0xB8, 1, 2, 0x90}, 4},
        LengthCase{"mov dword [esp+8], imm32", {0xC7, 0x44, 0x24, 0x08, 1, 2, 3, 4, 0x90}, 8},
        LengthCase{"mov word [eax], imm16 behind 66", {0x66, 0xC7, 0x00, 1, 2, 0x90}, 5},
        LengthCase{"sub esp, imm8 (83 /5)", {0x83, 0xEC, 0x1C, 0x90}, 3},
        LengthCase{"cmp dword [ebp-4], imm32 (81 /7)", {0x81, 0x7D, 0xFC, 1, 2, 3, 4, 0x90}, 7},
        LengthCase{"test byte [eax], imm8 (f6 /0)", {0xF6, 0x00, 0x01, 0x90}, 3},
        LengthCase{"neg eax (f7 /3): no immediate", {0xF7, 0xD8, 0x90}, 2},
        LengthCase{"test eax, imm32 (f7 /0)", {0xF7, 0xC0, 1, 2, 3, 4, 0x90}, 6},
        LengthCase{"call rel32", {0xE8, 1, 2, 3, 4, 0x90}, 5},
        LengthCase{"call [disp32] (ff /2)", {0xFF, 0x15, 1, 2, 3, 4, 0x90}, 6},
        LengthCase{"jne rel8", {0x75, 0x10, 0x90}, 2},
        LengthCase{"jne rel32", {0x0F, 0x85, 1, 2, 3, 4, 0x90}, 6},
        LengthCase{"ret imm16", {0xC2, 0x08, 0x00, 0x90}, 3},
        LengthCase{"enter", {0xC8, 0x10, 0x00, 0x00, 0x90}, 4},
        LengthCase{"movzx eax, byte [ecx+edx]", {0x0F, 0xB6, 0x04, 0x11, 0x90}, 4},
        LengthCase{"setne al", {0x0F, 0x95, 0xC0, 0x90}, 3},
        LengthCase{"shld eax, edx, imm8", {0x0F, 0xA4, 0xD0, 0x04, 0x90}, 4},
        LengthCase{"imul eax, ecx, imm8", {0x6B, 0xC1, 0x0C, 0x90}, 3},
        LengthCase{"imul eax, ecx, imm32", {0x69, 0xC1, 1, 2, 3, 4, 0x90}, 6},
        LengthCase{"rep movsd", {0xF3, 0xA5, 0x90}, 2},
        LengthCase{"mov eax, fs:[0]: moffs", {0x64, 0xA1, 0, 0, 0, 0, 0x90}, 6},
        LengthCase{"mov eax, [moffs16] behind 67", {0x67, 0xA1, 1, 2, 0x90}, 4},
        LengthCase{"lea eax, [bx+si+disp16] behind 67", {0x67, 0x8D, 0x80, 1, 2, 0x90}, 5},
        LengthCase{"mov eax, [disp16] behind 67", {0x67, 0x8B, 0x06, 1, 2, 0x90}, 5},
        LengthCase{"call far ptr16:32", {0x9A, 1, 2, 3, 4, 5, 6, 0x90}, 7},
        LengthCase{"int 2Eh", {0xCD, 0x2E, 0x90}, 2},
        LengthCase{"fld qword [ebp+8]", {0xDD, 0x45, 0x08, 0x90}, 3},
        LengthCase{"cmove eax, ecx", {0x0F, 0x44, 0xC1, 0x90}, 3},
        LengthCase{"long nop [eax+eax+0]", {0x0F, 0x1F, 0x44, 0x00, 0x00, 0x90}, 5},
        LengthCase{"bswap eax", {0x0F, 0xC8, 0x90}, 2}, LengthCase{"cpuid", {0x0F, 0xA2, 0x90}, 2},
        LengthCase{"pshufd behind 66: 0f 70 with imm8", {0x66, 0x0F, 0x70, 0xC1, 0x1B, 0x90}, 5},
        LengthCase{"pshufb: 0f 38", {0x66, 0x0F, 0x38, 0x00, 0xC1, 0x90}, 5},
        LengthCase{"palignr: 0f 3a with imm8", {0x66, 0x0F, 0x3A, 0x0F, 0xC1, 0x04, 0x90}, 6},
        LengthCase{"cut short: imm32 missing a byte", {0xB8, 1, 2, 3}, 0},
        LengthCase{"cut short: SIB missing", {0x8B, 0x04}, 0},
        LengthCase{"cut short: only prefixes", {0x66, 0xF3}, 0},
        LengthCase{"more than 15 bytes",
                   {0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66,
                    0x66, 0xB8, 1, 2, 0x90},
                   0}),
    [](const testing::TestParamInfo<LengthCase>& info) {
      std::string name;
      for (const char* p = info.param.what; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return name;
    });

std::size_t ByteCount(const std::string& objdumpBytes) {
  std::istringstream in(objdumpBytes);
  std::size_t count = 0;
  for (std::string hex; in >> hex;) ++count;
  return count;
}

// Every instruction of the shipped exe, as binutils decodes it function by function through
// the link map, has the length the walk gives it.
TEST(InstructionLengthOfTheShippedExe, AgreesWithObjdumpOnEveryInstruction) {
  const auto dir = std::filesystem::path(PE_TEST_SOURCE_DIR) / "build" / "win32";
  ASSERT_TRUE(std::filesystem::exists(dir / "Uninstall.exe")) << "build the win32 preset";
  const pe::Image image = pe::Image::Load(dir / "Uninstall.exe");
  const std::uint64_t base = image.headers().imageBase;
  std::size_t instructions = 0;
  std::ostringstream wrong;
  for (const auto& section : pe::ReadMapInputSections(dir / "Uninstall.map", ".text", ".text")) {
    if (section.size == 0) continue;
    const auto rva = static_cast<std::uint32_t>(section.address - base);
    const auto code = image.bytes().Span(image.Offset(rva, section.size, section.name.c_str()),
                                         section.size, section.name.c_str());
    for (const auto& instruction :
         pe::Disassemble(PE_TEST_OBJDUMP, code, section.address, pe::CodeArch::kI386)) {
      ++instructions;
      const std::size_t at = static_cast<std::size_t>(instruction.address - section.address);
      const std::size_t expected = ByteCount(instruction.bytes);
      const std::size_t length = runner::InstructionLength32(code.data() + at, code.size() - at);
      // objdump shows bytes that end a range mid-instruction as "(bad)"; the walk says 0.
      if (instruction.mnemonic == "(bad)") continue;
      if (length != expected) {
        wrong << "  " << section.name << " at 0x" << std::hex << instruction.address << std::dec
              << " [" << instruction.bytes << "] " << instruction.mnemonic << ": " << length
              << " bytes, objdump says " << expected << "\n";
      }
    }
  }
  EXPECT_GT(instructions, 500u);
  EXPECT_TRUE(wrong.str().empty()) << wrong.str();
}

}  // namespace
