// A complete install of the product, with neighbours that must survive, for whole-run tests.
#pragma once

#include <set>
#include <string>

#include "support/machine_lines.h"

namespace test {

struct Install {
  std::string folder = "C:\\Program Files\\Orbelle";  // no trailing backslash
  std::string temp = "C:\\WINDOWS\\TEMP\\";
};

// The product's files, keys, class, extensions, shortcuts and group, plus other programs' things.
Lines InstalledMachine(const Install& install = {});

// What a complete, successful uninstall of InstalledMachine removes and adds.
std::set<std::string> FullyRemoved(const Install& install = {});
std::set<std::string> FullyAdded(const Install& install = {});

}  // namespace test
