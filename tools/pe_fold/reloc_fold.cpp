#include "reloc_fold.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace pe_fold {
namespace {

constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kRelocDirectory = 5;

std::uint32_t Read(const std::vector<std::uint8_t>& file, std::size_t at, unsigned size) {
  if (at + size > file.size()) throw std::runtime_error("the file ends inside its headers");
  std::uint32_t value = 0;
  for (unsigned i = 0; i < size; ++i) value |= std::uint32_t{file[at + i]} << 8 * i;
  return value;
}

void Write(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t value, unsigned size) {
  for (unsigned i = 0; i < size; ++i) file[at + i] = static_cast<std::uint8_t>(value >> 8 * i);
}

struct SectionHeader {
  std::size_t at;  // file offset of the header
  std::string name;
  std::uint32_t virtualSize, virtualAddress, rawSize, rawOffset;
};

SectionHeader ReadSection(const std::vector<std::uint8_t>& file, std::size_t at) {
  SectionHeader s{at, {}, 0, 0, 0, 0};
  for (std::size_t i = 0; i < 8 && file.at(at + i) != 0; ++i) s.name += char(file[at + i]);
  s.virtualSize = Read(file, at + 8, 4);
  s.virtualAddress = Read(file, at + 12, 4);
  s.rawSize = Read(file, at + 16, 4);
  s.rawOffset = Read(file, at + 20, 4);
  return s;
}

std::uint32_t AlignUp(std::uint32_t value, std::uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

}  // namespace

std::uint32_t PeChecksum(const std::vector<std::uint8_t>& file, std::size_t checksumOffset) {
  std::uint64_t sum = 0;
  for (std::size_t at = 0; at < file.size(); at += 2) {
    if (at == checksumOffset || at == checksumOffset + 2) continue;
    std::uint32_t word = file[at];
    if (at + 1 < file.size()) word |= std::uint32_t{file[at + 1]} << 8;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint32_t>(sum + file.size());
}

FoldResult FoldRelocations(std::vector<std::uint8_t>& file) {
  if (Read(file, 0, 2) != 0x5A4D) throw std::runtime_error("no MZ header");
  const std::size_t peAt = Read(file, 0x3C, 4);
  if (Read(file, peAt, 4) != 0x00004550) throw std::runtime_error("no PE signature");
  const std::size_t coffAt = peAt + 4;
  const std::uint32_t sectionCount = Read(file, coffAt + 2, 2);
  if (Read(file, coffAt + 8, 4) != 0) {
    throw std::runtime_error("the file carries a symbol table; fold a stripped exe");
  }
  const std::size_t optionalAt = coffAt + 20;
  const std::uint32_t optionalSize = Read(file, coffAt + 16, 2);
  const std::uint32_t magic = Read(file, optionalAt, 2);
  if (magic != 0x10B && magic != 0x20B) throw std::runtime_error("unknown optional header");
  const std::size_t directoriesAt = optionalAt + (magic == 0x20B ? 112 : 96);
  const std::uint32_t directoryCount = Read(file, directoriesAt - 4, 4);
  if (directoryCount <= kRelocDirectory) return {false, "no relocation directory"};
  const std::uint32_t sectionAlignment = Read(file, optionalAt + 32, 4);
  const std::size_t sizeOfImageAt = optionalAt + 56;
  const std::size_t checksumAt = optionalAt + 64;
  const std::size_t initializedDataAt = optionalAt + 8;
  const std::size_t relocDirAt = directoriesAt + 8 * kRelocDirectory;
  const std::uint32_t relocRva = Read(file, relocDirAt, 4);
  const std::uint32_t relocSize = Read(file, relocDirAt + 4, 4);
  if (relocRva == 0 || relocSize == 0) return {false, "the exe has no relocations"};

  const std::size_t tableAt = optionalAt + optionalSize;
  std::vector<SectionHeader> sections;
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    sections.push_back(ReadSection(file, tableAt + i * kSectionHeaderSize));
  }
  if (sections.size() < 2) return {false, "fewer than two sections"};
  const SectionHeader& reloc = sections.back();
  const SectionHeader& code = sections.front();
  if (reloc.name != ".reloc" || reloc.virtualAddress != relocRva) {
    return {false, "the relocations are not the last section of their own"};
  }
  if (code.name != ".text") return {false, "the first section is not the code"};
  if (std::uint64_t{reloc.rawOffset} + reloc.rawSize != file.size() ||
      relocSize > reloc.virtualSize || relocSize > reloc.rawSize) {
    throw std::runtime_error(".reloc does not end the file or is smaller than its directory");
  }
  for (const SectionHeader& s : sections) {
    if (&s != &reloc && s.rawOffset + s.rawSize > reloc.rawOffset) {
      throw std::runtime_error("a section's file data overlaps .reloc's");
    }
  }

  // The table starts 4-aligned (every block must) after the code's last byte; the rest of the
  // code's file block is the linker's zero padding, and the section's pages end before the next
  // section starts.
  const std::uint32_t place = AlignUp(code.virtualSize, 4);
  const std::uint32_t end = place + relocSize;
  const std::uint32_t nextVirtualAddress = sections[1].virtualAddress;
  if (end > code.rawSize || code.virtualAddress + end > nextVirtualAddress) {
    return {false, "the relocations (" + std::to_string(relocSize) + " bytes) do not fit in the " +
                       std::to_string(code.rawSize - place) + " bytes after the code"};
  }
  for (std::uint32_t at = code.virtualSize; at < code.rawSize; ++at) {
    if (file.at(code.rawOffset + at) != 0) {
      throw std::runtime_error("the code section's padding is not zero");
    }
  }
  const std::uint8_t* table = file.data() + reloc.rawOffset;
  // No relocation may point into where the table goes: it would patch its own table.
  for (std::uint32_t block = 0; block + 8 <= relocSize;) {
    std::uint32_t page = table[block] | table[block + 1] << 8 | table[block + 2] << 16 |
                         std::uint32_t{table[block + 3]} << 24;
    std::uint32_t blockSize = table[block + 4] | table[block + 5] << 8 | table[block + 6] << 16 |
                              std::uint32_t{table[block + 7]} << 24;
    if (blockSize < 8 || block + blockSize > relocSize) {
      throw std::runtime_error("a malformed relocation block");
    }
    for (std::uint32_t entry = block + 8; entry + 2 <= block + blockSize; entry += 2) {
      unsigned value = table[entry] | table[entry + 1] << 8;
      std::uint32_t target = page + (value & 0xFFF);
      if ((value >> 12) != 0 && target + 8 > code.virtualAddress + place &&
          target < code.virtualAddress + end) {
        throw std::runtime_error("a relocation points where the table would go");
      }
    }
    block += blockSize;
  }

  std::copy(table, table + relocSize, file.begin() + code.rawOffset + place);
  Write(file, code.at + 8, end, 4);
  Write(file, relocDirAt, code.virtualAddress + place, 4);
  const std::uint32_t initialized = Read(file, initializedDataAt, 4);
  Write(file, initializedDataAt, initialized >= reloc.rawSize ? initialized - reloc.rawSize : 0, 4);
  const SectionHeader& last = sections[sections.size() - 2];
  Write(file, sizeOfImageAt, AlignUp(last.virtualAddress + last.virtualSize, sectionAlignment), 4);
  std::fill(file.begin() + reloc.at, file.begin() + reloc.at + kSectionHeaderSize, 0);
  Write(file, coffAt + 2, sectionCount - 1, 2);
  file.resize(reloc.rawOffset);
  // A checksum of 0 means none; the linker's, when it wrote one, is made true again.
  if (Read(file, checksumAt, 4) != 0) Write(file, checksumAt, PeChecksum(file, checksumAt), 4);
  return {true, ""};
}

}  // namespace pe_fold
