// The headers and section table of a PE file (PE32 or PE32+), and RVA-to-offset mapping: what
// pe-inspect, the PE checks, the runner's loader and pe-fold all read a PE file through. The
// file offsets of the fields pe-fold rewrites are kept beside their values.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "byte_view.h"

namespace pe {

inline constexpr std::uint16_t kMachineI386 = 0x014C;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::uint16_t kSubsystemWindowsGui = 2;
inline constexpr std::uint16_t kSubsystemWindowsCui = 3;

enum Directory : std::size_t {
  kExportDir = 0,
  kImportDir = 1,
  kResourceDir = 2,
  kRelocDir = 5,
  kIatDir = 12
};

struct DataDirectory {
  std::uint32_t rva = 0;
  std::uint32_t size = 0;
};

inline constexpr std::uint32_t kScnExecute = 0x20000000;
inline constexpr std::uint32_t kScnRead = 0x40000000;
inline constexpr std::uint32_t kScnWrite = 0x80000000;

struct Section {
  std::size_t headerOffset = 0;  // where its 40-byte header lies in the file
  std::string name;
  std::uint32_t virtualAddress = 0;
  std::uint32_t virtualSize = 0;
  std::uint32_t rawOffset = 0;
  std::uint32_t rawSize = 0;
  std::uint32_t characteristics = 0;
};

struct Headers {
  // File offsets: the COFF file header (after "PE\0\0"), the optional header, its data
  // directories and the section table.
  std::size_t fileHeaderOffset = 0, optionalOffset = 0, directoriesOffset = 0;
  std::size_t sectionTableOffset = 0;
  std::uint16_t machine = 0;
  std::uint32_t symbolTableOffset = 0;  // 0 in a stripped file
  std::uint16_t fileCharacteristics = 0;
  bool pe32Plus = false;
  std::uint32_t sizeOfInitializedData = 0;
  std::uint32_t entryRva = 0;
  std::uint64_t imageBase = 0;
  std::uint32_t sectionAlignment = 0;
  std::uint32_t fileAlignment = 0;
  std::uint16_t osMajor = 0, osMinor = 0;
  std::uint16_t subsystemMajor = 0, subsystemMinor = 0;
  std::uint32_t sizeOfImage = 0;
  std::uint32_t sizeOfHeaders = 0;
  std::uint32_t checksum = 0;
  std::uint16_t subsystem = 0;
  std::uint16_t dllCharacteristics = 0;
  std::uint64_t stackReserve = 0, stackCommit = 0;
  std::uint32_t directoryCount = 0;
  std::array<DataDirectory, 16> directories{};

  // Where the optional header's fields and directory entries lie in the file.
  std::size_t SizeOfInitializedDataOffset() const { return optionalOffset + 8; }
  std::size_t SizeOfImageOffset() const { return optionalOffset + 56; }
  std::size_t ChecksumOffset() const { return optionalOffset + 64; }
  std::size_t DirectoryOffset(std::size_t index) const { return directoriesOffset + 8 * index; }
};

class Image {
 public:
  static Image Load(const std::filesystem::path& path);
  static Image Parse(std::vector<std::uint8_t> bytes, std::string name);

  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  Image(Image&&) = default;
  Image& operator=(Image&&) = default;

  const Headers& headers() const { return headers_; }
  const std::vector<Section>& sections() const { return sections_; }
  const ByteView& bytes() const { return view_; }
  std::size_t fileSize() const { return bytes_.size(); }

  // The file offset of `count` bytes at `rva`; they must lie within one section's file data
  // (or the headers). Throws PeError naming `what` otherwise.
  std::size_t Offset(std::uint32_t rva, std::size_t count, const char* what) const;

 private:
  Image(std::vector<std::uint8_t> bytes, std::string name);
  void ParseHeaders();

  std::vector<std::uint8_t> bytes_;
  ByteView view_;
  Headers headers_;
  std::vector<Section> sections_;
};

}  // namespace pe
