// The bridge as a whole: every import of both exes is carried, one that is not stops the
// start loudly, the strings come from the exe itself, and where the exe is loaded does not
// change what it does.
#include <gtest/gtest.h>

#include "exe_run.h"
#include "import_table.h"
#include "patched_exe.h"
#include "pe_imports.h"

namespace {

const char* const kPresets[] = {"win32", "win64"};

class Bridge : public testing::TestWithParam<const char*> {};

std::string TraceOf(const emu::Session& session) {
  std::string trace;
  for (const auto& line : session.record.trace) trace += line.text + "\n";
  return trace;
}

TEST_P(Bridge, CarriesEveryImportOfTheExe) {
  runner_test::ExeFile exe = runner_test::LoadExe(GetParam());
  ASSERT_FALSE(exe.bytes.empty());
  pe::Image image = pe::Image::Parse(exe.bytes, "the exe");
  std::size_t imports = 0;
  for (const pe::ImportedDll& dll : pe::ReadImports(image)) {
    for (const pe::ImportedFunction& function : dll.functions) {
      ++imports;
      EXPECT_NE(runner::FindBridgeRow(dll.name, function.name), nullptr)
          << dll.name << "!" << function.name;
    }
  }
  EXPECT_GT(imports, 20u);
}

TEST_P(Bridge, AnImportItDoesNotCarryStopsTheStartNamingIt) {
  runner_test::ExeFile exe = runner_test::LoadExe(GetParam());
  ASSERT_FALSE(exe.bytes.empty());
  ASSERT_TRUE(
      runner_test::Replace(exe.bytes, {'S', 'l', 'e', 'e', 'p', 0}, {'S', 'l', 'e', 'e', 'q', 0}));
  emu::Session session = runner_test::DeclineMachine();
  runner::ExeRunResult result = runner::RunExe(session, exe.bytes);
  ASSERT_EQ(result.faults.size(), 1u);
  EXPECT_NE(result.faults[0].find("unbridged import KERNEL32.dll!Sleeq"), std::string::npos)
      << result.faults[0];
  // STATUS_INVALID_IMAGE_FORMAT, as Windows refuses an image whose imports it cannot bind.
  EXPECT_EQ(static_cast<std::uint32_t>(emu::Processes(session)[0].exitCode), 0xC000007Bu);
  EXPECT_TRUE(session.record.events.size() == 2 &&
              session.record.events[1].kind == emu::Event::Kind::Exit);
}

TEST_P(Bridge, LoadStringReadsTheExesOwnStringTable) {
  runner_test::ExeFile exe = runner_test::LoadExe(GetParam());
  ASSERT_FALSE(exe.bytes.empty());
  ASSERT_TRUE(runner_test::Replace(exe.bytes, runner_test::Utf16("Uninstall Orbelle"),
                                   runner_test::Utf16("Uninstall Orbellf")));
  emu::Session session = runner_test::DeclineMachine();
  runner::ExeRunResult result = runner::RunExe(session, exe.bytes);
  ASSERT_TRUE(result.faults.empty()) << result.faults[0];
  ASSERT_GE(session.record.events.size(), 2u);
  EXPECT_EQ(session.record.events[1].kind, emu::Event::Kind::Message);
  EXPECT_EQ(session.record.events[1].caption, "Uninstall Orbellf");
  EXPECT_NE(TraceOf(session).find("LoadStringA(16, 128) = 17 \"Uninstall Orbellf\""),
            std::string::npos);
}

TEST_P(Bridge, RelocatedAndAtItsPreferredBaseTheExeDoesTheSame) {
  runner_test::ExeFile exe = runner_test::LoadExe(GetParam());
  ASSERT_FALSE(exe.bytes.empty());
  std::string traces[2];
  for (bool relocate : {false, true}) {
    emu::Session session = runner_test::DeclineMachine();
    runner::ExeRunOptions options;
    options.relocate = relocate;
    runner::ExeRunResult result = runner::RunExe(session, exe.bytes, options);
    ASSERT_TRUE(result.faults.empty()) << result.faults[0];
    ASSERT_EQ(emu::Processes(session).size(), 1u);
    EXPECT_EQ(emu::Processes(session)[0].exitCode, 0);
    traces[relocate] = TraceOf(session);
  }
  EXPECT_EQ(traces[0], traces[1]);
  EXPECT_NE(traces[0].find("MessageBoxA(NULL, "), std::string::npos) << traces[0];
}

INSTANTIATE_TEST_SUITE_P(Exes, Bridge, testing::ValuesIn(kPresets),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param);
                         });

}  // namespace
