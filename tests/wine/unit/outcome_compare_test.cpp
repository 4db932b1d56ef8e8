// The comparison of a Wine run with the simulator's: what it must call a difference, and the
// few things (letter case of paths, a current folder's trailing backslash, pauses) it must not.
#include "outcome_compare.h"

#include <gtest/gtest.h>

#include <functional>

#include "reg_reader.h"

namespace {

using Kind = emu::Event::Kind;

constexpr const char* kRegistry =
    "REGEDIT4\r\n"
    "[HKEY_CLASSES_ROOT\\.wrl]\r\n@=\"wrlfile\"\r\n"
    "[HKEY_CURRENT_USER\\Software\\Halcyra\\Ferrowind]\r\n\"Units\"=\"metres\"\r\n"
    "[HKEY_CLASSES_ROOT\\.vrml]\r\n@=\"ВРМЛ.Мир\"\r\n";

emu::Event Start(int process, const char* image, const char* commandLine, const char* folder) {
  emu::Event event;
  event.kind = Kind::Start;
  event.process = process;
  event.image = image;
  event.commandLine = commandLine;
  event.currentDir = folder;
  return event;
}

emu::Event Box(int process, const char* text, const char* style, const char* answer) {
  emu::Event event;
  event.kind = Kind::Message;
  event.process = process;
  event.caption = "Uninstall Orbelle";
  event.text = text;
  event.style = style;
  event.answer = answer;
  return event;
}

emu::Event Simple(Kind kind, int process, const char* path = "", int code = 0) {
  emu::Event event;
  event.kind = kind;
  event.process = process;
  event.path = path;
  event.code = code;
  event.ms = 50;
  return event;
}

emu::Event ShellNotify(int process) {
  emu::Event event;
  event.kind = Kind::ShellNotify;
  event.process = process;
  event.what = "SHCNE_ASSOCCHANGED";
  return event;
}

// The machine after a successful run, as both sides should see it.
void FillAfterRun(emu::Session& session) {
  machine_image::ReadRegFile(kRegistry, "test.reg", session.machine);
  session.machine.files.CreateFile("C:\\Program Files\\Orbelle\\garden.wrl");
  session.machine.files.CreateFile("C:\\users\\root\\Temp\\obuninst.tmp");
  session.machine.files.CreateFile("C:\\users\\Иван\\Рабочий стол\\Glimmerdeck.lnk");
  session.record.events = {
      Start(1, "C:\\Program Files\\Orbelle\\Uninstall.exe",
            "\"C:\\Program Files\\Orbelle\\Uninstall.exe\"", "C:\\Program Files\\Orbelle"),
      Box(1, "Do you want to continue?", "MB_YESNO", "IDYES"),
      Start(2, "C:\\users\\root\\Temp\\obuninst.tmp",
            "\"C:\\users\\root\\Temp\\obuninst.tmp\" C:\\Program Files\\Orbelle",
            "C:\\users\\root\\Temp\\"),
      Simple(Kind::Exit, 1),
      Simple(Kind::Sleep, 2),
      ShellNotify(2),
      Box(2, "Uninstall successfully completed.", "MB_OK", "IDOK"),
      Simple(Kind::RestartDelete, 2, "C:\\users\\root\\Temp\\obuninst.tmp"),
      Simple(Kind::Exit, 2),
  };
}

emu::Event* FindEvent(emu::Session& session, Kind kind, int nth = 0) {
  for (emu::Event& event : session.record.events) {
    if (event.kind == kind && nth-- == 0) return &event;
  }
  return nullptr;
}

struct Case {
  const char* name;
  std::function<void(emu::Session&)> changeWine;
  const char* expected;  // a part of the one difference expected; nullptr: the runs agree
};

class CompareOutcomesTest : public testing::TestWithParam<Case> {};

TEST_P(CompareOutcomesTest, FindsWhatDiffers) {
  emu::Session wine, simulated;
  FillAfterRun(wine);
  FillAfterRun(simulated);
  GetParam().changeWine(wine);
  const std::vector<std::string> differences = wine_harness::CompareOutcomes(wine, simulated);
  if (GetParam().expected == nullptr) {
    EXPECT_TRUE(differences.empty()) << differences.front();
  } else {
    ASSERT_EQ(differences.size(), 1u) << (differences.empty() ? "none" : differences.back());
    EXPECT_NE(differences[0].find(GetParam().expected), std::string::npos) << differences[0];
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CompareOutcomesTest,
    testing::Values(
        Case{"same", [](emu::Session&) {}, nullptr},
        Case{"path_case_differs_only",
             [](emu::Session& m) {
               m.machine.files.drives['C'].children.clear();
               m.machine.files.CreateFile("C:\\PROGRAM FILES\\orbelle\\GARDEN.WRL");
               m.machine.files.CreateFile("C:\\Users\\Root\\Temp\\OBUNINST.TMP");
               m.machine.files.CreateFile("C:\\Users\\иван\\рабочий стол\\glimmerdeck.lnk");
               FindEvent(m, Kind::Start, 1)->image = "C:\\USERS\\root\\temp\\obuninst.tmp";
             },
             nullptr},
        Case{"cyrillic_names_differ_in_case_only",
             [](emu::Session& m) {
               m.machine.files.Find("C:\\users")->children.clear();
               m.machine.files.CreateFile("C:\\USERS\\ИВАН\\РАБОЧИЙ СТОЛ\\GLIMMERDECK.LNK");
               m.machine.files.CreateFile("C:\\users\\root\\Temp\\obuninst.tmp");
               m.machine.registry.RootKey(emu::Root::ClassesRoot).Remove(".vrml");
               m.machine.registry.CreateKey(emu::Root::ClassesRoot, ".VRML")
                   .SetString("", "ВРМЛ.Мир");
             },
             nullptr},
        Case{"cyrillic_class_lost_to_the_code_page",
             [](emu::Session& m) {
               m.machine.registry.FindKey(emu::Root::ClassesRoot, ".vrml")
                   ->SetString("", "????.???");
             },
             "HKCR\\.vrml value @: Wine has type 1, \"????.???\", the emulator type 1, "
             "\"ВРМЛ.Мир\""},
        Case{"cyrillic_file_gone_under_wine",
             [](emu::Session& m) {
               m.machine.files.Find("C:\\users\\иван\\рабочий стол")->children.clear();
             },
             "C:\\users\\Иван\\Рабочий стол\\Glimmerdeck.lnk: gone under Wine"},
        Case{"current_folder_trailing_backslash",
             [](emu::Session& m) { FindEvent(m, Kind::Start)->currentDir += "\\"; }, nullptr},
        Case{"pauses_not_compared",
             [](emu::Session& m) {
               m.record.events.insert(m.record.events.begin() + 4, Simple(Kind::Sleep, 2));
             },
             nullptr},
        Case{"key_kept_under_wine",
             [](emu::Session& m) {
               m.machine.registry.CreateKey(emu::Root::ClassesRoot, "Orbelle");
             },
             "key HKCR\\Orbelle: kept under Wine"},
        Case{"key_gone_under_wine",
             [](emu::Session& m) {
               m.machine.registry.RootKey(emu::Root::CurrentUser)
                   .Find("Software")
                   ->Find("Halcyra")
                   ->Remove("Ferrowind");
             },
             "key HKCU\\Software\\Halcyra\\Ferrowind: gone under Wine"},
        Case{"value_data_differs",
             [](emu::Session& m) {
               m.machine.registry.FindKey(emu::Root::ClassesRoot, ".wrl")->SetString("", "Orbelle");
             },
             "HKCR\\.wrl value @: Wine has type 1, \"Orbelle\", the emulator type 1, \"wrlfile\""},
        Case{"value_only_under_wine",
             [](emu::Session& m) {
               m.machine.registry.FindKey(emu::Root::ClassesRoot, ".wrl")
                   ->SetString("Content Type", "x");
             },
             "value \"Content Type\": only under Wine"},
        Case{"file_only_under_wine",
             [](emu::Session& m) {
               m.machine.files.CreateFile("C:\\Program Files\\Orbelle\\Orbelle.hlp");
             },
             "Orbelle.hlp: present under Wine only"},
        Case{"file_gone_under_wine",
             [](emu::Session& m) {
               m.machine.files.Find("C:\\Program Files\\Orbelle")->children.clear();
             },
             "garden.wrl: gone under Wine"},
        Case{"folder_instead_of_file",
             [](emu::Session& m) {
               m.machine.files.Find("C:\\Program Files\\Orbelle\\garden.wrl")->directory = true;
             },
             "a folder under Wine, a file in the emulator"},
        Case{"message_text_differs",
             [](emu::Session& m) { FindEvent(m, Kind::Message, 1)->text = "Internal error"; },
             "message box 2: text"},
        Case{"message_answer_differs",
             [](emu::Session& m) { FindEvent(m, Kind::Message)->answer = "IDNO"; },
             "message box 1: answer IDNO vs IDYES"},
        Case{"message_missing",
             [](emu::Session& m) { m.record.events.erase(m.record.events.begin() + 6); },
             "message boxes: 1 under Wine, 2 in the emulator"},
        Case{"worker_command_line_differs",
             [](emu::Session& m) { FindEvent(m, Kind::Start, 1)->commandLine += "\\"; },
             "process 2: command line"},
        Case{"exit_code_differs", [](emu::Session& m) { FindEvent(m, Kind::Exit, 1)->code = 1; },
             "process 2: exit code 1 vs 0"},
        Case{"restart_deletion_missing",
             [](emu::Session& m) { m.record.events.erase(m.record.events.begin() + 7); },
             "restart deletion of C:\\users\\root\\Temp\\obuninst.tmp: missing under Wine"},
        Case{"read_only_under_wine_only",
             [](emu::Session& m) {
               m.machine.files.Find("C:\\Program Files\\Orbelle\\garden.wrl")->attributes = 1;
             },
             "garden.wrl: read-only under Wine, writable in the emulator"},
        Case{"hidden_is_not_compared",
             [](emu::Session& m) {
               m.machine.files.Find("C:\\Program Files\\Orbelle\\garden.wrl")->attributes = 2;
             },
             nullptr},
        Case{"shell_notice_missing_under_wine",
             [](emu::Session& m) {
               std::erase_if(m.record.events,
                             [](const emu::Event& e) { return e.kind == Kind::ShellNotify; });
             },
             "shell notices: none under Wine, from process 2 in the emulator"},
        Case{"shell_notice_missing_while_wine_reports_others",
             [](emu::Session& m) {
               emu::Event extra = *FindEvent(m, Kind::ShellNotify);
               m.record.events.push_back(extra);
             },
             "shell notices: from process 2, 2 under Wine, from process 2 in the emulator"}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
