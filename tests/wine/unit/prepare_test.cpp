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

namespace temp_agreement {

struct Row {
  const char* name;
  const char* environment = "";  // lines of [HKEY_CURRENT_USER\Environment]
  const char* temp = "C:\\WINDOWS\\TEMP\\";
  const char* disagreement = nullptr;  // a part of the complaint; nullptr: they agree
};

class TempDisagreementTest : public testing::TestWithParam<Row> {};

TEST_P(TempDisagreementTest, HoldsTempToTheUsersEnvironment) {
  emu::Session session;
  const std::string reg = std::string("Windows Registry Editor Version 5.00\r\n") +
                          (*GetParam().environment ? "[HKEY_CURRENT_USER\\Environment]\r\n" : "") +
                          GetParam().environment;
  machine_image::ReadRegFile(reg, "r.reg", session.machine);
  std::vector<std::string> warnings;
  machine_image::ApplyScenario(std::string("[run]\ntemp=") + GetParam().temp + "\n", "scenario.ini",
                               session, warnings);
  const std::string found = wine_harness::TempDisagreement(session);
  if (GetParam().disagreement == nullptr) {
    EXPECT_EQ(found, "");
  } else {
    EXPECT_NE(found.find(GetParam().disagreement), std::string::npos) << found;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TempDisagreementTest,
    testing::Values(
        Row{.name = "no_environment_key"},
        Row{.name = "cyrillic_folder_agrees",
            .environment = "\"TMP\"=\"C:\\\\users\\\\Иван\\\\Временные\"\r\n",
            .temp = "C:\\users\\Иван\\Временные\\"},
        Row{.name = "case_and_backslash_do_not_matter",
            .environment = "\"TEMP\"=\"C:\\\\USERS\\\\ИВАН\\\\ВРЕМЕННЫЕ\\\\\"\r\n",
            .temp = "c:\\users\\иван\\временные"},
        Row{.name = "default_temp_against_cyrillic_folder",
            .environment = "\"TEMP\"=\"C:\\\\users\\\\Иван\\\\Временные\"\r\n",
            .disagreement = "HKCU\\Environment TEMP (C:\\users\\Иван\\Временные)"},
        Row{.name = "tmp_comes_before_temp",
            .environment = "\"TMP\"=\"C:\\\\Tmp\"\r\n\"TEMP\"=\"C:\\\\WINDOWS\\\\TEMP\"\r\n",
            .disagreement = "HKCU\\Environment TMP (C:\\Tmp)"},
        Row{.name = "expandable_value_is_left_to_wine",
            .environment = "\"TMP\"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,46,00,"
                           "49,00,4c,00,45,00,25,00,00,00\r\n"}),
    [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace temp_agreement
