// Name comparison as Windows does it for file and key names, and the registry root names.
#include <algorithm>

#include "code_page.h"
#include "machine.h"

namespace emu {
namespace {

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

// Character by character through the upcase table; bytes that are no UTF-8 (a host bug, the
// machine keeps its text as UTF-8) are kept as they are, so such names still compare equal.
std::string UpperName(std::string_view name) {
  std::string upper;
  upper.reserve(name.size());
  for (std::size_t pos = 0; pos < name.size();) {
    const std::size_t start = pos;
    bool valid = true;
    const char32_t c = NextCodePoint(name, pos, valid);
    if (valid) {
      AppendUtf8(upper, UpperCodePoint(c));
    } else {
      upper.append(name.substr(start, pos - start));
    }
  }
  return upper;
}

bool SameName(std::string_view a, std::string_view b) {
  return UpperName(a) == UpperName(b);
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
