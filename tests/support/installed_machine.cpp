#include "support/installed_machine.h"

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "image_source.h"
#include "machine_image.h"

namespace test {
namespace {

// Where the example image has the product.
const std::string kExampleFolder = "C:\\Program Files\\Orbelle";

const emu::Session& ExampleSession() {
  static const emu::Session example = [] {
    const machine_image::ImageSource source =
        machine_image::ReadImageFolder(ORBELLE_SOURCE_DIR "/examples/machines/installed");
    emu::Session loaded;
    std::vector<std::string> warnings;
    machine_image::LoadMachine(source, loaded, warnings);
    if (!warnings.empty()) throw std::runtime_error("the example image warns: " + warnings[0]);
    return loaded;
  }();
  return example;
}

// `text` with the example's install folder at its start (or just inside a leading quote, as in
// a command) replaced by `folder`; the folder must end there or at a backslash, so a sibling
// folder whose name merely begins the same is left alone. Paths compare case-insensitively.
bool RelocatePath(std::string& text, const std::string& folder) {
  const std::size_t at = !text.empty() && text[0] == '"' ? 1 : 0;
  const std::size_t end = at + kExampleFolder.size();
  if (text.size() < end || !emu::SameName(text.substr(at, kExampleFolder.size()), kExampleFolder)) {
    return false;
  }
  if (text.size() > end && text[end] != '\\') return false;
  text = text.substr(0, at) + folder + text.substr(end);
  return true;
}

constexpr std::uint32_t kRegSz = 1, kRegExpandSz = 2;

void RelocateValues(emu::RegKey& key, const std::string& folder) {
  for (emu::RegValue& value : key.values) {
    if (value.type != kRegSz && value.type != kRegExpandSz) continue;
    const bool terminated = !value.data.empty() && value.data.back() == 0;
    std::string text(value.data.begin(), value.data.end() - (terminated ? 1 : 0));
    if (!RelocatePath(text, folder)) continue;
    value.data.assign(text.begin(), text.end());
    if (terminated) value.data.push_back(0);
  }
  for (auto& [upper, child] : key.subkeys) RelocateValues(*child, folder);
}

// The install folder's files move into `folder` (a drive root included); what was around the
// example's folder stays where it was.
void MoveInstallFolder(emu::FileSystem& files, const std::string& folder) {
  const std::size_t cut = kExampleFolder.find_last_of('\\');
  emu::FsNode* parent = files.Find(kExampleFolder.substr(0, cut));
  auto found = parent->children.find(emu::UpperName(kExampleFolder.substr(cut + 1)));
  if (found == parent->children.end()) throw std::logic_error("the example has no install");
  std::unique_ptr<emu::FsNode> moved = std::move(found->second);
  parent->children.erase(found);

  emu::FsNode& target = files.CreateFolder(folder);
  for (auto& [upper, child] : moved->children) {
    const std::string name = child->name;
    if (!target.children.try_emplace(upper, std::move(child)).second) {
      throw std::logic_error(folder + " already holds " + name);
    }
  }
}

std::string WithBackslash(std::string path) {
  if (path.back() != '\\') path += '\\';
  return path;
}

// The line of test::Snapshot for a REG_DWORD: its bytes, little-endian.
std::string Dword(std::uint32_t number) {
  char text[16];
  std::snprintf(text, sizeof text, "type4:%02x%02x%02x%02x", number & 0xff, (number >> 8) & 0xff,
                (number >> 16) & 0xff, number >> 24);
  return text;
}

const std::string kVersion = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\";
const std::string kUninstall = kVersion + "Uninstall\\Orbelle";
const std::string kAppPath = kVersion + "App Paths\\Orbelle.exe";
const std::string kSettings = "HKCU\\Software\\Halcyra\\Orbelle";
const std::string kPrograms = "C:\\WINDOWS\\Start Menu\\Programs\\";
const std::string kGroup = kPrograms + "Halcyra\\Orbelle\\";

const char* const kProgramFiles[] = {"Orbelle.exe", "Orbelle.hlp", "Orbelle.cnt",
                                     "Orbelle.gid", "Readme.txt",  "Licence.txt"};
const char* const kGroupShortcuts[] = {"Orbelle 1.0.lnk", "Online Help.lnk", "ReadMe.lnk",
                                       "Uninstall.lnk"};

}  // namespace

emu::Session InstalledMachine(const Install& install) {
  emu::Session session = ExampleSession();
  if (install.folder != kExampleFolder) {
    MoveInstallFolder(session.machine.files, install.folder);
    for (emu::Root root : {emu::Root::LocalMachine, emu::Root::CurrentUser, emu::Root::ClassesRoot})
      RelocateValues(session.machine.registry.RootKey(root), install.folder);
    RelocatePath(session.scenario.exePath, install.folder);
  }
  session.machine.files.CreateFolder(install.temp);
  session.scenario.tempPath = install.temp;
  return session;
}

std::set<std::string> FullyRemoved(const Install& install) {
  const std::string dir = install.folder + "\\";
  std::set<std::string> removed = {
      // The launcher's machine-wide entries.
      kUninstall,
      kUninstall + "|DisplayName|Orbelle 1.0",
      kUninstall + "|DisplayVersion|1.0",
      kUninstall + "|Publisher|Halcyra",
      kUninstall + "|UninstallString|" + dir + "Uninstall.exe",
      kUninstall + "|DisplayIcon|" + dir + "Orbelle.exe,0",
      kUninstall + "|InstallLocation|" + install.folder,
      kUninstall + "|NoModify|" + Dword(1),
      kUninstall + "|NoRepair|" + Dword(1),
      kAppPath,
      kAppPath + "|@|" + dir + "Orbelle.exe",
      kAppPath + "|Path|" + install.folder,
      // The user's settings, every subkey with them; Ferrowind's stay under the maker's key.
      kSettings,
      kSettings + "|Version|1.0",
      kSettings + "|RenderQuality|" + Dword(2),
      kSettings + "\\Window",
      kSettings + "\\Window|Left|" + Dword(0x40),
      kSettings + "\\Window|Top|" + Dword(0x30),
      kSettings + "\\Window|Width|" + Dword(0x280),
      kSettings + "\\Window|Height|" + Dword(0x1e0),
      kSettings + "\\Navigation",
      kSettings + "\\Navigation|Mode|Walk",
      kSettings + "\\Navigation|Speed|" + Dword(5),
      kSettings + "\\Navigation|Headlight|" + Dword(1),
      kSettings + "\\Recent Files",
      kSettings + "\\Recent Files|File1|" + dir + "garden.wrl",
      kSettings + "\\Recent Files|File2|C:\\My Documents\\Worlds\\lighthouse.wrz",
      // The class.
      "HKCR\\Orbelle",
      "HKCR\\Orbelle|@|VRML World",
      "HKCR\\Orbelle\\DefaultIcon",
      "HKCR\\Orbelle\\DefaultIcon|@|" + dir + "Orbelle.exe,1",
      "HKCR\\Orbelle\\shell",
      "HKCR\\Orbelle\\shell|@|open",
      "HKCR\\Orbelle\\shell\\open",
      "HKCR\\Orbelle\\shell\\open\\command",
      "HKCR\\Orbelle\\shell\\open\\command|@|\"" + dir + "Orbelle.exe\" \"%1\"",
      // Extensions given back: the product's name, UndoClass and ShellNew go, Content Type stays.
      "HKCR\\.wrl|@|Orbelle",
      "HKCR\\.wrl\\UndoClass",
      "HKCR\\.wrl\\UndoClass|@|wrlfile",
      "HKCR\\.wrl\\ShellNew",
      "HKCR\\.wrl\\ShellNew|NullFile|",
      "HKCR\\.wrz|@|Orbelle",
      "HKCR\\.wrz\\UndoClass",
      "HKCR\\.wrz\\UndoClass|@|wrzfile",
      "HKCR\\.wrl.gz|@|Orbelle",
      "HKCR\\.wrl.gz\\UndoClass",
      "HKCR\\.wrl.gz\\UndoClass|@|wrzfile",
      "HKCR\\.vrml|@|Orbelle",
      "HKCR\\.vrml\\UndoClass",
      "HKCR\\.vrml\\UndoClass|@|wrlfile",
      "HKCR\\.vrml\\ShellNew",
      "HKCR\\.vrml\\ShellNew|NullFile|",
      // The extension the product brought along, with no class before it: the whole key.
      "HKCR\\.vcd",
      "HKCR\\.vcd|@|Orbelle",
      "HKCR\\.vcd\\ShellNew",
      "HKCR\\.vcd\\ShellNew|NullFile|",
      // Files: the install (its folder stays for garden.wrl), shortcuts and the group folder
      // (Halcyra's stays for Ferrowind).
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
  return {
      "HKCR\\.wrl|@|wrlfile",
      "HKCR\\.wrz|@|wrzfile",
      "HKCR\\.wrl.gz|@|wrzfile",
      "HKCR\\.vrml|@|wrlfile",
      WithBackslash(install.temp) + "obuninst.tmp",
  };
}

}  // namespace test
