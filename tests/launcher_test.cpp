// The launcher's flows, each as a whole run from the user's start: what the user sees, which
// worker is started how, and what the machine looks like afterwards.
#include <gtest/gtest.h>

#include "support/case_name.h"
#include "support/faults.h"
#include "support/installed_machine.h"
#include "support/machine_lines.h"
#include "support/run_support.h"

namespace {

using test::Box;
using test::ConfirmText;
using test::kInternalError;
using test::kSuccess;

const std::string kFolder = "C:\\Program Files\\Orbelle";
const std::string kWorker = "C:\\WINDOWS\\TEMP\\obuninst.tmp";
const std::string kHandOff = "\"" + kWorker + "\" " + kFolder + "|C:\\WINDOWS\\TEMP\\";

enum class Outcome { Unchanged, FullUninstall, CopyLeftBehind, WorkerFoundNothing };

struct LauncherCase {
  const char* behaviour;
  test::Install install = {};
  std::string exe = {};  // empty: the install folder's Uninstall.exe
  std::vector<emu::Answer> answers = {};
  std::vector<std::string> failing = {};  // operations that fail on every call
  std::vector<std::string> lockedAlways = {};
  std::vector<std::string> extraFiles = {};
  std::vector<std::string> boxes;
  std::vector<std::string> started = {};
  Outcome outcome;
};

const std::string kLongTemp = "C:\\" + std::string(246, 't') + "\\";  // 250 characters
const std::string kLongExeFolder = "C:\\" + std::string(250, 'x');

const LauncherCase kCases[] = {
    {.behaviour = "No changes nothing and shows nothing more",
     .answers = {emu::Answer::Second},
     .boxes = {Box(1, "MB_YESNO", "IDNO", ConfirmText(kFolder))},
     .outcome = Outcome::Unchanged},
    {.behaviour = "Yes copies, starts the worker with the install folder and uninstalls everything",
     .boxes = test::UninstalledBoxes(),
     .started = {kWorker + "|" + kHandOff},
     .outcome = Outcome::FullUninstall},
    {.behaviour = "an executable at a drive root shows and hands over the drive alone",
     .install = {.folder = "C:"},
     .boxes = {Box(1, "MB_YESNO", "IDYES", ConfirmText("C:")), Box(2, "MB_OK", "IDOK", kSuccess)},
     .started = {kWorker + "|\"" + kWorker + "\" C:|C:\\WINDOWS\\TEMP\\"},
     .outcome = Outcome::FullUninstall},
    {.behaviour = "a temp folder without a backslash gets one before the copy's name",
     .install = {.temp = "C:\\TEMP"},
     .boxes = test::UninstalledBoxes(),
     .started = {"C:\\TEMP\\obuninst.tmp|\"C:\\TEMP\\obuninst.tmp\" " + kFolder + "|C:\\TEMP"},
     .outcome = Outcome::FullUninstall},
    {.behaviour = "a temp folder with blanks still hands over the install folder exactly",
     .install = {.temp = "C:\\Documents and Settings\\pat\\Local Settings\\Temp\\"},
     .boxes = test::UninstalledBoxes(),
     .started =
         {"C:\\Documents and Settings\\pat\\Local Settings\\Temp\\obuninst.tmp|\"C:\\Documents and "
          "Settings\\pat\\Local Settings\\Temp\\obuninst.tmp\" " +
          kFolder + "|C:\\Documents and Settings\\pat\\Local Settings\\Temp\\"},
     .outcome = Outcome::FullUninstall},
    {.behaviour = "an existing copy is replaced",
     .extraFiles = {kWorker},
     .boxes = test::UninstalledBoxes(),
     .started = {kWorker + "|" + kHandOff},
     .outcome = Outcome::FullUninstall},
    {.behaviour = "a copy in use cannot be replaced: internal error, nothing removed",
     .lockedAlways = {kWorker},
     .extraFiles = {kWorker},
     .boxes = test::LauncherFailedBoxes(),
     .outcome = Outcome::Unchanged},
    {.behaviour = "a failed copy: internal error, nothing removed",
     .failing = {"CopyFileA"},
     .boxes = test::LauncherFailedBoxes(),
     .outcome = Outcome::Unchanged},
    {.behaviour = "no temp folder: internal error, nothing removed",
     .failing = {"GetTempPathA"},
     .boxes = test::LauncherFailedBoxes(),
     .outcome = Outcome::Unchanged},
    {.behaviour = "a temp folder longer than the buffer: internal error, nothing removed",
     .install = {.temp = "C:\\" + std::string(260, 't') + "\\"},
     .boxes = test::LauncherFailedBoxes(),
     .outcome = Outcome::Unchanged},
    {.behaviour = "a copy path of 260 characters or more: internal error, nothing removed",
     .install = {.temp = kLongTemp},
     .boxes = test::LauncherFailedBoxes(),
     .outcome = Outcome::Unchanged},
    {.behaviour = "a failed start leaves the copy behind and the machine-wide entries in place",
     .failing = {"CreateProcessA"},
     .boxes = test::LauncherFailedBoxes(),
     .outcome = Outcome::CopyLeftBehind},
    {.behaviour = "no own path: internal error before any question",
     .failing = {"GetModuleFileNameA"},
     .boxes = {Box(1, "MB_OK", "IDOK", kInternalError)},
     .outcome = Outcome::Unchanged},
    {.behaviour = "an own path cut by the buffer: internal error before any question",
     .exe = kLongExeFolder + "\\Uninstall.exe",
     .extraFiles = {kLongExeFolder + "\\Uninstall.exe"},
     .boxes = {Box(1, "MB_OK", "IDOK", kInternalError)},
     .outcome = Outcome::Unchanged},
    {.behaviour = "a launcher of another name starts the worker, which finds no Uninstall.exe",
     .exe = kFolder + "\\Setup.exe",
     .extraFiles = {kFolder + "\\Setup.exe"},
     .boxes = {Box(1, "MB_YESNO", "IDYES", ConfirmText(kFolder)),
               Box(2, "MB_OK", "IDOK", kInternalError)},
     .started = {kWorker + "|" + kHandOff},
     .outcome = Outcome::WorkerFoundNothing},
};

class Launcher : public testing::TestWithParam<LauncherCase> {};

TEST_P(Launcher, Flow) {
  const LauncherCase& c = GetParam();
  emu::Session session = test::InstalledMachine(c.install);
  test::AddLines(session, c.extraFiles);
  if (!c.exe.empty()) test::RemoveFile(session, c.install.folder + "\\Uninstall.exe");
  session.scenario.exePath = c.exe.empty() ? c.install.folder + "\\Uninstall.exe" : c.exe;
  session.scenario.tempPath = c.install.temp;
  session.scenario.answers = c.answers;
  test::FailOperations(session, c.failing);
  for (const auto& path : c.lockedAlways) test::LockFile(session, path);

  test::RunResult run = test::RunUninstall(session);

  EXPECT_EQ(run.status, emu::RunStatus::Completed);
  EXPECT_EQ(test::Boxes(session), c.boxes);
  EXPECT_EQ(test::StartedProcesses(session), c.started);
  for (int code : test::ExitCodes(session)) EXPECT_EQ(code, 0);
  EXPECT_EQ(emu::OpenKeyCount(session), 0);
  for (const auto& process : emu::Processes(session)) {
    EXPECT_EQ(process.handlesOpenAtExit, 0) << "process " << process.id << " leaked handles";
  }

  std::set<std::string> removed, added;
  std::string temp = c.install.temp.back() == '\\' ? c.install.temp : c.install.temp + "\\";
  switch (c.outcome) {
    case Outcome::Unchanged:
      break;
    case Outcome::FullUninstall:
      removed = test::FullyRemoved(c.install);
      added = test::FullyAdded(c.install);
      for (const auto& extra : c.extraFiles) {  // a replaced copy is no new file
        added.erase(extra);
      }
      break;
    case Outcome::CopyLeftBehind:
      added = {temp + "obuninst.tmp"};
      break;
    case Outcome::WorkerFoundNothing: {
      const std::string uninstall = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\";
      for (const auto& line : test::FullyRemoved(c.install)) {
        if (line.rfind(uninstall, 0) == 0) removed.insert(line);
      }
      added = {temp + "obuninst.tmp"};
      break;
    }
  }
  EXPECT_EQ(run.removed, removed) << "removed:" << test::Join(run.removed);
  EXPECT_EQ(run.added, added) << "added:" << test::Join(run.added);
}

INSTANTIATE_TEST_SUITE_P(Cases, Launcher, testing::ValuesIn(kCases), test::ByBehaviour);

// GetTempPathA reports a path whether or not a folder is there; a user named outside the
// system's code page gets one with a '?' for each lost character. The Windows folder's TEMP
// serves then, and the worker starts in it.
struct TempFallbackCase {
  const char* behaviour;
  std::string reported;                   // GetTempPathA's answer, not created on the machine
  std::vector<std::string> removed = {};  // files and empty folders taken out first
  std::vector<std::string> extra = {};    // added first
  std::vector<std::string> failing = {};
  bool uninstalled = true;
};

const std::string kWindowsTemp = "C:\\WINDOWS\\TEMP";
const std::string kFallbackStart = kWorker + "|\"" + kWorker + "\" " + kFolder + "|" + kWindowsTemp;

const TempFallbackCase kTempFallbackCases[] = {
    {.behaviour = "a temp folder that is not there gives way to the Windows folder's TEMP",
     .reported = "C:\\Users\\pat\\AppData\\Local\\Temp\\"},
    {.behaviour = "a temp path that is a file gives way to the Windows folder's TEMP",
     .reported = "C:\\Users\\pat\\Temp",
     .extra = {"C:\\Users\\pat\\Temp"}},
    {.behaviour = "without the Windows folder's TEMP either: internal error, nothing removed",
     .reported = "C:\\Users\\pat\\Temp\\",
     .removed = {"C:\\WINDOWS\\TEMP"},
     .uninstalled = false},
    {.behaviour = "without a Windows folder to fall back on: internal error, nothing removed",
     .reported = "C:\\Users\\pat\\Temp\\",
     .failing = {"GetWindowsDirectoryA"},
     .uninstalled = false},
};

class TempFallback : public testing::TestWithParam<TempFallbackCase> {};

TEST_P(TempFallback, TheCopyGoesWhereAFolderIs) {
  const TempFallbackCase& c = GetParam();
  emu::Session session = test::InstalledMachine();
  for (const auto& path : c.removed) test::RemoveFile(session, path);
  test::AddLines(session, c.extra);
  session.scenario.tempPath = c.reported;
  test::FailOperations(session, c.failing);
  const std::set<std::string> before = test::Snapshot(session);

  test::RunUninstall(session);

  const test::Change change = test::Compare(before, test::Snapshot(session));
  if (c.uninstalled) {
    EXPECT_EQ(test::StartedProcesses(session), std::vector<std::string>{kFallbackStart});
    EXPECT_EQ(test::Boxes(session).back(), Box(2, "MB_OK", "IDOK", kSuccess));
    EXPECT_EQ(change.removed, test::FullyRemoved()) << test::Join(change.removed);
    EXPECT_EQ(change.added, test::FullyAdded()) << test::Join(change.added);
  } else {
    EXPECT_TRUE(test::StartedProcesses(session).empty());
    EXPECT_EQ(test::Boxes(session).back(), Box(1, "MB_OK", "IDOK", kInternalError));
    EXPECT_TRUE(change.removed.empty()) << test::Join(change.removed);
    EXPECT_TRUE(change.added.empty()) << test::Join(change.added);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TempFallback, testing::ValuesIn(kTempFallbackCases),
                         test::ByBehaviour);

}  // namespace
