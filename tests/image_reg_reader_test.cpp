// Reading .reg files into the machine's registry: every value form, both headers, the three
// file encodings, and errors that name the file and line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "image_error.h"
#include "machine.h"
#include "reg_reader.h"

namespace mi = machine_image;

namespace {

const std::filesystem::path kImages = std::filesystem::path(__FILE__).parent_path() / "images";

std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

emu::Bytes B(std::string_view bytes) {
  return emu::Bytes(bytes.begin(), bytes.end());
}

// The one value that a .reg body sets on HKCU\T, read under the given header.
emu::RegValue ReadOneValue(const std::string& header, const std::string& valueLine) {
  emu::Machine machine;
  mi::ReadRegFile(header + "\r\n\r\n[HKEY_CURRENT_USER\\T]\r\n" + valueLine + "\r\n", "t.reg",
                  machine);
  const emu::RegKey* key = machine.registry.FindKey(emu::Root::CurrentUser, "T");
  EXPECT_TRUE(key != nullptr && key->values.size() == 1) << valueLine;
  return key && !key->values.empty() ? key->values.front() : emu::RegValue{};
}

std::string ErrorOf(const std::string& text) {
  try {
    emu::Machine machine;
    mi::ReadRegFile(text, "img/registry.reg", machine);
  } catch (const mi::ImageError& error) {
    return error.what();
  }
  return "(no error)";
}

}  // namespace

TEST(RegReader, ReadsEveryValueForm) {
  const std::string v4 = "REGEDIT4", v5 = "Windows Registry Editor Version 5.00";
  struct Row {
    std::string header, line, name;
    std::uint32_t type;
    emu::Bytes data;
  } rows[] = {
      {v4, "@=\"Orbelle\"", "", 1, B(std::string("Orbelle\0", 8))},
      {v4, "\"Path\"=\"C:\\\\Program Files\\\\\"", "Path", 1,
       B(std::string("C:\\Program Files\\\0", 18))},
      {v4, "\"Say \\\"hi\\\"\"=\"a \\\"b\\\"\"", "Say \"hi\"", 1, B(std::string("a \"b\"\0", 6))},
      {v4, "\"Empty\"=\"\"", "Empty", 1, B(std::string("\0", 1))},
      {v5, "\"Owner\"=\"Zo\xC3\xAB \xE2\x82\xAC\"", "Owner", 1,
       B(std::string("Zo\xC3\xAB \xE2\x82\xAC\0", 9))},
      {v5, "\"User\"=\"\xD0\x9F\xD1\x91\xD1\x82\xD1\x80\"", "User", 1,
       B(std::string("\xD0\x9F\xD1\x91\xD1\x82\xD1\x80\0", 9))},
      {v4, "\"N\"=dword:0000002a", "N", 4, {0x2a, 0, 0, 0}},
      {v4, "\"N\"=DWORD:FFFFFFFF", "N", 4, {0xff, 0xff, 0xff, 0xff}},
      {v4, "\"Bin\"=hex:01,ab,FF", "Bin", 3, {0x01, 0xab, 0xff}},
      {v4, "\"Bin\"=hex:", "Bin", 3, {}},
      {v4, "\"Bin\" = hex: 01 , 02 ,", "Bin", 3, {1, 2}},
      {v4, "\"Q\"=hex(b):01,00,00,00,00,00,00,00", "Q", 11, {1, 0, 0, 0, 0, 0, 0, 0}},
      // String types given as hex: Windows-1252 bytes under REGEDIT4, UTF-16LE under Version
      // 5.00, kept as Unicode (UTF-8) either way.
      {v4, "\"E\"=hex(2):25,41,25,00", "E", 2, B(std::string("%A%\0", 4))},
      {v5, "\"E\"=hex(2):25,00,41,00,25,00,00,00", "E", 2, B(std::string("%A%\0", 4))},
      {v4, "\"M\"=hex(7):61,00,62,00,00", "M", 7, B(std::string("a\0b\0\0", 5))},
      {v5, "\"M\"=hex(7):61,00,00,00,ac,20,00,00,00,00", "M", 7,
       B(std::string("a\0\xE2\x82\xAC\0\0", 7))},
      {v4, "\"M\"=hex(7):61,00,80,00,00", "M", 7, B(std::string("a\0\xE2\x82\xAC\0\0", 7))},
      {v5, "\"S\"=hex(1):e9,00,00,00", "S", 1, B(std::string("\xC3\xA9\0", 3))},
      {v5, "\"S\"=hex(1):1f,04,00,00", "S", 1, B(std::string("\xD0\x9F\0", 3))},
      {v5, "\"Bin\"=hex:e9,00", "Bin", 3, {0xe9, 0x00}},  // binary stays as it is
      {v4, "\"Long\"=hex:01,02,\\\r\n  03,04", "Long", 3, {1, 2, 3, 4}},
  };
  for (const Row& row : rows) {
    const emu::RegValue value = ReadOneValue(row.header, row.line);
    EXPECT_EQ(value.name, row.name) << row.line;
    EXPECT_EQ(value.type, row.type) << row.line;
    EXPECT_EQ(value.data, row.data) << row.line;
  }
}

