#include "file_attributes.h"

#include <array>
#include <utility>

#include "encoding.h"
#include "text_lines.h"

namespace machine_image {
namespace {

// FILE_ATTRIBUTE_READONLY, _HIDDEN, _SYSTEM, in the order a list is written.
constexpr std::array<std::pair<std::uint32_t, const char*>, 3> kNames = {
    {{0x1, "readonly"}, {0x2, "hidden"}, {0x4, "system"}}};

void AddNode(const emu::FsNode& node, const std::string& path, std::string& out) {
  if (node.attributes != 0) out += path + "=" + AttributeList(node.attributes) + "\r\n";
  if (!node.directory || node.linkTarget) return;
  for (const auto& [upper, child] : node.children) AddNode(*child, path + "\\" + child->name, out);
}

}  // namespace

std::optional<std::uint32_t> ParseAttributes(std::string_view list) {
  std::uint32_t attributes = 0;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t comma = list.find(',', start);
    if (comma == std::string_view::npos) comma = list.size();
    const std::string word = LowerAscii(Trim(list.substr(start, comma - start)));
    bool known = false;
    for (const auto& [bit, name] : kNames) {
      if (word == name) {
        attributes |= bit;
        known = true;
      }
    }
    if (!known) return std::nullopt;
    start = comma + 1;
  }
  return attributes;
}

std::string AttributeList(std::uint32_t attributes) {
  std::string list;
  for (const auto& [bit, name] : kNames) {
    if (attributes & bit) list += (list.empty() ? "" : ",") + std::string(name);
  }
  return list;
}

std::string AttributesIni(const emu::FileSystem& files) {
  std::string lines;
  for (const auto& [letter, root] : files.drives) {
    for (const auto& [upper, child] : root.children) {
      AddNode(*child, std::string{letter, ':'} + "\\" + child->name, lines);
    }
  }
  return lines.empty() ? std::string() : "[attributes]\r\n" + lines;
}

}  // namespace machine_image
