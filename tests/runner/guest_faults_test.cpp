// What ends a guest process with a report: each case puts a few instructions at the exe's
// entry and runs it on a machine of its own.
#include <gtest/gtest.h>

#include "exe_run.h"
#include "patched_exe.h"

namespace {

using Code = std::vector<std::uint8_t>;

constexpr std::uint32_t kAccessViolation = 0xC0000005;
constexpr std::uint32_t kIllegalInstruction = 0xC000001D;
constexpr std::uint32_t kBreakpoint = 0x80000003;

struct FaultCase {
  const char* name;
  const char* preset;
  Code code;           // at the entry; a 0xA5 run of four bytes is replaced by the first IAT slot's
                       // address (absolute on i386, rip-relative on x86_64)
  const char* report;  // a part of the report; "" when the process must not fault
  std::uint32_t status;  // the exit code it ends with
};

Code WithSlot(const FaultCase& c, const std::vector<std::uint8_t>& exe) {
  Code code = c.code;
  const Code marker = {0xA5, 0xA5, 0xA5, 0xA5};
  auto at = std::search(code.begin(), code.end(), marker.begin(), marker.end());
  if (at == code.end()) return code;
  pe::Image image = pe::Image::Parse(exe, "the exe");
  std::uint64_t slot = runner_test::FirstImportSlot(exe);
  std::uint64_t value = image.headers().pe32Plus
                            ? slot - (runner_test::EntryRva(exe) + (at - code.begin()) + 4)
                            : image.headers().imageBase + slot;
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> 8 * i);
  return code;
}

class GuestFaults : public testing::TestWithParam<FaultCase> {};

TEST_P(GuestFaults, EndTheProcessWithAReport) {
  const FaultCase& c = GetParam();
  runner_test::ExeFile exe = runner_test::LoadExe(c.preset);
  ASSERT_FALSE(exe.bytes.empty());
  runner_test::Patch(exe.bytes, runner_test::OffsetOf(exe.bytes, runner_test::EntryRva(exe.bytes)),
                     WithSlot(c, exe.bytes));
  emu::Session session = runner_test::DeclineMachine();
  // At the preferred base: relocations would rewrite the patched bytes where the original
  // code held addresses.
  runner::ExeRunOptions options;
  options.relocate = false;
  runner::ExeRunResult result = runner::RunExe(session, exe.bytes, options);

  ASSERT_EQ(emu::Processes(session).size(), 1u);
  EXPECT_EQ(static_cast<std::uint32_t>(emu::Processes(session)[0].exitCode), c.status);
  std::string trace;
  for (const auto& line : session.record.trace) trace += line.text + "\n";
  if (*c.report == '\0') {
    EXPECT_TRUE(result.faults.empty()) << result.faults[0];
    EXPECT_NE(trace.find("(the entry returned without ExitProcess: exit code 0)"),
              std::string::npos)
        << trace;
    return;
  }
  ASSERT_EQ(result.faults.size(), 1u) << trace;
  const std::string& report = result.faults[0];
  EXPECT_NE(report.find(c.report), std::string::npos) << report;
  EXPECT_EQ(report.rfind("process 1: ", 0), 0u) << report;
  EXPECT_NE(report.find("instruction bytes:"), std::string::npos) << report;
  EXPECT_NE(report.find("last calls into the bridge:"), std::string::npos) << report;
  EXPECT_NE(trace.find("1: (the exe faulted: "), std::string::npos) << trace;
}

