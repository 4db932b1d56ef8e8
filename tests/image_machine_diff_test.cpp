// The one machine comparison: what tells two machines apart under each set of options the
// callers use, and the order the differences come in; and the summary for people built on it.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <string>
#include <vector>

#include "change_summary.h"
#include "machine_diff.h"

namespace mi = machine_image;

namespace {

const char kReadme[] = "C:\\Program Files\\Orbelle\\readme.txt";
const char kLink[] = "C:\\WINDOWS\\TEMP\\obuninst.tmp";

emu::Machine Installed() {
  emu::Machine machine;
  emu::RegKey& key = machine.registry.CreateKey(emu::Root::ClassesRoot, ".wrl");
  key.SetString("", "Orbelle");
  machine.registry.CreateKey(emu::Root::ClassesRoot, ".wrl\\UndoClass").SetString("", "wrlfile");
  machine.files.CreateFile(kReadme, {'h', 'i'});
  machine.files.CreateFolder("C:\\WINDOWS\\TEMP");
  machine.files.CreateFile(kLink).linkTarget = "C:\\Program Files\\Orbelle\\Orbelle.exe";
  return machine;
}

// "F C:\...: changed", "K HKCR\...: removed", "V HKCR\.wrl|@: added".
std::vector<std::string> Lines(const std::vector<mi::Difference>& differences) {
  std::vector<std::string> lines;
  for (const auto& [kind, id, before, after] : differences) {
    const mi::SnapshotItem& item = before ? *before : *after;
    const char* letter = kind == mi::ItemKind::File  ? "F "
                         : kind == mi::ItemKind::Key ? "K "
                                                     : "V ";
    const std::string name = kind == mi::ItemKind::Value ? "|" + item.name : "";
    lines.push_back(letter + item.path + name + ": " +
                    (!after    ? "removed"
                     : !before ? "added"
                               : "changed"));
  }
  return lines;
}

std::string RowName(const char* what) {
  std::string name;
  for (const char c : std::string(what)) {
    name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  }
  return name;
}

struct Row {
  const char* what;
  std::function<void(emu::Machine&)> change;
  mi::DiffOptions options = {};
  std::vector<std::string> expected = {};
};

constexpr mi::DiffOptions kPresenceOnly = {.spelling = false, .contents = false, .attributes = 0};

void SetAttributes(emu::Machine& m, const char* path, std::uint32_t attributes) {
  m.files.Find(path)->attributes = attributes;
}

const Row kRows[] = {
    {.what = "the same machine", .change = [](emu::Machine&) {}},
    {.what = "a file removed",
     .change =
         [](emu::Machine& m) { m.files.Find("C:\\Program Files\\Orbelle")->children.clear(); },
     .options = kPresenceOnly,
     .expected = {"F C:\\Program Files\\Orbelle\\readme.txt: removed"}},
    {.what = "a folder added",
     .change = [](emu::Machine& m) { m.files.CreateFolder("C:\\WINDOWS\\TEMP\\x"); },
     .options = kPresenceOnly,
     .expected = {"F C:\\WINDOWS\\TEMP\\x: added"}},
    {.what = "a file's bytes",
     .change =
         [](emu::Machine& m) {
           m.files.Find(kReadme)->content = {'h', 'o'};
         },
     .expected = {"F C:\\Program Files\\Orbelle\\readme.txt: changed"}},
    {.what = "a file's bytes, not compared",
     .change =
         [](emu::Machine& m) {
           m.files.Find(kReadme)->content = {'h', 'o'};
         },
     .options = {.contents = false}},
    {.what = "read-only set",
     .change = [](emu::Machine& m) { SetAttributes(m, kReadme, 1); },
     .expected = {"F C:\\Program Files\\Orbelle\\readme.txt: changed"}},
    {.what = "read-only set, only hidden compared",
     .change = [](emu::Machine& m) { SetAttributes(m, kReadme, 1); },
     .options = {.attributes = 2}},
    {.what = "a link's own attributes never count",
     .change = [](emu::Machine& m) { SetAttributes(m, kLink, 1); }},
    {.what = "a link turned elsewhere counts with nothing else compared",
     .change = [](emu::Machine& m) { m.files.Find(kLink)->linkTarget = "C:\\evil.exe"; },
     .options = kPresenceOnly,
     .expected = {"F C:\\WINDOWS\\TEMP\\obuninst.tmp: changed"}},
    {.what = "a file become a folder counts with nothing else compared",
     .change = [](emu::Machine& m) { m.files.Find(kReadme)->directory = true; },
     .options = kPresenceOnly,
     .expected = {"F C:\\Program Files\\Orbelle\\readme.txt: changed"}},
    {.what = "a file's name in other letters",
     .change = [](emu::Machine& m) { m.files.Find(kReadme)->name = "README.TXT"; },
     .expected = {"F C:\\Program Files\\Orbelle\\readme.txt: changed"}},
    {.what = "a folder's name in other letters changes every path below it",
     .change =
         [](emu::Machine& m) { m.files.Find("C:\\Program Files\\Orbelle")->name = "ORBELLE"; },
     .expected = {"F C:\\Program Files\\Orbelle: changed",
                  "F C:\\Program Files\\Orbelle\\readme.txt: changed"}},
    {.what = "names in other letters, spelling not compared",
     .change =
         [](emu::Machine& m) {
           m.files.Find(kReadme)->name = "README.TXT";
           m.registry.FindKey(emu::Root::ClassesRoot, ".wrl")->name = ".WRL";
         },
     .options = {.spelling = false}},
    {.what = "a value's data counts whatever the options",
     .change =
         [](emu::Machine& m) {
           m.registry.FindKey(emu::Root::ClassesRoot, ".wrl")->SetString("", "x");
         },
     .options = kPresenceOnly,
     .expected = {"V HKCR\\.wrl|: changed"}},
    {.what = "a value's type",
     .change =
         [](emu::Machine& m) {
           m.registry.FindKey(emu::Root::ClassesRoot, ".wrl")
               ->SetValue("", 2, {'O', 'r', 'b', 'e', 'l', 'l', 'e', 0});
         },
     .options = kPresenceOnly,
     .expected = {"V HKCR\\.wrl|: changed"}},
    {.what = "a key that refuses deletion",
     .change =
         [](emu::Machine& m) { m.registry.FindKey(emu::Root::ClassesRoot, ".wrl")->denied = true; },
     .expected = {"K HKCR\\.wrl: changed"}},
    {.what = "a key removed with its values; files first, then keys, then values",
     .change =
         [](emu::Machine& m) {
           m.registry.FindKey(emu::Root::ClassesRoot, ".wrl")->Remove("UndoClass");
           m.files.Find(kReadme)->content.clear();
         },
     .expected = {"F C:\\Program Files\\Orbelle\\readme.txt: changed",
                  "K HKCR\\.wrl\\UndoClass: removed", "V HKCR\\.wrl\\UndoClass|: removed"}},
};

class MachineDiffTest : public testing::TestWithParam<Row> {};

TEST_P(MachineDiffTest, TellsWhatDiffers) {
  const Row& row = GetParam();
  const emu::Machine before = Installed();
  emu::Machine after = Installed();
  row.change(after);
  const mi::Snapshot beforeSnapshot = mi::TakeSnapshot(before);
  const mi::Snapshot afterSnapshot = mi::TakeSnapshot(after);
  EXPECT_EQ(Lines(mi::DiffMachines(beforeSnapshot, afterSnapshot, row.options)), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, MachineDiffTest, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& info) {
                           return RowName(info.param.what);
                         });

struct SummaryRow {
  const char* what;
  std::function<void(emu::Machine&)> change;
  std::vector<std::string> restartDeletes = {};
  std::vector<std::string> expected = {};  // the summary after its title line
};

const SummaryRow kSummaryRows[] = {
    {.what = "letter case and bytes are no change",
     .change =
         [](emu::Machine& m) {
           m.files.Find(kReadme)->name = "README.TXT";
           m.files.Find(kReadme)->content.clear();
         },
     .expected = {"  Nothing changed.",
                  "  Stayed unchanged: 2 keys, 2 values, 2 files, 4 folders"}},
    {.what = "a key tree goes as one line, its values counted with it",
     .change = [](emu::Machine& m) { m.registry.classesRoot.Remove(".wrl"); },
     .expected = {"  Removed", "    key    HKCR\\.wrl (1 subkey, 2 values)",
                  "  Stayed unchanged: 0 keys, 0 values, 2 files, 4 folders"}},
    {.what = "an extension given back its class",
     .change =
         [](emu::Machine& m) {
           m.registry.FindKey(emu::Root::ClassesRoot, ".wrl")->SetString("", "wrlfile");
           m.registry.FindKey(emu::Root::ClassesRoot, ".wrl")->Remove("UndoClass");
         },
     .expected = {"  Removed", "    key    HKCR\\.wrl\\UndoClass (1 value)", "  Changed",
                  "    .wrl now opens with wrlfile (was Orbelle)",
                  "  Stayed unchanged: 1 keys, 0 values, 2 files, 4 folders"}},
    {.what = "a file that became a folder stayed, counted as a folder",
     .change = [](emu::Machine& m) { m.files.Find(kReadme)->directory = true; },
     .expected = {"  Nothing changed.",
                  "  Stayed unchanged: 2 keys, 2 values, 1 files, 5 folders"}},
    {.what = "a file added and a file gone, the new one waiting for a restart",
     .change =
         [](emu::Machine& m) {
           m.files.CreateFile("C:\\WINDOWS\\TEMP\\new.tmp");
           m.files.Find("C:\\Program Files\\Orbelle")->children.clear();
         },
     .restartDeletes = {"c:\\windows\\temp\\NEW.TMP"},
     .expected = {"  Removed", "    file   C:\\Program Files\\Orbelle\\readme.txt", "  Added",
                  "    file   C:\\WINDOWS\\TEMP\\new.tmp (to be deleted at restart)",
                  "  Stayed unchanged: 2 keys, 2 values, 1 files, 4 folders"}},
};

class ChangeSummaryTest : public testing::TestWithParam<SummaryRow> {};

TEST_P(ChangeSummaryTest, TellsWhatWentCameAndStayed) {
  const SummaryRow& row = GetParam();
  emu::Machine after = Installed();
  row.change(after);
  std::vector<std::string> expected = {"Before and after the run"};
  expected.insert(expected.end(), row.expected.begin(), row.expected.end());
  EXPECT_EQ(mi::SummariseChanges(mi::TakeSnapshot(Installed()), mi::TakeSnapshot(after),
                                 row.restartDeletes),
            expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, ChangeSummaryTest, testing::ValuesIn(kSummaryRows),
                         [](const testing::TestParamInfo<SummaryRow>& info) {
                           return RowName(info.param.what);
                         });

}  // namespace
