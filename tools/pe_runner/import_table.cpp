#include "import_table.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "bridge_derived.h"
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

// nullptr: written by hand.
template <auto Function>
constexpr BridgeHandler ImportedHandler() {
  using F = std::remove_pointer_t<decltype(Function)>;
  if constexpr (derived::Signature<F>::kDerivable) return &derived::Imported<Function>;
  return nullptr;
}
template <class F>
constexpr BridgeHandler FoundHandler() {
  if constexpr (derived::Signature<F>::kDerivable) return &derived::Found<F>;
  return nullptr;
}

#define RUNNER_IMPORTED(dll, type, name, parameters, use)                \
  {#dll ".dll", #name, derived::Signature<decltype(::name)>::kArguments, \
   derived::Signature<decltype(::name)>::kCdecl, ImportedHandler<&::name>()},
#define RUNNER_FOUND(dll, type, name, parameters, use)                  \
  {#dll ".dll", #name, derived::Signature<type parameters>::kArguments, \
   derived::Signature<type parameters>::kCdecl, FoundHandler<type parameters>()},
constexpr BridgeRow kTableRows[] = {ORBELLE_API(RUNNER_IMPORTED) ORBELLE_API_FOUND(RUNNER_FOUND)};
#undef RUNNER_IMPORTED
#undef RUNNER_FOUND

// A hand-written handler takes the place of a derived one; a row left with neither, or a
// handler that names no row, is a bridge that cannot start.
std::vector<BridgeRow> Assemble() {
  std::vector<BridgeRow> rows(std::begin(kTableRows), std::end(kTableRows));
  for (auto part : {Kernel32Handlers(), Advapi32Handlers(), User32Handlers()}) {
    for (const HandWritten& hand : part) {
      auto row = std::ranges::find_if(
          rows, [&](const BridgeRow& each) { return std::string_view(each.name) == hand.name; });
      if (row == rows.end()) {
        throw std::logic_error(std::string("a bridge handler for ") + hand.name +
                               ", which the API table does not have");
      }
      row->handler = hand.handler;
    }
  }
  for (const BridgeRow& row : rows) {
    if (!row.handler) throw std::logic_error(std::string("no bridge handler for ") + row.name);
  }
  return rows;
}

}  // namespace

std::span<const BridgeRow> BridgeRows() {
  static const std::vector<BridgeRow> rows = Assemble();
  return rows;
}

const BridgeRow* FindBridgeRow(std::string_view dll, std::string_view name) {
  for (const BridgeRow& row : BridgeRows()) {
    if (name == row.name && SameDll(dll, row.dll)) return &row;
  }
  return nullptr;
}

}  // namespace runner
