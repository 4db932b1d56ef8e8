// Key tree deletion on emulated registries: what goes, what stays, and that no key stays open.
#include "registry/key_tree.h"

#include <gtest/gtest.h>

#include "support/case_name.h"
#include "support/machine_lines.h"

namespace {

enum class Call { Tree, Product };

struct KeyTreeCase {
  const char* behaviour;
  test::Lines machine;
  std::vector<std::string> denied;  // keys that cannot be deleted
  Call call;
  HKEY parent;
  const char* name;  // DeleteKeyTree: the key below the root; DeleteProductKey: the key path
  BOOL expected;
  std::set<std::string> removed;
};

const std::string kLongName(254, 'k');     // fits the 255-character enumeration with its terminator
const std::string kTooLongName(255, 'k');  // a legal key name that enumeration cannot return

const KeyTreeCase kCases[] = {
    {"a key without subkeys is deleted",
     {"HKCU\\Software\\Leaf|@|x", "HKCU\\Software\\Other"},
     {},
     Call::Tree,
     HKEY_CURRENT_USER,
     "Software\\Leaf",
     TRUE,
     {"HKCU\\Software\\Leaf", "HKCU\\Software\\Leaf|@|x"}},
    {"a tree three levels deep goes completely",
     {"HKCR\\Orbelle\\shell\\open\\command|@|x.exe", "HKCR\\Orbelle\\DefaultIcon", "HKCR\\Other"},
     {},
     Call::Tree,
     HKEY_CLASSES_ROOT,
     "Orbelle",
     TRUE,
     {"HKCR\\Orbelle", "HKCR\\Orbelle\\DefaultIcon", "HKCR\\Orbelle\\shell",
      "HKCR\\Orbelle\\shell\\open", "HKCR\\Orbelle\\shell\\open\\command",
      "HKCR\\Orbelle\\shell\\open\\command|@|x.exe"}},
    {"a child that cannot be deleted stops the emptying; earlier children go, later ones stay",
     {"HKCR\\P\\a", "HKCR\\P\\b\\inner", "HKCR\\P\\c"},
     {"HKCR\\P\\b"},
     Call::Tree,
     HKEY_CLASSES_ROOT,
     "P",
     FALSE,
     {"HKCR\\P\\a", "HKCR\\P\\b\\inner"}},
    {"a key that cannot be deleted keeps itself but loses its children",
     {"HKCR\\P\\a"},
     {"HKCR\\P"},
     Call::Tree,
     HKEY_CLASSES_ROOT,
     "P",
     FALSE,
     {"HKCR\\P\\a"}},
    {"a missing key gives 0 and changes nothing",
     {"HKCR\\Other\\x"},
     {},
     Call::Tree,
     HKEY_CLASSES_ROOT,
     "Orbelle",
     FALSE,
     {}},
    {"an empty name gives 0 and never empties the parent",
     {"HKCR\\Other\\x", "HKCR\\More"},
     {},
     Call::Tree,
     HKEY_CLASSES_ROOT,
     "",
     FALSE,
     {}},
    {"names up to 254 characters are enumerated and deleted",
     {"HKCU\\T\\" + kLongName + "\\deeper"},
     {},
     Call::Tree,
     HKEY_CURRENT_USER,
     "T",
     TRUE,
     {"HKCU\\T", "HKCU\\T\\" + kLongName, "HKCU\\T\\" + kLongName + "\\deeper"}},
    {"a 255-character child ends the emptying as if none were left, so its parent stays",
     {"HKCU\\T\\" + kTooLongName, "HKCU\\T\\a"},
     {},
     Call::Tree,
     HKEY_CURRENT_USER,
     "T",
     FALSE,
     {"HKCU\\T\\a"}},
    {"the product key goes with its tree, the maker's key stays",
     {"HKCU\\Software\\Halcyra\\Orbelle\\Settings|Speed|3", "HKCU\\Software\\Halcyra\\Lumetra"},
     {},
     Call::Product,
     HKEY_CURRENT_USER,
     "Software\\Halcyra",
     TRUE,
     {"HKCU\\Software\\Halcyra\\Orbelle", "HKCU\\Software\\Halcyra\\Orbelle\\Settings",
      "HKCU\\Software\\Halcyra\\Orbelle\\Settings|Speed|3"}},
    {"the key path itself is never deleted, even when the product key was its only child",
     {"HKCU\\Software\\Halcyra\\Orbelle"},
     {},
     Call::Product,
     HKEY_CURRENT_USER,
     "Software\\Halcyra",
     TRUE,
     {"HKCU\\Software\\Halcyra\\Orbelle"}},
    {"a key path without the product key gives 0 and stays untouched",
     {"HKCU\\Software\\Halcyra\\Lumetra"},
     {},
     Call::Product,
     HKEY_CURRENT_USER,
     "Software\\Halcyra",
     FALSE,
     {}},
    {"a missing key path gives 0",
     {"HKCU\\Software\\Orbelle"},
     {},
     Call::Product,
     HKEY_CURRENT_USER,
     "Software\\Halcyra",
     FALSE,
     {}},
};

class KeyTree : public testing::TestWithParam<KeyTreeCase> {};

TEST_P(KeyTree, DeletesExactlyTheTree) {
  const KeyTreeCase& c = GetParam();
  emu::Session session = test::MakeSession(c.machine);
  for (const auto& key : c.denied) {
    auto bar = key.find('\\');
    auto root = emu::ParseRootName(key.substr(0, bar));
    session.machine.registry.FindKey(*root, key.substr(bar + 1))->denied = true;
  }
  auto before = test::Snapshot(session);

  BOOL result;
  {
    emu::ActiveProcess process(session);
    result =
        c.call == Call::Tree ? DeleteKeyTree(c.parent, c.name) : DeleteProductKey(c.parent, c.name);
  }

  auto change = test::Compare(before, test::Snapshot(session));
  EXPECT_EQ(result, c.expected);
  EXPECT_EQ(change.removed, c.removed) << "removed:" << test::Join(change.removed);
  EXPECT_TRUE(change.added.empty()) << "added:" << test::Join(change.added);
  EXPECT_EQ(emu::OpenKeyCount(session), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, KeyTree, testing::ValuesIn(kCases),
                         [](const auto& info) { return test::CaseName(info.param.behaviour); });

}  // namespace
