// The version resource (RT_VERSION, a VS_VERSIONINFO tree): the fixed file information and
// the texts and translations Explorer shows in a file's properties.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pe_resources.h"

namespace pe {

inline constexpr std::uint16_t kRtVersion = 16;
inline constexpr std::uint16_t kRtManifest = 24;

// One node: wLength, wValueLength, wType, a NUL-terminated UTF-16 key, the value and the
// children, each aligned to 4 bytes from the start of the resource.
struct VersionBlock {
  std::u16string key;
  bool isText = false;              // wType 1: the value is UTF-16 text
  std::vector<std::uint8_t> value;  // as stored, padding excluded
  std::vector<VersionBlock> children;
};

struct VersionString {
  std::string table;  // the StringTable's key: language and code page in hex, "040904E4"
  std::string name;
  std::u16string text;  // up to the terminating NUL
  bool terminated;      // the NUL lies within the value's declared length
};

struct Translation {
  std::uint16_t language;
  std::uint16_t codePage;
};

struct VersionInfo {
  std::uint32_t fileVersionMs = 0, fileVersionLs = 0;
  std::uint32_t productVersionMs = 0, productVersionLs = 0;
  std::uint32_t fileFlagsMask = 0, fileFlags = 0, fileOs = 0, fileType = 0, fileSubtype = 0;
  std::vector<VersionString> strings;
  std::vector<Translation> translations;
};

VersionBlock ReadVersionBlocks(const Resource& resource);

// The root "VS_VERSION_INFO" with its VS_FIXEDFILEINFO, StringFileInfo and VarFileInfo.
// Throws PeError when the tree is damaged or is not a version resource.
VersionInfo ReadVersionInfo(const Resource& resource);

}  // namespace pe
