#include "cpu_floor.h"

#include <cstdio>

namespace runner {
namespace {

bool IsPrefix(std::uint8_t byte) {
  switch (byte) {
    case 0x26:
    case 0x2E:
    case 0x36:
    case 0x3E:
    case 0x64:
    case 0x65:
    case 0x66:
    case 0x67:
    case 0xF0:
    case 0xF2:
    case 0xF3:
      return true;
    default:
      return false;
  }
}

// The two-byte opcodes (0F xx) of the 80386: system instructions, mov to and from control,
// debug and test registers, jcc, setcc, push/pop fs/gs, the bit tests, shld/shrd, imul,
// lss/lfs/lgs, movzx/movsx, bsf/bsr. Every other 0F opcode came later.
bool On386(std::uint8_t second, std::uint8_t modrm) {
  if (second == 0x01) return ((modrm >> 3) & 7) != 7;  // 0F 01 /7 is the 486's invlpg
  if (second <= 0x03 || second == 0x06) return true;
  if (second >= 0x20 && second <= 0x26 && second != 0x25) return true;
  if (second >= 0x80 && second <= 0x9F) return true;
  switch (second) {
    case 0xA0:
    case 0xA1:
    case 0xA3:
    case 0xA4:
    case 0xA5:
    case 0xA8:
    case 0xA9:
    case 0xAB:
    case 0xAC:
    case 0xAD:
    case 0xAF:
    case 0xB2:
    case 0xB3:
    case 0xB4:
    case 0xB5:
    case 0xB6:
    case 0xB7:
    case 0xBA:
    case 0xBB:
    case 0xBC:
    case 0xBD:
    case 0xBE:
    case 0xBF:
      return true;
    default:
      return false;
  }
}

const char* NameOf(std::uint8_t second, bool repPrefix) {
  if (second >= 0x40 && second <= 0x4F) return "cmov (Pentium Pro)";
  if (second >= 0xC8 && second <= 0xCF) return "bswap (486)";
  if (second == 0xB0 || second == 0xB1) return "cmpxchg (486)";
  if (second == 0xC0 || second == 0xC1) return "xadd (486)";
  if (second == 0x01) return "invlpg (486)";
  if (second == 0x08 || second == 0x09) return "invd/wbinvd (486)";
  if (second == 0xA2) return "cpuid (Pentium)";
  if (second == 0x31) return "rdtsc (Pentium)";
  if (second == 0xC7) return "cmpxchg8b (Pentium)";
  if (second == 0x1E && repPrefix) return "endbr32 (CET)";
  if (second >= 0x18 && second <= 0x1F) return "long nop or hint (Pentium Pro)";
  if (second == 0x0B) return "ud2 (Pentium Pro)";
  return "an MMX, SSE or later instruction";
}

}  // namespace

std::string Post386Instruction(const std::uint8_t* bytes, std::size_t size) {
  std::size_t at = 0;
  bool repPrefix = false;
  while (at < size && IsPrefix(bytes[at])) repPrefix = repPrefix || bytes[at++] == 0xF3;
  if (at >= size) return "";
  std::uint8_t first = bytes[at];
  // x87: fcmov (DA/DB C0-DF) and fcomi/fucomi (DB/DF E8-F7) came with the Pentium Pro.
  if ((first == 0xDA || first == 0xDB || first == 0xDF) && at + 1 < size) {
    std::uint8_t modrm = bytes[at + 1];
    if (first != 0xDF && modrm >= 0xC0 && modrm <= 0xDF) return "fcmov (Pentium Pro)";
    if (first != 0xDA && modrm >= 0xE8 && modrm <= 0xF7) return "fcomi (Pentium Pro)";
  }
  if (first != 0x0F || at + 1 >= size) return "";
  std::uint8_t second = bytes[at + 1];
  std::uint8_t modrm = at + 2 < size ? bytes[at + 2] : 0;
  if (On386(second, modrm)) return "";
  char opcode[16];
  std::snprintf(opcode, sizeof opcode, " (0f %02x)", second);
  return NameOf(second, repPrefix) + std::string(opcode);
}

}  // namespace runner