const FaultCase kCases[] = {
    {"a_breakpoint", "win32", {0xCC}, "breakpoint (int 3)", kBreakpoint},
    {"a_read_of_NULL",
     "win32",
     {0xA1, 0, 0, 0, 0},
     "read of 4 bytes at 0x00000000",
     kAccessViolation},
    {"a_write_into_the_read_only_headers",
     "win32",
     {0xC7, 0x05, 0, 0, 0x40, 0, 0, 0, 0, 0},
     "write of 4 bytes at 0x00400000",
     kAccessViolation},
    {"a_frame_that_skips_the_guard_page",
     "win32",
     {0x81, 0xEC, 0x00, 0x30, 0, 0, 0x89, 0x04, 0x24},
     "guard page skipped",
     kAccessViolation},
    {"a_stack_probed_a_page_at_a_time_grows",
     "win32",
     {0x81, 0xEC, 0,    0x10, 0,    0,    0x89, 0x04, 0x24, 0x81, 0xEC, 0,   0x10,
      0,    0,    0x89, 0x04, 0x24, 0x81, 0xC4, 0,    0x20, 0,    0,    0xC3},
     "",
     0},
    {"a_probe_without_end_overflows_the_reserve",
     "win32",
     {0x81, 0xEC, 0, 0x10, 0, 0, 0x89, 0x04, 0x24, 0xEB, 0xF5},
     "stack overflow",
     kAccessViolation},
    {"a_jump_into_the_stack", "win32", {0xFF, 0xE4}, "no code", kAccessViolation},
    {"a_jump_to_NULL",
     "win32",
     {0x31, 0xC0, 0xFF, 0xE0},
     "execution of 1 bytes at 0x00000000",
     kAccessViolation},
    {"a_cmov",
     "win32",
     {0x0F, 0x44, 0xC1},
     "cmovz eax, ecx: Pentium Pro (CMOV)",
     kIllegalInstruction},
    {"an_undefined_opcode_after_a_push",
     "win32",
     {0x50, 0xFF, 0xFF},
     "UC_ERR_INSN_INVALID",
     kIllegalInstruction},
    {"a_return_that_leaves_a_word_on_the_stack",
     "win32",
     {0x58, 0x50, 0x50, 0xC3},
     "the entry returned with the stack pointer",
     kAccessViolation},
    {"a_callee_saved_register_not_restored",
     "win32",
     {0xBB, 1, 0, 0, 0, 0xC3},
     "callee-saved register changed",
     kAccessViolation},
    {"an_import_called_on_a_misaligned_stack",
     "win32",
     {0x83, 0xEC, 0x02, 0xFF, 0x15, 0xA5, 0xA5, 0xA5, 0xA5},
     "called with the stack pointer at",
     kAccessViolation},
    {"an_import_that_would_return_outside_the_code",
     "win32",
     {0x68, 0x78, 0x56, 0x34, 0x12, 0xFF, 0x25, 0xA5, 0xA5, 0xA5, 0xA5},
     "would return to 0x12345678, outside the exe's code",
     kAccessViolation},
    {"a_breakpoint", "win64", {0xCC}, "breakpoint (int 3)", kBreakpoint},
    {"a_read_of_NULL",
     "win64",
     {0x48, 0x8B, 0x04, 0x25, 0, 0, 0, 0},
     "read of 8 bytes at 0x00000000",
     kAccessViolation},
    {"a_frame_that_skips_the_guard_page",
     "win64",
     {0x48, 0x81, 0xEC, 0x00, 0x30, 0, 0, 0x48, 0x89, 0x04, 0x24},
     "guard page skipped",
     kAccessViolation},
    {"a_callee_saved_register_not_restored",
     "win64",
     {0xBB, 1, 0, 0, 0, 0xC3},
     "callee-saved register changed",
     kAccessViolation},
    {"an_import_called_on_a_misaligned_stack",
     "win64",
     {0x48, 0x83, 0xEC, 0x10, 0xFF, 0x15, 0xA5, 0xA5, 0xA5, 0xA5},
     "called with the stack pointer at",
     kAccessViolation},
    {"a_return_that_leaves_a_word_on_the_stack",
     "win64",
     {0x58, 0x50, 0x50, 0xC3},
     "the entry returned with the stack pointer",
     kAccessViolation},
};

INSTANTIATE_TEST_SUITE_P(Cases, GuestFaults, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<FaultCase>& info) {
                           return std::string(info.param.preset) + "_" + info.param.name;
                         });

}  // namespace
