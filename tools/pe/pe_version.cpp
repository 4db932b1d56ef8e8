#include "pe_version.h"

namespace pe {

namespace {

// Version trees are three or four levels deep; a deeper one is damaged, and the bound keeps a
// hostile one from exhausting the stack.
constexpr int kMaxDepth = 8;

std::size_t Align4(std::size_t at) {
  return (at + 3) & ~std::size_t{3};
}

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

class BlockReader {
 public:
  explicit BlockReader(const std::vector<std::uint8_t>& data) : view_(data, "version resource") {}

  // The block at `at`, which must end by `end`.
  VersionBlock Read(std::size_t at, std::size_t end, int depth) const {
    if (depth > kMaxDepth) throw PeError("version resource: nested too deeply");
    const std::size_t length = view_.U16(at, "version block length");
    const std::size_t valueLength = view_.U16(at + 2, "version block value length");
    const std::uint16_t type = view_.U16(at + 4, "version block type");
    if (length < 6 || length > end - at) throw PeError("version resource: block overruns");
    const std::size_t blockEnd = at + length;
    VersionBlock block;
    block.isText = type == 1;
    std::size_t p = at + 6;
    for (;; p += 2) {
      if (p + 2 > blockEnd) throw PeError("version resource: key is not terminated");
      const char16_t c = view_.U16(p, "version block key");
      if (c == 0) break;
      block.key += c;
    }
    p = Align4(p + 2);
    // Text values count UTF-16 units, binary ones bytes.
    const std::size_t valueBytes = block.isText ? 2 * valueLength : valueLength;
    if (valueBytes > 0) {
      if (p > blockEnd || valueBytes > blockEnd - p)
        throw PeError("version resource: value overruns its block");
      const auto value = view_.Span(p, valueBytes, "version block value");
      block.value.assign(value.begin(), value.end());
      p = Align4(p + valueBytes);
    }
    while (p + 6 <= blockEnd) {
      block.children.push_back(Read(p, blockEnd, depth + 1));
      p = Align4(p + view_.U16(p, "version block length"));
    }
    return block;
  }

 private:
  ByteView view_;
};

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

}  // namespace

VersionBlock ReadVersionBlocks(const Resource& resource) {
  return BlockReader(resource.data).Read(0, resource.data.size(), 0);
}

VersionInfo ReadVersionInfo(const Resource& resource) {
  const VersionBlock root = ReadVersionBlocks(resource);
  if (root.key != u"VS_VERSION_INFO")
    throw PeError("version resource: root is not VS_VERSION_INFO");
  // VS_FIXEDFILEINFO: 13 DWORDs, the first its signature.
  if (root.value.size() != 52 || Le32(root.value, 0) != 0xFEEF04BDu)
    throw PeError("version resource: no VS_FIXEDFILEINFO");
  VersionInfo info;
  info.fileVersionMs = Le32(root.value, 8);
  info.fileVersionLs = Le32(root.value, 12);
  info.productVersionMs = Le32(root.value, 16);
  info.productVersionLs = Le32(root.value, 20);
  info.fileFlagsMask = Le32(root.value, 24);
  info.fileFlags = Le32(root.value, 28);
  info.fileOs = Le32(root.value, 32);
  info.fileType = Le32(root.value, 36);
  info.fileSubtype = Le32(root.value, 40);
  for (const VersionBlock& child : root.children) {
    if (child.key == u"StringFileInfo") {
      for (const VersionBlock& table : child.children) {
        for (const VersionBlock& entry : table.children) {
          VersionString s{Narrow(table.key), Narrow(entry.key), {}, false};
          for (std::size_t i = 0; i + 1 < entry.value.size(); i += 2) {
            const char16_t c = static_cast<char16_t>(entry.value[i] | entry.value[i + 1] << 8);
            if (c == 0) {
              s.terminated = true;
              break;
            }
            s.text += c;
          }
          info.strings.push_back(std::move(s));
        }
      }
    } else if (child.key == u"VarFileInfo") {
      for (const VersionBlock& var : child.children) {
        if (var.key != u"Translation") continue;
        for (std::size_t i = 0; i + 3 < var.value.size(); i += 4) {
          info.translations.push_back(
              {static_cast<std::uint16_t>(var.value[i] | var.value[i + 1] << 8),
               static_cast<std::uint16_t>(var.value[i + 2] | var.value[i + 3] << 8)});
        }
      }
    }
  }
  return info;
}

}  // namespace pe
