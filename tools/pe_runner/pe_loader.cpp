#include "pe_loader.h"

#include <algorithm>

#include "pe_image.h"
#include "pe_imports.h"
#include "pe_relocations.h"

namespace runner {
namespace {

constexpr std::uint64_t kPage = 0x1000;

std::uint64_t PageUp(std::uint64_t size) {
  return (size + kPage - 1) & ~(kPage - 1);
}

std::uint32_t ProtectionOf(std::uint32_t characteristics) {
  std::uint32_t protection = UC_PROT_NONE;
  if (characteristics & pe::kScnRead) protection |= UC_PROT_READ;
  if (characteristics & pe::kScnWrite) protection |= UC_PROT_WRITE;
  if (characteristics & pe::kScnExecute) protection |= UC_PROT_EXEC | UC_PROT_READ;
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

std::uint64_t Get(const std::vector<std::uint8_t>& memory, std::uint64_t rva, unsigned size) {
  if (rva + size > memory.size()) throw GuestFault("a relocation lies beyond the image");
  std::uint64_t value = 0;
  for (unsigned i = 0; i < size; ++i) value |= std::uint64_t{memory[rva + i]} << 8 * i;
  return value;
}

void Put(std::vector<std::uint8_t>& memory, std::uint64_t rva, std::uint64_t value, unsigned size) {
  if (rva + size > memory.size()) throw GuestFault("an import slot lies beyond the image");
  for (unsigned i = 0; i < size; ++i) memory[rva + i] = static_cast<std::uint8_t>(value >> 8 * i);
}

// Any type but the two a linker emits would have the loader refuse the image.
void Relocate(std::vector<std::uint8_t>& memory, const pe::Image& image, std::uint64_t delta) {
  for (const pe::Relocation& relocation : pe::ReadRelocations(image)) {
    unsigned size = relocation.type == pe::kRelHighLow ? 4
                    : relocation.type == pe::kRelDir64 ? 8
                                                       : 0;
    if (size == 0) {
      throw GuestFault("relocation type " + std::to_string(relocation.type) + " is not supported");
    }
    Put(memory, relocation.rva, Get(memory, relocation.rva, size) + delta, size);
  }
}

void BindImports(std::vector<std::uint8_t>& memory, const pe::Image& image, unsigned pointerSize,
                 const ImportBinder& bind) {
  for (const pe::ImportedDll& dll : pe::ReadImports(image)) {
    for (const pe::ImportedFunction& function : dll.functions)
      Put(memory, function.slotRva, bind(dll.name, function.name), pointerSize);
  }
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
  loaded.stackReserve = headers.stackReserve;
  loaded.stackCommit = headers.stackCommit;

  std::vector<std::uint8_t> memory = Lay(image);
  try {
    if (loaded.base != loaded.preferredBase) {
      if (headers.directories[pe::kRelocDir].rva == 0)
        throw GuestFault("the image cannot move: it has no relocations");
      Relocate(memory, image, loaded.base - loaded.preferredBase);
    }
    BindImports(memory, image, cpu.pointerSize(), bind);
  } catch (const pe::PeError& error) {
    throw GuestFault(std::string("not a loadable PE file: ") + error.what());
  }

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
    if (section.characteristics & pe::kScnExecute) loaded.code.push_back({at, at + size});
  }
  return loaded;
}

}  // namespace runner
