// The outcome of a run on disk: the drives written and read back, the folder rules that keep
// a mistyped --out from wiping the user's files, and the JSONL transcript's exact form.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "drives.h"
#include "image_error.h"
#include "image_source.h"
#include "outcome_folder.h"
#include "session.h"
#include "support/new_session.h"
#include "support/temp_folder.h"
#include "transcript_json.h"

namespace fs = std::filesystem;
namespace mi = machine_image;

namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

}  // namespace

TEST(ImageDrives, LoadsFilesFoldersAndKeepMarkersButNoLinks) {
  TempFolder image;
  WriteBytes(image.path() / "drive_c/Program Files/Orbelle/Orbelle.exe", "exe");
  WriteBytes(image.path() / "drive_c/WINDOWS/TEMP/.keep", "");
  WriteBytes(image.path() / "drive_c/Caf\xC3\xA9/menu.txt", "x");
  WriteBytes(image.path() / "drive_d/.keep", "");
  fs::create_symlink("/etc/passwd", image.path() / "drive_c/passwd");
  fs::create_directory_symlink("/etc", image.path() / "drive_c/etc");
  WriteBytes(image.path() / "notes.md", "not a drive");

  emu::Session session = test::NewSession();
  mi::LoadDrives(mi::ReadImageFolder(image.path()), session.machine.files);
  ASSERT_NE(session.machine.files.Find("C:\\Program Files\\Orbelle\\Orbelle.exe"), nullptr);
  EXPECT_EQ(session.machine.files.Find("C:\\PROGRAM FILES\\orbelle\\ORBELLE.EXE")->content,
            emu::Bytes({'e', 'x', 'e'}));
  const emu::FsNode* temp = session.machine.files.Find("C:\\WINDOWS\\TEMP");
  ASSERT_NE(temp, nullptr);
  EXPECT_TRUE(temp->directory);
  EXPECT_TRUE(temp->children.empty()) << ".keep is no file of the session";
  EXPECT_EQ(session.machine.files.Find("C:\\CAF\xC3\x89")->name,
            "Caf\xC3\xA9");  // a Unicode name, found through the upcase table
  EXPECT_EQ(session.machine.files.Find("C:\\passwd"), nullptr);
  EXPECT_EQ(session.machine.files.Find("C:\\etc"), nullptr);
  ASSERT_NE(session.machine.files.Find("D:\\"), nullptr);
  EXPECT_EQ(session.machine.files.drives.size(), 2u);
}

TEST(ImageDrives, RefusesNamesWindowsWouldTakeForOne) {
  struct Row {
    const char* first;
    const char* second;
  } rows[] = {
      {.first = "drive_c/Folder/readme.txt", .second = "drive_c/Folder/README.TXT"},
      // "Пётр" and "ПЁТР": Cyrillic letters, upper-cased by the same table as Windows'
      {.first = "drive_c/Folder/\xD0\x9F\xD1\x91\xD1\x82\xD1\x80",
       .second = "drive_c/Folder/\xD0\x9F\xD0\x81\xD0\xA2\xD0\xA0"},
  };
  for (const Row& row : rows) {
    TempFolder image;
    WriteBytes(image.path() / row.first, "");
    WriteBytes(image.path() / row.second, "");
    emu::Session session = test::NewSession();
    EXPECT_THROW(mi::LoadDrives(mi::ReadImageFolder(image.path()), session.machine.files),
                 mi::ImageError)
        << row.second;
  }
}

TEST(ImageDrives, KeepsNamesThatDifferOutsideEveryCodePage) {
  // Two CJK names would both be "?" to an ANSI program, but they are two files on Windows.
  TempFolder image;
  WriteBytes(image.path() / "drive_c/Folder/\xE6\x97\xA5.txt", "1");
  WriteBytes(image.path() / "drive_c/Folder/\xE6\x9C\xAC.txt", "2");
  emu::Session session = test::NewSession();
  mi::LoadDrives(mi::ReadImageFolder(image.path()), session.machine.files);
  EXPECT_EQ(session.machine.files.Find("C:\\Folder")->children.size(), 2u);
}

TEST(ImageDrives, WritesDrivesBackWithEmptyFoldersAndLinks) {
  emu::Session session = test::NewSession();
  session.machine.files.CreateFile("C:\\Program Files\\Orbelle\\garden.wrl", {'w'});
  session.machine.files.CreateFolder("C:\\WINDOWS\\TEMP");
  session.machine.files.CreateFile("C:\\Caf\xC3\xA9\\x.txt");
  session.machine.files.CreateFile("C:\\link.tmp").linkTarget = "C:\\WINDOWS";
  TempFolder out;
  mi::WriteDrives(session.machine.files, out.path());
  EXPECT_EQ(ReadBytes(out.path() / "drive_c/Program Files/Orbelle/garden.wrl"), "w");
  EXPECT_TRUE(fs::is_directory(out.path() / "drive_c/WINDOWS/TEMP"));
  EXPECT_TRUE(fs::exists(out.path() / "drive_c/Caf\xC3\xA9/x.txt"));
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out.path() / "drive_c/link.tmp")));

  emu::Machine reread;  // and the loader reads the same drives back
  mi::LoadDrives(mi::ReadImageFolder(out.path()), reread.files);
  EXPECT_NE(reread.files.Find("C:\\WINDOWS\\TEMP"), nullptr);
  EXPECT_NE(reread.files.Find("C:\\Caf\xC3\xA9\\x.txt"), nullptr);
}

