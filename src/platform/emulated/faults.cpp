// Injected faults: operations that fail on every call, and the fault sweep's single failure.
#include <algorithm>
#include <array>

#include "state.h"

namespace emu {
namespace {

constexpr std::array<const char*, 16> kFailable = {
    "GetFileAttributesA", "DeleteFileA",    "RemoveDirectoryA",   "CopyFileA",
    "MoveFileExA",        "GetTempPathA",   "GetModuleFileNameA", "CreateProcessA",
    "CloseHandle",        "RegOpenKeyA",    "RegEnumKeyA",        "RegDeleteKeyA",
    "RegCloseKey",        "RegQueryValueA", "RegSetValueA",       "RegQueryValueExA"};

}  // namespace

std::span<const char* const> FailableOperations() {
  return kFailable;
}

bool IsFailableOperation(std::string_view name) {
  return std::ranges::any_of(kFailable, [name](const char* op) { return name == op; });
}

namespace detail {

bool InjectedFailure(std::string_view operation) {
  Faults& faults = CurrentMachine().faults;
  // Nobody checks RegCloseKey's result, so a sweep that failed it would find nothing.
  if (operation != "RegCloseKey") {
    ++faults.checkedCalls;
    if (faults.failCallNumber > 0 && faults.checkedCalls == faults.failCallNumber) {
      Trace("(fault sweep: call " + std::to_string(faults.checkedCalls) + " fails)");
      return true;
    }
  }
  return faults.failingOperations.count(std::string(operation)) > 0;
}

}  // namespace detail
}  // namespace emu
