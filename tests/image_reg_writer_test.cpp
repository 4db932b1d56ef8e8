// Writing the registry of an outcome: regedit's layout and encodings, read back unchanged.
#include <gtest/gtest.h>

#include <string>

#include "encoding.h"
#include "machine.h"
#include "reg_format.h"
#include "reg_reader.h"
#include "reg_writer.h"

namespace mi = machine_image;

namespace {

emu::Bytes B(std::string_view bytes) {
  return emu::Bytes(bytes.begin(), bytes.end());
}

// A registry with every kind of value the writer must carry, including those that only hex
// can hold (a REG_SZ without terminator or with a line break, a short REG_DWORD).
void FillAwkwardRegistry(emu::Machine& machine) {
  emu::RegKey& key =
      machine.registry.CreateKey(emu::Root::CurrentUser, "Software\\Halcyra\\Orbelle");
  key.SetString("Path", "C:\\Program Files\\Orbelle \"quoted\"");
  key.SetString("Owner", "Zo\xC3\xAB \xE2\x82\xAC \xC2\x81");  // U+0081: 1252's byte 0x81
  key.SetString("LooksLikeUtf8", "\xC3\x83\xC2\xA9");  // "A-tilde copyright", bytes C3 A9 in 1252
  key.SetValue("Lines", 1, B(std::string("a\r\nb\0", 5)));
  key.SetValue("NoNul", 1, B("abc"));
  key.SetValue("Count", 4, {0x2a, 0, 0, 0x80});
  key.SetValue("Short", 4, {1, 2});
  key.SetValue("Expand", 2, B(std::string("%windir%\\\xC3\x89\0", 12)));
  key.SetValue("Multi", 7, B(std::string("a\0\xE2\x82\xAC\0\0", 7)));
  key.SetValue("Bin", 3, emu::Bytes(100, 0xab));  // long enough to wrap
  key.SetValue("None", 0, {});
  key.SetString("", "default last in, first out");
  machine.registry.CreateKey(emu::Root::ClassesRoot, ".wrl\\UndoClass").SetString("", "wrlfile");
  machine.registry.localMachine.SetString("RootValue", "x");
}

void ExpectSameKeys(const emu::RegKey& a, const emu::RegKey& b, const std::string& path) {
  EXPECT_EQ(a.name, b.name) << path;
  ASSERT_EQ(a.values.size(), b.values.size()) << path;
  for (const emu::RegValue& value : a.values) {
    const emu::RegValue* other = b.FindValue(value.name);
    ASSERT_NE(other, nullptr) << path << " " << value.name;
    EXPECT_EQ(value.type, other->type) << path << " " << value.name;
    EXPECT_EQ(value.data, other->data) << path << " " << value.name;
  }
  ASSERT_EQ(a.subkeys.size(), b.subkeys.size()) << path;
  for (const auto& [upper, child] : a.subkeys) {
    ASSERT_TRUE(b.subkeys.count(upper)) << path << "\\" << child->name;
    ExpectSameKeys(*child, *b.subkeys.at(upper), path + "\\" + child->name);
  }
}

}  // namespace

TEST(RegWriter, RoundTripsEveryValueUnderBothHeaders) {
  for (const char* header : {machine_image::kRegedit4, machine_image::kRegedit5}) {
    emu::Machine original;
    original.registryHeader = header;
    FillAwkwardRegistry(original);
    const std::string file = mi::WriteRegFile(original);
    emu::Machine reread;
    mi::ReadRegFile(file, "outcome/registry.reg", reread);
    EXPECT_EQ(reread.registryHeader, header);
    for (const emu::Root root :
         {emu::Root::LocalMachine, emu::Root::CurrentUser, emu::Root::ClassesRoot}) {
      ExpectSameKeys(original.registry.RootKey(root), reread.registry.RootKey(root),
                     emu::RootName(root));
    }
    EXPECT_EQ(mi::WriteRegFile(reread), file) << "a second write must not drift";
  }
}