TEST(OutcomeFolder, AcceptsOnlyAMissingOrEmptyFolderOrAnEarlierOutcome) {
  struct Row {
    const char* what;
    std::vector<std::string> files;  // relative paths to create; "" makes just the folder
    bool accepted;
  } rows[] = {
      {"empty folder", {""}, true},
      {"earlier outcome", {"registry.reg", "transcript.jsonl", "drive_c/WINDOWS/x.txt"}, true},
      {"partial outcome", {"drive_d/.keep"}, true},
      {"the user's file", {"registry.reg", "notes.txt"}, false},
      {"a drive-like file", {"drive_c"}, false},
      {"a folder named like a file", {"registry.reg/x"}, false},
      {"an image's scenario", {"registry.reg", "scenario.ini"}, false},
  };
  for (const Row& row : rows) {
    TempFolder temp;
    const fs::path out = temp.path() / "out";
    fs::create_directories(out);
    for (const std::string& file : row.files) {
      if (!file.empty()) WriteBytes(out / file, "before");
    }
    bool accepted = true;
    try {
      mi::CheckOutcomeFolder(out);
    } catch (const mi::OutcomeFolderError&) {
      accepted = false;
    }
    EXPECT_EQ(accepted, row.accepted) << row.what;
  }
  TempFolder temp;
  EXPECT_NO_THROW(mi::CheckOutcomeFolder(temp.path() / "missing"));
  WriteBytes(temp.path() / "plain", "");
  EXPECT_THROW(mi::CheckOutcomeFolder(temp.path() / "plain"), mi::OutcomeFolderError);
}

TEST(OutcomeFolder, ReplacesAnEarlierOutcomeAndCreatesAMissingFolder) {
  TempFolder temp;
  const fs::path out = temp.path() / "a" / "b";
  emu::Session session = test::NewSession();
  session.machine.files.CreateFile("C:\\new.txt");
  WriteBytes(out / "drive_c/old.txt", "old");
  WriteBytes(out / "drive_e/gone.txt", "old");
  mi::WriteOutcome(session, out);
  EXPECT_TRUE(fs::exists(out / "drive_c/new.txt"));
  EXPECT_FALSE(fs::exists(out / "drive_c/old.txt"));
  EXPECT_FALSE(fs::exists(out / "drive_e"));
  EXPECT_TRUE(fs::exists(out / "registry.reg"));
  EXPECT_TRUE(fs::exists(out / "transcript.jsonl"));

  const fs::path fresh = temp.path() / "fresh";
  mi::WriteOutcome(session, fresh);
  EXPECT_TRUE(fs::exists(fresh / "drive_c/new.txt"));
}

TEST(TranscriptJsonl, WritesEachEventWithItsFieldsInOrder) {
  using Kind = emu::Event::Kind;
  std::vector<emu::Event> events(6);
  events[0].kind = Kind::Start;
  events[0].process = 1;
  events[0].image = "C:\\Caf\xC3\xA9\\Uninstall.exe";
  events[0].commandLine = "\"C:\\Caf\xC3\xA9\\Uninstall.exe\"";
  events[0].currentDir = "C:\\Caf\xC3\xA9";
  events[1].kind = Kind::Message;
  events[1].process = 1;
  events[1].caption = "Uninstall Orbelle";
  events[1].text = "line 1\nline\t2 \xE2\x82\xAC\x01";
  events[1].style = "MB_YESNO";
  events[1].answer = "IDYES";
  events[2].kind = Kind::Sleep;
  events[2].process = 2;
  events[2].ms = 50;
  events[3].kind = Kind::RestartDelete;
  events[3].process = 2;
  events[3].path = "C:\\WINDOWS\\TEMP\\obuninst.tmp";
  events[4].kind = Kind::Exit;
  events[4].process = 2;
  events[4].code = 0;
  events[5].kind = Kind::Exit;
  events[5].process = 1;
  events[5].code = -1;
  EXPECT_EQ(mi::TranscriptJsonl(events),
            "{\"event\":\"start\",\"process\":1,\"image\":\"C:\\\\Caf\xC3\xA9\\\\Uninstall.exe\","
            "\"command_line\":\"\\\"C:\\\\Caf\xC3\xA9\\\\Uninstall.exe\\\"\","
            "\"current_dir\":\"C:\\\\Caf\xC3\xA9\"}\n"
            "{\"event\":\"message\",\"process\":1,\"caption\":\"Uninstall Orbelle\","
            "\"text\":\"line 1\\nline\\t2 \xE2\x82\xAC\\u0001\",\"style\":\"MB_YESNO\","
            "\"answer\":\"IDYES\"}\n"
            "{\"event\":\"sleep\",\"process\":2,\"ms\":50}\n"
            "{\"event\":\"restart_delete\",\"process\":2,"
            "\"path\":\"C:\\\\WINDOWS\\\\TEMP\\\\obuninst.tmp\"}\n"
            "{\"event\":\"exit\",\"process\":2,\"code\":0}\n"
            "{\"event\":\"exit\",\"process\":1,\"code\":-1}\n");
}
