// Key tree deletion on emulated registries: what goes, what stays, and that no key stays open.
#include "registry/key_tree.h"

#include <gtest/gtest.h>

#include "support/case_name.h"
#include "support/machine_lines.h"
#include "support/product_call.h"

namespace {

enum class Call { Tree, Product };

struct KeyTreeCase {
  const char* behaviour;
  test::Lines machine;
  std::vector<std::string> denied = {};  // keys that cannot be deleted
  Call call = Call::Tree;
  HKEY parent;
  const char* name;  // DeleteKeyTree: the key below the root; DeleteProductKey: the key path
  BOOL expected;
  std::set<std::string> removed = {};
};

const std::string kLongName(254, 'k');     // fits the 255-character enumeration with its terminator
const std::string kTooLongName(255, 'k');  // a legal key name that enumeration cannot return

const KeyTreeCase kCases[] = {
    {.behaviour = "a key without subkeys is deleted",
     .machine = {"HKCU\\Software\\Leaf|@|x", "HKCU\\Software\\Other"},
     .parent = HKEY_CURRENT_USER,
     .name = "Software\\Leaf",
     .expected = TRUE,
     .removed = {"HKCU\\Software\\Leaf", "HKCU\\Software\\Leaf|@|x"}},
    {.behaviour = "a tree three levels deep goes completely",
     .machine = {"HKCR\\Orbelle\\shell\\open\\command|@|x.exe", "HKCR\\Orbelle\\DefaultIcon",
                 "HKCR\\Other"},
     .parent = HKEY_CLASSES_ROOT,
     .name = "Orbelle",
     .expected = TRUE,
     .removed = {"HKCR\\Orbelle", "HKCR\\Orbelle\\DefaultIcon", "HKCR\\Orbelle\\shell",
                 "HKCR\\Orbelle\\shell\\open", "HKCR\\Orbelle\\shell\\open\\command",
                 "HKCR\\Orbelle\\shell\\open\\command|@|x.exe"}},
    {.behaviour =
         "a child that cannot be deleted stops the emptying; earlier children go, later ones stay",
     .machine = {"HKCR\\P\\a", "HKCR\\P\\b\\inner", "HKCR\\P\\c"},
     .denied = {"HKCR\\P\\b"},
     .parent = HKEY_CLASSES_ROOT,
     .name = "P",
     .expected = FALSE,
     .removed = {"HKCR\\P\\a", "HKCR\\P\\b\\inner"}},
    {.behaviour = "a key that cannot be deleted keeps itself but loses its children",
     .machine = {"HKCR\\P\\a"},
     .denied = {"HKCR\\P"},
     .parent = HKEY_CLASSES_ROOT,
     .name = "P",
     .expected = FALSE,
     .removed = {"HKCR\\P\\a"}},
    {.behaviour = "a missing key gives 0 and changes nothing",
     .machine = {"HKCR\\Other\\x"},
     .parent = HKEY_CLASSES_ROOT,
     .name = "Orbelle",
     .expected = FALSE},
    {.behaviour = "an empty name gives 0 and never empties the parent",
     .machine = {"HKCR\\Other\\x", "HKCR\\More"},
     .parent = HKEY_CLASSES_ROOT,
     .name = "",
     .expected = FALSE},
    {.behaviour = "names up to 254 characters are enumerated and deleted",
     .machine = {"HKCU\\T\\" + kLongName + "\\deeper"},
     .parent = HKEY_CURRENT_USER,
     .name = "T",
     .expected = TRUE,
     .removed = {"HKCU\\T", "HKCU\\T\\" + kLongName, "HKCU\\T\\" + kLongName + "\\deeper"}},
    {.behaviour =
         "a 255-character child ends the emptying as if none were left, so its parent stays",
     .machine = {"HKCU\\T\\" + kTooLongName, "HKCU\\T\\a"},
     .parent = HKEY_CURRENT_USER,
     .name = "T",
     .expected = FALSE,
     .removed = {"HKCU\\T\\a"}},
    {.behaviour = "the product key goes with its tree, the maker's key stays",
     .machine = {"HKCU\\Software\\Halcyra\\Orbelle\\Settings|Speed|3",
                 "HKCU\\Software\\Halcyra\\Lumetra"},
     .call = Call::Product,
     .parent = HKEY_CURRENT_USER,
     .name = "Software\\Halcyra",
     .expected = TRUE,
     .removed = {"HKCU\\Software\\Halcyra\\Orbelle", "HKCU\\Software\\Halcyra\\Orbelle\\Settings",
                 "HKCU\\Software\\Halcyra\\Orbelle\\Settings|Speed|3"}},
    {.behaviour =
         "the key path itself is never deleted, even when the product key was its only child",
     .machine = {"HKCU\\Software\\Halcyra\\Orbelle"},
     .call = Call::Product,
     .parent = HKEY_CURRENT_USER,
     .name = "Software\\Halcyra",
     .expected = TRUE,
     .removed = {"HKCU\\Software\\Halcyra\\Orbelle"}},
    {.behaviour = "a key path without the product key gives 0 and stays untouched",
     .machine = {"HKCU\\Software\\Halcyra\\Lumetra"},
     .call = Call::Product,
     .parent = HKEY_CURRENT_USER,
     .name = "Software\\Halcyra",
     .expected = FALSE},
    {.behaviour = "a missing key path gives 0",
     .machine = {"HKCU\\Software\\Orbelle"},
     .call = Call::Product,
     .parent = HKEY_CURRENT_USER,
     .name = "Software\\Halcyra",
     .expected = FALSE},
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

  const auto [result, change] = test::CallInProcess(session, [&] {
    return c.call == Call::Tree ? DeleteKeyTree(c.parent, c.name)
                                : DeleteProductKey(c.parent, c.name);
  });

  EXPECT_EQ(result, c.expected);
  EXPECT_EQ(change.removed, c.removed) << "removed:" << test::Join(change.removed);
  EXPECT_TRUE(change.added.empty()) << "added:" << test::Join(change.added);
  EXPECT_EQ(emu::OpenKeyCount(session), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, KeyTree, testing::ValuesIn(kCases), test::ByBehaviour);

}  // namespace