TEST(RegWriter, WritesAnUnambiguousEncodingForEachHeader) {
  emu::Machine machine;
  machine.registry.CreateKey(emu::Root::CurrentUser, "T").SetString("", "Zo\xC3\xAB");
  const std::string ansi = mi::WriteRegFile(machine);
  EXPECT_EQ(ansi,
            "\xEF\xBB\xBFREGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE]\r\n\r\n[HKEY_CURRENT_USER]\r\n\r\n"
            "[HKEY_CURRENT_USER\\T]\r\n@=\"Zo\xC3\xAB\"\r\n\r\n[HKEY_CLASSES_ROOT]\r\n\r\n");
  machine.registryHeader = machine_image::kRegedit5;
  const std::string wide = mi::WriteRegFile(machine);
  ASSERT_EQ(wide.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(mi::Utf16leToUtf8(wide.substr(2)),
            "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE]\r\n\r\n"
            "[HKEY_CURRENT_USER]\r\n\r\n[HKEY_CURRENT_USER\\T]\r\n@=\"Zo\xC3\xAB\"\r\n\r\n"
            "[HKEY_CLASSES_ROOT]\r\n\r\n");
}

TEST(RegWriter, OrdersRootsSubkeysAndTheDefaultValueAsRegedit) {
  emu::Machine machine;
  machine.registry.CreateKey(emu::Root::ClassesRoot, ".wrl");
  machine.registry.CreateKey(emu::Root::CurrentUser, "b");
  machine.registry.CreateKey(emu::Root::CurrentUser, "A\\z");
  emu::RegKey& key = machine.registry.CreateKey(emu::Root::LocalMachine, "K");
  key.SetString("Second", "2");
  key.SetString("First", "1");
  key.SetString("", "d");
  const std::string text = mi::WriteRegFile(machine);
  const std::string expected =
      "REGEDIT4\r\n\r\n"
      "[HKEY_LOCAL_MACHINE]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\K]\r\n@=\"d\"\r\n\"Second\"=\"2\"\r\n\"First\"=\"1\"\r\n\r\n"
      "[HKEY_CURRENT_USER]\r\n\r\n"
      "[HKEY_CURRENT_USER\\A]\r\n\r\n"
      "[HKEY_CURRENT_USER\\A\\z]\r\n\r\n"
      "[HKEY_CURRENT_USER\\b]\r\n\r\n"
      "[HKEY_CLASSES_ROOT]\r\n\r\n"
      "[HKEY_CLASSES_ROOT\\.wrl]\r\n\r\n";
  EXPECT_EQ(text, expected);
}

TEST(RegWriter, AnAnsiOutcomeIsNotMistakenForUtf8) {
  // Bytes C3 A9 are "A-tilde copyright" in Windows-1252 and also valid UTF-8 for e-acute: a
  // bare ANSI file holding only them would be read back as the wrong text.
  emu::Machine machine;
  machine.registry.CreateKey(emu::Root::CurrentUser, "T").SetString("", "\xC3\x83\xC2\xA9");
  emu::Machine reread;
  mi::ReadRegFile(mi::WriteRegFile(machine), "outcome/registry.reg", reread);
  EXPECT_EQ(reread.registry.FindKey(emu::Root::CurrentUser, "T")->FindValue("")->data,
            B(std::string("\xC3\x83\xC2\xA9\0", 5)));
}

// The value lines both writers share: the outcome writer hands over machine text, the Wine
// dump UTF-16 it read; either way only a REG_SZ of one terminated line may go out quoted.
TEST(RegFormat, WritesEachValueAsRegeditDoes) {
  struct Row {
    const char* what;
    const char* name = "";
    std::uint32_t type = 1;
    std::string text = {};   // the REG_SZ read as text, terminator included
    std::string bytes = {};  // the data as the hex carries it
    std::string expected = {};
  };
  const std::string wide = std::string("a\0\t\0b\0\0\0", 8);  // "a<TAB>b" in UTF-16LE
  const Row rows[] = {
      {.what = "plain string, escaped",
       .name = "Path",
       .text = std::string("C:\\\"x\"\0", 7),
       .expected = "\"Path\"=\"C:\\\\\\\"x\\\"\"\r\n"},
      {.what = "default value", .text = std::string("d\0", 2), .expected = "@=\"d\"\r\n"},
      {.what = "a tab keeps the bytes",
       .text = std::string("a\tb\0", 4),
       .bytes = wide,
       .expected = "@=hex(1):61,00,09,00,62,00,00,00\r\n"},
      {.what = "unreadable text keeps the bytes",
       .text = "",
       .bytes = "ab",
       .expected = "@=hex(1):61,62\r\n"},
      {.what = "no terminator", .text = "abc", .bytes = "abc", .expected = "@=hex(1):61,62,63\r\n"},
      {.what = "dword, little-endian",
       .name = "N",
       .type = 4,
       .bytes = std::string("\x2a\0\0\x80", 4),
       .expected = "\"N\"=dword:8000002a\r\n"},
      {.what = "short dword", .type = 4, .bytes = "\x01", .expected = "@=hex(4):01\r\n"},
      {.what = "empty REG_NONE", .type = 0, .expected = "@=hex(0):\r\n"},
      {.what = "binary wrapped within 80 columns",
       .name = "Bin",
       .type = 3,
       .bytes = std::string(26, '\xab'),
       .expected = "\"Bin\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,"
                   "ab,\\\r\n  ab,ab,ab,ab\r\n"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(mi::RegValueLines(row.name, row.type, row.text, row.bytes), row.expected) << row.what;
  }
}
