#include "pe_image.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace pe {

Image::Image(std::vector<std::uint8_t> bytes, std::string name)
    : bytes_(std::move(bytes)), view_(bytes_, std::move(name)) {}

Image Image::Load(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PeError(path.string() + ": cannot be read");
  std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  return Parse(std::move(bytes), path.string());
}

Image Image::Parse(std::vector<std::uint8_t> bytes, std::string name) {
  Image image(std::move(bytes), std::move(name));
  image.ParseHeaders();
  return image;
}

void Image::ParseHeaders() {
  const ByteView& v = view_;
  if (v.U16(0, "DOS header") != 0x5A4D) throw PeError(v.name() + ": no MZ signature");
  const std::size_t pe = v.U32(0x3C, "offset of the PE header");
  if (v.U32(pe, "PE signature") != 0x00004550) throw PeError(v.name() + ": no PE signature");

  const std::size_t file = pe + 4;
  headers_.fileHeaderOffset = file;
  headers_.machine = v.U16(file, "machine");
  const std::uint16_t sectionCount = v.U16(file + 2, "number of sections");
  headers_.symbolTableOffset = v.U32(file + 8, "symbol table offset");
  const std::uint16_t optionalSize = v.U16(file + 16, "size of the optional header");
  headers_.fileCharacteristics = v.U16(file + 18, "characteristics");

  const std::size_t opt = file + 20;
  headers_.optionalOffset = opt;
  const std::uint16_t magic = v.U16(opt, "optional header magic");
  if (magic != 0x10B && magic != 0x20B)
    throw PeError(v.name() + ": optional header is neither PE32 nor PE32+");
  headers_.pe32Plus = magic == 0x20B;
  headers_.sizeOfInitializedData = v.U32(opt + 8, "size of initialised data");
  headers_.entryRva = v.U32(opt + 16, "entry point");
  headers_.imageBase =
      headers_.pe32Plus ? v.U64(opt + 24, "image base") : v.U32(opt + 28, "image base");
  headers_.sectionAlignment = v.U32(opt + 32, "section alignment");
  headers_.fileAlignment = v.U32(opt + 36, "file alignment");
  headers_.osMajor = v.U16(opt + 40, "OS version");
  headers_.osMinor = v.U16(opt + 42, "OS version");
  headers_.subsystemMajor = v.U16(opt + 48, "subsystem version");
  headers_.subsystemMinor = v.U16(opt + 50, "subsystem version");
  headers_.sizeOfImage = v.U32(opt + 56, "size of image");
  headers_.sizeOfHeaders = v.U32(opt + 60, "size of headers");
  headers_.checksum = v.U32(opt + 64, "checksum");
  headers_.subsystem = v.U16(opt + 68, "subsystem");
  headers_.dllCharacteristics = v.U16(opt + 70, "DLL characteristics");
  // The stack's reserve and commit: pointer-sized, as the image base.
  if (headers_.pe32Plus) {
    headers_.stackReserve = v.U64(opt + 72, "stack reserve");
    headers_.stackCommit = v.U64(opt + 80, "stack commit");
  } else {
    headers_.stackReserve = v.U32(opt + 72, "stack reserve");
    headers_.stackCommit = v.U32(opt + 76, "stack commit");
  }
  const std::size_t counts = opt + (headers_.pe32Plus ? 108 : 92);
  const std::uint32_t directoryCount = v.U32(counts, "number of data directories");
  headers_.directoriesOffset = counts + 4;
  headers_.directoryCount = directoryCount;
  const std::size_t fixedSize = counts + 4 - opt;
  if (optionalSize < fixedSize || directoryCount > 16 ||
      (optionalSize - fixedSize) / 8 < directoryCount) {
    throw PeError(v.name() + ": optional header size and directory count disagree");
  }
  for (std::uint32_t i = 0; i < directoryCount; ++i) {
    headers_.directories[i].rva = v.U32(counts + 4 + 8 * i, "data directory");
    headers_.directories[i].size = v.U32(counts + 8 + 8 * i, "data directory");
  }

  const std::size_t table = opt + optionalSize;
  headers_.sectionTableOffset = table;
  for (std::uint16_t i = 0; i < sectionCount; ++i) {
    const std::size_t at = table + 40 * std::size_t{i};
    Section s;
    s.headerOffset = at;
    const auto name = v.Span(at, 8, "section name");
    for (const std::uint8_t c : name) {
      if (c == 0) break;
      s.name += static_cast<char>(c);
    }
    s.virtualSize = v.U32(at + 8, "section header");
    s.virtualAddress = v.U32(at + 12, "section header");
    s.rawSize = v.U32(at + 16, "section header");
    s.rawOffset = v.U32(at + 20, "section header");
    s.characteristics = v.U32(at + 36, "section header");
    v.Span(s.rawOffset, s.rawSize, "section data");  // the data must be in the file
    sections_.push_back(std::move(s));
  }
}

std::size_t Image::Offset(std::uint32_t rva, std::size_t count, const char* what) const {
  const std::uint64_t end = std::uint64_t{rva} + count;
  if (end <= headers_.sizeOfHeaders && end <= bytes_.size()) return rva;
  for (const Section& s : sections_) {
    const std::uint64_t start = s.virtualAddress;
    // Only what is both mapped and backed by file data: beyond the file data the loader
    // supplies zeros, and file padding beyond the virtual size is not mapped at all.
    const std::uint64_t backed =
        s.virtualSize != 0 ? std::min(s.virtualSize, s.rawSize) : s.rawSize;
    if (rva >= start && end <= start + backed) {
      return s.rawOffset + (rva - s.virtualAddress);
    }
  }
  throw PeError(view_.name() + ": " + what + " at RVA " + std::to_string(rva) + " (" +
                std::to_string(count) + " bytes) is not in the file data of any section");
}

}  // namespace pe
