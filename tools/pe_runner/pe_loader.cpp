#include "pe_loader.h"

#include <algorithm>

#include "pe_image.h"

namespace runner {
namespace {

constexpr std::uint32_t kScnExecute = 0x20000000;
constexpr std::uint32_t kScnRead = 0x40000000;
constexpr std::uint32_t kScnWrite = 0x80000000;
constexpr std::uint64_t kPage = 0x1000;

std::uint64_t PageUp(std::uint64_t size) {
  return (size + kPage - 1) & ~(kPage - 1);
}

std::uint32_t ProtectionOf(std::uint32_t characteristics) {
  std::uint32_t protection = UC_PROT_NONE;
  if (characteristics & kScnRead) protection |= UC_PROT_READ;
  if (characteristics & kScnWrite) protection |= UC_PROT_WRITE;
  if (characteristics & kScnExecute) protection |= UC_PROT_EXEC | UC_PROT_READ;
  return protection;
}

pe::Image ParseOrFault(const std::vector<std::uint8_t>& bytes) {
  try {
    return pe::Image::Parse(bytes, "the exe");
  } catch (const std::exception& error) {
    throw GuestFault(std::string("not a loadable PE file: ") + error.what());
  }
}

// The image as it lies in memory: headers and section data at their RVAs, the rest zero.
std::vector<std::uint8_t> Lay(const pe::Image& image) {
  const pe::Headers& headers = image.headers();
  std::vector<std::uint8_t> memory(PageUp(headers.sizeOfImage), 0);
  const auto& file = image.bytes();
  std::size_t headerBytes = std::min<std::size_t>(headers.sizeOfHeaders, file.size());
  auto head = file.Span(0, headerBytes, "the headers");
  std::copy(head.begin(), head.end(), memory.begin());
  for (const pe::Section& section : image.sections()) {
    std::size_t size =
        std::min(section.rawSize, section.virtualSize ? section.virtualSize : section.rawSize);
    if (size == 0) continue;
    if (std::uint64_t{section.virtualAddress} + size > memory.size()) {
      throw GuestFault("section " + section.name + " lies beyond SizeOfImage");
    }
    auto data = file.Span(section.rawOffset, size, "a section's data");
    std::copy(data.begin(), data.end(), memory.begin() + section.virtualAddress);
  }
  return memory;
}

std::uint32_t Get32(const std::vector<std::uint8_t>& memory, std::uint64_t rva, const char* what) {
  if (rva + 4 > memory.size()) throw GuestFault(std::string(what) + " lies beyond the image");
  return memory[rva] | memory[rva + 1] << 8 | memory[rva + 2] << 16 |
         static_cast<std::uint32_t>(memory[rva + 3]) << 24;
}

std::uint64_t Get64(const std::vector<std::uint8_t>& memory, std::uint64_t rva, const char* what) {
  return Get32(memory, rva, what) | std::uint64_t{Get32(memory, rva + 4, what)} << 32;
}

void Put(std::vector<std::uint8_t>& memory, std::uint64_t rva, std::uint64_t value, unsigned size) {
  for (unsigned i = 0; i < size; ++i) memory[rva + i] = static_cast<std::uint8_t>(value >> 8 * i);
}

std::string NameAt(const std::vector<std::uint8_t>& memory, std::uint64_t rva) {
  std::string name;
  for (; rva < memory.size() && memory[rva]; ++rva) name += static_cast<char>(memory[rva]);
  if (rva >= memory.size()) throw GuestFault("an import name lies beyond the image");
  return name;
}

// IMAGE_REL_BASED_HIGHLOW (3) on i386 and DIR64 (10) on x86_64 are what a linker emits;
// ABSOLUTE (0) pads a block. Anything else would have the loader refuse the image.
void Relocate(std::vector<std::uint8_t>& memory, const pe::DataDirectory& directory,
              std::uint64_t delta) {
  std::uint64_t at = directory.rva, end = std::uint64_t{directory.rva} + directory.size;
  while (at + 8 <= end) {
    std::uint32_t page = Get32(memory, at, "a relocation block");
    std::uint32_t blockSize = Get32(memory, at + 4, "a relocation block");
    if (blockSize < 8 || at + blockSize > end) throw GuestFault("a malformed relocation block");
    for (std::uint64_t entry = at + 8; entry + 2 <= at + blockSize; entry += 2) {
      unsigned value = memory[entry] | memory[entry + 1] << 8;
      unsigned type = value >> 12;
      std::uint64_t target = std::uint64_t{page} + (value & 0xFFF);
      if (type == 0) continue;
      if (type == 3) {
        Put(memory, target, Get32(memory, target, "a relocation") + delta, 4);
      } else if (type == 10) {
        Put(memory, target, Get64(memory, target, "a relocation") + delta, 8);
      } else {
        throw GuestFault("relocation type " + std::to_string(type) + " is not supported");
      }
    }
    at += blockSize;
  }
}

void BindImports(std::vector<std::uint8_t>& memory, const pe::DataDirectory& directory,
                 unsigned pointerSize, const ImportBinder& bind) {
  if (directory.rva == 0) return;
  for (std::uint64_t descriptor = directory.rva;; descriptor += 20) {
    std::uint32_t lookup = Get32(memory, descriptor, "an import descriptor");
    std::uint32_t nameRva = Get32(memory, descriptor + 12, "an import descriptor");
    std::uint32_t thunks = Get32(memory, descriptor + 16, "an import descriptor");
    if (nameRva == 0 && thunks == 0) return;
    std::string dll = NameAt(memory, nameRva);
    if (lookup == 0) lookup = thunks;
    for (std::uint64_t i = 0;; ++i) {
      std::uint64_t entry = pointerSize == 8 ? Get64(memory, lookup + 8 * i, "an import")
                                             : Get32(memory, lookup + 4 * i, "an import");
      if (entry == 0) break;
      bool byOrdinal = pointerSize == 8 ? (entry >> 63) != 0 : (entry >> 31) != 0;
      std::string name = byOrdinal ? "#" + std::to_string(entry & 0xFFFF)
                                   : NameAt(memory, (entry & 0x7FFFFFFF) + 2);
      Put(memory, thunks + pointerSize * i, bind(dll, name), pointerSize);
    }
  }
}

std::uint64_t Field(const pe::Image& image, std::size_t offset, unsigned size) {
  std::size_t optional = image.bytes().U32(0x3C, "e_lfanew") + 24;
  return size == 8 ? image.bytes().U64(optional + offset, "the optional header")
                   : image.bytes().U32(optional + offset, "the optional header");
}

}  // namespace

bool LoadedImage::InCode(std::uint64_t address) const {
  for (const CodeRange& range : code) {
    if (address >= range.begin && address < range.end) return true;
  }
  return false;
}

Arch PeArch(const std::vector<std::uint8_t>& bytes) {
  pe::Image image = ParseOrFault(bytes);
  if (image.headers().machine == pe::kMachineI386 && !image.headers().pe32Plus) return Arch::I386;
  if (image.headers().machine == pe::kMachineAmd64 && image.headers().pe32Plus) return Arch::X64;
  throw GuestFault("a PE file for session " + HexAddress(image.headers().machine) +
                   ", neither i386 nor x86_64");
}

LoadedImage LoadPe(Cpu& cpu, const std::vector<std::uint8_t>& bytes, std::uint64_t base,
                   const ImportBinder& bind) {
  pe::Image image = ParseOrFault(bytes);
  const pe::Headers& headers = image.headers();
  if (headers.sectionAlignment < kPage) {
    throw GuestFault("section alignment below a page is not supported");
  }
  LoadedImage loaded;
  loaded.arch = PeArch(bytes);
  loaded.preferredBase = headers.imageBase;
  loaded.base = base ? base : headers.imageBase;
  loaded.entry = loaded.base + headers.entryRva;
  loaded.sizeOfImage = PageUp(headers.sizeOfImage);
  unsigned wide = headers.pe32Plus ? 8 : 4;
  loaded.stackReserve = Field(image, 72, wide);
  loaded.stackCommit = Field(image, 72 + wide, wide);

  std::vector<std::uint8_t> memory = Lay(image);
  if (loaded.base != loaded.preferredBase) {
    const pe::DataDirectory& relocations = headers.directories[pe::kRelocDir];
    if (relocations.rva == 0) throw GuestFault("the image cannot move: it has no relocations");
    Relocate(memory, relocations, loaded.base - loaded.preferredBase);
  }
  BindImports(memory, headers.directories[pe::kImportDir], cpu.pointerSize(), bind);

  // Headers read-only, each section with its own protection; the loader writes first.
  std::uint64_t headerPages = PageUp(headers.sizeOfHeaders);
  cpu.Map(loaded.base, headerPages, UC_PROT_READ);
  cpu.Write(loaded.base, memory.data(), headerPages);
  for (const pe::Section& section : image.sections()) {
    std::uint64_t size = PageUp(std::max(section.virtualSize, section.rawSize));
    if (size == 0) continue;
    std::uint64_t at = loaded.base + section.virtualAddress;
    cpu.Map(at, size, ProtectionOf(section.characteristics));
    cpu.Write(at, memory.data() + section.virtualAddress,
              std::min<std::uint64_t>(size, memory.size() - section.virtualAddress));
    if (section.characteristics & kScnExecute) loaded.code.push_back({at, at + size});
  }
  return loaded;
}

}  // namespace runner
