// Which part of a Wine prefix counts as the machine after the run: the image's keys, values
// and files, and whatever the run added; never Wine's own keys, values and files.
#include "wine_outcome.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>

#include "machine_snapshot.h"

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

class WineOutcomeTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ =
        fs::temp_directory_path() /
        ("wine_outcome_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(root_);
    run_.image = root_ / "image";
    run_.template_ = root_ / "template";
    run_.prefix = root_ / "prefix";
    run_.results = run_.prefix / "drive_c" / "orbtest" / "out";

    Write(run_.image / "registry.reg",
          "REGEDIT4\r\n[HKEY_CLASSES_ROOT\\.wrl]\r\n@=\"Orbelle\"\r\n"
          "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
          "Folders]\r\n\"Desktop\"=\"C:\\\\WINDOWS\\\\Desktop\"\r\n");
    Write(run_.image / "drive_c" / "Program Files" / "Orbelle" / "Orbelle.exe", "");
    Write(run_.image / "drive_c" / "WINDOWS" / "Desktop" / "Orbelle.lnk", "");

    for (const fs::path& prefix : {run_.template_, run_.prefix}) {
      Write(prefix / "drive_c" / "windows" / "system32" / "wine.dll", "");
      fs::create_directories(prefix / "drive_c" / "users" / "root" / "Temp");
      Write(prefix / "drive_c" / "orbtest" / "orbrun.exe", "");
    }
    // After the run: the program file and the shortcut gone, the temp copy added, and a file
    // that appeared outside the image.
    fs::create_directories(run_.prefix / "drive_c" / "Program Files" / "Orbelle");
    fs::create_directories(run_.prefix / "drive_c" / "windows" / "Desktop");
    Write(run_.prefix / "drive_c" / "users" / "root" / "Temp" / "obuninst.tmp", "");
    Write(run_.prefix / "drive_c" / "windows" / "stray.log", "");

    const std::string shellFolders =
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
        "Folders]\r\n";
    Write(run_.results / "template.reg", "Windows Registry Editor Version 5.00\r\n" + shellFolders +
                                             "\"AppData\"=\"C:\\\\x\"\r\n");
    Write(run_.results / "registry.reg",
          "Windows Registry Editor Version 5.00\r\n[HKEY_CLASSES_ROOT\\.wrl]\r\n@=\"wrlfile\"\r\n"
          "\"Wine added\"=\"y\"\r\n" +
              shellFolders +
              "\"Desktop\"=\"C:\\\\WINDOWS\\\\Desktop\"\r\n\"AppData\"=\"C:\\\\x\"\r\n");
    Write(run_.results / "events.jsonl",
          "{\"event\":\"temp\",\"path\":\"C:\\\\users\\\\root\\\\Temp\\\\\"}\n"
          "{\"event\":\"start\",\"process\":1,\"image\":\"C:\\\\Program "
          "Files\\\\Orbelle\\\\Uninstall.exe\","
          "\"command_line\":\"x\",\"current_dir\":\"C:\\\\\"}\n"
          "{\"event\":\"start\",\"process\":2,\"image\":\"C:\\\\users\\\\root\\\\Temp\\\\obuninst."
          "tmp\","
          "\"command_line\":\"x\",\"current_dir\":\"C:\\\\\"}\n"
          "{\"event\":\"exit\",\"process\":2,\"code\":0}\n"
          "{\"event\":\"restart_delete\",\"path\":\"C:\\\\users\\\\root\\\\Temp\\\\obuninst.tmp\"}"
          "\n");
    Write(run_.results / "status.txt", "ended\n");
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path root_;
  wine_harness::WineRun run_;
};

