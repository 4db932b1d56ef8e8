// Shortcut and program group removal on emulated machines, whole file tree compared.
#include <gtest/gtest.h>

#include "shell/shell_folders.h"
#include "support/case_name.h"
#include "support/faults.h"
#include "support/machine_lines.h"
#include "support/product_call.h"

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
  std::set<std::string> removed = {};
  std::vector<std::string> locked = {};
  // Windows 7 reads the manifest's UTF-8 code page not: a name outside 1252 comes back with '?'.
  emu::WindowsVersion windows = emu::WindowsVersion::Nt;
};

const std::string kCyrillicDesktop = "C:\\Users\\Иван\\Desktop";
const std::string kLongFolder = "C:\\" + std::string(505, 'd');  // with "\Orbelle.lnk": 520 bytes

const ShortcutCase kShortcutCases[] = {
    {.behaviour = "a folder stored with its backslash gets no second one",
     .machine = {FolderValue("Desktop", "C:\\WINDOWS\\Desktop\\"),
                 "C:\\WINDOWS\\Desktop\\Orbelle.lnk", "C:\\WINDOWS\\Desktop\\Other.lnk"},
     .valueName = "Desktop",
     .expected = TRUE,
     .removed = {"C:\\WINDOWS\\Desktop\\Orbelle.lnk"}},
    {.behaviour = "a folder stored without a backslash gets one",
     .machine = {FolderValue("SendTo", "C:\\WINDOWS\\SendTo"), "C:\\WINDOWS\\SendTo\\Orbelle.lnk"},
     .valueName = "SendTo",
     .expected = TRUE,
     .removed = {"C:\\WINDOWS\\SendTo\\Orbelle.lnk"}},
    {.behaviour = "a shortcut that is not there is success",
     .machine = {FolderValue("Start Menu", "C:\\WINDOWS\\Start Menu"),
                 "C:\\WINDOWS\\Start Menu\\Other.lnk"},
     .valueName = "Start Menu",
     .expected = TRUE},
    {.behaviour = "an empty folder value is success and deletes nothing, not even a shortcut in "
                  "the current folder",
     .machine = {FolderValue("Desktop", ""), "C:\\WINDOWS\\TEMP\\Orbelle.lnk"},
     .valueName = "Desktop",
     .expected = TRUE},
    {.behaviour = "a missing value fails",
     .machine = {FolderValue("SendTo", "C:\\WINDOWS\\SendTo"), "C:\\WINDOWS\\Desktop\\Orbelle.lnk"},
     .valueName = "Desktop",
     .expected = FALSE},
    {.behaviour = "a missing Shell Folders key fails",
     .machine = {"HKCU\\Software\\Microsoft", "C:\\WINDOWS\\Desktop\\Orbelle.lnk"},
     .valueName = "Desktop",
     .expected = FALSE},
    {.behaviour = "an unexpanded environment reference is used as it stands and finds no shortcut",
     .machine = {FolderValue("Desktop", "%USERPROFILE%\\Desktop"),
                 "C:\\WINDOWS\\Profiles\\Desktop\\Orbelle.lnk"},
     .valueName = "Desktop",
     .expected = TRUE},
    {.behaviour = "a folder bearing the shortcut's name cannot be deleted as a file",
     .machine = {FolderValue("Desktop", "C:\\WINDOWS\\Desktop"),
                 "C:\\WINDOWS\\Desktop\\Orbelle.lnk\\"},
     .valueName = "Desktop",
     .expected = FALSE},
    {.behaviour = "a shortcut in use fails",
     .machine = {FolderValue("Desktop", "C:\\WINDOWS\\Desktop"),
                 "C:\\WINDOWS\\Desktop\\Orbelle.lnk"},
     .valueName = "Desktop",
     .expected = FALSE,
     .locked = {"C:\\WINDOWS\\Desktop\\Orbelle.lnk"}},
    {.behaviour =
         "a folder value too long for the buffer with the shortcut name fails and touches nothing",
     .machine = {FolderValue("Desktop", kLongFolder), "C:\\WINDOWS\\Desktop\\Orbelle.lnk"},
     .valueName = "Desktop",
     .expected = FALSE},
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
  std::set<std::string> removed = {};
};

