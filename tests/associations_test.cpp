// Association restore on emulated HKEY_CLASSES_ROOT trees: the whole tree is compared, so what
// must stay is checked as closely as what must go.
#include "registry/associations.h"

#include <gtest/gtest.h>

#include "support/case_name.h"
#include "support/machine_lines.h"
#include "support/product_call.h"

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
  bool withClass = true;  // the product's class key is there
  test::Lines extensions;
  BOOL expected = TRUE;
  std::set<std::string> removed = {};  // besides the class tree when it goes
  std::set<std::string> added = {};
  bool classDenied = false;
  // Explorer caches icons and verbs: it is told whenever anything of the class or the
  // extensions went or changed.
  bool shellTold = true;
  const char* deniedKey = nullptr;  // a key below HKCR that resists deletion
};

const AssociationCase kCases[] = {
    {.behaviour = "the previous class is given back, UndoClass and ShellNew go, other subkeys stay",
     .extensions = {"HKCR\\.wrl|@|Orbelle", "HKCR\\.wrl|Content Type|model/vrml",
                    "HKCR\\.wrl\\UndoClass|@|wrlfile", "HKCR\\.wrl\\ShellNew|NullFile|",
                    "HKCR\\.wrl\\OpenWithList\\viewer.exe"},
     .removed = {"HKCR\\.wrl|@|Orbelle", "HKCR\\.wrl\\UndoClass", "HKCR\\.wrl\\UndoClass|@|wrlfile",
                 "HKCR\\.wrl\\ShellNew", "HKCR\\.wrl\\ShellNew|NullFile|"},
     .added = {"HKCR\\.wrl|@|wrlfile"}},
    {.behaviour = "without UndoClass the extension key goes with all its subkeys",
     .extensions = {"HKCR\\.wrz|@|Orbelle", "HKCR\\.wrz\\ShellNew\\Deeper|x|y"},
     .removed = {"HKCR\\.wrz", "HKCR\\.wrz|@|Orbelle", "HKCR\\.wrz\\ShellNew",
                 "HKCR\\.wrz\\ShellNew\\Deeper", "HKCR\\.wrz\\ShellNew\\Deeper|x|y"}},
    {.behaviour = "an UndoClass that was never given a value counts as empty: the extension goes",
     .extensions = {"HKCR\\.vrml|@|Orbelle", "HKCR\\.vrml\\UndoClass"},
     .removed = {"HKCR\\.vrml", "HKCR\\.vrml|@|Orbelle", "HKCR\\.vrml\\UndoClass"}},
    {.behaviour = "an empty UndoClass: the extension goes",
     .extensions = {"HKCR\\.vrml|@|Orbelle", "HKCR\\.vrml\\UndoClass|@|"},
     .removed = {"HKCR\\.vrml", "HKCR\\.vrml|@|Orbelle", "HKCR\\.vrml\\UndoClass",
                 "HKCR\\.vrml\\UndoClass|@|"}},
    {.behaviour = "an UndoClass naming the product itself: the extension goes",
     .extensions = {"HKCR\\.vcd|@|Orbelle", "HKCR\\.vcd\\UndoClass|@|Orbelle"},
     .removed = {"HKCR\\.vcd", "HKCR\\.vcd|@|Orbelle", "HKCR\\.vcd\\UndoClass",
                 "HKCR\\.vcd\\UndoClass|@|Orbelle"}},
    {.behaviour =
         "an extension owned by another class is left alone, UndoClass and ShellNew included",
     .extensions = {"HKCR\\.wrl|@|OtherViewer.World", "HKCR\\.wrl\\UndoClass|@|wrlfile",
                    "HKCR\\.wrl\\ShellNew"}},
    {.behaviour = "the product's name in other letter case is another class",
     .extensions = {"HKCR\\.wrl|@|ORBELLE", "HKCR\\.wrl\\UndoClass|@|wrlfile"}},
    {.behaviour = "an extension without a default value is not the product's",
     .extensions = {"HKCR\\.wrl\\UndoClass|@|wrlfile"}},
    {.behaviour = "a ShellNew with subkeys stays; the class is still given back",
     .extensions = {"HKCR\\.wrl|@|Orbelle", "HKCR\\.wrl\\UndoClass|@|wrlfile",
                    "HKCR\\.wrl\\ShellNew\\Template|@|t.wrl"},
     .removed = {"HKCR\\.wrl|@|Orbelle", "HKCR\\.wrl\\UndoClass",
                 "HKCR\\.wrl\\UndoClass|@|wrlfile"},
     .added = {"HKCR\\.wrl|@|wrlfile"}},
    {.behaviour = "\".wrl.gz\" is one key name, and all five extensions are handled",
     .extensions = {"HKCR\\.wrl.gz|@|Orbelle", "HKCR\\.wrl.gz\\UndoClass|@|gzfile",
                    "HKCR\\.wrl|@|Orbelle", "HKCR\\.wrz|@|Orbelle",
                    "HKCR\\.wrz\\UndoClass|@|wrzfile", "HKCR\\.vrml|@|Orbelle",
                    "HKCR\\.vrml\\UndoClass|@|vrmlfile", "HKCR\\.vcd|@|Orbelle",
                    "HKCR\\.vcd\\UndoClass|@|vcdfile", "HKCR\\.gz|@|gzfile"},
     .removed = {"HKCR\\.wrl.gz|@|Orbelle", "HKCR\\.wrl.gz\\UndoClass",
                 "HKCR\\.wrl.gz\\UndoClass|@|gzfile", "HKCR\\.wrl", "HKCR\\.wrl|@|Orbelle",
                 "HKCR\\.wrz|@|Orbelle", "HKCR\\.wrz\\UndoClass", "HKCR\\.wrz\\UndoClass|@|wrzfile",
                 "HKCR\\.vrml|@|Orbelle", "HKCR\\.vrml\\UndoClass",
                 "HKCR\\.vrml\\UndoClass|@|vrmlfile", "HKCR\\.vcd|@|Orbelle",
                 "HKCR\\.vcd\\UndoClass", "HKCR\\.vcd\\UndoClass|@|vcdfile"},
     .added = {"HKCR\\.wrl.gz|@|gzfile", "HKCR\\.wrz|@|wrzfile", "HKCR\\.vrml|@|vrmlfile",
               "HKCR\\.vcd|@|vcdfile"}},
    {.behaviour =
         "an absent class key is success and no extension is touched, even one naming the product",
     .withClass = false,
     .extensions = {"HKCR\\.wrl|@|Orbelle", "HKCR\\.wrl\\UndoClass|@|wrlfile"},
     .shellTold = false},
    {.behaviour = "a class key that cannot be deleted fails and no extension is touched",
     .extensions = {"HKCR\\.wrl|@|Orbelle", "HKCR\\.wrl\\UndoClass|@|wrlfile",
                    "HKCR\\.wrz|@|Orbelle"},
     .expected = FALSE,
     // The class's own subkeys go before its deletion is refused.
     .removed = {"HKCR\\Orbelle\\shell", "HKCR\\Orbelle\\shell\\open",
                 "HKCR\\Orbelle\\shell\\open\\command",
                 "HKCR\\Orbelle\\shell\\open\\command|@|orbelle.exe \"%1\""},
     .classDenied = true},
    {.behaviour = "a class none of whose keys can be deleted fails, and the shell hears nothing",
     .extensions = {"HKCR\\.wrl|@|Orbelle", "HKCR\\.wrl\\UndoClass|@|wrlfile"},
     .expected = FALSE,
     .shellTold = false,
     .deniedKey = "Orbelle\\shell\\open\\command"},
    // Windows gives a character the code page cannot hold back as '?', which no class name
    // holds: written back, it would name no class; deleted, the extension would lose the only
    // record of its class.
    {.behaviour = "an UndoClass that lost characters to the code page is left as it stands",
     .extensions = {"HKCR\\.wrl|@|Orbelle", "HKCR\\.wrl\\UndoClass|@|????.????",
                    "HKCR\\.wrz|@|Orbelle", "HKCR\\.wrz\\UndoClass|@|wrzfile"},
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

  const auto [result, change] = test::CallInProcess(session, [] { return RestoreAssociations(); });

  std::set<std::string> removed = c.removed;
  if (c.withClass && !c.classDenied && !c.deniedKey)
    removed.insert(kProductClassGone.begin(), kProductClassGone.end());
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

INSTANTIATE_TEST_SUITE_P(Cases, Associations, testing::ValuesIn(kCases), test::ByBehaviour);

}  // namespace
