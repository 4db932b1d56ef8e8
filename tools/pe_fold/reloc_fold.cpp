#include "reloc_fold.h"

#include <algorithm>
#include <stdexcept>

#include "pe_image.h"
#include "pe_relocations.h"

namespace pe_fold {
namespace {

constexpr std::size_t kSectionHeaderSize = 40;

void Write(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t value, unsigned size) {
  for (unsigned i = 0; i < size; ++i) file[at + i] = static_cast<std::uint8_t>(value >> 8 * i);
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
  const pe::Image image = pe::Image::Parse(file, "the exe");
  const pe::Headers& headers = image.headers();
  if (headers.symbolTableOffset != 0) {
    throw std::runtime_error("the file carries a symbol table; fold a stripped exe");
  }
  if (headers.directoryCount <= pe::kRelocDir) return {false, "no relocation directory"};
  const pe::DataDirectory relocDir = headers.directories[pe::kRelocDir];
  if (relocDir.rva == 0 || relocDir.size == 0) return {false, "the exe has no relocations"};

  const std::vector<pe::Section>& sections = image.sections();
  if (sections.size() < 2) return {false, "fewer than two sections"};
  const pe::Section& reloc = sections.back();
  const pe::Section& code = sections.front();
  if (reloc.name != ".reloc" || reloc.virtualAddress != relocDir.rva) {
    return {false, "the relocations are not the last section of their own"};
  }
  if (code.name != ".text") return {false, "the first section is not the code"};
  const std::uint32_t relocSize = relocDir.size;
  if (std::uint64_t{reloc.rawOffset} + reloc.rawSize != file.size() ||
      relocSize > reloc.virtualSize || relocSize > reloc.rawSize) {
    throw std::runtime_error(".reloc does not end the file or is smaller than its directory");
  }
  for (const pe::Section& s : sections) {
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
  // No relocation may point into where the table goes: it would patch its own table.
  for (const pe::Relocation& relocation : pe::ReadRelocations(image)) {
    if (std::uint64_t{relocation.rva} + 8 > code.virtualAddress + place &&
        relocation.rva < code.virtualAddress + end) {
      throw std::runtime_error("a relocation points where the table would go");
    }
  }

  const auto table = image.bytes().Span(reloc.rawOffset, relocSize, "base relocation table");
  std::copy(table.begin(), table.end(), file.begin() + code.rawOffset + place);
  Write(file, code.headerOffset + 8, end, 4);
  Write(file, headers.DirectoryOffset(pe::kRelocDir), code.virtualAddress + place, 4);
  const std::uint32_t initialized = headers.sizeOfInitializedData;
  Write(file, headers.SizeOfInitializedDataOffset(),
        initialized >= reloc.rawSize ? initialized - reloc.rawSize : 0, 4);
  const pe::Section& last = sections[sections.size() - 2];
  Write(file, headers.SizeOfImageOffset(),
        AlignUp(last.virtualAddress + last.virtualSize, headers.sectionAlignment), 4);
  std::fill(file.begin() + reloc.headerOffset,
            file.begin() + reloc.headerOffset + kSectionHeaderSize, 0);
  Write(file, headers.fileHeaderOffset + 2, static_cast<std::uint32_t>(sections.size() - 1), 2);
  file.resize(reloc.rawOffset);
  // A checksum of 0 means none; the linker's, when it wrote one, is made true again.
  if (headers.checksum != 0) {
    Write(file, headers.ChecksumOffset(), PeChecksum(file, headers.ChecksumOffset()), 4);
  }
  return {true, ""};
}

}  // namespace pe_fold