TEST_F(WineOutcomeTest, KeepsTheImageAndWhatTheRunAddedButNotWinesOwn) {
  wine_harness::WineOutcome outcome;
  wine_harness::BuildWineOutcome(run_, nullptr, outcome);
  const machine_image::Snapshot after = machine_image::TakeSnapshot(outcome.session.machine);

  EXPECT_TRUE(outcome.harnessErrors.empty());
  EXPECT_EQ(outcome.tempPath, "C:\\users\\root\\Temp\\");
  // A key Wine did not have before: every value counts, one the image never had included.
  EXPECT_TRUE(after.values.contains("HKCR\\.WRL\n"));
  EXPECT_TRUE(after.values.contains("HKCR\\.WRL\nWINE ADDED"));
  // A key Wine had: only the values the image names.
  const std::string shell =
      "HKCU\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\SHELL FOLDERS\n";
  EXPECT_TRUE(after.values.contains(shell + "DESKTOP"));
  EXPECT_FALSE(after.values.contains(shell + "APPDATA"));

  EXPECT_TRUE(after.files.contains("C:\\PROGRAM FILES\\ORBELLE"));
  EXPECT_FALSE(after.files.contains("C:\\PROGRAM FILES\\ORBELLE\\ORBELLE.EXE"));
  EXPECT_FALSE(after.files.contains("C:\\WINDOWS\\DESKTOP\\ORBELLE.LNK"));
  EXPECT_TRUE(after.files.contains("C:\\USERS\\ROOT\\TEMP\\OBUNINST.TMP"));
  EXPECT_TRUE(after.files.contains("C:\\WINDOWS\\STRAY.LOG"));
  EXPECT_FALSE(after.files.contains("C:\\WINDOWS\\SYSTEM32\\WINE.DLL"));
  EXPECT_FALSE(after.files.contains("C:\\ORBTEST"));
  // Spelled as the image spells it, not as Wine's folder is spelled on disk.
  EXPECT_EQ(after.files.at("C:\\WINDOWS").path, "C:\\WINDOWS");

  ASSERT_EQ(outcome.session.record.restartDeletes.size(), 1u);
  const emu::Event& deletion = outcome.session.record.events.back();
  EXPECT_EQ(deletion.kind, emu::Event::Kind::RestartDelete);
  EXPECT_EQ(deletion.process, 2) << "the process that asked for its own file";
}

TEST_F(WineOutcomeTest, WinesOwnFileGoneIsReported) {
  Write(run_.template_ / "drive_c" / "windows" / "notepad.exe", "");
  wine_harness::WineOutcome outcome;
  wine_harness::BuildWineOutcome(run_, nullptr, outcome);
  EXPECT_EQ(outcome.vanished, std::vector<std::string>{"C:\\windows\\notepad.exe"});
}

// A Cyrillic user on code page 1252: the image's environment key, whose values Wine had
// before (its own TEMP), the temp folder orbrun reported and the files under it all come back
// whole, from the UTF-8 dump and the host's UTF-8 file names.
TEST_F(WineOutcomeTest, CyrillicNamesComeBackWhole) {
  const std::string environment = "[HKEY_CURRENT_USER\\Environment]\r\n";
  Write(run_.image / "registry.reg", "Windows Registry Editor Version 5.00\r\n" + environment +
                                         "\"TEMP\"=\"C:\\\\users\\\\Иван\\\\Временные\"\r\n");
  Write(run_.image / "drive_c" / "users" / "Иван" / "Рабочий стол" / "Orbelle.lnk", "");
  Write(run_.results / "template.reg", "Windows Registry Editor Version 5.00\r\n" + environment +
                                           "\"TEMP\"=\"%USERPROFILE%\\\\Temp\"\r\n");
  Write(run_.results / "registry.reg", "Windows Registry Editor Version 5.00\r\n" + environment +
                                           "\"TEMP\"=\"C:\\\\users\\\\Иван\\\\Временные\"\r\n");
  Write(run_.results / "events.jsonl",
        "{\"event\":\"temp\",\"path\":\"C:"
        "\\\\users\\\\\\u0418\\u0432\\u0430\\u043d\\\\Временные\\\\\"}\n");
  fs::create_directories(run_.prefix / "drive_c" / "users" / "Иван" / "Рабочий стол");
  Write(run_.prefix / "drive_c" / "users" / "Иван" / "Временные" / "obuninst.tmp", "");

  wine_harness::WineOutcome outcome;
  wine_harness::BuildWineOutcome(run_, nullptr, outcome);
  const machine_image::Snapshot after = machine_image::TakeSnapshot(outcome.session.machine);
  EXPECT_EQ(outcome.tempPath, "C:\\users\\Иван\\Временные\\");
  const emu::RegKey* key =
      outcome.session.machine.registry.FindKey(emu::Root::CurrentUser, "Environment");
  ASSERT_NE(key, nullptr);
  const std::string temp = "C:\\users\\Иван\\Временные";
  EXPECT_EQ(key->FindValue("TEMP")->data, emu::Bytes(temp.c_str(), temp.c_str() + temp.size() + 1));
  EXPECT_TRUE(after.files.contains("C:\\USERS\\ИВАН\\РАБОЧИЙ СТОЛ"));
  EXPECT_FALSE(after.files.contains("C:\\USERS\\ИВАН\\РАБОЧИЙ СТОЛ\\ORBELLE.LNK"));
  EXPECT_TRUE(after.files.contains("C:\\USERS\\ИВАН\\ВРЕМЕННЫЕ\\OBUNINST.TMP"));
}

