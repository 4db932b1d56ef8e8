#include "support/installed_machine.h"

namespace test {
namespace {

const std::string kShellFolders =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::string kUninstall = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kAppPaths = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const std::string kPrograms = "C:\\WINDOWS\\Start Menu\\Programs\\";
const std::string kGroup = kPrograms + "Halcyra\\Orbelle\\";

const char* const kProgramFiles[] = {"Orbelle.exe", "Orbelle.hlp", "Orbelle.cnt",
                                     "Orbelle.gid", "Readme.txt",  "Licence.txt"};
const char* const kGroupShortcuts[] = {"Orbelle 1.0.lnk", "Online Help.lnk", "ReadMe.lnk",
                                       "Uninstall.lnk"};

}  // namespace

Lines InstalledMachine(const Install& install) {
  const std::string dir = install.folder + "\\";
  Lines lines = {
      // Machine-wide entries, and another program's.
      kUninstall + "Orbelle|DisplayName|Orbelle 1.0",
      kUninstall + "Orbelle|UninstallString|" + dir + "Uninstall.exe",
      kUninstall + "Northwind Reader|DisplayName|Northwind Reader",
      kAppPaths + "Orbelle.exe|@|" + dir + "Orbelle.exe",
      kAppPaths + "Orbelle.exe|Path|" + install.folder,
      kAppPaths + "nwreader.exe|@|C:\\Northwind\\nwreader.exe",
      // Per-user settings, nested, and the maker's other product.
      "HKCU\\Software\\Halcyra\\Orbelle\\Navigation|Speed|3",
      "HKCU\\Software\\Halcyra\\Orbelle\\Recent\\Worlds|1|C:\\Worlds\\a.wrl",
      "HKCU\\Software\\Halcyra\\Lumetra|Theme|dark",
      kShellFolders + "|Programs|C:\\WINDOWS\\Start Menu\\Programs",
      kShellFolders + "|Desktop|C:\\WINDOWS\\Desktop",
      kShellFolders + "|Start Menu|C:\\WINDOWS\\Start Menu",
      kShellFolders + "|SendTo|C:\\WINDOWS\\SendTo",
      // The class, the extensions it took over, and the classes they had before.
      "HKCR\\Orbelle|@|VRML World",
      "HKCR\\Orbelle\\shell\\open\\command|@|\"" + dir + "Orbelle.exe\" \"%1\"",
      "HKCR\\.wrl|@|Orbelle",
      "HKCR\\.wrl\\UndoClass|@|wrlfile",
      "HKCR\\.wrl\\ShellNew|NullFile|",
      "HKCR\\.wrz|@|Orbelle",
      "HKCR\\.wrz\\UndoClass|@|wrzfile",
      "HKCR\\.wrl.gz|@|Orbelle",
      "HKCR\\.vrml|@|Orbelle",
      "HKCR\\.vrml\\UndoClass|@|wrlfile",
      "HKCR\\.vcd|@|Orbelle",
      "HKCR\\.vcd\\UndoClass|@|vcdfile",
      "HKCR\\wrlfile|@|VRML World (previous viewer)",
      "HKCR\\.x3d|@|Northwind.X3D",
      // Files: the install, the shortcuts and group, other programs' things.
      dir + "Uninstall.exe",
      dir + "My World.wrl",
      "C:\\WINDOWS\\SendTo\\Orbelle.lnk",
      "C:\\WINDOWS\\Desktop\\Orbelle.lnk",
      "C:\\WINDOWS\\Desktop\\Northwind Reader.lnk",
      "C:\\WINDOWS\\Start Menu\\Orbelle.lnk",
      kPrograms + "Halcyra\\Lumetra\\Lumetra.lnk",
      kPrograms + "Northwind\\Reader.lnk",
      install.temp.back() == '\\' ? install.temp : install.temp + "\\",
  };
  for (const char* name : kProgramFiles) lines.push_back(dir + name);
  for (const char* name : kGroupShortcuts) lines.push_back(kGroup + name);
  return lines;
}

std::set<std::string> FullyRemoved(const Install& install) {
  const std::string dir = install.folder + "\\";
  std::set<std::string> removed = {
      kUninstall + "Orbelle",
      kUninstall + "Orbelle|DisplayName|Orbelle 1.0",
      kUninstall + "Orbelle|UninstallString|" + dir + "Uninstall.exe",
      kAppPaths + "Orbelle.exe",
      kAppPaths + "Orbelle.exe|@|" + dir + "Orbelle.exe",
      kAppPaths + "Orbelle.exe|Path|" + install.folder,
      "HKCU\\Software\\Halcyra\\Orbelle",
      "HKCU\\Software\\Halcyra\\Orbelle\\Navigation",
      "HKCU\\Software\\Halcyra\\Orbelle\\Navigation|Speed|3",
      "HKCU\\Software\\Halcyra\\Orbelle\\Recent",
      "HKCU\\Software\\Halcyra\\Orbelle\\Recent\\Worlds",
      "HKCU\\Software\\Halcyra\\Orbelle\\Recent\\Worlds|1|C:\\Worlds\\a.wrl",
      "HKCR\\Orbelle",
      "HKCR\\Orbelle|@|VRML World",
      "HKCR\\Orbelle\\shell",
      "HKCR\\Orbelle\\shell\\open",
      "HKCR\\Orbelle\\shell\\open\\command",
      "HKCR\\Orbelle\\shell\\open\\command|@|\"" + dir + "Orbelle.exe\" \"%1\"",
      "HKCR\\.wrl|@|Orbelle",
      "HKCR\\.wrl\\UndoClass",
      "HKCR\\.wrl\\UndoClass|@|wrlfile",
      "HKCR\\.wrl\\ShellNew",
      "HKCR\\.wrl\\ShellNew|NullFile|",
      "HKCR\\.wrz|@|Orbelle",
      "HKCR\\.wrz\\UndoClass",
      "HKCR\\.wrz\\UndoClass|@|wrzfile",
      "HKCR\\.wrl.gz",
      "HKCR\\.wrl.gz|@|Orbelle",
      "HKCR\\.vrml|@|Orbelle",
      "HKCR\\.vrml\\UndoClass",
      "HKCR\\.vrml\\UndoClass|@|wrlfile",
      "HKCR\\.vcd|@|Orbelle",
      "HKCR\\.vcd\\UndoClass",
      "HKCR\\.vcd\\UndoClass|@|vcdfile",
      dir + "Uninstall.exe",
      "C:\\WINDOWS\\SendTo\\Orbelle.lnk",
      "C:\\WINDOWS\\Desktop\\Orbelle.lnk",
      "C:\\WINDOWS\\Start Menu\\Orbelle.lnk",
      kGroup,
  };
  for (const char* name : kProgramFiles) removed.insert(dir + name);
  for (const char* name : kGroupShortcuts) removed.insert(kGroup + name);
  return removed;
}

std::set<std::string> FullyAdded(const Install& install) {
  std::string temp = install.temp;
  if (temp.back() != '\\') temp += '\\';
  return {
      "HKCR\\.wrl|@|wrlfile", "HKCR\\.wrz|@|wrzfile", "HKCR\\.vrml|@|wrlfile",
      "HKCR\\.vcd|@|vcdfile", temp + "obuninst.tmp",
  };
}

}  // namespace test
