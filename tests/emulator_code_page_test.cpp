// The emulated machine keeps names as Unicode and each "A" call sees them through the calling
// process's code page: Windows-1252, Windows-1251, or UTF-8 where Windows honours the manifest.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/emulated/code_page.h"
#include "platform/emulated/session.h"
#include "platform_api.h"
#include "support/case_name.h"
#include "support/installed_machine.h"
#include "support/new_session.h"
#include "support/three_way.h"

namespace {

// "Пётр" in each spelling the tests need.
constexpr const char* kPetr = "\xD0\x9F\xD1\x91\xD1\x82\xD1\x80";       // UTF-8
constexpr const char* kPetrUpper = "\xD0\x9F\xD0\x81\xD0\xA2\xD0\xA0";  // "ПЁТР", UTF-8
constexpr const char* kPetr1251 = "\xCF\xB8\xF2\xF0";                   // Windows-1251
constexpr const char* kPetrUpper1251 = "\xCF\xA8\xD2\xD0";              // "ПЁТР", 1251
constexpr const char* kCafe = "Caf\xC3\xA9";                            // "Café", UTF-8

std::string S(const char* a, const std::string& b) {
  return std::string(a) + b;
}

// ---------------------------------------------------------------- the conversion pair

TEST(CodePage, ConvertsEachPageAsWindows) {
  struct Row {
    const char* what;
    unsigned page;
    std::string ansi, text;
  } rows[] = {
      {.what = "1252 Latin-1", .page = 1252, .ansi = "Caf\xE9", .text = kCafe},
      {.what = "1252 euro", .page = 1252, .ansi = "\x80", .text = "\xE2\x82\xAC"},
      {.what = "1252 undefined byte", .page = 1252, .ansi = "\x81", .text = "\xC2\x81"},
      {.what = "1251 Cyrillic", .page = 1251, .ansi = kPetr1251, .text = kPetr},
      {.what = "1251 yo", .page = 1251, .ansi = "\xA8\xB8", .text = "\xD0\x81\xD1\x91"},
      {.what = "1251 euro", .page = 1251, .ansi = "\x88", .text = "\xE2\x82\xAC"},
      {.what = "1251 undefined byte", .page = 1251, .ansi = "\x98", .text = "\xC2\x98"},
      {.what = "UTF-8 as it is", .page = emu::kUtf8CodePage, .ansi = kPetr, .text = kPetr},
      {.what = "ASCII everywhere", .page = 1251, .ansi = "C:\\x.txt", .text = "C:\\x.txt"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(emu::ToMachine(row.page, row.ansi), row.text) << row.what;
    EXPECT_EQ(emu::FromMachine(row.page, row.text), row.ansi) << row.what;
  }
}

TEST(CodePage, EveryByteOfASingleBytePageSurvivesARoundTrip) {
  std::string all;
  for (int byte = 1; byte < 256; ++byte) all += static_cast<char>(byte);
  for (unsigned page : {1252u, 1251u}) {
    EXPECT_EQ(emu::FromMachine(page, emu::ToMachine(page, all)), all) << page;
    EXPECT_TRUE(emu::IsValidUtf8(emu::ToMachine(page, all))) << page;
  }
}

TEST(CodePage, CharactersAPageLacksBecomeQuestionMarks) {
  struct Row {
    unsigned page;
    std::string text, ansi;
  } rows[] = {
      {.page = 1252, .text = kPetr, .ansi = "????"},
      {.page = 1251, .text = kCafe, .ansi = "Caf?"},
      {.page = 1251, .text = "\xE6\x97\xA5", .ansi = "?"},      // CJK
      {.page = 1252, .text = "\xF0\x9F\x98\x80", .ansi = "?"},  // outside the BMP: one '?'
      {.page = emu::kUtf8CodePage, .text = "\xF0\x9F\x98\x80", .ansi = "\xF0\x9F\x98\x80"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(emu::FromMachine(row.page, row.text), row.ansi) << row.page;
    EXPECT_EQ(emu::PageHolds(row.page, row.text), row.text == row.ansi) << row.page;
  }
}

TEST(CodePage, CountsLengthsInUtf16Units) {
  EXPECT_EQ(emu::Utf16Length(kPetr), 4u);
  EXPECT_EQ(emu::Utf16Length("\xF0\x9F\x98\x80"), 2u);  // a surrogate pair
  EXPECT_EQ(emu::Utf16Length("C:\\"), 3u);
}

// ---------------------------------------------------------------- names

TEST(CodePageNames, CompareThroughWindowsUpcaseTable) {
  struct Row {
    const char* what;
    std::string a, b;
    bool same;
  } rows[] = {
      {.what = "Cyrillic with yo", .a = kPetr, .b = kPetrUpper, .same = true},
      {.what = "Cyrillic a-ya", .a = "\xD0\xB0\xD1\x8F", .b = "\xD0\x90\xD0\xAF", .same = true},
      {.what = "Ukrainian ghe", .a = "\xD2\x91", .b = "\xD2\x90", .same = true},
      {.what = "Latin-1", .a = kCafe, .b = "CAF\xC3\x89", .same = true},
      {.what = "y diaeresis", .a = "\xC3\xBF", .b = "\xC5\xB8", .same = true},
      {.what = "Latin Extended-A", .a = "\xC5\xA1\xC4\x8D", .b = "\xC5\xA0\xC4\x8C", .same = true},
      {.what = "Greek final sigma", .a = "\xCF\x82", .b = "\xCE\xA3", .same = true},
      {.what = "Greek tonos", .a = "\xCE\xAC", .b = "\xCE\x86", .same = true},
      {.what = "two Cyrillic letters", .a = "\xD0\xB0", .b = "\xD0\xB1", .same = false},
      {.what = "a question mark is no letter", .a = "????", .b = kPetr, .same = false},
      {.what = "ASCII", .a = "Uninstall.EXE", .b = "uninstall.exe", .same = true},
  };
  for (const Row& row : rows) EXPECT_EQ(emu::SameName(row.a, row.b), row.same) << row.what;
}

TEST(CodePageNames, LstrcmpiAFoldsTheLettersOfTheCallersPage) {
  emu::Session session = test::NewSession();
  session.scenario.windows = emu::WindowsVersion::Seven;
  session.scenario.codePage = 1251;
  emu::ActiveProcess process(session);
  EXPECT_EQ(lstrcmpiA(kPetr1251, kPetrUpper1251), 0);
  EXPECT_NE(lstrcmpiA(kPetr1251, "????"), 0);
  EXPECT_LT(lstrcmpiA("abc", "ABD"), 0);
  EXPECT_LT(lstrcmpiA("_", "a"), 0);  // ASCII letters fold to lower case, as before
}

// ---------------------------------------------------------------- which page a process gets

constexpr const char* kWithUtf8 =
    "<assembly><application xmlns=\"urn:schemas-microsoft-com:asm.v3\"><windowsSettings>"
    "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8"
    "</activeCodePage></windowsSettings></application></assembly>";

TEST(CodePageDecision, Utf8OnlyWhereWindowsHonoursTheManifest) {
  struct Row {
    const char* behaviour;
    emu::WindowsVersion windows;
    unsigned system;
    std::string manifest;
    unsigned page;
  } rows[] = {
      {.behaviour = "nt with the element gets UTF-8",
       .windows = emu::WindowsVersion::Nt,
       .system = 1251,
       .manifest = kWithUtf8,
       .page = emu::kUtf8CodePage},
      {.behaviour = "7 ignores it",
       .windows = emu::WindowsVersion::Seven,
       .system = 1251,
       .manifest = kWithUtf8,
       .page = 1251},
      {.behaviour = "xp ignores it",
       .windows = emu::WindowsVersion::Xp,
       .system = 1252,
       .manifest = kWithUtf8,
       .page = 1252},
      {.behaviour = "9x ignores it",
       .windows = emu::WindowsVersion::Nine,
       .system = 1251,
       .manifest = kWithUtf8,
       .page = 1251},
      {.behaviour = "nt without the element keeps the system page",
       .windows = emu::WindowsVersion::Nt,
       .system = 1252,
       .manifest = "<assembly><application><windowsSettings/></application></assembly>",
       .page = 1252},
      {.behaviour = "nt without a manifest keeps the system page",
       .windows = emu::WindowsVersion::Nt,
       .system = 1251,
       .manifest = "",
       .page = 1251},
      {.behaviour = "the element in another namespace is not read",
       .windows = emu::WindowsVersion::Nt,
       .system = 1252,
       .manifest = "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2005/"
                   "WindowsSettings\">UTF-8</activeCodePage>",
       .page = 1252},
      {.behaviour = "Legacy is no UTF-8",
       .windows = emu::WindowsVersion::Nt,
       .system = 1252,
       .manifest = "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/"
                   "WindowsSettings\">Legacy</activeCodePage>",
       .page = 1252},
  };
  for (const Row& row : rows) {
    emu::Scenario scenario;
    scenario.windows = row.windows;
    scenario.codePage = row.system;
    EXPECT_EQ(emu::ProgramCodePage(scenario, row.manifest), row.page) << row.behaviour;
  }
}

TEST(CodePageDecision, TheHostBuildsManifestDeclaresUtf8) {
  EXPECT_TRUE(emu::DeclaresUtf8CodePage(emu::ProductManifest()));
  emu::Session session = test::NewSession();
  {
    emu::ActiveProcess nt(session);
    EXPECT_EQ(nt.process().codePage, emu::kUtf8CodePage);
  }
  session.scenario.windows = emu::WindowsVersion::Seven;
  session.scenario.codePage = 1251;
  emu::ActiveProcess seven(session);
  EXPECT_EQ(seven.process().codePage, 1251u);
}

// ---------------------------------------------------------------- the "A" calls

// A process's page, set up the way the scenario reader sets it: windows=7 keeps the system's
// page; windows=nt with the product's manifest gives UTF-8.
struct Page {
  const char* name;
  emu::WindowsVersion windows;
  unsigned system;
  std::string petr;       // "Пётр" as the calls of this page spell it
  std::string shortPetr;  // its short name: the OEM page of a Western system has no Cyrillic
};

const Page kPages[] = {
    {.name = "1252",
     .windows = emu::WindowsVersion::Seven,
     .system = 1252,
     .petr = "????",
     .shortPetr = ""},
    {.name = "1251",
     .windows = emu::WindowsVersion::Seven,
     .system = 1251,
     .petr = kPetr1251,
     .shortPetr = kPetr1251},  // 8.3 already: kept as it is, case and all
    {.name = "UTF8",
     .windows = emu::WindowsVersion::Nt,
     .system = 1252,
     .petr = kPetr,
     .shortPetr = "____~1"},
};

const std::string kProfile = S("C:\\Users\\", kPetr);

// A user whose profile folder carries a Cyrillic name.
emu::Session CyrillicUser(const Page& page) {
  emu::Session session = test::NewSession();
  session.scenario.windows = page.windows;
  session.scenario.codePage = page.system;
  session.scenario.exePath = kProfile + "\\Orbelle\\Uninstall.exe";
  session.scenario.tempPath = kProfile + "\\Temp\\";
  session.machine.files.CreateFile(session.scenario.exePath, {'M', 'Z'});
  session.machine.files.CreateFolder(kProfile + "\\Temp");
  session.machine.files.CreateFile(kProfile + "\\notes.txt", {'x'});
  session.machine.registry.CreateKey(emu::Root::CurrentUser, S("Software\\", kPetr))
      .SetString("Folder", kProfile);
  session.machine.registry.CreateKey(emu::Root::ClassesRoot, ".wrl").SetString("", kProfile);
  return session;
}

class NameCalls : public testing::TestWithParam<Page> {};

TEST_P(NameCalls, GetTempPathAGivesThePathInThePageWithByteLengths) {
  const Page& page = GetParam();
  emu::Session session = CyrillicUser(page);
  emu::ActiveProcess process(session);
  const std::string expected = "C:\\Users\\" + page.petr + "\\Temp\\";
  char buffer[MAX_PATH];
  std::memset(buffer, 'z', sizeof buffer);
  const auto size = static_cast<DWORD>(expected.size());
  EXPECT_EQ(GetTempPathA(size, buffer), size + 1) << "does not fit: the size needed";
  EXPECT_EQ(buffer[0], 'z') << "and the buffer untouched";
  EXPECT_EQ(GetTempPathA(size + 1, buffer), size);
  EXPECT_EQ(std::string(buffer), expected);
}

TEST_P(NameCalls, GetModuleFileNameAGivesThePathInThePage) {
  const Page& page = GetParam();
  emu::Session session = CyrillicUser(page);
  emu::ActiveProcess process(session);
  const std::string expected = "C:\\Users\\" + page.petr + "\\Orbelle\\Uninstall.exe";
  char buffer[MAX_PATH];
  EXPECT_EQ(GetModuleFileNameA(NULL, buffer, MAX_PATH), expected.size());
  EXPECT_EQ(std::string(buffer), expected);
  const auto cut = static_cast<DWORD>(expected.size());  // no room for the terminator
  EXPECT_EQ(GetModuleFileNameA(NULL, buffer, cut), cut);
  EXPECT_EQ(std::string(buffer, cut), expected);
}

TEST_P(NameCalls, GetCommandLineAIsInThePage) {
  const Page& page = GetParam();
  emu::Session session = CyrillicUser(page);
  emu::ActiveProcess process(session);
  EXPECT_EQ(std::string(GetCommandLineA()),
            "\"C:\\Users\\" + page.petr + "\\Orbelle\\Uninstall.exe\"");
}

TEST_P(NameCalls, GetShortPathNameAGivesThePathInThePage) {
  const Page& page = GetParam();
  emu::Session session = CyrillicUser(page);
  emu::ActiveProcess process(session);
  char buffer[MAX_PATH];
  const DWORD length =
      GetShortPathNameA((R"(C:\Users\)" + page.petr + R"(\notes.txt)").c_str(), buffer, MAX_PATH);
  if (page.petr == "????") {
    EXPECT_EQ(length, 0u) << "the '?' path names no file";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    return;
  }
  const std::string expected = "C:\\Users\\" + page.shortPetr + "\\notes.txt";
  EXPECT_EQ(length, expected.size());
  EXPECT_EQ(std::string(buffer), expected);
  EXPECT_EQ(
      GetShortPathNameA((R"(C:\Users\)" + page.petr + R"(\notes.txt)").c_str(), buffer, length),
      length + 1)
      << "does not fit";
}

TEST_P(NameCalls, RegEnumKeyAGivesTheNameInThePage) {
  const Page& page = GetParam();
  emu::Session session = CyrillicUser(page);
  emu::ActiveProcess process(session);
  HKEY software = NULL;
  ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, "Software", &software), ERROR_SUCCESS);
  char name[64];
  const auto fits = static_cast<DWORD>(page.petr.size() + 1);
  EXPECT_EQ(RegEnumKeyA(software, 0, name, fits - 1), ERROR_MORE_DATA) << "bytes, not letters";
  ASSERT_EQ(RegEnumKeyA(software, 0, name, fits), ERROR_SUCCESS);
  EXPECT_EQ(std::string(name), page.petr);
  RegCloseKey(software);
}

TEST_P(NameCalls, RegQueryValueExAConvertsTheStringAndReportsItsConvertedSize) {
  const Page& page = GetParam();
  emu::Session session = CyrillicUser(page);
  emu::ActiveProcess process(session);
  const std::string expected = "C:\\Users\\" + page.petr;
  HKEY key = NULL;
  ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, ("Software\\" + page.petr).c_str(), &key),
            page.petr == "????" ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS);
  if (page.petr == "????") return;  // a '?' key name names no key
  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExA(key, "Folder", NULL, &type, NULL, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, expected.size() + 1) << "the exact size of the converted value";
  char data[64];
  DWORD small = size - 1;
  EXPECT_EQ(RegQueryValueExA(key, "Folder", NULL, &type, reinterpret_cast<BYTE*>(data), &small),
            ERROR_MORE_DATA);
  ASSERT_EQ(RegQueryValueExA(key, "Folder", NULL, &type, reinterpret_cast<BYTE*>(data), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::string(data), expected);
  RegCloseKey(key);
}

