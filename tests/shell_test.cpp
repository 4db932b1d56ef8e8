// Shortcut and program group removal on emulated machines, whole file tree compared.
#include <gtest/gtest.h>

#include "shell/shell_folders.h"
#include "support/case_name.h"
#include "support/machine_lines.h"

namespace {

const std::string kShellFolders =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string FolderValue(const std::string& name, const std::string& path) {
  return kShellFolders + "|" + name + "|" + path;
}

struct ShortcutCase {
  const char* behaviour;
  test::Lines machine;
  const char* valueName;
  BOOL expected;
  std::set<std::string> removed;
  std::vector<std::string> locked = {};
  // Windows 7 reads the manifest's UTF-8 code page not: a name outside 1252 comes back with '?'.
  emu::WindowsVersion windows = emu::WindowsVersion::Nt;
};

const std::string kCyrillicDesktop = "C:\\Users\\Иван\\Desktop";
const std::string kLongFolder = "C:\\" + std::string(505, 'd');  // with "\Orbelle.lnk": 520 bytes

const ShortcutCase kShortcutCases[] = {
    {"a folder stored with its backslash gets no second one",
     {FolderValue("Desktop", "C:\\WINDOWS\\Desktop\\"), "C:\\WINDOWS\\Desktop\\Orbelle.lnk",
      "C:\\WINDOWS\\Desktop\\Other.lnk"},
     "Desktop",
     TRUE,
     {"C:\\WINDOWS\\Desktop\\Orbelle.lnk"}},
    {"a folder stored without a backslash gets one",
     {FolderValue("SendTo", "C:\\WINDOWS\\SendTo"), "C:\\WINDOWS\\SendTo\\Orbelle.lnk"},
     "SendTo",
     TRUE,
     {"C:\\WINDOWS\\SendTo\\Orbelle.lnk"}},
    {"a shortcut that is not there is success",
     {FolderValue("Start Menu", "C:\\WINDOWS\\Start Menu"), "C:\\WINDOWS\\Start Menu\\Other.lnk"},
     "Start Menu",
     TRUE,
     {}},
    {"an empty folder value is success and deletes nothing, not even a shortcut in the current "
     "folder",
     {FolderValue("Desktop", ""), "C:\\WINDOWS\\TEMP\\Orbelle.lnk"},
     "Desktop",
     TRUE,
     {}},
    {"a missing value fails",
     {FolderValue("SendTo", "C:\\WINDOWS\\SendTo"), "C:\\WINDOWS\\Desktop\\Orbelle.lnk"},
     "Desktop",
     FALSE,
     {}},
    {"a missing Shell Folders key fails",
     {"HKCU\\Software\\Microsoft", "C:\\WINDOWS\\Desktop\\Orbelle.lnk"},
     "Desktop",
     FALSE,
     {}},
    {"an unexpanded environment reference is used as it stands and finds no shortcut",
     {FolderValue("Desktop", "%USERPROFILE%\\Desktop"),
      "C:\\WINDOWS\\Profiles\\Desktop\\Orbelle.lnk"},
     "Desktop",
     TRUE,
     {}},
    {"a folder bearing the shortcut's name cannot be deleted as a file",
     {FolderValue("Desktop", "C:\\WINDOWS\\Desktop"), "C:\\WINDOWS\\Desktop\\Orbelle.lnk\\"},
     "Desktop",
     FALSE,
     {}},
    {"a shortcut in use fails",
     {FolderValue("Desktop", "C:\\WINDOWS\\Desktop"), "C:\\WINDOWS\\Desktop\\Orbelle.lnk"},
     "Desktop",
     FALSE,
     {},
     {"C:\\WINDOWS\\Desktop\\Orbelle.lnk"}},
    {"a folder value too long for the buffer with the shortcut name fails and touches nothing",
     {FolderValue("Desktop", kLongFolder), "C:\\WINDOWS\\Desktop\\Orbelle.lnk"},
     "Desktop",
     FALSE,
     {}},
    {.behaviour = "a folder named outside the code page is found where the UTF-8 page is in force",
     .machine = {FolderValue("Desktop", kCyrillicDesktop), kCyrillicDesktop + "\\Orbelle.lnk"},
     .valueName = "Desktop",
     .expected = TRUE,
     .removed = {kCyrillicDesktop + "\\Orbelle.lnk"}},
    // Read back with a '?' for each letter the page lacks, the path names no file: Windows
    // answers ERROR_INVALID_NAME, which is no proof that the shortcut is gone.
    {.behaviour = "a folder that lost its letters to the code page fails and touches nothing",
     .machine = {FolderValue("Desktop", kCyrillicDesktop), kCyrillicDesktop + "\\Orbelle.lnk"},
     .valueName = "Desktop",
     .expected = FALSE,
     .removed = {},
     .windows = emu::WindowsVersion::Seven},
};

const std::string kGroup = "C:\\WINDOWS\\Start Menu\\Programs\\Halcyra\\Orbelle\\";
const test::Lines kFullGroup = {FolderValue("Programs", "C:\\WINDOWS\\Start Menu\\Programs"),
                                kGroup + "Orbelle 1.0.lnk",
                                kGroup + "Online Help.lnk",
                                kGroup + "ReadMe.lnk",
                                kGroup + "Uninstall.lnk",
                                "C:\\WINDOWS\\Start Menu\\Programs\\Accessories\\Notepad.lnk"};
const std::set<std::string> kShortcutsGone = {kGroup + "Orbelle 1.0.lnk",
                                              kGroup + "Online Help.lnk", kGroup + "ReadMe.lnk",
                                              kGroup + "Uninstall.lnk"};

std::set<std::string> With(std::set<std::string> lines, std::initializer_list<std::string> more) {
  lines.insert(more);
  return lines;
}

test::Lines With(test::Lines lines, std::initializer_list<std::string> more) {
  lines.insert(lines.end(), more);
  return lines;
}

struct GroupCase {
  const char* behaviour;
  test::Lines machine;
  BOOL expected;
  std::set<std::string> removed;
};

const GroupCase kGroupCases[] = {
    {"the group and the maker folder it leaves empty are removed", kFullGroup, TRUE,
     With(kShortcutsGone, {kGroup, "C:\\WINDOWS\\Start Menu\\Programs\\Halcyra\\"})},
    {"a maker folder shared with another product stays",
     With(kFullGroup, {"C:\\WINDOWS\\Start Menu\\Programs\\Halcyra\\Lumetra\\Lumetra.lnk"}), TRUE,
     With(kShortcutsGone, {kGroup})},
    {"a trailing backslash in the Programs value changes nothing",
     With(kFullGroup, {FolderValue("Programs", "C:\\WINDOWS\\Start Menu\\Programs\\")}), TRUE,
     With(kShortcutsGone, {kGroup, "C:\\WINDOWS\\Start Menu\\Programs\\Halcyra\\"})},
    {"missing shortcuts do not keep the group",
     {FolderValue("Programs", "C:\\WINDOWS\\Start Menu\\Programs"), kGroup + "ReadMe.lnk"},
     TRUE,
     {kGroup + "ReadMe.lnk", kGroup, "C:\\WINDOWS\\Start Menu\\Programs\\Halcyra\\"}},
    {"an extra file keeps the group: the shortcuts go, the result is 0",
     With(kFullGroup, {kGroup + "Notes.txt"}), FALSE, kShortcutsGone},
    {"a folder bearing a shortcut's name keeps both folders",
     {FolderValue("Programs", "C:\\WINDOWS\\Start Menu\\Programs"), kGroup + "Orbelle 1.0.lnk",
      kGroup + "ReadMe.lnk\\", kGroup + "Uninstall.lnk"},
     FALSE,
     {kGroup + "Orbelle 1.0.lnk", kGroup + "Uninstall.lnk"}},
    {"an empty Programs value touches nothing, not even a group below the current folder",
     {FolderValue("Programs", ""), "C:\\WINDOWS\\TEMP\\Halcyra\\Orbelle\\ReadMe.lnk"},
     FALSE,
     {}},
    {"a missing Programs value touches nothing",
     {FolderValue("Desktop", "C:\\WINDOWS\\Desktop"), kGroup + "ReadMe.lnk"},
     FALSE,
     {}},
    {"a Programs value too long for the group and its longest name touches nothing",
     {FolderValue("Programs", "C:\\" + std::string(485, 'p')), kGroup + "ReadMe.lnk"},
     FALSE,
     {}},
    {"no group folder: nothing to remove",
     {FolderValue("Programs", "C:\\WINDOWS\\Start Menu\\Programs"),
      "C:\\WINDOWS\\Start Menu\\Programs\\Halcyra\\"},
     FALSE,
     {}},
};

template <typename Case, typename Call>
void RunShellCase(const Case& c, const std::vector<std::string>& locked, Call call) {
  emu::Session session = test::MakeSession(c.machine);
  session.machine.files.CreateFolder("C:\\WINDOWS\\TEMP\\");
  for (const auto& path : locked) session.scenario.faults.locked[emu::UpperName(path)] = {true, 0};
  if constexpr (requires { c.windows; }) session.scenario.windows = c.windows;
  auto before = test::Snapshot(session);

  BOOL result;
  {
    emu::ActiveProcess process(session, "C:\\WINDOWS\\TEMP");
    result = call();
  }

  auto change = test::Compare(before, test::Snapshot(session));
  EXPECT_EQ(result, c.expected);
  EXPECT_EQ(change.removed, c.removed) << "removed:" << test::Join(change.removed);
  EXPECT_TRUE(change.added.empty()) << "added:" << test::Join(change.added);
  EXPECT_EQ(emu::OpenKeyCount(session), 0);
}

class ProductShortcut : public testing::TestWithParam<ShortcutCase> {};

TEST_P(ProductShortcut, DeletesOnlyTheProductShortcut) {
  const ShortcutCase& c = GetParam();
  RunShellCase(c, c.locked, [&] { return DeleteProductShortcut(c.valueName); });
}

INSTANTIATE_TEST_SUITE_P(Cases, ProductShortcut, testing::ValuesIn(kShortcutCases),
                         [](const auto& info) { return test::CaseName(info.param.behaviour); });

class ProgramGroup : public testing::TestWithParam<GroupCase> {};

TEST_P(ProgramGroup, RemovesOnlyTheGroup) {
  RunShellCase(GetParam(), {}, [] { return RemoveProgramGroup(); });
}

INSTANTIATE_TEST_SUITE_P(Cases, ProgramGroup, testing::ValuesIn(kGroupCases),
                         [](const auto& info) { return test::CaseName(info.param.behaviour); });

}  // namespace
