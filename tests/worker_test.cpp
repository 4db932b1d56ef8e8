// The worker's edge cases as whole runs: started on its own with a chosen tail, or after the
// launcher where the launcher's exit matters. The whole machine is compared afterwards.
#include <gtest/gtest.h>

#include <functional>

#include "app/startup.h"
#include "support/case_name.h"
#include "support/faults.h"
#include "support/installed_machine.h"
#include "support/machine_lines.h"
#include "support/run_support.h"
#include "support/three_way.h"

namespace {

using test::Box;
using test::kInternalError;
using test::kSuccess;
using test::StillRunningText;

const std::string kFolder = "C:\\Program Files\\Orbelle";
const std::string kCopy = "C:\\WINDOWS\\TEMP\\obuninst.tmp";
const std::string kHalcyra = "HKCU\\Software\\Halcyra";
const std::string kDesktopShortcut = "C:\\WINDOWS\\Desktop\\Orbelle.lnk";

std::set<std::string> WorkerRemoves(const test::Install& install = {}) {
  std::set<std::string> removed;
  for (const auto& line : test::FullyRemoved(install)) {
    if (line.rfind("HKLM", 0) != 0) removed.insert(line);  // the launcher's part
  }
  return removed;
}

std::set<std::string> WorkerAdds(const test::Install& install = {}) {
  auto added = test::FullyAdded(install);
  added.erase(install.temp + "obuninst.tmp");  // the copy was there before the worker
  return added;
}

void Nothing(std::set<std::string>& removed, std::set<std::string>& added) {
  removed.clear();
  added.clear();
}

void Everything(std::set<std::string>&, std::set<std::string>&) {}

struct WorkerCase {
  const char* behaviour;
  std::string tail = kFolder;  // as the launcher hands it over
  test::Install install = {};
  std::function<void(emu::Session&)> prepare = nullptr;
  std::vector<emu::Answer> answers = {};
  std::vector<std::string> boxes;  // process 1 is the worker
  std::function<void(std::set<std::string>& removed, std::set<std::string>& added)> expect =
      Everything;
  bool restartDelete = true;
};

const std::string kHlp = kFolder + "\\Orbelle.hlp";

const WorkerCase kCases[] = {
    {.behaviour = "a tail without a trailing backslash",
     .tail = kFolder,
     .boxes = {Box(1, "MB_OK", "IDOK", kSuccess)}},
    {.behaviour = "a tail with a trailing backslash gets no second one",
     .tail = kFolder + "\\",
     .boxes = {Box(1, "MB_OK", "IDOK", kSuccess)}},
    {.behaviour = "a drive-root tail works at the root, whose removal fails harmlessly",
     .tail = "C:",
     .install = {.folder = "C:"},
     .boxes = {Box(1, "MB_OK", "IDOK", kSuccess)}},
    {.behaviour = "a hand-typed tail with quotes finds no Uninstall.exe and removes nothing",
     .tail = "\"" + kFolder + "\"",
     .boxes = {Box(1, "MB_OK", "IDOK", kInternalError)},
     .expect = Nothing},
    {.behaviour = "a tail too long for the working path with a name removes nothing",
     .tail = "C:\\" + std::string(243, 'f'),
     .boxes = {Box(1, "MB_OK", "IDOK", kInternalError)},
     .expect = Nothing},
    {.behaviour = "a missing program file is skipped without a prompt",
     .prepare = [](emu::Session& m) { test::RemoveFile(m, kFolder + "\\Orbelle.gid"); },
     .boxes = {Box(1, "MB_OK", "IDOK", kSuccess)},
     .expect = [](auto& removed, auto&) { removed.erase(kFolder + "\\Orbelle.gid"); }},
    {.behaviour = "a file in use is retried after each OK until it can be deleted",
     .prepare = [](emu::Session& m) { test::LockFile(m, kHlp, 2); },
     .boxes = {Box(1, "MB_OKCANCEL", "IDOK", StillRunningText(kHlp)),
               Box(1, "MB_OKCANCEL", "IDOK", StillRunningText(kHlp)),
               Box(1, "MB_OK", "IDOK", kSuccess)}},
    {.behaviour =
         "a file that stays locked through OK answers is given up at Cancel; the rest still goes",
     .prepare = [](emu::Session& m) { test::LockFile(m, kHlp); },
     .answers = {emu::Answer::First, emu::Answer::First, emu::Answer::Second},
     .boxes = {Box(1, "MB_OKCANCEL", "IDOK", StillRunningText(kHlp)),
               Box(1, "MB_OKCANCEL", "IDOK", StillRunningText(kHlp)),
               Box(1, "MB_OKCANCEL", "IDCANCEL", StillRunningText(kHlp)),
               Box(1, "MB_OK", "IDOK", kInternalError)},
     .expect = [](auto& removed, auto&) { removed.erase(kHlp); }},
    {.behaviour = "without a user file the install folder goes too",
     .prepare = [](emu::Session& m) { test::RemoveFile(m, kFolder + "\\garden.wrl"); },
     .boxes = {Box(1, "MB_OK", "IDOK", kSuccess)},
     .expect = [](auto& removed, auto&) { removed.insert(kFolder + "\\"); }},
    {.behaviour = "a Cancel keeps the install folder even when it would be empty",
     .prepare =
         [](emu::Session& m) {
           test::RemoveFile(m, kFolder + "\\garden.wrl");
           test::LockFile(m, kFolder + "\\Orbelle.exe", 1);
         },
     .answers = {emu::Answer::Second},
     .boxes = {Box(1, "MB_OKCANCEL", "IDCANCEL", StillRunningText(kFolder + "\\Orbelle.exe")),
               Box(1, "MB_OK", "IDOK", kInternalError)},
     .expect = [](auto& removed, auto&) { removed.erase(kFolder + "\\Orbelle.exe"); }},
    {.behaviour = "settings directly under Software are deleted when the maker's key is missing",
     .prepare =
         [](emu::Session& m) {
           m.machine.registry.RootKey(emu::Root::CurrentUser).Find("Software")->Remove("Halcyra");
           test::AddLines(m, {"HKCU\\Software\\Orbelle\\Old|v|1"});
         },
     .boxes = {Box(1, "MB_OK", "IDOK", kSuccess)},
     .expect =
         [](auto& removed, auto&) {
           std::erase_if(removed, [](const auto& l) { return l.rfind(kHalcyra, 0) == 0; });
           removed.insert({"HKCU\\Software\\Orbelle", "HKCU\\Software\\Orbelle\\Old",
                           "HKCU\\Software\\Orbelle\\Old|v|1"});
         }},
    {.behaviour =
         "settings directly under Software are deleted when the maker's key has no product key",
     .prepare =
         [](emu::Session& m) {
           m.machine.registry.FindKey(emu::Root::CurrentUser, "Software\\Halcyra")
               ->Remove("Orbelle");
           test::AddLines(m, {"HKCU\\Software\\Orbelle|v|1"});
         },
     .boxes = {Box(1, "MB_OK", "IDOK", kSuccess)},
     .expect =
         [](auto& removed, auto&) {
           std::erase_if(removed, [](const auto& l) { return l.rfind(kHalcyra, 0) == 0; });
           removed.insert({"HKCU\\Software\\Orbelle", "HKCU\\Software\\Orbelle|v|1"});
         }},
    {.behaviour =
         "settings directly under Software are deleted when the maker's product key resists",
     .prepare =
         [](emu::Session& m) {
           m.machine.registry.FindKey(emu::Root::CurrentUser, "Software\\Halcyra\\Orbelle")
               ->denied = true;
           test::AddLines(m, {"HKCU\\Software\\Orbelle|v|1"});
         },
     .boxes = {Box(1, "MB_OK", "IDOK", kSuccess)},
     .expect =
         [](auto& removed, auto&) {
           // Its subkeys go; the key stays, with its own values.
           std::erase_if(removed, [](const auto& l) {
             return l == kHalcyra + "\\Orbelle" || l.rfind(kHalcyra + "\\Orbelle|", 0) == 0;
           });
           removed.insert({"HKCU\\Software\\Orbelle", "HKCU\\Software\\Orbelle|v|1"});
         }},
    {.behaviour = "a failing shortcut stops the chain; later shortcuts stay, the group still goes",
     .prepare = [](emu::Session& m) { test::LockFile(m, kDesktopShortcut); },
     .boxes = {Box(1, "MB_OK", "IDOK", kInternalError)},
     .expect =
         [](auto& removed, auto&) {
           removed.erase(kDesktopShortcut);
           removed.erase("C:\\WINDOWS\\Start Menu\\Orbelle.lnk");
         }},
    {.behaviour =
         "a class that cannot be deleted keeps the extensions and every shortcut; the group goes",
     .prepare =
         [](emu::Session& m) {
           m.machine.registry.FindKey(emu::Root::ClassesRoot, "Orbelle")->denied = true;
         },
     .boxes = {Box(1, "MB_OK", "IDOK", kInternalError)},
     .expect =
         [](auto& removed, auto& added) {
           std::erase_if(removed, [](const auto& l) {
             bool extension = l.rfind("HKCR\\.", 0) == 0;
             bool productShortcut =
                 l.find(".lnk") != std::string::npos && l.find("\\Halcyra\\") == std::string::npos;
             return extension || productShortcut;
           });
           removed.erase("HKCR\\Orbelle");
           removed.erase("HKCR\\Orbelle|@|VRML World");
           added.clear();
         }},
    {.behaviour = "an own path cut short schedules no deletion; the closing goes as usual",
     .boxes = {Box(1, "MB_OK", "IDOK", kSuccess)},
     .restartDelete = false},
};

class Worker : public testing::TestWithParam<WorkerCase> {};

TEST_P(Worker, Run) {
  const WorkerCase& c = GetParam();
  emu::Session session = test::InstalledMachine(c.install);
  // The copy the launcher made; a long one for the case whose own path does not fit.
  std::string image =
      c.restartDelete ? kCopy : "C:\\WINDOWS\\TEMP\\" + std::string(250, 'w') + ".tmp";
  test::AddLines(session, {image});
  if (c.prepare) c.prepare(session);
  session.scenario.answers = c.answers;
  auto before = test::Snapshot(session);

  auto status =
      test::RunThreeWays(session, image, "\"" + image + "\" " + c.tail, "C:\\WINDOWS\\TEMP\\");

  EXPECT_EQ(status, emu::RunStatus::Completed);
  EXPECT_EQ(test::Boxes(session), c.boxes);
  EXPECT_EQ(test::ExitCodes(session), std::vector<int>{0});
  EXPECT_EQ(emu::OpenKeyCount(session), 0);
  EXPECT_EQ(session.record.restartDeletes,
            c.restartDelete ? std::vector<std::string>{image} : std::vector<std::string>{});

  auto removed = WorkerRemoves(c.install);
  auto added = WorkerAdds(c.install);
  c.expect(removed, added);
  auto change = test::Compare(before, test::Snapshot(session));
  EXPECT_EQ(change.removed, removed) << "removed:" << test::Join(change.removed);
  EXPECT_EQ(change.added, added) << "added:" << test::Join(change.added);
}

INSTANTIATE_TEST_SUITE_P(Cases, Worker, testing::ValuesIn(kCases), test::ByBehaviour);

// The success box comes before the restart request, the internal error after it.
TEST(WorkerClosing, OrdersTheMessageAndTheRestartRequest) {
  for (bool fail : {false, true}) {
    emu::Session session = test::InstalledMachine();
    test::AddLines(session, {kCopy});
    if (fail) test::LockFile(session, kDesktopShortcut);
    test::RunThreeWays(session, kCopy, "\"" + kCopy + "\" " + kFolder, "C:\\WINDOWS\\TEMP\\");
    std::vector<std::string> closing;
    for (const auto& e : session.record.events) {
      if (e.kind == emu::Event::Kind::Message) closing.push_back(e.text);
      if (e.kind == emu::Event::Kind::RestartDelete) closing.push_back("restart:" + e.path);
    }
    std::vector<std::string> expected = {kSuccess, "restart:" + kCopy};
    if (fail) expected = {"restart:" + kCopy, kInternalError};
    EXPECT_EQ(closing, expected);
  }
}

// The launcher's file stays locked for a while after the launcher has ended: 41 attempts with a
// pause after each failure are the whole budget.
TEST(WorkerWait, GivesUpOnTheLauncherFileAfterFortyOneAttempts) {
  struct Row {
    int release;
    int sleeps;
    bool uninstalled;
  };
  for (const Row& row : {Row{0, 0, true}, Row{40, 40, true}, Row{41, 41, false}}) {
    emu::Session session = test::InstalledMachine();
    session.scenario.faults.imageRelease = row.release;
    test::RunResult run = test::RunUninstall(session);
    EXPECT_EQ(test::SleepCount(session), row.sleeps) << row.release;
    EXPECT_EQ(emu::ClockMs(session), 50u * row.sleeps) << row.release;
    auto boxes = test::Boxes(session);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1], Box(2, "MB_OK", "IDOK", row.uninstalled ? kSuccess : kInternalError));
    EXPECT_EQ(session.record.restartDeletes, std::vector<std::string>{kCopy});
    if (row.uninstalled) {
      EXPECT_EQ(run.removed, test::FullyRemoved());
    } else {
      // Only the launcher's machine-wide entries went; the worker removed nothing.
      for (const auto& line : run.removed) EXPECT_EQ(line.rfind("HKLM", 0), 0u) << line;
      EXPECT_EQ(run.added, std::set<std::string>{kCopy});
    }
  }
}

}  // namespace
