#include "i386_check.h"

#include <Zydis/Zydis.h>

namespace x86 {
namespace {

const ZydisDecoder& Decoder32() {
  static const ZydisDecoder decoder = [] {
    ZydisDecoder d;
    ZydisDecoderInit(&d, ZYDIS_MACHINE_MODE_LEGACY_32, ZYDIS_STACK_WIDTH_32);
    return d;
  }();
  return decoder;
}

// Zydis files each instruction under the ISA set that introduced it (Intel XED's sets). The
// 80386's own are the 8086's, the 80186's, the 80286's, the 80386's and the 80387's. LAHF is
// the CPUID bit for lahf/sahf in 64-bit mode; in 32-bit code they are the 8086's.
bool RunsOnI386(ZydisISASet set) {
  switch (set) {
    case ZYDIS_ISA_SET_I86:
    case ZYDIS_ISA_SET_I186:
    case ZYDIS_ISA_SET_I286REAL:
    case ZYDIS_ISA_SET_I286PROTECTED:
    case ZYDIS_ISA_SET_I386:
    case ZYDIS_ISA_SET_X87:
    case ZYDIS_ISA_SET_LAHF:
      return true;
    default:
      return false;
  }
}

// The processor generation behind the ISA sets a compiler or a library might bring, for a
// report that says what to look for; the set's own name is always given too.
const char* Generation(const ZydisDecodedInstruction& instruction) {
  // Late 80486 steppings have cpuid, which Zydis files with the 80486; the Pentium is the first
  // processor that always has it, and code that relies on it assumes one.
  if (instruction.mnemonic == ZYDIS_MNEMONIC_CPUID) return "Pentium";
  switch (instruction.meta.isa_set) {
    case ZYDIS_ISA_SET_I486:
    case ZYDIS_ISA_SET_I486REAL:
      return "80486";
    case ZYDIS_ISA_SET_PENTIUMREAL:
      return "Pentium";
    case ZYDIS_ISA_SET_PENTIUMMMX:
      return "Pentium MMX";
    case ZYDIS_ISA_SET_PPRO:
    case ZYDIS_ISA_SET_CMOV:
    case ZYDIS_ISA_SET_FCMOV:
    case ZYDIS_ISA_SET_FAT_NOP:
    case ZYDIS_ISA_SET_RDPMC:
      return "Pentium Pro";
    case ZYDIS_ISA_SET_FXSAVE:
      return "Pentium II";
    case ZYDIS_ISA_SET_SSE:
    case ZYDIS_ISA_SET_SSE_PREFETCH:
    case ZYDIS_ISA_SET_SSEMXCSR:
      return "Pentium III";
    case ZYDIS_ISA_SET_SSE2:
    case ZYDIS_ISA_SET_SSE2MMX:
    case ZYDIS_ISA_SET_CLFSH:
    case ZYDIS_ISA_SET_PAUSE:
      return "Pentium 4";
    case ZYDIS_ISA_SET_LONGMODE:
      return "x86-64 long mode";
    case ZYDIS_ISA_SET_CET:
      return "CET";
    default:
      return "a later processor";
  }
}

// The instruction in Intel syntax: decoded again with its operands, which only a refused
// instruction's report needs.
std::string Text(const ZydisDecodedInstruction& instruction, std::span<const std::uint8_t> bytes) {
  ZydisDecodedInstruction full;
  ZydisDecodedOperand operands[ZYDIS_MAX_OPERAND_COUNT];
  ZydisFormatter formatter;
  char text[96];
  if (ZYAN_SUCCESS(
          ZydisDecoderDecodeFull(&Decoder32(), bytes.data(), bytes.size(), &full, operands)) &&
      ZYAN_SUCCESS(ZydisFormatterInit(&formatter, ZYDIS_FORMATTER_STYLE_INTEL)) &&
      ZYAN_SUCCESS(ZydisFormatterFormatInstruction(&formatter, &full, operands,
                                                   full.operand_count_visible, text, sizeof text,
                                                   ZYDIS_RUNTIME_ADDRESS_NONE, nullptr))) {
    return text;
  }
  return ZydisMnemonicGetString(instruction.mnemonic);
}

}  // namespace

I386Verdict CheckI386Instruction(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return {0, "an instruction cut short"};
  ZydisDecodedInstruction instruction;
  const ZyanStatus status = ZydisDecoderDecodeInstruction(&Decoder32(), nullptr, bytes.data(),
                                                          bytes.size(), &instruction);
  if (status == ZYDIS_STATUS_NO_MORE_DATA) return {0, "an instruction cut short"};
  if (status == ZYDIS_STATUS_INSTRUCTION_TOO_LONG) return {0, "an instruction over 15 bytes"};
  if (!ZYAN_SUCCESS(status)) return {0, "bytes that are no instruction at all"};
  I386Verdict verdict{instruction.length, ""};
  if (!RunsOnI386(instruction.meta.isa_set)) {
    verdict.whyNot = Text(instruction, bytes) + ": " + Generation(instruction) + " (" +
                     ZydisISASetGetString(instruction.meta.isa_set) + ")";
  }
  return verdict;
}

}  // namespace x86
