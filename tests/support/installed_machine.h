// A complete install of the product, with neighbours that must survive, for whole-run tests:
// the example image examples/machines/installed, the one users, the demo and the Wine runs see.
#pragma once

#include <set>
#include <string>

#include "platform/emulated/session.h"

namespace test {

struct Install {
  std::string folder = "C:\\Program Files\\Orbelle";  // no trailing backslash
  std::string temp = "C:\\WINDOWS\\TEMP\\";
};

// The example image, its scenario included, with the product's folder moved to install.folder
// (registry values naming the example's folder are rewritten to name it), the launcher's path
// set there, and install.temp created and reported as the temp folder.
emu::Session InstalledMachine(const Install& install = {});

// What a complete, successful uninstall of InstalledMachine removes and adds, in the lines of
// test::Snapshot.
std::set<std::string> FullyRemoved(const Install& install = {});
std::set<std::string> FullyAdded(const Install& install = {});

}  // namespace test
