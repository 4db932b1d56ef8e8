// scenario.ini: how a run goes, and the errors that stop a bad scenario before the run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image_error.h"
#include "scenario.h"
#include "session.h"
#include "support/new_session.h"

namespace mi = machine_image;

namespace {

std::vector<std::string> Apply(const std::string& text, emu::Session& session) {
  std::vector<std::string> warnings;
  mi::ApplyScenario(text, "img/scenario.ini", session, warnings);
  return warnings;
}

std::string ErrorOf(const std::string& text) {
  try {
    emu::Session session = test::NewSession();
    Apply(text, session);
  } catch (const mi::ImageError& error) {
    return error.what();
  }
  return "(no error)";
}

}  // namespace

TEST(Scenario, ReadsEverySection) {
  emu::Session session = test::NewSession();
  session.machine.registry.CreateKey(emu::Root::ClassesRoot, "Orbelle");
  session.machine.files.CreateFile("C:\\WINDOWS\\SYSTEM\\USER.EXE");
  const auto warnings = Apply(
      "; everything a scenario can say\n"
      "[RUN]\n"
      "exe = D:\\Apps\\Orbelle\\Uninstall.exe   ; where the user started it\n"
      "temp=C:\\Temp Folder\n"
      "answers= yes, No ,OK,cancel\n"
      "image_release=3\n"
      "[locked]\n"
      "C:\\Program Files\\Orbelle\\Orbelle.hlp=always\n"
      "C:\\odd=name.txt = 2\n"
      "[denied]\n"
      "HKCR\\orbelle\n"
      "HKEY_CURRENT_USER\\Software\\Nobody\n"
      "[fail]\n"
      "copyfilea\n"
      "[links]\n"
      "C:\\WINDOWS\\TEMP\\obuninst.tmp=C:\\WINDOWS\\SYSTEM\\USER.EXE\n",
      session);
  EXPECT_EQ(session.scenario.exePath, "D:\\Apps\\Orbelle\\Uninstall.exe");
  EXPECT_EQ(session.scenario.tempPath, "C:\\Temp Folder");
  using A = emu::Answer;
  EXPECT_EQ(session.scenario.answers, (std::vector<A>{A::First, A::Second, A::First, A::Second}));
  EXPECT_EQ(session.scenario.faults.imageRelease, 3);
  const emu::Lock& hlp =
      session.scenario.faults.locked.at("C:\\PROGRAM FILES\\ORBELLE\\ORBELLE.HLP");
  EXPECT_TRUE(hlp.always);
  EXPECT_EQ(session.scenario.faults.locked.at("C:\\ODD=NAME.TXT").failures,
            2);  // split at the last '='
  EXPECT_TRUE(session.machine.registry.FindKey(emu::Root::ClassesRoot, "Orbelle")->denied);
  ASSERT_EQ(warnings.size(), 1u);  // the denied key the registry lacks
  EXPECT_NE(warnings[0].find("img/scenario.ini:12:"), std::string::npos) << warnings[0];
  EXPECT_EQ(session.scenario.faults.failingOperations, (std::set<std::string>{"CopyFileA"}));
  const emu::FsNode* link = session.machine.files.Find("C:\\WINDOWS\\TEMP\\obuninst.tmp");
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->linkTarget, "C:\\WINDOWS\\SYSTEM\\USER.EXE");
  EXPECT_FALSE(link->directory);
}

TEST(Scenario, DefaultsHoldWithoutRunSection) {
  emu::Session session;
  Apply("[run]\nanswers=\n", session);
  EXPECT_EQ(session.scenario.exePath, machine_image::kDefaultExe);
  EXPECT_EQ(session.scenario.tempPath, emu::kDefaultTemp);
  EXPECT_TRUE(session.scenario.answers.empty());
  EXPECT_EQ(session.scenario.faults.imageRelease, 0);
}

