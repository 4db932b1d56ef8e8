// Injected faults: operations that fail on every call, and the fault sweep's single failure.
#include <algorithm>
#include <vector>

#include "kernel_state.h"
#include "platform_api.h"
#include "state.h"

namespace emu {
namespace {

enum class Use { Quiet, Traced, Failable };
struct Operation {
  const char* name;
  Use use;
};

#define ORBELLE_OPERATION(dll, type, name, parameters, use) {#name, Use::use},
constexpr Operation kOperations[] = {ORBELLE_API(ORBELLE_OPERATION)
                                         ORBELLE_API_FOUND(ORBELLE_OPERATION)};
#undef ORBELLE_OPERATION

}  // namespace

std::span<const char* const> FailableOperations() {
  static const std::vector<const char*> failable = [] {
    std::vector<const char*> names;
    for (const Operation& op : kOperations) {
      if (op.use == Use::Failable) names.push_back(op.name);
    }
    return names;
  }();
  return failable;
}

bool IsFailableOperation(std::string_view name) {
  return std::ranges::any_of(kOperations, [name](const Operation& op) {
    return op.use == Use::Failable && name == op.name;
  });
}

std::string CanonicalTracedOperation(std::string_view name) {
  for (const Operation& op : kOperations) {
    if (op.use != Use::Quiet && SameName(name, op.name)) return op.name;
  }
  return "";
}

std::string CanonicalFailableOperation(std::string_view name) {
  for (const char* op : FailableOperations()) {
    if (SameName(name, op)) return op;
  }
  return "";
}

namespace detail {

bool InjectedFailure(std::string_view operation) {
  Session& session = CurrentSession();
  const Faults& faults = session.scenario.faults;
  // Nobody checks RegCloseKey's result, so a sweep that failed it would find nothing.
  if (operation != "RegCloseKey") {
    const long call = ++Kernel(session).checkedCalls;
    if (faults.failCallNumber > 0 && call == faults.failCallNumber) {
      Trace("(fault sweep: call " + std::to_string(call) + " fails)");
      return true;
    }
  }
  return faults.failingOperations.count(std::string(operation)) > 0;
}

}  // namespace detail
}  // namespace emu
