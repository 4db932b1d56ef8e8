// The launcher starts only a copy that holds its own bytes, and holds the copy from the check
// to the start: whatever another program does to the copy or the temp folder between two
// calls, no foreign code starts as the worker, and a copy that is not the launcher's fails the
// run with the internal error before anything is removed.
#include <gtest/gtest.h>

#include "support/case_name.h"
#include "support/faults.h"
#include "support/installed_machine.h"
#include "support/machine_lines.h"
#include "support/run_support.h"

namespace {

using Action = emu::Race::Action;

const std::string kFolder = "C:\\Program Files\\Orbelle";
const std::string kExe = kFolder + "\\Uninstall.exe";
const std::string kTemp = "C:\\WINDOWS\\TEMP";
const std::string kCopy = kTemp + "\\obuninst.tmp";

// Long enough for three chunks of the comparison, so a difference in the last one shows.
constexpr std::size_t kProductSize = 2500;
emu::Bytes ProductBytes() {
  emu::Bytes bytes(kProductSize);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
  bytes[0] = 'M';
  bytes[1] = 'Z';
  return bytes;
}

// Foreign files another program may put in the copy's place.
const std::string kEvil = "C:\\Evil\\evil.exe";        // other bytes altogether
const std::string kLonger = "C:\\Evil\\longer.exe";    // the product and one byte more
const std::string kShorter = "C:\\Evil\\shorter.exe";  // the product but its last byte
const std::string kLastByte = "C:\\Evil\\last.exe";    // the product with its last byte changed

void AddForeignFiles(emu::Session& session) {
  emu::Bytes product = ProductBytes();
  session.machine.files.CreateFile(kEvil, {'M', 'Z', 'e', 'v', 'i', 'l'});
  emu::Bytes longer = product;
  longer.push_back(0);
  session.machine.files.CreateFile(kLonger, longer);
  session.machine.files.CreateFile(kShorter,
                                   emu::Bytes(product.begin(), product.begin() + kProductSize - 1));
  emu::Bytes last = product;
  last[kProductSize - 1] ^= 1;
  session.machine.files.CreateFile(kLastByte, last);
}

enum class Ends { Uninstalled, LauncherFailed };

struct CheckCase {
  const char* behaviour;
  std::vector<emu::Race> races = {};
  std::vector<std::string> failing = {};
  Ends ends;
  bool racesApplied = false;  // whether the races found the copy changeable
};

emu::Race After(const char* operation, long call, Action action, std::string path,
                std::string argument = {}) {
  return {operation, call, action, std::move(path), std::move(argument)};
}

const CheckCase kCases[] = {
    {.behaviour = "a copy swapped before it is opened is not started",
     .races = {After("CopyFileA", 1, Action::Replace, kCopy, kEvil)},
     .ends = Ends::LauncherFailed,
     .racesApplied = true},
    {.behaviour = "a copy one byte longer than the launcher is not started",
     .races = {After("CopyFileA", 1, Action::Replace, kCopy, kLonger)},
     .ends = Ends::LauncherFailed,
     .racesApplied = true},
    {.behaviour = "a copy one byte shorter than the launcher is not started",
     .races = {After("CopyFileA", 1, Action::Replace, kCopy, kShorter)},
     .ends = Ends::LauncherFailed,
     .racesApplied = true},
    {.behaviour = "a copy that differs in its last byte is not started",
     .races = {After("CopyFileA", 1, Action::Replace, kCopy, kLastByte)},
     .ends = Ends::LauncherFailed,
     .racesApplied = true},
    {.behaviour = "a copy deleted before it is opened fails the run",
     .races = {After("CopyFileA", 1, Action::Delete, kCopy)},
     .ends = Ends::LauncherFailed,
     .racesApplied = true},
    {.behaviour = "a copy renamed away before it is opened fails the run",
     .races = {After("CopyFileA", 1, Action::Rename, kCopy, kTemp + "\\away.tmp")},
     .ends = Ends::LauncherFailed,
     .racesApplied = true},
    {.behaviour = "a copy turned into a link to a foreign exe is not started",
     .races = {After("CopyFileA", 1, Action::Link, kCopy, kEvil)},
     .ends = Ends::LauncherFailed,
     .racesApplied = true},
    {.behaviour = "a temp folder turned into a link to a foreign copy is not started",
     .races = {After("CopyFileA", 1, Action::Link, kTemp, "C:\\Evil"),
               After("CopyFileA", 1, Action::Replace, "C:\\Evil\\obuninst.tmp", kEvil)},
     .ends = Ends::LauncherFailed,
     .racesApplied = true},
    {.behaviour = "a copy held open cannot be swapped: the launcher's own copy is the worker",
     .races = {After("CreateFileA", 1, Action::Replace, kCopy, kEvil),
               After("ReadFile", 2, Action::Delete, kCopy),
               After("CloseHandle", 1, Action::Rename, kCopy, kTemp + "\\away.tmp"),
               After("CloseHandle", 1, Action::Link, kCopy, kEvil)},
     .ends = Ends::Uninstalled,
     .racesApplied = false},
    {.behaviour = "the temp folder of a held copy can be neither renamed nor replaced",
     .races = {After("CreateFileA", 2, Action::Rename, kTemp, "C:\\WINDOWS\\OLDTEMP"),
               After("ReadFile", 1, Action::Link, kTemp, "C:\\Evil"),
               After("ReadFile", 3, Action::Delete, kTemp)},
     .ends = Ends::Uninstalled,
     .racesApplied = false},
    {.behaviour = "the started worker's image cannot be swapped either",
     .races = {After("CreateProcessA", 1, Action::Replace, kCopy, kEvil),
               After("CloseHandle", 2, Action::Delete, kCopy)},
     .ends = Ends::Uninstalled,
     .racesApplied = false},
    {.behaviour = "a copy that cannot be opened fails the run",
     .failing = {"CreateFileA"},
     .ends = Ends::LauncherFailed},
    {.behaviour = "a copy that cannot be read fails the run",
     .failing = {"ReadFile"},
     .ends = Ends::LauncherFailed},
};

class TempCopyCheck : public testing::TestWithParam<CheckCase> {};

TEST_P(TempCopyCheck, StartsOnlyTheLaunchersOwnBytes) {
  const CheckCase& c = GetParam();
  emu::Session session = test::InstalledMachine();
  session.machine.files.Find(kExe)->content = ProductBytes();
  AddForeignFiles(session);
  session.scenario.races = c.races;
  test::FailOperations(session, c.failing);

  test::RunResult run = test::RunUninstall(session);

  const bool uninstalled = c.ends == Ends::Uninstalled;
  EXPECT_EQ(test::Boxes(session),
            uninstalled ? test::UninstalledBoxes() : test::LauncherFailedBoxes());
  ASSERT_EQ(emu::Processes(session).size(), uninstalled ? 2u : 1u) << "a worker starts only here";
  for (const auto& process : emu::Processes(session)) EXPECT_TRUE(process.runsProduct);
  for (const auto& outcome : session.record.raceOutcomes) {
    EXPECT_EQ(outcome.applied, c.racesApplied) << "race " << outcome.race;
  }
  EXPECT_EQ(session.record.raceOutcomes.size(), c.races.size()) << "every race found its call";
  EXPECT_TRUE(session.record.leakedHandles.empty()) << session.record.leakedHandles.front();
  EXPECT_TRUE(session.record.badHandleCloses.empty()) << session.record.badHandleCloses.front();

  // Outside the temp folder and the foreign files' folder, the machine is fully uninstalled or
  // not touched at all: a failed check comes before anything is removed.
  auto outside = [](const std::string& line) {
    return line.rfind(kTemp, 0) == 0 || line.rfind("C:\\Evil", 0) == 0;
  };
  std::erase_if(run.removed, outside);
  std::erase_if(run.added, outside);
  auto removed = uninstalled ? test::FullyRemoved() : std::set<std::string>{};
  auto added = uninstalled ? test::FullyAdded() : std::set<std::string>{};
  std::erase_if(added, outside);
  EXPECT_EQ(run.removed, removed) << "removed:" << test::Join(run.removed);
  EXPECT_EQ(run.added, added) << "added:" << test::Join(run.added);
  EXPECT_EQ(session.machine.files.Find(kEvil)->content, (emu::Bytes{'M', 'Z', 'e', 'v', 'i', 'l'}));
}

INSTANTIATE_TEST_SUITE_P(Cases, TempCopyCheck, testing::ValuesIn(kCases), test::ByBehaviour);

// A path as the trace quotes it, backslashes doubled.
std::string Escaped(const std::string& path) {
  std::string escaped;
  for (char c : path) {
    if (c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

// The check reads both files through handles that deny changes, closes both, and starts the
// worker between the two closes.
TEST(TempCopyCheck, HoldsTheCopyFromTheCheckToTheStart) {
  emu::Session session = test::InstalledMachine();
  session.machine.files.Find(kExe)->content = ProductBytes();
  test::RunUninstall(session);
  std::vector<std::string> calls;
  for (const auto& line : session.record.trace) {
    if (line.process != 1) continue;
    const std::string call = line.text.substr(3);
    for (const char* kept : {"CreateFileA(", "CloseHandle(file", "CreateProcessA("}) {
      if (call.rfind(kept, 0) == 0) calls.push_back(call);
    }
  }
  const std::string open = "\", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING) = file ";
  EXPECT_EQ(calls, (std::vector<std::string>{
                       "CreateFileA(\"" + Escaped(kCopy) + open + "1 \"" + Escaped(kCopy) + "\"",
                       "CreateFileA(\"" + Escaped(kExe) + open + "2 \"" + Escaped(kExe) + "\"",
                       "CloseHandle(file 2 \"" + Escaped(kExe) + "\") = TRUE",
                       calls.size() > 3 ? calls[3] : "",
                       "CloseHandle(file 1 \"" + Escaped(kCopy) + "\") = TRUE"}));
  ASSERT_GT(calls.size(), 3u);
  EXPECT_EQ(calls[3].rfind("CreateProcessA(\"" + Escaped(kCopy), 0), 0u) << calls[3];
}

}  // namespace
