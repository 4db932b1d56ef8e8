// Name comparison as Windows does it for file and key names, and the registry root names.
#include <algorithm>

#include "machine.h"

namespace emu {
namespace {

// Windows-1252 letters with an upper-case partner: the system upcase table maps them as
// Unicode does (a-z, the accented Latin-1 letters, s/z/oe with caron or ligature, y diaeresis).
unsigned char Upper(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  switch (c) {
    case 0x9A:  // s caron
    case 0x9C:  // oe
    case 0x9E:  // z caron
      return static_cast<unsigned char>(c - 0x10);
    case 0xFF:  // y diaeresis
      return 0x9F;
    default:
      return c;
  }
}

struct RootNames {
  Root root;
  const char* full;
  const char* shortName;
};

constexpr RootNames kRoots[] = {
    {Root::LocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
    {Root::CurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {Root::ClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},
};

}  // namespace

std::string UpperName(std::string_view name) {
  std::string upper(name);
  for (char& c : upper) c = static_cast<char>(Upper(static_cast<unsigned char>(c)));
  return upper;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && UpperName(a) == UpperName(b);
}

const char* RootName(Root root) {
  for (const auto& names : kRoots) {
    if (names.root == root) return names.full;
  }
  return "?";
}

const char* ShortRootName(Root root) {
  for (const auto& names : kRoots) {
    if (names.root == root) return names.shortName;
  }
  return "?";
}

std::optional<Root> ParseRootName(std::string_view name) {
  for (const auto& names : kRoots) {
    if (SameName(name, names.full) || SameName(name, names.shortName)) return names.root;
  }
  return std::nullopt;
}

}  // namespace emu
