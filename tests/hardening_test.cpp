// What the launcher and start-up guard against, as whole runs: a link planted at the temp
// copy's name, a file that appears there after the check, a copy in use, DLLs planted in the
// temp folder; and the association restore keeping its record when the write fails.
#include <gtest/gtest.h>

#include <functional>

#include "app/startup.h"
#include "platform_api.h"
#include "support/case_name.h"
#include "support/faults.h"
#include "support/installed_machine.h"
#include "support/machine_lines.h"
#include "support/run_support.h"
#include "support/three_way.h"

namespace {

using test::Box;
using test::kInternalError;

const std::string kFolder = "C:\\Program Files\\Orbelle";
const std::string kExe = kFolder + "\\Uninstall.exe";
const std::string kCopy = "C:\\WINDOWS\\TEMP\\obuninst.tmp";
const std::string kSystemFile = "C:\\WINDOWS\\SYSTEM\\USER.EXE";
const std::string kSystemFolder = "C:\\WINDOWS\\SYSTEM";
const emu::Bytes kProductBytes = {'M', 'Z', 'o', 'r', 'b'};
const emu::Bytes kSystemBytes = {'s', 'y', 's'};

void PlantLink(emu::Session& session, const std::string& target) {
  emu::FsNode& link = session.machine.files.CreateFile(kCopy);
  link.linkTarget = target;
  link.directory = target == kSystemFolder;
}

enum class Copy { ProductFile, Untouched, Absent };

struct HardeningCase {
  const char* behaviour;
  std::function<void(emu::Session&)> prepare;
  std::vector<std::string> boxes;
  bool uninstalled;  // the whole product went; otherwise nothing changed but the copy
  Copy copy;         // what stands at the copy's name afterwards
};

const auto kUninstalledBoxes = test::UninstalledBoxes();
const auto kLauncherFailedBoxes = test::LauncherFailedBoxes();

const HardeningCase kCases[] = {
    {"a link planted at the copy's name is removed, not followed",
     [](emu::Session& m) { PlantLink(m, kSystemFile); }, kUninstalledBoxes, true,
     Copy::ProductFile},
    {"a link at the copy's name to a missing file is removed, and nothing is created there",
     [](emu::Session& m) { PlantLink(m, "C:\\WINDOWS\\SYSTEM\\NEW.DLL"); }, kUninstalledBoxes, true,
     Copy::ProductFile},
    {"a link to a folder cannot be deleted as a file: internal error, nothing followed",
     [](emu::Session& m) { PlantLink(m, kSystemFolder); }, kLauncherFailedBoxes, false,
     Copy::Untouched},
    {"a file that appears after the check is not overwritten: internal error",
     [](emu::Session& m) {
       m.machine.files.CreateFile(kCopy, {'o', 'l', 'd'});
       m.scenario.faults.failingOperations = {"GetFileAttributesA"};
     },
     kLauncherFailedBoxes, false, Copy::Untouched},
    {"a link that appears after the check is not followed: internal error",
     [](emu::Session& m) {
       PlantLink(m, kSystemFile);
       m.scenario.faults.failingOperations = {"GetFileAttributesA"};
     },
     kLauncherFailedBoxes, false, Copy::Untouched},
    {"an ordinary earlier copy is replaced",
     [](emu::Session& m) {
       m.machine.files.CreateFile(kCopy, {'o', 'l', 'd'});
     },
     kUninstalledBoxes, true, Copy::ProductFile},
    {"a copy still in use cannot be replaced: internal error, nothing removed",
     [](emu::Session& m) {
       m.machine.files.CreateFile(kCopy, {'o', 'l', 'd'});
       test::LockFile(m, kCopy);
     },
     kLauncherFailedBoxes, false, Copy::Untouched},
    {"without an earlier copy the copy is made", nullptr, kUninstalledBoxes, true,
     Copy::ProductFile},
    {"a failed copy leaves no file behind",
     [](emu::Session& m) { m.scenario.faults.failingOperations = {"CopyFileA"}; },
     kLauncherFailedBoxes, false, Copy::Absent},
};

class TempCopy : public testing::TestWithParam<HardeningCase> {};

TEST_P(TempCopy, NeverWritesThroughWhatStandsAtItsName) {
  const HardeningCase& c = GetParam();
  emu::Session session = test::InstalledMachine();
  session.machine.files.Find(kExe)->content = kProductBytes;
  session.machine.files.CreateFile(kSystemFile, kSystemBytes);
  if (c.prepare) c.prepare(session);
  const emu::FsNode* before = session.machine.files.Find(kCopy);
  const bool hadCopy = before != nullptr;
  const std::optional<std::string> linkBefore = hadCopy ? before->linkTarget : std::nullopt;
  const emu::Bytes contentBefore = hadCopy ? before->content : emu::Bytes{};

  test::RunResult run = test::RunUninstall(session);

  EXPECT_EQ(test::Boxes(session), c.boxes);
  EXPECT_EQ(session.machine.files.Find(kSystemFile)->content, kSystemBytes);
  EXPECT_EQ(session.machine.files.Find("C:\\WINDOWS\\SYSTEM\\NEW.DLL"), nullptr);
  for (int code : test::ExitCodes(session)) EXPECT_EQ(code, 0);

  const emu::FsNode* copy = session.machine.files.Find(kCopy);
  switch (c.copy) {
    case Copy::ProductFile:
      ASSERT_NE(copy, nullptr);
      EXPECT_FALSE(copy->linkTarget.has_value());
      EXPECT_EQ(copy->content, kProductBytes);
      break;
    case Copy::Untouched:
      ASSERT_NE(copy, nullptr);
      ASSERT_TRUE(hadCopy);
      EXPECT_EQ(copy->linkTarget, linkBefore);
      EXPECT_EQ(copy->content, contentBefore);
      break;
    case Copy::Absent:
      EXPECT_EQ(copy, nullptr);
      break;
  }

  // The copy's own line aside, the machine is fully uninstalled or not touched at all.
  auto removed = c.uninstalled ? test::FullyRemoved() : std::set<std::string>{};
  auto added = c.uninstalled ? test::FullyAdded() : std::set<std::string>{};
  std::erase_if(run.removed, [](const auto& line) { return line.rfind(kCopy, 0) == 0; });
  std::erase_if(run.added, [](const auto& line) { return line.rfind(kCopy, 0) == 0; });
  added.erase(kCopy);
  EXPECT_EQ(run.removed, removed) << "removed:" << test::Join(run.removed);
  EXPECT_EQ(run.added, added) << "added:" << test::Join(run.added);
}

INSTANTIATE_TEST_SUITE_P(Cases, TempCopy, testing::ValuesIn(kCases), test::ByBehaviour);

// Both processes limit DLL loading to the system folder where Windows offers it, and run as
// before where it does not (Windows before 8, or 7 without its update).
TEST(DllSearch, IsLimitedToTheSystemFolderWhereWindowsOffersIt) {
  for (bool offered : {true, false}) {
    emu::Session session = test::InstalledMachine();
    session.scenario.windows = offered ? emu::WindowsVersion::Nt : emu::WindowsVersion::Seven;
    test::RunResult run = test::RunUninstall(session);
    ASSERT_EQ(emu::Processes(session).size(), 2u) << offered;
    for (const auto& process : emu::Processes(session)) {
      EXPECT_EQ(process.defaultDllDirectories, offered ? LOAD_LIBRARY_SEARCH_SYSTEM32 : 0u)
          << "process " << process.id << ", offered " << offered;
    }
    EXPECT_EQ(test::Boxes(session), kUninstalledBoxes) << offered;
    EXPECT_EQ(run.removed, test::FullyRemoved()) << offered;
  }
}

// Uninstall.exe started by hand with a tail runs the worker's stage from the install folder.
// Whatever the tail, it must not have Windows delete the installed uninstaller at the next
// restart: only the launcher's temp copy is ever scheduled.
TEST(StartedByHand, NeverSchedulesTheInstalledUninstallerForDeletion) {
  for (const std::string& tail : {std::string("C:\\Elsewhere"), kFolder}) {
    emu::Session session = test::InstalledMachine();
    auto before = test::Snapshot(session);
    test::RunThreeWays(session, kExe, "\"" + kExe + "\" " + tail, kFolder);
    EXPECT_EQ(test::Boxes(session),
              std::vector<std::string>{Box(1, "MB_OK", "IDOK", kInternalError)})
        << tail;
    EXPECT_TRUE(session.record.restartDeletes.empty()) << tail;
    auto change = test::Compare(before, test::Snapshot(session));
    EXPECT_TRUE(change.removed.empty()) << tail << test::Join(change.removed);
  }
}

// Giving an extension back writes its default value first; UndoClass, the only record of the
// class to give back, goes only once that write has worked.
TEST(AssociationRestore, KeepsTheRecordOfThePreviousClassWhenTheWriteFails) {
  emu::Session session = test::InstalledMachine();
  session.scenario.faults.failingOperations = {"RegSetValueA"};
  test::RunResult run = test::RunUninstall(session);

  // The class goes and the run reports success, as extension results are not reported...
  EXPECT_EQ(test::Boxes(session), kUninstalledBoxes);
  EXPECT_TRUE(run.removed.count("HKCR\\Orbelle"));
  // ...but every extension that had a previous class keeps it, with its ShellNew.
  for (const char* line :
       {"HKCR\\.wrl|@|Orbelle", "HKCR\\.wrl\\UndoClass|@|wrlfile", "HKCR\\.wrl\\ShellNew",
        "HKCR\\.wrz\\UndoClass|@|wrzfile", "HKCR\\.vrml\\UndoClass|@|wrlfile",
        "HKCR\\.vrml\\ShellNew", "HKCR\\.wrl.gz\\UndoClass|@|wrzfile"}) {
    EXPECT_FALSE(run.removed.count(line)) << line;
  }
  // The extension the product brought along goes as usual: there is nothing to write.
  EXPECT_TRUE(run.removed.count("HKCR\\.vcd"));
}

}  // namespace
