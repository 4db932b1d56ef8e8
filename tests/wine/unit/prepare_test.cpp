// What Wine can be made to do, and the Shell Folders that laying an image keeps from Wine.
#include "prepare.h"

#include <gtest/gtest.h>

#include "reg_reader.h"
#include "scenario.h"

namespace {

struct Case {
  const char* name;
  const char* scenario;
  const char* unrealisable;  // nullptr: Wine can run it
};

class UnrealisableTest : public testing::TestWithParam<Case> {};

TEST_P(UnrealisableTest, NamesWhatWineCannotDo) {
  emu::Session session;
  machine_image::ReadRegFile("REGEDIT4\r\n[HKEY_CLASSES_ROOT\\Orbelle]\r\n", "r.reg",
                             session.machine);
  session.machine.files.CreateFile("C:\\Program Files\\Orbelle\\Orbelle.hlp");
  std::vector<std::string> warnings;
  machine_image::ApplyScenario(GetParam().scenario, "scenario.ini", session, warnings);
  const auto parts = wine_harness::UnrealisableParts(session);
  if (GetParam().unrealisable == nullptr) {
    EXPECT_TRUE(parts.empty()) << parts.front();
  } else {
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_NE(parts[0].find(GetParam().unrealisable), std::string::npos) << parts[0];
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnrealisableTest,
    testing::Values(
        Case{"plain", "[run]\nanswers=yes\n", nullptr},
        Case{"held_for_ever", "[locked]\nC:\\Program Files\\Orbelle\\Orbelle.hlp=always\n",
             nullptr},
        Case{"held_for_some_attempts", "[locked]\nC:\\Program Files\\Orbelle\\Orbelle.hlp=2\n",
             "for a number of attempts"},
        Case{"failing_call", "[fail]\nCopyFileA\n", "[fail]"},
        Case{"denied_key", "[denied]\nHKCR\\Orbelle\n", "[denied]"},
        Case{"late_release", "[run]\nimage_release=3\n", "image_release"},
        Case{"link",
             "[links]\nC:\\WINDOWS\\TEMP\\obuninst.tmp=C:\\Program Files\\Orbelle\\Orbelle.hlp\n",
             "[links]"},
        Case{"read_only_file", "[attributes]\nC:\\Program Files\\Orbelle\\Orbelle.hlp=readonly\n",
             nullptr},
        Case{"hidden_file",
             "[attributes]\nC:\\Program Files\\Orbelle\\Orbelle.hlp=readonly,hidden\n",
             "hidden or system"},
        Case{"windows_9x", "[run]\nwindows=9x\n", "windows=9x"},
        Case{"other_windows_folder", "[run]\nwindows_folder=D:\\WINNT\n", "windows_folder"},
        Case{"scanner_hold",
             "[race]\nafter=CopyFileA#1 hold C:\\Program Files\\Orbelle\\Orbelle.hlp=4\n",
             "[race] hold C:\\Program Files\\Orbelle\\Orbelle.hlp=4"}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(MirrorShellFolders, CopiesShellFoldersWhereUserShellFoldersDiffer) {
  emu::Session session;
  machine_image::ReadRegFile(
      "REGEDIT4\r\n"
      "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
      "Folders]\r\n"
      "\"Desktop\"=\"C:\\\\WINDOWS\\\\Desktop\"\r\n\"SendTo\"=\"C:\\\\WINDOWS\\\\SendTo\\\\\"\r\n"
      "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell "
      "Folders]\r\n\"Desktop\"=\"C:\\\\WINDOWS\\\\Desktop\"\r\n\"SendTo\"=\"%windir%"
      "\\\\SendTo\"\r\n",
      "r.reg", session.machine);
  EXPECT_EQ(wine_harness::MirrorShellFolders(session), std::vector<std::string>{"SendTo"});
  const emu::RegKey* user = session.machine.registry.FindKey(
      emu::Root::CurrentUser,
      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders");
  const std::string sendTo = "C:\\WINDOWS\\SendTo\\";
  EXPECT_EQ(user->FindValue("SendTo")->data,
            emu::Bytes(sendTo.c_str(), sendTo.c_str() + sendTo.size() + 1));
}

TEST(FullKeyName, SpellsRootsOut) {
  EXPECT_EQ(wine_harness::FullKeyName("HKLM\\Software"), "HKEY_LOCAL_MACHINE\\Software");
  EXPECT_EQ(wine_harness::FullKeyName("HKCR\\.wrl"), "HKEY_CLASSES_ROOT\\.wrl");
  EXPECT_EQ(wine_harness::FullKeyName("HKCU"), "HKEY_CURRENT_USER");
}

}  // namespace
