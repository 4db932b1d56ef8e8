// A machine whose names lie beyond Windows-1252 (a Cyrillic user) read from an image and written
// back as an outcome: the names stay Unicode on both ways, whatever encoding the image used.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "encoding.h"
#include "image_source.h"
#include "machine_image.h"
#include "outcome_folder.h"
#include "reg_reader.h"
#include "reg_writer.h"
#include "session.h"
#include "support/new_session.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
namespace mi = machine_image;

namespace {

const std::string kPetr = "\xD0\x9F\xD1\x91\xD1\x82\xD1\x80";            // "Пётр"
const std::string kFolder = "\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0";  // "Папка"
const std::string kV5 = "Windows Registry Editor Version 5.00";

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

// The registry of the Cyrillic user, as regedit of Windows 2000 and later writes it (UTF-8
// text here; each row below stores it in its own encoding).
std::string CyrillicRegistry() {
  return kV5 + "\r\n\r\n[HKEY_CURRENT_USER\\Software\\" + kPetr + "]\r\n\"" + kFolder +
         "\"=\"C:\\\\Users\\\\" + kPetr +
         "\"\r\n"
         // REG_EXPAND_SZ "%USERPROFILE%\Пётр" in UTF-16LE, as Version 5.00 carries it
         "\"Expand\"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,46,00,49,00,4c,00,"
         "45,00,25,00,5c,00,1f,04,51,04,42,04,40,04,00,00\r\n\r\n";
}

struct Encoding {
  const char* name;
  std::string (*encode)(const std::string& utf8);
};

const Encoding kEncodings[] = {
    {"Utf16WithByteOrderMark",
     [](const std::string& utf8) { return "\xFF\xFE" + mi::Utf8ToUtf16le(utf8); }},
    {"Utf8", [](const std::string& utf8) { return utf8; }},
    {"Utf8WithByteOrderMark", [](const std::string& utf8) { return "\xEF\xBB\xBF" + utf8; }},
};

class CyrillicImage : public testing::TestWithParam<Encoding> {};

TEST_P(CyrillicImage, IsReadAsUnicodeAndWrittenBackTheSame) {
  TempFolder image("image"), out("out");
  WriteBytes(image.path() / "registry.reg", GetParam().encode(CyrillicRegistry()));
  WriteBytes(image.path() / ("drive_c/Users/" + kPetr + "/Temp/.keep"), "");
  WriteBytes(image.path() / ("drive_c/Users/" + kPetr + "/" + kFolder + "/notes.txt"), "n");
  WriteBytes(image.path() / "scenario.ini",
             "[run]\r\ncodepage=1251\r\ntemp=C:\\Users\\" + kPetr + "\\Temp\\\r\n");

  emu::Session session = test::NewSession();
  std::vector<std::string> warnings;
  mi::LoadMachine(mi::ReadImageFolder(image.path()), session, warnings);
  EXPECT_EQ(session.scenario.codePage, 1251u);
  EXPECT_EQ(session.scenario.tempPath, "C:\\Users\\" + kPetr + "\\Temp\\");
  const emu::RegKey* key =
      session.machine.registry.FindKey(emu::Root::CurrentUser, "Software\\" + kPetr);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->name, kPetr);
  ASSERT_NE(key->FindValue(kFolder), nullptr);
  const std::string folder = "C:\\Users\\" + kPetr + std::string(1, '\0');
  EXPECT_EQ(key->FindValue(kFolder)->data, emu::Bytes(folder.begin(), folder.end()));
  const std::string expand = "%USERPROFILE%\\" + kPetr + std::string(1, '\0');
  EXPECT_EQ(key->FindValue("Expand")->data, emu::Bytes(expand.begin(), expand.end()));
  ASSERT_NE(session.machine.files.Find("C:\\Users\\" + kPetr + "\\" + kFolder + "\\notes.txt"),
            nullptr);

  mi::WriteOutcome(session, out.path());
  const std::string written = ReadBytes(out.path() / "registry.reg");
  ASSERT_EQ(written.substr(0, 2), "\xFF\xFE") << "Version 5.00 goes out as regedit writes it";
  EXPECT_NE(mi::Utf16leToUtf8(written.substr(2))
                .find("[HKEY_CURRENT_USER\\Software\\" + kPetr + "]\r\n\"" + kFolder +
                      "\"=\"C:\\\\Users\\\\" + kPetr + "\""),
            std::string::npos);
  EXPECT_TRUE(fs::exists(out.path() / ("drive_c/Users/" + kPetr + "/" + kFolder + "/notes.txt")));
  EXPECT_TRUE(fs::is_directory(out.path() / ("drive_c/Users/" + kPetr + "/Temp")));

  emu::Session reread = test::NewSession();
  mi::LoadMachine(mi::ReadImageFolder(out.path()), reread, warnings);
  EXPECT_EQ(mi::WriteRegFile(reread.machine), written) << "a second round must not drift";
}

INSTANTIATE_TEST_SUITE_P(ImageUnicode, CyrillicImage, testing::ValuesIn(kEncodings),
                         [](const testing::TestParamInfo<Encoding>& info) {
                           return std::string(info.param.name);
                         });

TEST(ImageUnicode, ARegedit4RegistryKeepsItsHeaderUnlessItGainsANameBeyond1252) {
  struct Row {
    const char* what;
    std::string keyName;
    bool version5;
  } rows[] = {
      {.what = "ASCII", .keyName = "Orbelle", .version5 = false},
      {.what = "Latin-1", .keyName = "Caf\xC3\xA9", .version5 = false},
      {.what = "Cyrillic", .keyName = kPetr, .version5 = true},
  };
  for (const Row& row : rows) {
    emu::Machine machine;
    mi::ReadRegFile("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n", "in.reg", machine);
    machine.registry.CreateKey(emu::Root::CurrentUser, "Software\\" + row.keyName)
        .SetString("", "x");
    const std::string written = mi::WriteRegFile(machine);
    emu::Machine reread;
    mi::ReadRegFile(written, "out.reg", reread);
    EXPECT_EQ(reread.registryHeader, row.version5 ? kV5 : std::string(mi::kRegedit4)) << row.what;
    const emu::RegKey* key =
        reread.registry.FindKey(emu::Root::CurrentUser, "Software\\" + row.keyName);
    ASSERT_NE(key, nullptr) << row.what;
    EXPECT_EQ(key->name, row.keyName) << row.what;
  }
}

TEST(ImageUnicode, AStringValueBeyond1252TurnsARegedit4OutcomeIntoVersion5) {
  emu::Machine machine;
  machine.registryHeader = mi::kRegedit4;
  const std::string multi = std::string("a\0", 2) + kPetr + std::string("\0\0", 2);
  machine.registry.CreateKey(emu::Root::CurrentUser, "T")
      .SetValue("M", 7, emu::Bytes(multi.begin(), multi.end()));
  const std::string written = mi::WriteRegFile(machine);
  ASSERT_EQ(written.substr(0, 2), "\xFF\xFE");
  emu::Machine reread;
  mi::ReadRegFile(written, "out.reg", reread);
  EXPECT_EQ(reread.registry.FindKey(emu::Root::CurrentUser, "T")->FindValue("M")->data,
            emu::Bytes(multi.begin(), multi.end()));
}

}  // namespace
