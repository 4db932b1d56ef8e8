// The fixed tables drive every loop; a name lost or reordered here silently changes a run.
#include "manifest/manifest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Walk(const char* const* table) {
  std::vector<std::string> names;
  for (int i = 0; table[i] != NULL; ++i) names.push_back(table[i]);
  return names;
}

TEST(Manifest, TablesHoldExactlyTheirNamesInOrder) {
  EXPECT_EQ(Walk(ProgramFileNames),
            (std::vector<std::string>{"Orbelle.exe", "Orbelle.hlp", "Orbelle.cnt", "Orbelle.gid",
                                      "Readme.txt", "Licence.txt"}));
  EXPECT_EQ(Walk(GroupShortcutNames),
            (std::vector<std::string>{"Orbelle 1.0.lnk", "Online Help.lnk", "ReadMe.lnk",
                                      "Uninstall.lnk"}));
  EXPECT_EQ(Walk(ProductShortcutFolders),
            (std::vector<std::string>{"SendTo", "Desktop", "Start Menu"}));
  std::vector<std::string> extensions(AssociatedExtensions,
                                      AssociatedExtensions + AssociatedExtensionCount);
  EXPECT_EQ(extensions, (std::vector<std::string>{".wrl", ".wrz", ".wrl.gz", ".vrml", ".vcd"}));
}

}  // namespace