TEST_P(NameCalls, RegQueryValueAConvertsTheDefaultValue) {
  const Page& page = GetParam();
  emu::Session session = CyrillicUser(page);
  emu::ActiveProcess process(session);
  const std::string expected = "C:\\Users\\" + page.petr;
  LONG size = 0;
  ASSERT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, ".wrl", NULL, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, static_cast<LONG>(expected.size() + 1));
  char data[64];
  ASSERT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, ".wrl", data, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(data), expected);
}

TEST_P(NameCalls, FileCallsReadTheNameInThePage) {
  const Page& page = GetParam();
  emu::Session session = CyrillicUser(page);
  emu::ActiveProcess process(session);
  const std::string notes = "C:\\Users\\" + page.petr + "\\notes.txt";
  if (page.petr == "????") {
    EXPECT_EQ(GetFileAttributesA(notes.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    return;
  }
  EXPECT_EQ(GetFileAttributesA(notes.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  const std::string copy = "C:\\Users\\" + page.petr + "\\Temp\\notes.tmp";
  ASSERT_TRUE(CopyFileA(notes.c_str(), copy.c_str(), TRUE));
  EXPECT_NE(session.machine.files.Find(kProfile + "\\Temp\\notes.tmp"), nullptr)
      << "the copy is named in Unicode on the machine";
  EXPECT_TRUE(DeleteFileA(copy.c_str()));
  EXPECT_TRUE(DeleteFileA(notes.c_str()));
  EXPECT_EQ(session.machine.files.Find(kProfile + "\\notes.txt"), nullptr);
}

TEST_P(NameCalls, MessageBoxTextsAreRecordedAsUnicode) {
  const Page& page = GetParam();
  emu::Session session = CyrillicUser(page);
  emu::ActiveProcess process(session);
  MessageBoxA(NULL, ("Remove " + page.petr + "?").c_str(), page.petr.c_str(), MB_OK);
  ASSERT_EQ(session.record.events.size(), 1u);
  const std::string shown = page.petr == "????" ? "????" : kPetr;
  EXPECT_EQ(session.record.events[0].text, "Remove " + shown + "?");
  EXPECT_EQ(session.record.events[0].caption, shown);
}

TEST_P(NameCalls, CreateProcessARecordsItsStartAsUnicode) {
  const Page& page = GetParam();
  if (page.petr == "????") GTEST_SKIP() << "the launcher cannot name the folder in this page";
  emu::Session session = CyrillicUser(page);
  emu::ActiveProcess process(session);
  const std::string image = "C:\\Users\\" + page.petr + "\\Orbelle\\Uninstall.exe";
  std::string line = "\"" + image + "\" /x";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessA(image.c_str(), line.data(), NULL, NULL, FALSE, 0, NULL,
                             ("C:\\Users\\" + page.petr).c_str(), &startup, &info));
  const emu::Event& start = session.record.events.back();
  EXPECT_EQ(start.image, kProfile + "\\Orbelle\\Uninstall.exe");
  EXPECT_EQ(start.commandLine, "\"" + kProfile + "\\Orbelle\\Uninstall.exe\" /x");
  EXPECT_EQ(start.currentDir, kProfile);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

INSTANTIATE_TEST_SUITE_P(CodePage, NameCalls, testing::ValuesIn(kPages),
                         [](const testing::TestParamInfo<Page>& info) { return info.param.name; });

// ---------------------------------------------------------------- '?' names no file

struct QuestionMarkCase {
  const char* behaviour;
  std::function<bool(const char* path)> call;  // true: the call succeeded
};

const QuestionMarkCase kQuestionMarkCases[] = {
    {"GetFileAttributesA",
     [](const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }},
    {"SetFileAttributesA",
     [](const char* path) { return SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) != FALSE; }},
    {"DeleteFileA", [](const char* path) { return DeleteFileA(path) != FALSE; }},
    {"RemoveDirectoryA", [](const char* path) { return RemoveDirectoryA(path) != FALSE; }},
    {"CopyFileA source",
     [](const char* path) { return CopyFileA(path, "C:\\copy.txt", FALSE) != FALSE; }},
    {"CopyFileA destination",
     [](const char* path) { return CopyFileA("C:\\source.txt", path, FALSE) != FALSE; }},
    {"MoveFileA", [](const char* path) { return MoveFileA(path, "C:\\moved.txt") != FALSE; }},
    {"CreateFileA",
     [](const char* path) {
       HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
       if (file == INVALID_HANDLE_VALUE) return false;
       CloseHandle(file);
       return true;
     }},
    {"GetShortPathNameA",
     [](const char* path) {
       char buffer[MAX_PATH];
       return GetShortPathNameA(path, buffer, MAX_PATH) != 0;
     }},
    {"CreateProcessA",
     [](const char* path) {
       STARTUPINFOA startup{};
       startup.cb = sizeof startup;
       PROCESS_INFORMATION info{};
       return CreateProcessA(path, NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info) !=
              FALSE;
     }},
};

class QuestionMarkPaths : public testing::TestWithParam<QuestionMarkCase> {};

// On Windows '?' is a wildcard and never part of a name: the file "C:\????\notes.txt" the
// program asks for is refused before any disk is looked at, even when a folder of four
// characters the page could not hold stands there.
TEST_P(QuestionMarkPaths, AreRefusedWithErrorInvalidName) {
  emu::Session session = CyrillicUser(kPages[0]);
  session.machine.files.CreateFile("C:\\source.txt", {'s'});
  emu::ActiveProcess process(session);
  for (const char* path : {"C:\\Users\\????\\notes.txt", "C:\\Users\\????", "notes?.txt"}) {
    SetLastError(0);
    EXPECT_FALSE(GetParam().call(path)) << path;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME)) << path;
  }
  EXPECT_NE(session.machine.files.Find(kProfile + "\\notes.txt"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(CodePage, QuestionMarkPaths, testing::ValuesIn(kQuestionMarkCases),
                         test::ByBehaviour);

TEST(CodePageRegistry, RegSetValueAStoresWhatItIsGiven) {
  emu::Session session = CyrillicUser(kPages[0]);
  emu::ActiveProcess process(session);
  char temp[MAX_PATH];
  ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
  ASSERT_EQ(RegSetValueA(HKEY_CURRENT_USER, "Software\\Orbelle", REG_SZ, temp, 0), ERROR_SUCCESS);
  const emu::RegValue* value =
      session.machine.registry.FindKey(emu::Root::CurrentUser, "Software\\Orbelle")->FindValue("");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(std::string(value->data.begin(), value->data.end()),
            std::string("C:\\Users\\????\\Temp\\", 19) + '\0')
      << "the '?' of the page stays a '?'";
}

TEST(CodePageRegistry, RegSetValueAReadsTheTextInThePage) {
  emu::Session session = CyrillicUser(kPages[1]);
  emu::ActiveProcess process(session);
  ASSERT_EQ(RegSetValueA(HKEY_CURRENT_USER, kPetr1251, REG_SZ, kPetrUpper1251, 0), ERROR_SUCCESS);
  const emu::RegKey* key = session.machine.registry.FindKey(emu::Root::CurrentUser, kPetr);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->name, kPetr);
  const emu::RegValue* value = key->FindValue("");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(std::string(value->data.begin(), value->data.end()), std::string(kPetrUpper) + '\0');
}

TEST(CodePageRegistry, KeyNamesCompareCyrillicCaseBlind) {
  emu::Session session = CyrillicUser(kPages[1]);
  emu::ActiveProcess process(session);
  HKEY key = NULL;
  ASSERT_EQ(
      RegOpenKeyA(HKEY_CURRENT_USER, (std::string("SOFTWARE\\") + kPetrUpper1251).c_str(), &key),
      ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, (std::string("Software\\") + kPetrUpper1251).c_str()),
            ERROR_SUCCESS);
  EXPECT_EQ(session.machine.registry.FindKey(emu::Root::CurrentUser, S("Software\\", kPetr)),
            nullptr);
  RegCloseKey(key);
}

TEST(CodePageFiles, MoveFileExARecordsTheRestartDeletionAsUnicode) {
  emu::Session session = CyrillicUser(kPages[1]);
  emu::ActiveProcess process(session);
  const std::string path = std::string("C:\\Users\\") + kPetr1251 + "\\Temp\\obuninst.tmp";
  ASSERT_TRUE(MoveFileExA(path.c_str(), NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_EQ(session.record.restartDeletes.size(), 1u);
  EXPECT_EQ(session.record.restartDeletes[0], kProfile + "\\Temp\\obuninst.tmp");
  EXPECT_EQ(session.record.events.back().path, kProfile + "\\Temp\\obuninst.tmp");
}

// ---------------------------------------------------------------- whole runs, three ways

// The host build and both exes on the runner must see the same page: the exes' from their
// RT_MANIFEST, the host build's from res/uninstall.manifest compiled in.
struct WholeRun {
  const char* behaviour;
  emu::WindowsVersion windows;
  unsigned system;
  bool tempNamed;  // the page can name the temp folder: the copy goes there
};

const WholeRun kWholeRuns[] = {
    {.behaviour = "nt with the manifest's UTF-8 copies to the Cyrillic temp folder",
     .windows = emu::WindowsVersion::Nt,
     .system = 1252,
     .tempNamed = true},
    {.behaviour = "a Cyrillic system copies there in its own page",
     .windows = emu::WindowsVersion::Seven,
     .system = 1251,
     .tempNamed = true},
    {.behaviour = "a Western system without UTF-8 cannot name the folder",
     .windows = emu::WindowsVersion::Seven,
     .system = 1252,
     .tempNamed = false},
};

class CyrillicTempRuns : public testing::TestWithParam<WholeRun> {};

TEST_P(CyrillicTempRuns, GoTheSameThreeWays) {
  const WholeRun& row = GetParam();
  emu::Session session = test::InstalledMachine({.temp = kProfile + "\\Temp\\"});
  session.scenario.windows = row.windows;
  session.scenario.codePage = row.system;
  ASSERT_EQ(test::RunThreeWays(session), emu::RunStatus::Completed);
  const std::string copy = kProfile + "\\Temp\\obuninst.tmp";
  bool started = false;
  for (const emu::Event& event : session.record.events) {
    if (event.kind == emu::Event::Kind::Start && event.process == 2) {
      started = event.image == copy;
    }
  }
  EXPECT_EQ(started, row.tempNamed) << "the worker runs from the copy in the Cyrillic folder";
}

INSTANTIATE_TEST_SUITE_P(CodePage, CyrillicTempRuns, testing::ValuesIn(kWholeRuns),
                         test::ByBehaviour);

}  // namespace