TEST_F(WineOutcomeTest, ATimeoutIsAHarnessError) {
  Write(run_.results / "status.txt", "timeout\n");
  wine_harness::WineOutcome outcome;
  wine_harness::BuildWineOutcome(run_, nullptr, outcome);
  ASSERT_EQ(outcome.harnessErrors.size(), 1u);
  EXPECT_NE(outcome.harnessErrors[0].find("timeout"), std::string::npos);
}

}  // namespace

namespace {

using Kind = emu::Event::Kind;

emu::Event Started(int process, const std::string& image) {
  emu::Event event;
  event.kind = Kind::Start;
  event.process = process;
  event.image = image;
  return event;
}

emu::Event Ended(int process, std::uint32_t code) {
  emu::Event event;
  event.kind = Kind::Exit;
  event.process = process;
  event.code = static_cast<int>(code);
  return event;
}

std::vector<std::string> Story(const std::vector<emu::Event>& events) {
  std::vector<std::string> story;
  for (const emu::Event& e : events) {
    const std::string who = std::to_string(e.process);
    if (e.kind == Kind::Start) story.push_back(who + " start " + e.image);
    if (e.kind == Kind::Exit) story.push_back(who + " exit " + std::to_string(e.code));
    if (e.kind == Kind::ShellNotify) story.push_back(who + " notice " + e.what);
  }
  return story;
}

struct NoticeCase {
  const char* behaviour;
  std::vector<emu::Event> events;
  std::vector<std::string> expected;
};

const std::string kWorker = "C:\\users\\root\\Temp\\obuninst.tmp";

const NoticeCase kNoticeCases[] = {
    {"the disabled helper's start is the worker's notice and later numbers close up",
     {Started(1, "U.exe"), Ended(1, 0), Started(2, kWorker), Started(3, ""), Ended(3, 0xC0000135u),
      Started(4, "other.exe"), Ended(4, 0), Ended(2, 0)},
     {"1 start U.exe", "1 exit 0", "2 start " + kWorker, "2 notice SHCNE_ASSOCCHANGED",
      "3 start other.exe", "3 exit 0", "2 exit 0"}},
    {"a process whose image could not be read but that ran is kept",
     {Started(1, "U.exe"), Started(2, ""), Ended(2, 0), Ended(1, 0)},
     {"1 start U.exe", "2 start ", "2 exit 0", "1 exit 0"}},
    {"a named program that failed to load is no notice",
     {Started(1, "U.exe"), Started(2, "gone.exe"), Ended(2, 0xC0000135u), Ended(1, 0)},
     {"1 start U.exe", "2 start gone.exe", "2 exit -1073741515", "1 exit 0"}},
};

class ShellNoticeTest : public testing::TestWithParam<NoticeCase> {};

TEST_P(ShellNoticeTest, ReadsWinesHelperStart) {
  std::vector<emu::Event> events = GetParam().events;
  wine_harness::RecogniseShellNotices(events);
  EXPECT_EQ(Story(events), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ShellNoticeTest, testing::ValuesIn(kNoticeCases),
                         [](const auto& info) {
                           std::string name = info.param.behaviour;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
