#include "pe_resources.h"

#include <array>

namespace pe {
namespace {

// Three levels (type, name, language). Only a corrupt file shares subdirectories between
// entries, which could make the walk take for ever; these bounds stop it.
constexpr std::size_t kMaxResources = 65536;
constexpr std::size_t kMaxEntriesVisited = 1 << 20;

class DirectoryWalker {
 public:
  DirectoryWalker(const Image& image, std::vector<Resource>& out)
      : image_(image),
        v_(image.bytes()),
        base_(image.headers().directories[kResourceDir].rva),
        out_(out) {}

  void Walk(std::uint32_t offset, int level, Resource& path) {
    const std::size_t at = image_.Offset(base_ + offset, 16, "resource directory");
    const std::size_t count =
        std::size_t{v_.U16(at + 12, "resource directory")} + v_.U16(at + 14, "resource directory");
    for (std::size_t i = 0; i < count; ++i) {
      if (++visited_ > kMaxEntriesVisited)
        throw PeError(v_.name() + ": resource directory is too large");
      const std::size_t entry = image_.Offset(
          base_ + offset + 16 + static_cast<std::uint32_t>(8 * i), 8, "resource directory entry");
      const std::uint32_t nameField = v_.U32(entry, "resource directory entry");
      const std::uint32_t target = v_.U32(entry + 4, "resource directory entry");
      ResourceKey key = Key(nameField);
      if (level == 0) path.type = key;
      if (level == 1) path.name = key;
      if (level == 2) path.language = key.id;
      const bool isDirectory = (target & 0x80000000u) != 0;
      if (level < 2) {
        if (!isDirectory)
          throw PeError(v_.name() + ": resource directory ends before the language level");
        Walk(target & 0x7FFFFFFFu, level + 1, path);
      } else {
        if (isDirectory)
          throw PeError(v_.name() + ": resource directory nests deeper than three levels");
        if (out_.size() == kMaxResources) throw PeError(v_.name() + ": too many resources");
        const std::size_t leaf = image_.Offset(base_ + target, 16, "resource data entry");
        const std::uint32_t dataRva = v_.U32(leaf, "resource data entry");
        const std::uint32_t size = v_.U32(leaf + 4, "resource data entry");
        const auto data =
            v_.Span(image_.Offset(dataRva, size, "resource data"), size, "resource data");
        Resource found = path;
        found.data.assign(data.begin(), data.end());
        out_.push_back(std::move(found));
      }
    }
  }

 private:
  ResourceKey Key(std::uint32_t field) const {
    ResourceKey key;
    if ((field & 0x80000000u) == 0) {
      key.id = static_cast<std::uint16_t>(field);
      return key;
    }
    key.isName = true;
    const std::uint32_t offset = field & 0x7FFFFFFFu;
    const std::size_t at = image_.Offset(base_ + offset, 2, "resource name");
    const std::uint16_t length = v_.U16(at, "resource name");
    const std::size_t chars =
        image_.Offset(base_ + offset + 2, 2 * std::size_t{length}, "resource name");
    for (std::uint16_t i = 0; i < length; ++i)
      key.name += static_cast<char16_t>(v_.U16(chars + 2 * i, "resource name"));
    return key;
  }

  const Image& image_;
  const ByteView& v_;
  std::uint32_t base_;
  std::vector<Resource>& out_;
  std::size_t visited_ = 0;
};

std::uint16_t Le16(const std::vector<std::uint8_t>& data, std::size_t at, const char* what) {
  if (at + 2 > data.size()) throw PeError(std::string(what) + " is cut short");
  return static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
}

// Windows-1252 bytes 0x80-0x9F; the rest of the code page is Latin-1. Undefined bytes are 0.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

std::string ResourceKey::Describe() const {
  if (!isName) return std::to_string(id);
  std::string text = "\"";
  for (const char16_t c : name) text += c < 0x80 ? static_cast<char>(c) : '?';
  return text + "\"";
}

std::vector<Resource> ReadResources(const Image& image) {
  std::vector<Resource> resources;
  if (image.headers().directories[kResourceDir].rva == 0) return resources;
  Resource path;
  DirectoryWalker(image, resources).Walk(0, 0, path);
  return resources;
}

std::vector<StringResource> ReadStringTable(const std::vector<Resource>& resources) {
  std::vector<StringResource> strings;
  for (const Resource& r : resources) {
    if (r.type.isName || r.type.id != kRtString) continue;
    if (r.name.isName || r.name.id == 0 || r.name.id > 4096)
      throw PeError("string block " + r.name.Describe() + " has no valid number");
    std::size_t at = 0;
    for (unsigned i = 0; i < 16; ++i) {
      const std::uint16_t length = Le16(r.data, at, "string block");
      at += 2;
      std::u16string text;
      for (std::uint16_t k = 0; k < length; ++k, at += 2)
        text += static_cast<char16_t>(Le16(r.data, at, "string block"));
      if (length != 0) {
        strings.push_back(
            {static_cast<std::uint16_t>((r.name.id - 1) * 16 + i), r.language, std::move(text)});
      }
    }
  }
  return strings;
}

std::vector<IconImage> ReadIconGroup(const Resource& group) {
  const auto& d = group.data;
  if (Le16(d, 0, "icon group") != 0 || Le16(d, 2, "icon group") != 1)
    throw PeError("icon group header is not an icon's");
  const std::uint16_t count = Le16(d, 4, "icon group");
  std::vector<IconImage> images;
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::size_t at = 6 + 14 * std::size_t{i};
    if (at + 14 > d.size()) throw PeError("icon group entry is cut short");
    IconImage image;
    image.width = d[at];
    image.height = d[at + 1];
    image.colourCount = d[at + 2];
    image.planes = Le16(d, at + 4, "icon group");
    image.bitCount = Le16(d, at + 6, "icon group");
    image.bytes = Le16(d, at + 8, "icon group") |
                  static_cast<std::uint32_t>(Le16(d, at + 10, "icon group")) << 16;
    image.iconId = Le16(d, at + 12, "icon group");
    images.push_back(image);
  }
  return images;
}

std::string ToWindows1252(const std::u16string& text, bool& lossless) {
  std::string bytes;
  for (const char16_t c : text) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      bytes += static_cast<char>(c);
      continue;
    }
    char byte = '?';
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
      if (kHighControls[i] != 0 && kHighControls[i] == c) byte = static_cast<char>(0x80 + i);
    }
    if (byte == '?') lossless = false;
    bytes += byte;
  }
  return bytes;
}

}  // namespace pe
