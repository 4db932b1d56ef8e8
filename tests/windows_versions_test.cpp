// Whole runs on the Windows the program targets that differ where it can tell: read-only
// files, Windows 9x's restart deletion through WININIT.INI, and the shell told of changed
// associations.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/emulated/system_dlls.h"
#include "support/case_name.h"
#include "support/faults.h"
#include "support/installed_machine.h"
#include "support/machine_lines.h"
#include "support/run_support.h"

namespace {

const std::string kFolder = "C:\\Program Files\\Orbelle\\";
const std::string kCopy = "C:\\WINDOWS\\TEMP\\obuninst.tmp";
const std::string kWininit = "C:\\WINDOWS\\WININIT.INI";
constexpr std::uint32_t kReadOnly = 0x1, kHidden = 0x2, kSystem = 0x4;

std::string FileText(const emu::Session& session, const std::string& path) {
  const emu::FsNode* node = session.machine.files.Find(path);
  return node ? std::string(node->content.begin(), node->content.end()) : "(missing)";
}

std::vector<std::string> EventsOf(const emu::Session& session, emu::Event::Kind kind) {
  std::vector<std::string> found;
  for (const auto& event : session.record.events) {
    if (event.kind != kind) continue;
    found.push_back(std::to_string(event.process) + " " +
                    (kind == emu::Event::Kind::ShellNotify ? event.what : event.path));
  }
  return found;
}

struct ReadOnlyCase {
  const char* behaviour;
  std::vector<std::string> readOnly;    // files of the install marked read-only
  std::vector<std::string> extra = {};  // files added first (then marked when listed)
};

const ReadOnlyCase kReadOnlyCases[] = {
    {.behaviour = "a read-only program file is deleted without a prompt",
     .readOnly = {kFolder + "Orbelle.hlp"}},
    {.behaviour = "a read-only launcher is deleted by the worker",
     .readOnly = {kFolder + "Uninstall.exe", kFolder + "Orbelle.exe"}},
    {.behaviour = "read-only shortcuts and group shortcuts are deleted",
     .readOnly = {"C:\\WINDOWS\\Desktop\\Orbelle.lnk",
                  "C:\\WINDOWS\\Start Menu\\Programs\\Halcyra\\Orbelle\\ReadMe.lnk"}},
    {.behaviour = "a read-only copy left by an earlier run is replaced",
     .readOnly = {kCopy},
     .extra = {kCopy}},
};

class ReadOnly : public testing::TestWithParam<ReadOnlyCase> {};

TEST_P(ReadOnly, InstallFromCdUninstallsCompletely) {
  const ReadOnlyCase& c = GetParam();
  emu::Session session = test::InstalledMachine();
  test::AddLines(session, c.extra);
  for (const auto& path : c.readOnly) session.machine.files.Find(path)->attributes = kReadOnly;

  test::RunResult run = test::RunUninstall(session);

  EXPECT_EQ(run.status, emu::RunStatus::Completed);
  ASSERT_EQ(test::Boxes(session).size(), 2u) << "the confirmation and the closing message only";
  EXPECT_EQ(test::Boxes(session)[1], test::Box(2, "MB_OK", "IDOK", test::kSuccess));
  EXPECT_EQ(run.removed, test::FullyRemoved()) << "removed:" << test::Join(run.removed);
  const emu::FsNode* copy = session.machine.files.Find(kCopy);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->attributes, 0u) << "the temp copy is left writable";
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadOnly, testing::ValuesIn(kReadOnlyCases), test::ByBehaviour);