TEST(RegReader, SectionsCreateKeysWithTheirParentsAndKeepTheFirstSpelling) {
  emu::Machine machine;
  mi::ReadRegFile(
      "REGEDIT4\n"
      "; a comment\n"
      "\n"
      "[HKLM\\Software\\Halcyra\\Orbelle]\n"
      "\"A\"=\"1\"\n"
      "[hkey_local_machine\\SOFTWARE\\HALCYRA\\orbelle]\n"
      "\"a\"=\"2\"\n"
      "[HKEY_CLASSES_ROOT\\.wrl.gz\\]\n",
      "t.reg", machine);
  const emu::RegKey* software = machine.registry.FindKey(emu::Root::LocalMachine, "Software");
  ASSERT_NE(software, nullptr);
  const emu::RegKey* orbelle =
      machine.registry.FindKey(emu::Root::LocalMachine, "software\\halcyra\\ORBELLE");
  ASSERT_NE(orbelle, nullptr);
  EXPECT_EQ(orbelle->name, "Orbelle");
  ASSERT_EQ(orbelle->values.size(), 1u);  // "a" is "A": set again, not added
  EXPECT_EQ(orbelle->values[0].name, "A");
  EXPECT_EQ(orbelle->values[0].data, B(std::string("2\0", 2)));
  EXPECT_NE(machine.registry.FindKey(emu::Root::ClassesRoot, ".wrl.gz"), nullptr);
  EXPECT_EQ(machine.registryHeader, "REGEDIT4");
}

TEST(RegReader, DeletionLinesRemoveKeysAndValues) {
  emu::Machine machine;
  mi::ReadRegFile(
      "REGEDIT4\n[HKCU\\A\\B\\C]\n\"x\"=\"1\"\n\"y\"=\"2\"\n"
      "[-HKCU\\A\\B]\n[-HKCU\\A\\Missing]\n[HKCU\\A]\n\"z\"=\"3\"\n\"Z\"=-\n",
      "t.reg", machine);
  const emu::RegKey* a = machine.registry.FindKey(emu::Root::CurrentUser, "A");
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(a->subkeys.empty());
  EXPECT_TRUE(a->values.empty());
}

TEST(RegReader, ReadsTheSameRegistryFromUtf16AndAnsiFiles) {
  emu::Machine unicode, ansi;
  mi::ReadRegFile(ReadBytes(kImages / "utf16_v5" / "registry.reg"), "utf16", unicode);
  mi::ReadRegFile(ReadBytes(kImages / "ansi_regedit4" / "registry.reg"), "ansi", ansi);
  EXPECT_EQ(unicode.registryHeader, machine_image::kRegedit5);
  EXPECT_EQ(ansi.registryHeader, machine_image::kRegedit4);
  const emu::RegKey* u =
      unicode.registry.FindKey(emu::Root::CurrentUser, "Software\\Halcyra\\Orbelle");
  const emu::RegKey* a =
      ansi.registry.FindKey(emu::Root::CurrentUser, "Software\\Halcyra\\Orbelle");
  ASSERT_TRUE(u && a);
  ASSERT_EQ(u->values.size(), 5u);
  ASSERT_EQ(a->values.size(), u->values.size());
  for (std::size_t i = 0; i < u->values.size(); ++i) {
    EXPECT_EQ(u->values[i].name, a->values[i].name);
    EXPECT_EQ(u->values[i].type, a->values[i].type) << u->values[i].name;
    if (u->values[i].name == "Symbol") continue;  // below
    EXPECT_EQ(u->values[i].data, a->values[i].data) << u->values[i].name;
  }
  EXPECT_EQ(u->FindValue("Owner")->data, B(std::string("Zo\xC3\xAB \xE2\x82\xAC\0", 9)));
  // Characters beyond Windows-1252: the Unicode file keeps them, the ANSI one could only say "??".
  EXPECT_EQ(u->FindValue("Symbol")->data, B(std::string("\xE6\x97\xA5\xE6\x9C\xAC\0", 7)));
  EXPECT_EQ(a->FindValue("Symbol")->data, B(std::string("??\0", 3)));
}

