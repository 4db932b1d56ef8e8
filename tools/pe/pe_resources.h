// The resource directory of a PE file, and the two resource formats the program carries:
// string tables and icon groups.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pe_image.h"

namespace pe {

inline constexpr std::uint16_t kRtIcon = 3;
inline constexpr std::uint16_t kRtString = 6;
inline constexpr std::uint16_t kRtGroupIcon = 14;

// A resource type or name: a number, or a string (UTF-16, kept as code units).
struct ResourceKey {
  bool isName = false;
  std::uint16_t id = 0;
  std::u16string name;
  std::string Describe() const;
};

struct Resource {
  ResourceKey type;
  ResourceKey name;
  std::uint16_t language = 0;
  std::vector<std::uint8_t> data;
};

// Every resource, in directory order (types, then names, then languages).
std::vector<Resource> ReadResources(const Image& image);

struct StringResource {
  std::uint16_t id;
  std::uint16_t language;
  std::u16string text;
};

// The strings of every RT_STRING block: block N holds IDs 16(N-1) to 16N-1, each stored as a
// length and that many UTF-16 units. Empty strings are absent, as LoadString sees them.
std::vector<StringResource> ReadStringTable(const std::vector<Resource>& resources);

struct IconImage {
  std::uint8_t width, height;  // 0 stands for 256
  std::uint8_t colourCount;    // 0 when 256 colours or more
  std::uint16_t planes, bitCount;
  std::uint32_t bytes;
  std::uint16_t iconId;  // the RT_ICON resource holding the image
};

// The images listed by an RT_GROUP_ICON resource (GRPICONDIR).
std::vector<IconImage> ReadIconGroup(const Resource& group);

// The text as LoadStringA returns it on a Windows-1252 system; `lossless` is cleared when a
// character has no Windows-1252 byte (it becomes '?', as WideCharToMultiByte makes it).
std::string ToWindows1252(const std::u16string& text, bool& lossless);

}  // namespace pe
