#include "instruction_length.h"

#include <array>

namespace runner {
namespace {

// What follows an opcode byte (the IA-32 opcode maps, 32-bit code).
enum Operands : std::uint8_t {
  kNone,
  kModRm,
  kImm8,
  kImmZ,  // 4 bytes, 2 with an operand-size prefix
  kModRmImm8,
  kModRmImmZ,
  kImm16,
  kMoffs,   // an address: 4 bytes, 2 with an address-size prefix
  kFarPtr,  // immz and a 16-bit selector
  kEnter,   // imm16 and imm8
  kGroup3,  // F6/F7: an immediate only for test (/0 and /1)
  kPrefix,
  kEscape,    // 0F
  kThreeByte  // 0F 38 and 0F 3A
};

constexpr std::array<Operands, 256> OneByteMap() {
  std::array<Operands, 256> map{};
  for (int row = 0; row < 0x40; row += 8) {
    // The eight arithmetic groups: r/m forms, then al/eax with an immediate.
    for (int i = 0; i < 4; ++i) map[row + i] = kModRm;
    map[row + 4] = kImm8;
    map[row + 5] = kImmZ;
  }
  for (int prefix : {0x26, 0x2E, 0x36, 0x3E, 0x64, 0x65, 0x66, 0x67, 0xF0, 0xF2, 0xF3})
    map[prefix] = kPrefix;
  map[0x0F] = kEscape;
  map[0x62] = map[0x63] = kModRm;
  map[0x68] = kImmZ;
  map[0x69] = kModRmImmZ;
  map[0x6A] = kImm8;
  map[0x6B] = kModRmImm8;
  for (int op = 0x70; op <= 0x7F; ++op) map[op] = kImm8;
  map[0x80] = map[0x82] = map[0x83] = kModRmImm8;
  map[0x81] = kModRmImmZ;
  for (int op = 0x84; op <= 0x8F; ++op) map[op] = kModRm;
  map[0x9A] = kFarPtr;
  for (int op = 0xA0; op <= 0xA3; ++op) map[op] = kMoffs;
  map[0xA8] = kImm8;
  map[0xA9] = kImmZ;
  for (int op = 0xB0; op <= 0xB7; ++op) map[op] = kImm8;
  for (int op = 0xB8; op <= 0xBF; ++op) map[op] = kImmZ;
  map[0xC0] = map[0xC1] = map[0xC6] = kModRmImm8;
  map[0xC2] = map[0xCA] = kImm16;
  map[0xC4] = map[0xC5] = kModRm;
  map[0xC7] = kModRmImmZ;
  map[0xC8] = kEnter;
  map[0xCD] = kImm8;
  for (int op = 0xD0; op <= 0xD3; ++op) map[op] = kModRm;
  map[0xD4] = map[0xD5] = kImm8;
  for (int op = 0xD8; op <= 0xDF; ++op) map[op] = kModRm;
  for (int op = 0xE0; op <= 0xE7; ++op) map[op] = kImm8;
  map[0xE8] = map[0xE9] = kImmZ;
  map[0xEA] = kFarPtr;
  map[0xEB] = kImm8;
  map[0xF6] = map[0xF7] = kGroup3;
  map[0xFE] = map[0xFF] = kModRm;
  return map;
}

constexpr std::array<Operands, 256> TwoByteMap() {
  std::array<Operands, 256> map{};
  for (int op = 0; op < 256; ++op) map[op] = kModRm;
  // Those without a ModRM byte: clts, invd, wbinvd, ud2, the MSR and fast system calls,
  // emms, jcc rel32, push/pop fs/gs, cpuid, rsm, bswap.
  for (int op : {0x05, 0x06, 0x07, 0x08, 0x09, 0x0B, 0x0E, 0x30, 0x31, 0x32, 0x33,
                 0x34, 0x35, 0x37, 0x77, 0xA0, 0xA1, 0xA2, 0xA8, 0xA9, 0xAA})
    map[op] = kNone;
  for (int op = 0x80; op <= 0x8F; ++op) map[op] = kImmZ;
  for (int op = 0xC8; op <= 0xCF; ++op) map[op] = kNone;
  for (int op : {0x70, 0x71, 0x72, 0x73, 0xA4, 0xAC, 0xBA, 0xC2, 0xC4, 0xC5, 0xC6})
    map[op] = kModRmImm8;
  map[0x38] = map[0x3A] = kThreeByte;
  return map;
}

constexpr std::array<Operands, 256> kOneByte = OneByteMap();
constexpr std::array<Operands, 256> kTwoByte = TwoByteMap();

// ModRM, SIB and displacement bytes from the ModRM byte at bytes[at]; 0 past the end.
std::size_t AddressingLength(const std::uint8_t* bytes, std::size_t size, std::size_t at,
                             bool address16) {
  if (at >= size) return 0;
  const std::uint8_t modrm = bytes[at];
  const int mod = modrm >> 6, rm = modrm & 7;
  std::size_t length = 1;
  if (mod == 3) return length;
  if (address16) {
    if (mod == 1) return length + 1;
    if (mod == 2 || (mod == 0 && rm == 6)) return length + 2;
    return length;
  }
  if (rm == 4) {
    if (at + 1 >= size) return 0;
    ++length;  // SIB
    if (mod == 0 && (bytes[at + 1] & 7) == 5) return length + 4;
  }
  if (mod == 1) return length + 1;
  if (mod == 2 || (mod == 0 && rm == 5)) return length + 4;
  return length;
}

}  // namespace

std::size_t InstructionLength32(const std::uint8_t* bytes, std::size_t size) {
  std::size_t at = 0;
  bool operand16 = false, address16 = false;
  // At most 15 bytes in all, prefixes included, as the CPU allows.
  while (at < size && at < 14 && kOneByte[bytes[at]] == kPrefix) {
    operand16 = operand16 || bytes[at] == 0x66;
    address16 = address16 || bytes[at] == 0x67;
    ++at;
  }
  if (at >= size) return 0;
  const std::uint8_t opcode = bytes[at++];
  Operands operands = kOneByte[opcode];
  if (operands == kPrefix) return 0;
  if (operands == kEscape) {
    if (at >= size) return 0;
    operands = kTwoByte[bytes[at++]];
    if (operands == kThreeByte) {
      const bool withImm8 = bytes[at - 1] == 0x3A;
      if (at >= size) return 0;
      ++at;  // the third opcode byte
      operands = withImm8 ? kModRmImm8 : kModRm;
    }
  }
  const std::size_t immZ = operand16 ? 2 : 4;
  std::size_t tail = 0;
  switch (operands) {
    case kNone:
      break;
    case kImm8:
      tail = 1;
      break;
    case kImmZ:
      tail = immZ;
      break;
    case kImm16:
      tail = 2;
      break;
    case kMoffs:
      tail = address16 ? 2 : 4;
      break;
    case kFarPtr:
      tail = immZ + 2;
      break;
    case kEnter:
      tail = 3;
      break;
    case kModRm:
    case kModRmImm8:
    case kModRmImmZ:
    case kGroup3: {
      const std::size_t addressing = AddressingLength(bytes, size, at, address16);
      if (addressing == 0) return 0;
      if (operands == kModRmImm8) tail = 1;
      if (operands == kModRmImmZ) tail = immZ;
      if (operands == kGroup3 && ((bytes[at] >> 3) & 7) <= 1) tail = opcode == 0xF6 ? 1 : immZ;
      at += addressing;
      break;
    }
    default:
      return 0;
  }
  at += tail;
  return at <= size && at <= 15 ? at : 0;
}

}  // namespace runner
