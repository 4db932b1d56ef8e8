// Association restore on emulated HKEY_CLASSES_ROOT trees: the whole tree is compared, so what
// must stay is checked as closely as what must go.
#include "registry/associations.h"

#include <gtest/gtest.h>

#include "support/case_name.h"
#include "support/machine_lines.h"

namespace {

const test::Lines kProductClass = {"HKCR\\Orbelle|@|Orbelle World",
                                   "HKCR\\Orbelle\\shell\\open\\command|@|orbelle.exe \"%1\""};
const std::set<std::string> kProductClassGone = {
    "HKCR\\Orbelle",
    "HKCR\\Orbelle|@|Orbelle World",
    "HKCR\\Orbelle\\shell",
    "HKCR\\Orbelle\\shell\\open",
    "HKCR\\Orbelle\\shell\\open\\command",
    "HKCR\\Orbelle\\shell\\open\\command|@|orbelle.exe \"%1\""};

struct AssociationCase {
  const char* behaviour;
  bool withClass;
  test::Lines extensions;
  BOOL expected;
  std::set<std::string> removed = {};  // besides the class tree when it goes
  std::set<std::string> added = {};
  bool classDenied = false;
  // Explorer caches icons and verbs: it is told whenever anything of the class or the
  // extensions went or changed.
  bool shellTold = true;
  const char* deniedKey = nullptr;  // a key below HKCR that resists deletion
};

const AssociationCase kCases[] = {
    {"the previous class is given back, UndoClass and ShellNew go, other subkeys stay",
     true,
     {"HKCR\\.wrl|@|Orbelle", "HKCR\\.wrl|Content Type|model/vrml",
      "HKCR\\.wrl\\UndoClass|@|wrlfile", "HKCR\\.wrl\\ShellNew|NullFile|",
      "HKCR\\.wrl\\OpenWithList\\viewer.exe"},
     TRUE,
     {"HKCR\\.wrl|@|Orbelle", "HKCR\\.wrl\\UndoClass", "HKCR\\.wrl\\UndoClass|@|wrlfile",
      "HKCR\\.wrl\\ShellNew", "HKCR\\.wrl\\ShellNew|NullFile|"},
     {"HKCR\\.wrl|@|wrlfile"}},
    {"without UndoClass the extension key goes with all its subkeys",
     true,
     {"HKCR\\.wrz|@|Orbelle", "HKCR\\.wrz\\ShellNew\\Deeper|x|y"},
     TRUE,
     {"HKCR\\.wrz", "HKCR\\.wrz|@|Orbelle", "HKCR\\.wrz\\ShellNew", "HKCR\\.wrz\\ShellNew\\Deeper",
      "HKCR\\.wrz\\ShellNew\\Deeper|x|y"},
     {}},
    {"an UndoClass that was never given a value counts as empty: the extension goes",
     true,
     {"HKCR\\.vrml|@|Orbelle", "HKCR\\.vrml\\UndoClass"},
     TRUE,
     {"HKCR\\.vrml", "HKCR\\.vrml|@|Orbelle", "HKCR\\.vrml\\UndoClass"},
     {}},
    {"an empty UndoClass: the extension goes",
     true,
     {"HKCR\\.vrml|@|Orbelle", "HKCR\\.vrml\\UndoClass|@|"},
     TRUE,
     {"HKCR\\.vrml", "HKCR\\.vrml|@|Orbelle", "HKCR\\.vrml\\UndoClass",
      "HKCR\\.vrml\\UndoClass|@|"},
     {}},
    {"an UndoClass naming the product itself: the extension goes",
     true,
     {"HKCR\\.vcd|@|Orbelle", "HKCR\\.vcd\\UndoClass|@|Orbelle"},
     TRUE,
     {"HKCR\\.vcd", "HKCR\\.vcd|@|Orbelle", "HKCR\\.vcd\\UndoClass",
      "HKCR\\.vcd\\UndoClass|@|Orbelle"},
     {}},
    {"an extension owned by another class is left alone, UndoClass and ShellNew included",
     true,
     {"HKCR\\.wrl|@|OtherViewer.World", "HKCR\\.wrl\\UndoClass|@|wrlfile", "HKCR\\.wrl\\ShellNew"},
     TRUE,
     {},
     {}},
    {"the product's name in other letter case is another class",
     true,
     {"HKCR\\.wrl|@|ORBELLE", "HKCR\\.wrl\\UndoClass|@|wrlfile"},
     TRUE,
     {},
     {}},
    {"an extension without a default value is not the product's",
     true,
     {"HKCR\\.wrl\\UndoClass|@|wrlfile"},
     TRUE,
     {},
     {}},
    {"a ShellNew with subkeys stays; the class is still given back",
     true,
     {"HKCR\\.wrl|@|Orbelle", "HKCR\\.wrl\\UndoClass|@|wrlfile",
      "HKCR\\.wrl\\ShellNew\\Template|@|t.wrl"},
     TRUE,
     {"HKCR\\.wrl|@|Orbelle", "HKCR\\.wrl\\UndoClass", "HKCR\\.wrl\\UndoClass|@|wrlfile"},
     {"HKCR\\.wrl|@|wrlfile"}},
    {"\".wrl.gz\" is one key name, and all five extensions are handled",
     true,
     {"HKCR\\.wrl.gz|@|Orbelle", "HKCR\\.wrl.gz\\UndoClass|@|gzfile", "HKCR\\.wrl|@|Orbelle",
      "HKCR\\.wrz|@|Orbelle", "HKCR\\.wrz\\UndoClass|@|wrzfile", "HKCR\\.vrml|@|Orbelle",
      "HKCR\\.vrml\\UndoClass|@|vrmlfile", "HKCR\\.vcd|@|Orbelle",
      "HKCR\\.vcd\\UndoClass|@|vcdfile", "HKCR\\.gz|@|gzfile"},
     TRUE,
     {"HKCR\\.wrl.gz|@|Orbelle", "HKCR\\.wrl.gz\\UndoClass", "HKCR\\.wrl.gz\\UndoClass|@|gzfile",
      "HKCR\\.wrl", "HKCR\\.wrl|@|Orbelle", "HKCR\\.wrz|@|Orbelle", "HKCR\\.wrz\\UndoClass",
      "HKCR\\.wrz\\UndoClass|@|wrzfile", "HKCR\\.vrml|@|Orbelle", "HKCR\\.vrml\\UndoClass",
      "HKCR\\.vrml\\UndoClass|@|vrmlfile", "HKCR\\.vcd|@|Orbelle", "HKCR\\.vcd\\UndoClass",
      "HKCR\\.vcd\\UndoClass|@|vcdfile"},
     {"HKCR\\.wrl.gz|@|gzfile", "HKCR\\.wrz|@|wrzfile", "HKCR\\.vrml|@|vrmlfile",
      "HKCR\\.vcd|@|vcdfile"}},
    {"an absent class key is success and no extension is touched, even one naming the product",
     false,
     {"HKCR\\.wrl|@|Orbelle", "HKCR\\.wrl\\UndoClass|@|wrlfile"},
     TRUE,
     {},
     {},
     false,
     false},
    {"a class key that cannot be deleted fails and no extension is touched",
     true,
     {"HKCR\\.wrl|@|Orbelle", "HKCR\\.wrl\\UndoClass|@|wrlfile", "HKCR\\.wrz|@|Orbelle"},
     FALSE,
     // The class's own subkeys go before its deletion is refused.
     {"HKCR\\Orbelle\\shell", "HKCR\\Orbelle\\shell\\open", "HKCR\\Orbelle\\shell\\open\\command",
      "HKCR\\Orbelle\\shell\\open\\command|@|orbelle.exe \"%1\""},
     {},
     true},
    {.behaviour = "a class none of whose keys can be deleted fails, and the shell hears nothing",
     .withClass = true,
     .extensions = {"HKCR\\.wrl|@|Orbelle", "HKCR\\.wrl\\UndoClass|@|wrlfile"},
     .expected = FALSE,
     .shellTold = false,
     .deniedKey = "Orbelle\\shell\\open\\command"},
    // Windows gives a character the code page cannot hold back as '?', which no class name
    // holds: written back, it would name no class; deleted, the extension would lose the only
    // record of its class.
    {.behaviour = "an UndoClass that lost characters to the code page is left as it stands",
     .withClass = true,
     .extensions = {"HKCR\\.wrl|@|Orbelle", "HKCR\\.wrl\\UndoClass|@|????.????",
                    "HKCR\\.wrz|@|Orbelle", "HKCR\\.wrz\\UndoClass|@|wrzfile"},
     .expected = TRUE,
     .removed = {"HKCR\\.wrz|@|Orbelle", "HKCR\\.wrz\\UndoClass",
                 "HKCR\\.wrz\\UndoClass|@|wrzfile"},
     .added = {"HKCR\\.wrz|@|wrzfile"}},
};

class Associations : public testing::TestWithParam<AssociationCase> {};

TEST_P(Associations, RestoresOnlyWhatNamesTheProduct) {
  const AssociationCase& c = GetParam();
  test::Lines lines = c.extensions;
  lines.push_back("HKCR\\wrlfile|@|VRML World");  // another class, never touched
  if (c.withClass) lines.insert(lines.end(), kProductClass.begin(), kProductClass.end());
  emu::Session session = test::MakeSession(lines);
  if (c.classDenied)
    session.machine.registry.FindKey(emu::Root::ClassesRoot, "Orbelle")->denied = true;
  if (c.deniedKey)
    session.machine.registry.FindKey(emu::Root::ClassesRoot, c.deniedKey)->denied = true;
  auto before = test::Snapshot(session);

  BOOL result;
  {
    emu::ActiveProcess process(session);
    result = RestoreAssociations();
  }

  std::set<std::string> removed = c.removed;
  if (c.withClass && !c.classDenied && !c.deniedKey)
    removed.insert(kProductClassGone.begin(), kProductClassGone.end());
  auto change = test::Compare(before, test::Snapshot(session));
  EXPECT_EQ(result, c.expected);
  EXPECT_EQ(change.removed, removed) << "removed:" << test::Join(change.removed);
  EXPECT_EQ(change.added, c.added) << "added:" << test::Join(change.added);
  EXPECT_EQ(emu::OpenKeyCount(session), 0);
  std::size_t notices = 0;
  for (const auto& event : session.record.events) {
    notices += event.kind == emu::Event::Kind::ShellNotify;
  }
  EXPECT_EQ(notices, c.shellTold ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, Associations, testing::ValuesIn(kCases),
                         [](const auto& info) { return test::CaseName(info.param.behaviour); });

}  // namespace
