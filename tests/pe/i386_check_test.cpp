// The one answer to "does the 80386 have this instruction?": its length, which the runner walks
// each block by (a wrong one would skip an instruction unchecked or read an immediate as an
// opcode), and the processor that brought it.
#include "i386_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct InstructionCase {
  const char* what;
  std::vector<std::uint8_t> bytes;  // the instruction, sometimes followed by a byte of the next
  std::size_t length = 0;           // 0: the bytes hold no whole instruction
  const char* verdict = "";         // "" when the 80386 runs it, else a part of the reason
};

void PrintTo(const InstructionCase& c, std::ostream* out) {
  *out << c.what;
}

class I386Check : public testing::TestWithParam<InstructionCase> {};

TEST_P(I386Check, GivesTheLengthAndTheProcessorThatBroughtTheInstruction) {
  const InstructionCase& c = GetParam();
  const x86::I386Verdict verdict = x86::CheckI386Instruction(c.bytes);
  EXPECT_EQ(c.length, verdict.length) << c.what;
  if (*c.verdict == '\0') {
    EXPECT_EQ("", verdict.whyNot) << c.what;
  } else {
    EXPECT_NE(std::string::npos, verdict.whyNot.find(c.verdict))
        << c.what << ": got \"" << verdict.whyNot << "\"";
  }
}