const GroupCase kGroupCases[] = {
    {.behaviour = "the group and the maker folder it leaves empty are removed",
     .machine = kFullGroup,
     .expected = TRUE,
     .removed = With(kShortcutsGone, {kGroup, "C:\\WINDOWS\\Start Menu\\Programs\\Halcyra\\"})},
    {.behaviour = "a maker folder shared with another product stays",
     .machine =
         With(kFullGroup, {"C:\\WINDOWS\\Start Menu\\Programs\\Halcyra\\Lumetra\\Lumetra.lnk"}),
     .expected = TRUE,
     .removed = With(kShortcutsGone, {kGroup})},
    {.behaviour = "a trailing backslash in the Programs value changes nothing",
     .machine = With(kFullGroup, {FolderValue("Programs", "C:\\WINDOWS\\Start Menu\\Programs\\")}),
     .expected = TRUE,
     .removed = With(kShortcutsGone, {kGroup, "C:\\WINDOWS\\Start Menu\\Programs\\Halcyra\\"})},
    {.behaviour = "missing shortcuts do not keep the group",
     .machine = {FolderValue("Programs", "C:\\WINDOWS\\Start Menu\\Programs"),
                 kGroup + "ReadMe.lnk"},
     .expected = TRUE,
     .removed = {kGroup + "ReadMe.lnk", kGroup, "C:\\WINDOWS\\Start Menu\\Programs\\Halcyra\\"}},
    {.behaviour = "an extra file keeps the group: the shortcuts go, the result is 0",
     .machine = With(kFullGroup, {kGroup + "Notes.txt"}),
     .expected = FALSE,
     .removed = kShortcutsGone},
    {.behaviour = "a folder bearing a shortcut's name keeps both folders",
     .machine = {FolderValue("Programs", "C:\\WINDOWS\\Start Menu\\Programs"),
                 kGroup + "Orbelle 1.0.lnk", kGroup + "ReadMe.lnk\\", kGroup + "Uninstall.lnk"},
     .expected = FALSE,
     .removed = {kGroup + "Orbelle 1.0.lnk", kGroup + "Uninstall.lnk"}},
    {.behaviour =
         "an empty Programs value touches nothing, not even a group below the current folder",
     .machine = {FolderValue("Programs", ""), "C:\\WINDOWS\\TEMP\\Halcyra\\Orbelle\\ReadMe.lnk"},
     .expected = FALSE},
    {.behaviour = "a missing Programs value touches nothing",
     .machine = {FolderValue("Desktop", "C:\\WINDOWS\\Desktop"), kGroup + "ReadMe.lnk"},
     .expected = FALSE},
    {.behaviour = "a Programs value too long for the group and its longest name touches nothing",
     .machine = {FolderValue("Programs", "C:\\" + std::string(485, 'p')), kGroup + "ReadMe.lnk"},
     .expected = FALSE},
    {.behaviour = "no group folder: nothing to remove",
     .machine = {FolderValue("Programs", "C:\\WINDOWS\\Start Menu\\Programs"),
                 "C:\\WINDOWS\\Start Menu\\Programs\\Halcyra\\"},
     .expected = FALSE},
};

template <typename Case, typename Call>
void RunShellCase(const Case& c, const std::vector<std::string>& locked, Call call) {
  emu::Session session = test::MakeSession(c.machine);
  session.machine.files.CreateFolder("C:\\WINDOWS\\TEMP\\");
  for (const auto& path : locked) test::LockFile(session, path);
  if constexpr (requires { c.windows; }) session.scenario.windows = c.windows;

  const auto [result, change] = test::CallInProcess(session, call, "C:\\WINDOWS\\TEMP");

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
                         test::ByBehaviour);

class ProgramGroup : public testing::TestWithParam<GroupCase> {};

TEST_P(ProgramGroup, RemovesOnlyTheGroup) {
  RunShellCase(GetParam(), {}, [] { return RemoveProgramGroup(); });
}

INSTANTIATE_TEST_SUITE_P(Cases, ProgramGroup, testing::ValuesIn(kGroupCases), test::ByBehaviour);

}  // namespace
