#include "import_table.h"

#include <vector>

#include "session.h"

namespace runner {
namespace {

// "KERNEL32.dll" and "KERNEL32" name the same module.
bool SameDll(std::string_view a, std::string_view b) {
  auto strip = [](std::string_view name) {
    return name.size() > 4 && emu::SameName(name.substr(name.size() - 4), ".DLL")
               ? name.substr(0, name.size() - 4)
               : name;
  };
  return emu::SameName(strip(a), strip(b));
}

}  // namespace

std::span<const BridgeRow> BridgeRows() {
  static const std::vector<BridgeRow> rows = [] {
    std::vector<BridgeRow> all;
    for (auto part : {Kernel32Rows(), Advapi32Rows(), User32Rows()})
      all.insert(all.end(), part.begin(), part.end());
    return all;
  }();
  return rows;
}

const BridgeRow* FindBridgeRow(std::string_view dll, std::string_view name) {
  for (const BridgeRow& row : BridgeRows()) {
    if (name == row.name && SameDll(dll, row.dll)) return &row;
  }
  return nullptr;
}

}  // namespace runner
