// What the one API table gives the scenario reader and the runner: which names a scenario may
// fail or follow with a race, and how each bridged stub returns (the slots stdcall pops on
// i386, or none for cdecl). A wrong count corrupts the guest's stack at the first call.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "../support/case_name.h"
#include "import_table.h"
#include "session.h"

namespace {

struct NameCase {
  const char* behaviour;
  const char* written;   // as an image author may write it
  const char* failable;  // CanonicalFailableOperation, "" for none
  const char* traced;    // CanonicalTracedOperation, "" for none
};

const NameCase kNameCases[] = {
    {.behaviour = "a file call is failable in any case",
     .written = "copyfilea",
     .failable = "CopyFileA",
     .traced = "CopyFileA"},
    {.behaviour = "GetProcAddress is failable and traced once",
     .written = "GETPROCADDRESS",
     .failable = "GetProcAddress",
     .traced = "GetProcAddress"},
    {.behaviour = "a registry call is failable",
     .written = "RegCloseKey",
     .failable = "RegCloseKey",
     .traced = "RegCloseKey"},
    {.behaviour = "a rename is traced, never failed",
     .written = "movefilea",
     .failable = "",
     .traced = "MoveFileA"},
    {.behaviour = "a function found at run time is traced",
     .written = "SetDefaultDllDirectories",
     .failable = "",
     .traced = "SetDefaultDllDirectories"},
    {.behaviour = "a pure string function is neither",
     .written = "lstrlenA",
     .failable = "",
     .traced = ""},
    {.behaviour = "an unknown name is neither",
     .written = "WriteFile",
     .failable = "",
     .traced = ""},
};

class OperationNames : public testing::TestWithParam<NameCase> {};

TEST_P(OperationNames, AreReadFromTheTable) {
  const NameCase& c = GetParam();
  EXPECT_EQ(emu::CanonicalFailableOperation(c.written), c.failable);
  EXPECT_EQ(emu::IsFailableOperation(c.written), std::string(c.failable) == c.written);
  EXPECT_EQ(emu::CanonicalTracedOperation(c.written), c.traced);
}

INSTANTIATE_TEST_SUITE_P(Cases, OperationNames, testing::ValuesIn(kNameCases),
                         [](const auto& info) { return test::CaseName(info.param.behaviour); });

TEST(OperationNames, EveryFailableOneIsBridgedAndListedOnce) {
  std::set<std::string> seen;
  for (const char* name : emu::FailableOperations()) {
    EXPECT_TRUE(seen.insert(name).second) << name << " twice";
    const runner::BridgeRow* row = runner::FindBridgeRow("KERNEL32.dll", name);
    if (!row) row = runner::FindBridgeRow("ADVAPI32.dll", name);
    EXPECT_NE(row, nullptr) << name;
  }
  EXPECT_EQ(seen.size(), 27u);
}

struct StubCase {
  const char* dll;
  const char* name;
  int arguments;
  bool cdecl = false;
};

const StubCase kStubCases[] = {
    {.dll = "KERNEL32.dll", .name = "GetLastError", .arguments = 0},
    {.dll = "KERNEL32.dll", .name = "CreateProcessA", .arguments = 10},
    {.dll = "KERNEL32.dll", .name = "CreateFileA", .arguments = 7},
    {.dll = "KERNEL32.dll", .name = "SetDefaultDllDirectories", .arguments = 1},
    {.dll = "ADVAPI32.dll", .name = "RegQueryValueExA", .arguments = 6},
    {.dll = "USER32.dll", .name = "CreateWindowExA", .arguments = 12},
    {.dll = "USER32.dll", .name = "wsprintfA", .arguments = 2, .cdecl = true},
    {.dll = "SHELL32.dll", .name = "SHChangeNotify", .arguments = 4},
};

class BridgeStubs : public testing::TestWithParam<StubCase> {};

TEST_P(BridgeStubs, ReturnAsTheDeclaredFunctionDoes) {
  const StubCase& c = GetParam();
  const runner::BridgeRow* row = runner::FindBridgeRow(c.dll, c.name);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->arguments, c.arguments);
  EXPECT_EQ(row->cdecl, c.cdecl);
  EXPECT_NE(row->handler, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, BridgeStubs, testing::ValuesIn(kStubCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BridgeStubs, AFunctionOfAnotherDllIsNotFoundUnderKernel32) {
  EXPECT_EQ(runner::FindBridgeRow("KERNEL32.dll", "RegOpenKeyA"), nullptr);
  EXPECT_NE(runner::FindBridgeRow("advapi32", "RegOpenKeyA"), nullptr);
}

}  // namespace