TEST(RegReader, AcceptsUtf8WithByteOrderMarkAndAFileWithoutHeader) {
  emu::Machine bom, bare;
  mi::ReadRegFile("\xEF\xBB\xBFREGEDIT4\r\n[HKCU\\T]\r\n@=\"\xC3\xA9\"\r\n", "bom", bom);
  EXPECT_EQ(bom.registry.FindKey(emu::Root::CurrentUser, "T")->FindValue("")->data,
            B(std::string("\xC3\xA9\0", 3)));
  mi::ReadRegFile("[HKCU\\T]\n", "bare", bare);
  EXPECT_EQ(bare.registryHeader, machine_image::kRegedit4);
  EXPECT_NE(bare.registry.FindKey(emu::Root::CurrentUser, "T"), nullptr);
}

TEST(RegReader, BadLinesNameTheFileAndLine) {
  struct Row {
    std::string text, error;
  } rows[] = {
      {"REGEDIT4\n\n\"x\"=\"1\"\n", "img/registry.reg:3: a value outside any key section"},
      {"REGEDIT4\n[HKEY_USERS\\x]\n", "img/registry.reg:2: unknown registry root \"HKEY_USERS\""},
      {"REGEDIT4\n[HKCU\\x\n", "img/registry.reg:2: a key section must end with ']'"},
      {"REGEDIT4\n[HKCU\\a\\\\b]\n", "img/registry.reg:2: empty key name"},
      {"REGEDIT4\n[HKCU\\x]\n\"p\"=\"C:\\Temp\"\n",
       "img/registry.reg:3: a backslash inside quotes"},
      {"REGEDIT4\n[HKCU\\x]\n\"p\"=\"open\n", "img/registry.reg:3: missing closing double quote"},
      {"REGEDIT4\n[HKCU\\x]\n\"p\"=\"a\" b\n", "img/registry.reg:3: unexpected text after"},
      {"REGEDIT4\n[HKCU\\x]\np=\"a\"\n", "img/registry.reg:3: expected a value name"},
      {"REGEDIT4\n[HKCU\\x]\n\"p\" \"a\"\n", "img/registry.reg:3: expected '='"},
      {"REGEDIT4\n[HKCU\\x]\n\"n\"=dword:123456789\n", "img/registry.reg:3: bad dword"},
      {"REGEDIT4\n[HKCU\\x]\n\"n\"=dword:12g\n", "img/registry.reg:3: bad dword"},
      {"REGEDIT4\n[HKCU\\x]\n\"b\"=hex:01,,02\n", "img/registry.reg:3: empty byte"},
      {"REGEDIT4\n[HKCU\\x]\n\"b\"=hex:100\n", "img/registry.reg:3: bad byte"},
      {"REGEDIT4\n[HKCU\\x]\n\"b\"=hex(2:00\n", "img/registry.reg:3: expected ')'"},
      {"REGEDIT4\n[HKCU\\x]\n\"b\"=str:abc\n", "img/registry.reg:3: unreadable value data"},
      // a continued line is reported where it began
      {"REGEDIT4\n[HKCU\\x]\n\"b\"=hex:01,\\\n  zz\n", "img/registry.reg:3: bad byte \"zz\""},
      {"Windows Registry Editor Version 5.00\n[HKCU\\x]\n\"s\"=hex(1):41\n",
       "img/registry.reg:3: UTF-16 string data must have an even number of bytes"},
      {"REGEDIT4\n[HKCU\\x]\nREGEDIT4\n", "img/registry.reg:3: the header"},
      {"[-HKCU]\n", "img/registry.reg:1: a registry root cannot be deleted"},
      {std::string("R\0E\0", 4), "img/registry.reg:1: unreadable encoding"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ErrorOf(row.text).rfind(row.error, 0), 0u)
        << "for:\n"
        << row.text << "\ngot: " << ErrorOf(row.text);
  }
}