// The 8086's to the 80386's and the 80387's: what the compiler emits for -march=i386, and the
// encodings (ModRM, SIB, displacements, immediates, operand and address size) that lengthen them.
const InstructionCase kI386Instructions[] = {
    {.what = "push ebp", .bytes = {0x55, 0x90}, .length = 1},
    {.what = "mov ebp, esp", .bytes = {0x89, 0xE5, 0x90}, .length = 2},
    {.what = "mov eax, ecx", .bytes = {0x89, 0xC8}, .length = 2},
    {.what = "mov eax, [esp+4]: SIB and disp8",
     .bytes = {0x8B, 0x44, 0x24, 0x04, 0x90},
     .length = 4},
    {.what = "mov eax, [ebx*4+disp32]: SIB without base",
     .bytes = {0x8B, 0x04, 0x9D, 1, 2, 3, 4, 0x90},
     .length = 7},
    {.what = "mov eax, [disp32]", .bytes = {0x8B, 0x05, 1, 2, 3, 4, 0x90}, .length = 6},
    {.what = "mov eax, [ebp+disp32]", .bytes = {0x8B, 0x85, 1, 2, 3, 4, 0x90}, .length = 6},
    {.what = "mov eax, imm32", .bytes = {0xB8, 1, 2, 3, 4, 0x90}, .length = 5},
    {.what = "mov ax, imm16 behind 66", .bytes = {0x66, 0xB8, 1, 2, 0x90}, .length = 4},
    {.what = "mov dword [esp+8], imm32",
     .bytes = {0xC7, 0x44, 0x24, 0x08, 1, 2, 3, 4, 0x90},
     .length = 8},
    {.what = "mov word [eax], imm16 behind 66",
     .bytes = {0x66, 0xC7, 0x00, 1, 2, 0x90},
     .length = 5},
    {.what = "mov eax, fs:[0]: moffs", .bytes = {0x64, 0xA1, 0, 0, 0, 0, 0x90}, .length = 6},
    {.what = "mov eax, [moffs16] behind 67", .bytes = {0x67, 0xA1, 1, 2, 0x90}, .length = 4},
    {.what = "mov eax, [disp16] behind 67", .bytes = {0x67, 0x8B, 0x06, 1, 2, 0x90}, .length = 5},
    {.what = "lea eax, [bx+si+disp16] behind 67",
     .bytes = {0x67, 0x8D, 0x80, 1, 2, 0x90},
     .length = 5},
    {.what = "sub esp, imm8 (83 /5)", .bytes = {0x83, 0xEC, 0x1C, 0x90}, .length = 3},
    {.what = "cmp dword [ebp-4], imm32 (81 /7)",
     .bytes = {0x81, 0x7D, 0xFC, 1, 2, 3, 4, 0x90},
     .length = 7},
    {.what = "test byte [eax], imm8 (f6 /0)", .bytes = {0xF6, 0x00, 0x01, 0x90}, .length = 3},
    {.what = "neg eax (f7 /3): no immediate", .bytes = {0xF7, 0xD8, 0x90}, .length = 2},
    {.what = "test eax, imm32 (f7 /0)", .bytes = {0xF7, 0xC0, 1, 2, 3, 4, 0x90}, .length = 6},
    {.what = "imul eax, ecx, imm8", .bytes = {0x6B, 0xC1, 0x0C, 0x90}, .length = 3},
    {.what = "imul eax, ecx, imm32", .bytes = {0x69, 0xC1, 1, 2, 3, 4, 0x90}, .length = 6},
    {.what = "imul eax, ecx", .bytes = {0x0F, 0xAF, 0xC1}, .length = 3},
    {.what = "call rel32", .bytes = {0xE8, 1, 2, 3, 4, 0x90}, .length = 5},
    {.what = "call [disp32] (ff /2)", .bytes = {0xFF, 0x15, 1, 2, 3, 4, 0x90}, .length = 6},
    {.what = "call far ptr16:32", .bytes = {0x9A, 1, 2, 3, 4, 5, 6, 0x90}, .length = 7},
    {.what = "jne rel8", .bytes = {0x75, 0x10, 0x90}, .length = 2},
    {.what = "jne rel32", .bytes = {0x0F, 0x85, 1, 2, 3, 4, 0x90}, .length = 6},
    {.what = "ret imm16", .bytes = {0xC2, 0x08, 0x00, 0x90}, .length = 3},
    {.what = "enter (80186)", .bytes = {0xC8, 0x10, 0x00, 0x00, 0x90}, .length = 4},
    {.what = "int 2Eh", .bytes = {0xCD, 0x2E, 0x90}, .length = 2},
    {.what = "lahf: the 8086's in 32-bit code", .bytes = {0x9F}, .length = 1},
    {.what = "lgdt (0f 01 /2, 80286)", .bytes = {0x0F, 0x01, 0x10}, .length = 3},
    {.what = "push fs", .bytes = {0x0F, 0xA0}, .length = 2},
    {.what = "movzx eax, al", .bytes = {0x0F, 0xB6, 0xC0}, .length = 3},
    {.what = "movzx eax, byte [ecx+edx]", .bytes = {0x0F, 0xB6, 0x04, 0x11, 0x90}, .length = 4},
    {.what = "movsx behind 66", .bytes = {0x66, 0x0F, 0xBE, 0xC1}, .length = 4},
    {.what = "setne al", .bytes = {0x0F, 0x95, 0xC0, 0x90}, .length = 3},
    {.what = "shld eax, edx, imm8", .bytes = {0x0F, 0xA4, 0xD0, 0x04, 0x90}, .length = 4},
    {.what = "bsf eax, ecx", .bytes = {0x0F, 0xBC, 0xC1}, .length = 3},
    {.what = "rep movsd", .bytes = {0xF3, 0xA5, 0x90}, .length = 2},
    {.what = "rep movsb", .bytes = {0xF3, 0xA4}, .length = 2},
    {.what = "one-byte nop", .bytes = {0x90}, .length = 1},
    {.what = "operand-size xchg as a two-byte nop", .bytes = {0x66, 0x90}, .length = 2},
    {.what = "80387 fld qword [ebp+8]", .bytes = {0xDD, 0x45, 0x08, 0x90}, .length = 3},
    {.what = "80387 fld dword [ebp+8]", .bytes = {0xD9, 0x45, 0x08}, .length = 3},
    {.what = "80387 fld dword [ecx]", .bytes = {0xD9, 0x01}, .length = 2},
};
INSTANTIATE_TEST_SUITE_P(RunOnTheI386, I386Check, testing::ValuesIn(kI386Instructions));

