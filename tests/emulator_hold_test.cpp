// A virus scanner holding a file (a race's hold): opened without sharing right after the call it
// follows, it refuses every open, deletion, rename and copy of the file for the product's next K
// calls (Sleep among them) or for the rest of the run, and is skipped when the file is open
// already.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/emulated/session.h"
#include "platform_api.h"
#include "support/case_name.h"
#include "support/new_session.h"

namespace {

const std::string kTemp = "C:\\WINDOWS\\TEMP";
const std::string kCopy = kTemp + "\\obuninst.tmp";
const std::string kAway = kTemp + "\\away.tmp";
const std::string kOther = "C:\\other.exe";

// One call of the product on the held file, and what it must give: 0 for success, or the
// last error of its failure.
enum class Op { Open, Delete, Rename, CopyOnto, CopyFrom, Attributes, Sleep };
struct Probe {
  Op op;
  DWORD error = 0;
};

// What holds the file before the scanner comes.
enum class Before { Nothing, ProductSharingAll, Locked, EarlierHold, Missing };

struct HoldCase {
  const char* behaviour;
  long calls = 0;
  bool always = false;
  Before before = Before::Nothing;
  std::vector<Probe> probes = {};
  std::string skippedBecause = {};  // "" when the hold must be applied
};

constexpr DWORD kShared = ERROR_SHARING_VIOLATION;

const HoldCase kHoldCases[] = {
    {.behaviour = "the next K calls are refused and the one after is not",
     .calls = 2,
     .probes = {{Op::Delete, kShared}, {Op::Delete, kShared}, {Op::Delete}}},
    {.behaviour = "a Sleep is one of the K calls",
     .calls = 2,
     .probes = {{Op::Sleep}, {Op::Delete, kShared}, {Op::Delete}}},
    {.behaviour = "a call that does not touch the file counts too",
     .calls = 1,
     .probes = {{Op::Attributes}, {Op::Rename}}},
    {.behaviour = "always holds the file for the rest of the run",
     .always = true,
     .probes = {{Op::Sleep},
                {Op::Delete, kShared},
                {Op::Sleep},
                {Op::Sleep},
                {Op::Sleep},
                {Op::Delete, kShared}}},
    {.behaviour = "opens renames and copies from or onto it are refused",
     .always = true,
     .probes = {{Op::Open, kShared},
                {Op::Rename, kShared},
                {Op::CopyOnto, kShared},
                {Op::CopyFrom, kShared},
                {Op::Delete, kShared}}},
    {.behaviour = "its attributes can still be read",
     .always = true,
     .probes = {{Op::Attributes}, {Op::Delete, kShared}}},
    {.behaviour = "a file the product has open is not held",
     .calls = 5,
     .before = Before::ProductSharingAll,
     .probes = {{Op::Rename}},
     .skippedBecause = "ERROR_SHARING_VIOLATION, held open by process 1"},
    {.behaviour = "a file another program has in use is not held",
     .calls = 5,
     .before = Before::Locked,
     .probes = {{Op::Attributes}},
     .skippedBecause = "ERROR_SHARING_VIOLATION, in use by another program"},
    {.behaviour = "a file held already is not held twice",
     .calls = 1,
     .before = Before::EarlierHold,
     .probes = {{Op::Delete, kShared}, {Op::Delete}},
     .skippedBecause = "ERROR_SHARING_VIOLATION, held open by a virus scanner"},
    {.behaviour = "a missing file is not held",
     .calls = 5,
     .before = Before::Missing,
     .probes = {{Op::CopyFrom, ERROR_FILE_NOT_FOUND}},
     .skippedBecause = "ERROR_FILE_NOT_FOUND, no file there"},
};

DWORD Call(Op op) {
  BOOL ok = TRUE;
  switch (op) {
    case Op::Open: {
      HANDLE file = CreateFileA(kCopy.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
      if (file == INVALID_HANDLE_VALUE) return GetLastError();
      ADD_FAILURE() << "the open got through; closing it is a call of its own";
      CloseHandle(file);
      return 0;
    }
    case Op::Delete:
      ok = DeleteFileA(kCopy.c_str());
      break;
    case Op::Rename:
      ok = MoveFileA(kCopy.c_str(), kAway.c_str());
      break;
    case Op::CopyOnto:
      ok = CopyFileA(kOther.c_str(), kCopy.c_str(), FALSE);
      break;
    case Op::CopyFrom:
      ok = CopyFileA(kCopy.c_str(), kAway.c_str(), FALSE);
      break;
    case Op::Attributes:
      ok = GetFileAttributesA(kCopy.c_str()) != INVALID_FILE_ATTRIBUTES;
      break;
    case Op::Sleep:
      Sleep(50);
      break;
  }
  return ok ? 0 : GetLastError();
}

const char* Name(Op op) {
  static const char* const kNames[] = {"open",      "delete",     "rename", "copy onto",
                                       "copy from", "attributes", "sleep"};
  return kNames[static_cast<int>(op)];
}

class Hold : public testing::TestWithParam<HoldCase> {};

TEST_P(Hold, RefusesTheFileForItsCallsOnly) {
  const HoldCase& c = GetParam();
  emu::Session session = test::NewSession();
  session.machine.files.CreateFolder(kTemp);
  if (c.before != Before::Missing) session.machine.files.CreateFile(kCopy, {'c'});
  session.machine.files.CreateFile(kOther, {'o'});
  emu::Race hold{
      .operation = "GetFileAttributesA", .action = emu::Race::Action::Hold, .path = kCopy};
  hold.holdCalls = c.calls;
  hold.holdAlways = c.always;
  if (c.before == Before::EarlierHold) {
    emu::Race earlier = hold;
    earlier.holdCalls = 1;  // lets go after the first probe
    session.scenario.races.push_back(earlier);
  }
  session.scenario.races.push_back(hold);
  if (c.before == Before::Locked)
    session.scenario.faults.locked[emu::UpperName(kCopy)] = {.always = true};
  emu::ActiveProcess process(session, "C:\\", "C:\\Launcher.exe");
  HANDLE mine = INVALID_HANDLE_VALUE;
  if (c.before == Before::ProductSharingAll) {
    mine = CreateFileA(kCopy.c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(mine, INVALID_HANDLE_VALUE);
  }

  GetFileAttributesA(kCopy.c_str());  // the scanner opens the file right after this call
  for (std::size_t i = 0; i < c.probes.size(); ++i) {
    EXPECT_EQ(Call(c.probes[i].op), c.probes[i].error)
        << "call " << i + 1 << " after the hold: " << Name(c.probes[i].op);
  }

  const std::size_t last = session.record.raceOutcomes.size() - 1;
  ASSERT_EQ(session.record.raceOutcomes.size(), session.scenario.races.size());
  EXPECT_EQ(session.record.raceOutcomes[last].applied, c.skippedBecause.empty());
  std::string skipped;
  for (const auto& line : session.record.trace) {
    if (line.text.find(" skipped: ") != std::string::npos) skipped = line.text;
  }
  EXPECT_NE(skipped.find(c.skippedBecause), std::string::npos) << skipped;
  if (mine != INVALID_HANDLE_VALUE) CloseHandle(mine);
  EXPECT_EQ(emu::OpenFileCount(session), 0u) << "the scanner's handle is not the product's";
}

INSTANTIATE_TEST_SUITE_P(Cases, Hold, testing::ValuesIn(kHoldCases), test::ByBehaviour);

TEST(HoldRelease, TheScannerSaysWhenItLetsGo) {
  emu::Session session = test::NewSession();
  session.machine.files.CreateFile(kCopy, {'c'});
  emu::Race hold{.operation = "Sleep", .action = emu::Race::Action::Hold, .path = kCopy};
  hold.holdCalls = 1;
  session.scenario.races = {hold};
  emu::ActiveProcess process(session, "C:\\", "C:\\Launcher.exe");
  Sleep(1);
  EXPECT_FALSE(DeleteFileA(kCopy.c_str()));
  ASSERT_GE(session.record.trace.size(), 4u);
  const auto& trace = session.record.trace;
  EXPECT_NE(trace[1].text.find("(race after Sleep#1: hold"), std::string::npos) << trace[1].text;
  EXPECT_NE(trace[2].text.find("DeleteFileA("), std::string::npos) << trace[2].text;
  EXPECT_NE(trace[3].text.find("(the virus scanner closes"), std::string::npos) << trace[3].text;
  EXPECT_TRUE(DeleteFileA(kCopy.c_str()));
}

}  // namespace