TEST(Scenario, BadLinesNameTheFileAndLine) {
  struct Row {
    std::string text, error;
  } rows[] = {
      {"exe=C:\\x.exe\n", "img/scenario.ini:1: \"exe=C:\\x.exe\" stands outside any section"},
      {"[run]\n\n[walk]\n", "img/scenario.ini:3: unknown section [walk]"},
      {"[run]\nanswer=yes\n", "img/scenario.ini:2: unknown key \"answer\" in [run]"},
      {"[run]\nanswers=yes,maybe\n", "img/scenario.ini:2: unknown answer \"maybe\""},
      {"[run]\nimage_release=-1\n", "img/scenario.ini:2: image_release must be a whole number"},
      {"[run]\nimage_release=two\n", "img/scenario.ini:2: image_release must be a whole number"},
      {"[run]\nexe=Uninstall.exe\n", "img/scenario.ini:2: exe must be a full path"},
      {"[run]\ntemp=C:\\a\ntemp=C:\\b\n", "img/scenario.ini:3: [run] sets temp twice"},
      {"[run]\nexe\n", "img/scenario.ini:2: expected NAME=VALUE"},
      {"[locked]\nC:\\a.txt=sometimes\n", "img/scenario.ini:2: a lock must be a whole number"},
      {"[locked]\na.txt=1\n", "img/scenario.ini:2: a locked file must be a full path"},
      {"[denied]\nHKEY_USERS\\x\n", "img/scenario.ini:2: unknown registry root \"HKEY_USERS\""},
      {"[fail]\nFormatDriveA\n", "img/scenario.ini:2: \"FormatDriveA\" is not an operation"},
      {"[links]\nC:\\a=\n", "img/scenario.ini:2: the link C:\\a needs a target"},
      {"[links]\nrelative=C:\\b\n", "img/scenario.ini:2: a link must be a full path"},
      {"[run\n", "img/scenario.ini:1: a section name must end with ']'"},
      {"[race]\nbefore=CopyFileA#1 delete C:\\a\n",
       "img/scenario.ini:2: a race starts with after="},
      {"[race]\nafter=CopyFileA delete C:\\a\n", "img/scenario.ini:2: \"CopyFileA\" names no call"},
      {"[race]\nafter=FormatDriveA#1 delete C:\\a\n",
       "img/scenario.ini:2: \"FormatDriveA\" is no operation"},
      {"[race]\nafter=CopyFileA#0 delete C:\\a\n", "img/scenario.ini:2: a call number counts"},
      {"[race]\nafter=CopyFileA#x delete C:\\a\n", "img/scenario.ini:2: a call number must be"},
      {"[race]\nafter=CopyFileA#1 burn C:\\a\n", "img/scenario.ini:2: unknown race action"},
      {"[race]\nafter=CopyFileA#1 replace C:\\a\n", "img/scenario.ini:2: replace needs PATH=ARG"},
      {"[race]\nafter=CopyFileA#1 rename C:\\a=b\n", "img/scenario.ini:2: \"b\" must be a full"},
      {"[race]\nafter=CopyFileA#1 delete a.tmp\n", "img/scenario.ini:2: a race acts on a full"},
      {"[race]\nafter=CopyFileA#1 hold C:\\a\n", "img/scenario.ini:2: hold needs PATH=K"},
      {"[race]\nafter=CopyFileA#1 hold C:\\a=0\n", "img/scenario.ini:2: a hold lasts 1 call"},
      {"[race]\nafter=CopyFileA#1 hold C:\\a=-2\n",
       "img/scenario.ini:2: a hold's number of calls must be a whole number"},
      {"[race]\nafter=CopyFileA#1 hold C:\\a=forever\n",
       "img/scenario.ini:2: a hold's number of calls must be a whole number"},
      {"[race]\nafter=CopyFileA#1 hold a.tmp=3\n", "img/scenario.ini:2: a race acts on a full"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ErrorOf(row.text).rfind(row.error, 0), 0u)
        << "for:\n"
        << row.text << "\ngot: " << ErrorOf(row.text);
  }
}

TEST(Scenario, ALinkCannotReplaceAFolderWithContents) {
  emu::Session session = test::NewSession();
  session.machine.files.CreateFile("C:\\Data\\keep.txt");
  session.machine.files.CreateFolder("C:\\Target");
  EXPECT_THROW(Apply("[links]\nC:\\Data=C:\\Target\n", session), mi::ImageError);
  Apply("[links]\nC:\\Junction=C:\\Target\n", session);
  EXPECT_TRUE(session.machine.files.Find("C:\\Junction")->directory);  // a link to a folder
}

TEST(Scenario, ReadsRaces) {
  emu::Session session = test::NewSession();
  Apply(
      "[race]\n"
      "after=CopyFileA#1 replace C:\\WINDOWS\\TEMP\\obuninst.tmp=C:\\evil.exe ; swapped\n"
      "AFTER=readfile#12  DELETE  C:\\WINDOWS\\TEMP\\obuninst.tmp\n"
      "after=CreateFileA#2 link C:\\WINDOWS\\TEMP = C:\\Evil\n"
      "after=CloseHandle#1 rename C:\\WINDOWS\\TEMP\\obuninst.tmp=C:\\away.tmp\n",
      session);
  using A = emu::Race::Action;
  ASSERT_EQ(session.scenario.races.size(), 4u);
  const emu::Race& replace = session.scenario.races[0];
  EXPECT_EQ(replace.operation, "CopyFileA");
  EXPECT_EQ(replace.call, 1);
  EXPECT_EQ(replace.action, A::Replace);
  EXPECT_EQ(replace.path, "C:\\WINDOWS\\TEMP\\obuninst.tmp");
  EXPECT_EQ(replace.argument, "C:\\evil.exe");
  EXPECT_EQ(session.scenario.races[1].operation, "ReadFile") << "spelled as Win32 does";
  EXPECT_EQ(session.scenario.races[1].call, 12);
  EXPECT_EQ(session.scenario.races[1].action, A::Delete);
  EXPECT_EQ(session.scenario.races[2].path, "C:\\WINDOWS\\TEMP");
  EXPECT_EQ(session.scenario.races[2].argument, "C:\\Evil");
  EXPECT_EQ(session.scenario.races[3].action, A::Rename);
}

TEST(Scenario, ReadsHolds) {
  struct Row {
    const char* line;
    std::string path;
    long calls = 0;
    bool always = false;
  };
  const Row rows[] = {
      {.line = "after=CopyFileA#1 hold C:\\WINDOWS\\TEMP\\obuninst.tmp=3",
       .path = "C:\\WINDOWS\\TEMP\\obuninst.tmp",
       .calls = 3},
      {.line = "after=Sleep#2 HOLD C:\\a.tmp = Always", .path = "C:\\a.tmp", .always = true},
      {.line = "after=Sleep#2 hold C:\\odd=name.tmp=12", .path = "C:\\odd=name.tmp", .calls = 12},
  };
  for (const Row& row : rows) {
    emu::Session session = test::NewSession();
    Apply("[race]\n" + std::string(row.line) + "\n", session);
    ASSERT_EQ(session.scenario.races.size(), 1u) << row.line;
    const emu::Race& race = session.scenario.races[0];
    EXPECT_EQ(race.action, emu::Race::Action::Hold) << row.line;
    EXPECT_EQ(race.path, row.path) << row.line;
    EXPECT_EQ(race.holdCalls, row.calls) << row.line;
    EXPECT_EQ(race.holdAlways, row.always) << row.line;
    EXPECT_EQ(emu::HoldLength(race), row.always ? "always" : std::to_string(row.calls));
  }
}