TEST(ReadOnlyFiles, OnlyTheReadOnlyBitIsClearedAndALinkIsNeverChangedThrough) {
  emu::Session session = test::InstalledMachine();
  session.machine.files.Find(kFolder + "Readme.txt")->attributes = kReadOnly | kHidden | kSystem;
  // Another program's read-only file, reached through a link planted where the copy goes.
  session.machine.files.CreateFile("C:\\WINDOWS\\SYSTEM\\USER.EXE").attributes = kReadOnly;
  emu::FsNode& link = session.machine.files.CreateFile(kCopy);
  link.linkTarget = "C:\\WINDOWS\\SYSTEM\\USER.EXE";
  test::LockFile(session, kFolder + "Readme.txt");
  session.scenario.answers = {emu::Answer::First, emu::Answer::Second};

  test::RunUninstall(session);

  EXPECT_EQ(session.machine.files.Find(kFolder + "Readme.txt")->attributes, kHidden | kSystem)
      << "hidden and system stay on a file that could not be deleted";
  EXPECT_EQ(session.machine.files.Find("C:\\WINDOWS\\SYSTEM\\USER.EXE")->attributes, kReadOnly)
      << "the link's target keeps its attribute";
  for (const auto& line : session.record.trace) {
    EXPECT_EQ(line.text.find("SetFileAttributesA(\"C:\\\\WINDOWS\\\\TEMP\\\\obuninst.tmp\""),
              std::string::npos)
        << line.text;
  }
}

struct NineXCase {
  const char* behaviour;
  std::string windowsFolder = {};  // "" = C:\WINDOWS
  std::string wininitBefore = {};  // "" = no WININIT.INI
  std::string wininitAfter;        // as the run leaves it
  bool scheduled = true;           // the copy's line is added
};

const NineXCase kNineXCases[] = {
    {.behaviour = "a missing WININIT.INI is created with the copy's short path",
     .wininitAfter = "[rename]\r\nNUL=C:\\WINDOWS\\TEMP\\obuninst.tmp\r\n"},
    {.behaviour = "other programs' pending deletions and sections stay",
     .wininitBefore = "[CombineVxDs]\r\nx=1\r\n[rename]\r\nNUL=C:\\OLD~1.DLL\r\nNUL=C:\\B.TMP\r\n"
                      "C:\\A.DLL=C:\\A.NEW\r\n[later]\r\ny=2\r\n",
     .wininitAfter =
         "[CombineVxDs]\r\nx=1\r\n[rename]\r\nNUL=C:\\OLD~1.DLL\r\nNUL=C:\\B.TMP\r\n"
         "C:\\A.DLL=C:\\A.NEW\r\nNUL=C:\\WINDOWS\\TEMP\\obuninst.tmp\r\n[later]\r\ny=2\r\n"},
    {.behaviour = "another Windows folder gets its own file",
     .windowsFolder = "D:\\WIN98",
     .wininitAfter = "[rename]\r\nNUL=C:\\WINDOWS\\TEMP\\obuninst.tmp\r\n"},
    // A failed read answers as a missing section does: writing on it could drop other
    // programs' lines, so the copy stays instead.
    {.behaviour = "an existing file that seems to have no rename section is left alone",
     .wininitBefore = "[other]\r\nz=3\r\n",
     .wininitAfter = "[other]\r\nz=3\r\n",
     .scheduled = false},
};

class NineX : public testing::TestWithParam<NineXCase> {};

TEST_P(NineX, TheCopyIsDeletedAtRestartThroughWininit) {
  const NineXCase& c = GetParam();
  emu::Session session = test::InstalledMachine();
  session.scenario.windows = emu::WindowsVersion::Nine;
  if (!c.windowsFolder.empty()) session.scenario.windowsFolder = c.windowsFolder;
  const std::string wininit = session.scenario.windowsFolder + "\\WININIT.INI";
  session.machine.files.CreateFolder(session.scenario.windowsFolder);
  if (!c.wininitBefore.empty()) {
    session.machine.files.CreateFile(wininit,
                                     emu::Bytes(c.wininitBefore.begin(), c.wininitBefore.end()));
  }

  test::RunUninstall(session);

  EXPECT_EQ(FileText(session, wininit), c.wininitAfter);
  EXPECT_EQ(EventsOf(session, emu::Event::Kind::RestartDelete),
            c.scheduled ? std::vector<std::string>{"2 C:\\WINDOWS\\TEMP\\obuninst.tmp"}
                        : std::vector<std::string>{})
      << "only the line this run wrote";
  EXPECT_NE(session.machine.files.Find(kCopy), nullptr)
      << "the session is the one before the restart";
  EXPECT_EQ(test::Boxes(session).back(), test::Box(2, "MB_OK", "IDOK", test::kSuccess));
}