// What later processors brought: the cmov that GCC's default i686 target emitted into
// FindLastBackslash, which a 486, Pentium or K6 faults on, first.
const InstructionCase kLaterInstructions[] = {
    {.what = "cmove eax, edx",
     .bytes = {0x0F, 0x44, 0xC2},
     .length = 3,
     .verdict = "cmovz eax, edx: Pentium Pro (CMOV)"},
    {.what = "cmove eax, ecx", .bytes = {0x0F, 0x44, 0xC1, 0x90}, .length = 3, .verdict = "cmovz"},
    {.what = "cmovl", .bytes = {0x0F, 0x4C, 0xC2}, .length = 3, .verdict = "Pentium Pro"},
    {.what = "cmovl behind 66", .bytes = {0x66, 0x0F, 0x4C, 0xC1}, .length = 4, .verdict = "cmovl"},
    {.what = "fcmovb", .bytes = {0xDA, 0xC1}, .length = 2, .verdict = "Pentium Pro (FCMOV)"},
    {.what = "fcomi", .bytes = {0xDB, 0xF1}, .length = 2, .verdict = "fcomi st0, st1: Pentium Pro"},
    {.what = "fucomip", .bytes = {0xDF, 0xE9}, .length = 2, .verdict = "Pentium Pro"},
    {.what = "long nop",
     .bytes = {0x0F, 0x1F, 0x40, 0x00},
     .length = 4,
     .verdict = "Pentium Pro (FAT_NOP)"},
    {.what = "long nop [eax+eax+0]",
     .bytes = {0x0F, 0x1F, 0x44, 0x00, 0x00, 0x90},
     .length = 5,
     .verdict = "FAT_NOP"},
    {.what = "long nop behind 66",
     .bytes = {0x66, 0x0F, 0x1F, 0x44, 0x00, 0x00},
     .length = 6,
     .verdict = "FAT_NOP"},
    {.what = "ud0", .bytes = {0x0F, 0xFF, 0xC0}, .length = 3, .verdict = "ud0"},
    {.what = "ud2", .bytes = {0x0F, 0x0B}, .length = 2, .verdict = "ud2: Pentium Pro"},
    {.what = "bswap eax", .bytes = {0x0F, 0xC8, 0x90}, .length = 2, .verdict = "bswap eax: 80486"},
    {.what = "lock cmpxchg",
     .bytes = {0xF0, 0x0F, 0xB1, 0x0A},
     .length = 4,
     .verdict = "cmpxchg [edx], ecx: 80486"},
    {.what = "xadd eax, ecx",
     .bytes = {0x0F, 0xC1, 0xC8},
     .length = 3,
     .verdict = "xadd eax, ecx: 80486"},
    {.what = "xadd [edx], ecx", .bytes = {0x0F, 0xC1, 0x0A}, .length = 3, .verdict = "80486"},
    {.what = "invlpg (0f 01 /7)",
     .bytes = {0x0F, 0x01, 0x38},
     .length = 3,
     .verdict = "invlpg [eax]: 80486"},
    {.what = "invd", .bytes = {0x0F, 0x08}, .length = 2, .verdict = "invd: 80486"},
    {.what = "wbinvd", .bytes = {0x0F, 0x09}, .length = 2, .verdict = "wbinvd: 80486"},
    {.what = "cpuid", .bytes = {0x0F, 0xA2, 0x90}, .length = 2, .verdict = "cpuid: Pentium"},
    {.what = "rdtsc", .bytes = {0x0F, 0x31}, .length = 2, .verdict = "rdtsc: Pentium"},
    {.what = "rdmsr", .bytes = {0x0F, 0x32}, .length = 2, .verdict = "rdmsr: Pentium"},
    {.what = "wrmsr", .bytes = {0x0F, 0x30}, .length = 2, .verdict = "wrmsr: Pentium"},
    {.what = "cmpxchg8b",
     .bytes = {0x0F, 0xC7, 0x0E},
     .length = 3,
     .verdict = "cmpxchg8b [esi]: Pentium"},
    {.what = "endbr32", .bytes = {0xF3, 0x0F, 0x1E, 0xFB}, .length = 4, .verdict = "endbr32: CET"},
    {.what = "pause: rep nop to the 80386", .bytes = {0xF3, 0x90}, .length = 2, .verdict = "PAUSE"},
    {.what = "MMX movq", .bytes = {0x0F, 0x6F, 0xC1}, .length = 3, .verdict = "MMX"},
    {.what = "MMX movd",
     .bytes = {0x0F, 0x6E, 0xC0},
     .length = 3,
     .verdict = "movd mm0, eax: Pentium MMX"},
    {.what = "SSE movaps",
     .bytes = {0x0F, 0x28, 0xC1},
     .length = 3,
     .verdict = "Pentium III (SSE)"},
    {.what = "SSE prefetch", .bytes = {0x0F, 0x18, 0x08}, .length = 3, .verdict = "SSE_PREFETCH"},
    {.what = "SSE sfence",
     .bytes = {0x0F, 0xAE, 0xF8},
     .length = 3,
     .verdict = "sfence: Pentium III"},
    {.what = "SSE2 movsd",
     .bytes = {0xF2, 0x0F, 0x10, 0xC1},
     .length = 4,
     .verdict = "Pentium 4 (SSE2)"},
    {.what = "SSE2 pxor", .bytes = {0x66, 0x0F, 0xEF, 0xC0}, .length = 4, .verdict = "SSE2"},
    {.what = "SSE2 movdqa", .bytes = {0x66, 0x0F, 0x6F, 0xC1}, .length = 4, .verdict = "SSE2"},
    {.what = "SSE2 pshufd: 0f 70 with imm8",
     .bytes = {0x66, 0x0F, 0x70, 0xC1, 0x1B, 0x90},
     .length = 5,
     .verdict = "SSE2"},
    {.what = "SSSE3 pshufb: 0f 38",
     .bytes = {0x66, 0x0F, 0x38, 0x00, 0xC1, 0x90},
     .length = 5,
     .verdict = "a later processor (SSSE3)"},
    {.what = "SSSE3 palignr: 0f 3a with imm8",
     .bytes = {0x66, 0x0F, 0x3A, 0x0F, 0xC1, 0x04, 0x90},
     .length = 6,
     .verdict = "SSSE3"},
};
INSTANTIATE_TEST_SUITE_P(CameLater, I386Check, testing::ValuesIn(kLaterInstructions));

// Bytes that hold no whole instruction: no length to walk by, and refused.
const InstructionCase kNoInstructions[] = {
    {.what = "undefined opcode 0f 04", .bytes = {0x0F, 0x04, 0x90}, .verdict = "no instruction"},
    {.what = "ff /7: an undefined group member",
     .bytes = {0xFF, 0xFF, 0x90},
     .verdict = "no instruction"},
    {.what = "0f ff: ud0 without its ModRM", .bytes = {0x0F, 0xFF}, .verdict = "cut short"},
    {.what = "imm32 missing a byte", .bytes = {0xB8, 1, 2, 3}, .verdict = "cut short"},
    {.what = "SIB missing", .bytes = {0x8B, 0x04}, .verdict = "cut short"},
    {.what = "only prefixes", .bytes = {0x66, 0xF3}, .verdict = "cut short"},
    {.what = "nothing at all", .bytes = {}, .verdict = "cut short"},
    {.what = "more than 15 bytes",
     .bytes = {0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66,
               0xB8, 1, 2, 0x90},
     .verdict = "over 15 bytes"},
};
INSTANTIATE_TEST_SUITE_P(NoInstruction, I386Check, testing::ValuesIn(kNoInstructions));

}  // namespace