INSTANTIATE_TEST_SUITE_P(Cases, NineX, testing::ValuesIn(kNineXCases), test::ByBehaviour);

TEST(NineXShortPaths, ALongTempFolderIsWrittenInItsShortForm) {
  test::Install install;
  install.temp = "C:\\WINDOWS\\Local Temporary Files\\";
  emu::Session session = test::InstalledMachine(install);
  session.scenario.tempPath = install.temp;
  session.scenario.windows = emu::WindowsVersion::Nine;

  test::RunUninstall(session);

  EXPECT_EQ(FileText(session, kWininit), "[rename]\r\nNUL=C:\\WINDOWS\\LOCALT~1\\obuninst.tmp\r\n");
}

TEST(NineXShortPaths, ASectionTooLongToReadBackIsLeftAlone) {
  emu::Session session = test::InstalledMachine();
  session.scenario.windows = emu::WindowsVersion::Nine;
  std::string text = "[rename]\r\n";
  for (int i = 0; i < 400; ++i) text += "NUL=C:\\TEMP\\F" + std::to_string(i) + ".TMP\r\n";
  session.machine.files.CreateFile(kWininit, emu::Bytes(text.begin(), text.end()));

  test::RunUninstall(session);

  EXPECT_EQ(FileText(session, kWininit), text) << "no other program's line is lost";
  EXPECT_TRUE(EventsOf(session, emu::Event::Kind::RestartDelete).empty());
}

struct NotifyCase {
  const char* behaviour;
  bool noClass = false;  // the product's class is already gone
  std::vector<std::string> failing = {};
  bool windows9x = false;
  std::vector<std::string> notices = {};
};

// Every case ends in the success box: the notice is no part of the uninstall's result.
const NotifyCase kNotifyCases[] = {
    {.behaviour = "given-back associations are announced once",
     .notices = {"2 SHCNE_ASSOCCHANGED"}},
    {.behaviour = "on Windows 9x too, from its SYSTEM folder",
     .windows9x = true,
     .notices = {"2 SHCNE_ASSOCCHANGED"}},
    {.behaviour = "no class, no change, no notice", .noClass = true},
    {.behaviour = "a missing shell32 costs only the notice", .failing = {"LoadLibraryA"}},
    {.behaviour = "a shell32 without the function costs only the notice",
     .failing = {"GetProcAddress"}},
    {.behaviour = "no system folder costs only the notice", .failing = {"GetSystemDirectoryA"}},
};

class Notify : public testing::TestWithParam<NotifyCase> {};

TEST_P(Notify, TheShellHearsOfChangedAssociations) {
  const NotifyCase& c = GetParam();
  emu::Session session = test::InstalledMachine();
  if (c.noClass) session.machine.registry.classesRoot.Remove("Orbelle");
  test::FailOperations(session, c.failing);
  session.scenario.windows = c.windows9x ? emu::WindowsVersion::Nine : emu::WindowsVersion::Nt;

  test::RunUninstall(session);

  EXPECT_EQ(EventsOf(session, emu::Event::Kind::ShellNotify), c.notices);
  EXPECT_EQ(test::Boxes(session).back(), test::Box(2, "MB_OK", "IDOK", test::kSuccess));
  // The shell may leave a window or thread of its own behind: shell32 stays until the end.
  const bool loaded = c.failing.empty() || c.failing.front() == "GetProcAddress";
  EXPECT_EQ(emu::Processes(session).at(1).shell32Loads, loaded && !c.noClass ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, Notify, testing::ValuesIn(kNotifyCases), test::ByBehaviour);

struct OwnNameCase {
  const char* behaviour;
  bool windows9x = false;
  std::string reported;  // what GetModuleFileNameA gives the worker for its copy
  std::vector<std::string> restartDeletes = {};
  std::string wininit = "(missing)";  // 9x: WININIT.INI after the run
};

const OwnNameCase kOwnNameCases[] = {
    {.behaviour = "an upper-case own name on NT is still the copy",
     .reported = "C:\\WINDOWS\\TEMP\\OBUNINST.TMP",
     .restartDeletes = {"C:\\WINDOWS\\TEMP\\OBUNINST.TMP"}},
    // The NUL= line names the file as GetShortPathNameA spells it: obuninst.tmp is a short
    // name already, given back in the case it has on disk.
    {.behaviour = "the short upper-case name Windows 9x gives is still the copy",
     .windows9x = true,
     .reported = "C:\\WINDOWS\\TEMP\\OBUNINST.TMP",
     .restartDeletes = {"C:\\WINDOWS\\TEMP\\obuninst.tmp"},
     .wininit = "[rename]\r\nNUL=C:\\WINDOWS\\TEMP\\obuninst.tmp\r\n"},
    {.behaviour = "a mixed-case own name is still the copy",
     .reported = "c:\\windows\\temp\\ObUnInSt.TmP",
     .restartDeletes = {"c:\\windows\\temp\\ObUnInSt.TmP"}},
    {.behaviour = "a process whose own file has another name schedules nothing",
     .windows9x = true,
     .reported = "C:\\WINDOWS\\TEMP\\OBUNINST.EXE"},
};

class OwnName : public testing::TestWithParam<OwnNameCase> {};

TEST_P(OwnName, TheCopyIsRecognisedWhateverCaseItsPathIsReportedIn) {
  const OwnNameCase& c = GetParam();
  emu::Session session = test::InstalledMachine();
  session.scenario.windows = c.windows9x ? emu::WindowsVersion::Nine : emu::WindowsVersion::Nt;
  session.scenario.faults.modulePathAs[emu::UpperName(kCopy)] = c.reported;

  test::RunUninstall(session);

  EXPECT_EQ(session.record.restartDeletes, c.restartDeletes);
  EXPECT_EQ(FileText(session, kWininit), c.wininit);
  EXPECT_EQ(test::Boxes(session).back(), test::Box(2, "MB_OK", "IDOK", test::kSuccess))
      << "the name plays no part in the removal itself";
}

INSTANTIATE_TEST_SUITE_P(Cases, OwnName, testing::ValuesIn(kOwnNameCases), test::ByBehaviour);

// Where SetDefaultDllDirectories is missing, every DLL that the system itself loads by bare name
// (the emulator's table) must already be loaded from the system folder when the load comes:
// with all of them planted beside the launcher and beside the temp copy, the run maps none.
class PlantedSystemDlls : public testing::TestWithParam<emu::WindowsVersion> {};

TEST_P(PlantedSystemDlls, AreNeverMapped) {
  emu::Session session = test::InstalledMachine();
  session.scenario.windows = GetParam();
  std::set<std::string> names = {"profapi.dll"};  // userenv's own import
  for (const emu::SystemLoad& load : emu::SystemLoadsByName()) names.insert(load.dll);
  for (const std::string& name : names) {
    session.machine.files.CreateFile(kFolder + name, {'M', 'Z'});
    session.machine.files.CreateFile("C:\\WINDOWS\\TEMP\\" + name, {'M', 'Z'});
  }

  test::RunUninstall(session);

  EXPECT_EQ(EventsOf(session, emu::Event::Kind::ForeignDll), std::vector<std::string>{});
  ASSERT_FALSE(test::Boxes(session).empty()) << "the boxes show on every Windows";
  EXPECT_EQ(test::Boxes(session).back(), test::Box(2, "MB_OK", "IDOK", test::kSuccess));
}

INSTANTIATE_TEST_SUITE_P(Versions, PlantedSystemDlls,
                         testing::Values(emu::WindowsVersion::Nt, emu::WindowsVersion::Seven,
                                         emu::WindowsVersion::Xp, emu::WindowsVersion::Nine),
                         [](const auto& info) {
                           return std::string(emu::WindowsVersion::Nt == info.param      ? "Nt"
                                              : emu::WindowsVersion::Seven == info.param ? "Seven"
                                              : emu::WindowsVersion::Xp == info.param    ? "Xp"
                                                                                         : "Nine");
                         });

}  // namespace
