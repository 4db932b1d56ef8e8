#include "safety/image_facts.h"

#include <cstring>

#include "platform/emulated/code_page.h"
#include "platform/emulated/paths.h"
#include "platform/emulated/state.h"
#include "platform_api.h"
#include "safety/machine_state.h"

namespace safety {
namespace {

// The product's fixed names, written out here again so the checks do not take them from the code
// they judge.
const char kProduct[] = "Orbelle";
const char* const kProgramFiles[] = {"Orbelle.exe", "Orbelle.hlp", "Orbelle.cnt",
                                     "Orbelle.gid", "Readme.txt",  "Licence.txt"};
const char* const kGroupShortcuts[] = {"Orbelle 1.0.lnk", "Online Help.lnk", "ReadMe.lnk",
                                       "Uninstall.lnk"};
const char* const kExtensions[] = {".wrl", ".wrz", ".wrl.gz", ".vrml", ".vcd"};
const char* const kShortcutFolders[] = {"SendTo", "Desktop", "Start Menu"};
const char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kShortcutName[] = "Orbelle.lnk";
const char kGroup[] = "Halcyra\\Orbelle\\";

// Buffer sizes the product works with: MAX_PATH for the stages' paths, 520 bytes for
// shell folder paths and registry values.
constexpr std::size_t kMaxPath = 260;
constexpr std::size_t kShellPathCapacity = 520;
constexpr LONG kValueCapacity = 520;

std::string WithBackslash(std::string path) {
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path;
}

// A path of the machine as the product sees it through its code page, back in Unicode: each
// character the page cannot hold is a '?', and such a path names nothing. The facts name paths
// this way, as the transcript and the trace do.
std::string AsSeen(unsigned codePage, const std::string& path) {
  return emu::ToMachine(codePage, emu::FromMachine(codePage, path));
}

std::string CutAtLastBackslash(const std::string& path) {
  auto slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(0, slash);
}

// The folder a process started in `path` works in, as CreateProcessA resolves it from
// currentDir, every link followed; "" when the platform cannot reach it.
std::string RealFolder(emu::Session& session, const std::string& path,
                       const std::string& currentDir) {
  emu::detail::PathParts parts;
  if (emu::detail::ParseProgramPath(path, currentDir, parts) != 0) return "";
  emu::detail::Location location = emu::detail::FollowLink(
      session.machine.files, emu::detail::LocateParts(session.machine.files, parts));
  if (location.error || !location.node) return "";
  return location.RealPath();
}

std::string PlaceId(emu::Session& session, const std::string& path, const std::string& currentDir) {
  emu::detail::PathParts parts;
  if (emu::detail::ParseProgramPath(path, currentDir, parts) != 0) return "";
  emu::detail::Location location = emu::detail::LocateParts(session.machine.files, parts);
  if (location.error || location.root) return "";
  return FileId(emu::UpperName(location.RealPath()));
}

PathFacts Study(emu::Session& session, const std::string& path, const std::string& currentDir) {
  PathFacts facts;
  facts.path = path;
  facts.id = PlaceId(session, path, currentDir);
  facts.visible =
      GetFileAttributesA(emu::detail::ToProgram(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  return facts;
}

// A Shell Folders value as the uninstaller reads it: the size first, a value of 520 bytes or more
// refused, the path ended inside what was read and given its backslash; in the bytes of the
// product's code page, as its lengths count.
bool ReadShellFolder(const char* valueName, std::string& path) {
  HKEY key;
  if (RegOpenKeyA(HKEY_CURRENT_USER, kShellFolders, &key) != ERROR_SUCCESS) return false;
  bool read = false;
  DWORD size = 0;
  if (RegQueryValueExA(key, valueName, NULL, NULL, NULL, &size) == ERROR_SUCCESS &&
      size < kShellPathCapacity) {
    std::vector<char> data(size + 1, '\0');
    DWORD filled = size;
    if (RegQueryValueExA(key, valueName, NULL, NULL, reinterpret_cast<LPBYTE>(data.data()),
                         &filled) == ERROR_SUCCESS) {
      path = WithBackslash(std::string(data.data()));
      read = path.size() < kShellPathCapacity;
    }
  }
  RegCloseKey(key);
  return read;
}

// A default value as RegQueryValueA with the 520-byte buffer gives it, up to its terminator,
// back in Unicode.
bool ReadDefault(HKEY key, const char* subkey, std::string& value) {
  char data[kValueCapacity];
  LONG size = kValueCapacity;
  if (RegQueryValueA(key, subkey, data, &size) != ERROR_SUCCESS) return false;
  value = emu::detail::FromProgram(
      std::string_view(data, strnlen(data, static_cast<std::size_t>(size))));
  return true;
}

// Windows refuses to delete a key that is denied or still has subkeys, and the product cannot
// enumerate a subkey name of 255 characters with its 255-character buffer.
bool Blocked(const emu::RegKey& key) {
  if (key.denied) return true;
  for (const auto& [upper, child] : key.subkeys) {
    if (child->name.size() > 254 || Blocked(*child)) return true;
  }
  return false;
}

ProductKeyFacts StudyKey(emu::Session& session, emu::Root root, const std::string& shortRoot,
                         const std::string& path) {
  ProductKeyFacts facts;
  facts.upperPath = emu::UpperName(shortRoot + "\\" + path);
  const emu::RegKey* key = session.machine.registry.FindKey(root, path);
  facts.present = key != nullptr;
  facts.blocked = key != nullptr && Blocked(*key);
  return facts;
}

void StudyExtensions(emu::Session& session, ImageFacts& facts) {
  for (const char* name : kExtensions) {
    ExtensionFacts extension;
    extension.name = name;
    extension.upperPath = emu::UpperName(std::string("HKCR\\") + name);
    HKEY key;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, name, &key) == ERROR_SUCCESS) {
      std::string value;
      extension.namesProduct = ReadDefault(key, NULL, value) && value == kProduct;
      if (extension.namesProduct) {
        bool readable = ReadDefault(key, "UndoClass", extension.previousClass);
        if (!readable) extension.previousClass.clear();
        extension.classNameLost = extension.previousClass.find('?') != std::string::npos;
        extension.designDeletesKey =
            !extension.classNameLost &&
            (extension.previousClass.empty() || extension.previousClass == kProduct);
      }
      RegCloseKey(key);
    }
    const emu::RegKey* model = session.machine.registry.FindKey(emu::Root::ClassesRoot, name);
    extension.blocked = model != nullptr && Blocked(*model);
    facts.extensions.push_back(extension);
  }
}

void StudyShell(emu::Session& session, const std::string& workerDir, ImageFacts& facts) {
  for (const char* valueName : kShortcutFolders) {
    ShortcutFacts shortcut;
    shortcut.valueName = valueName;
    std::string folder;
    if (ReadShellFolder(valueName, folder)) {
      shortcut.emptyFolder = folder.empty();
      shortcut.lostName = folder.find('?') != std::string::npos;
      shortcut.readable =
          shortcut.emptyFolder || folder.size() + std::strlen(kShortcutName) < kShellPathCapacity;
      if (shortcut.readable && !shortcut.emptyFolder) {
        shortcut.shortcut =
            Study(session, emu::detail::FromProgram(folder + kShortcutName), workerDir);
        facts.footprint.items.insert(shortcut.shortcut.id);
      }
    }
    facts.shortcuts.push_back(shortcut);
  }

  std::string programs;
  if (!ReadShellFolder("Programs", programs) || programs.empty()) return;
  const std::string group = programs + kGroup;
  if (group.size() + std::strlen(kGroupShortcuts[0]) >= kShellPathCapacity) return;
  for (const char* name : kGroupShortcuts) {
    facts.footprint.items.insert(
        PlaceId(session, emu::detail::FromProgram(group + name), workerDir));
  }
  const std::string groupFolder = CutAtLastBackslash(emu::detail::FromProgram(group));
  facts.footprint.items.insert(PlaceId(session, groupFolder, workerDir));
  facts.footprint.items.insert(PlaceId(session, CutAtLastBackslash(groupFolder), workerDir));
}

void StudyRegistry(emu::Session& session, ImageFacts& facts) {
  const std::string current = "Software\\Microsoft\\Windows\\CurrentVersion\\";
  facts.productKeys = {
      StudyKey(session, emu::Root::LocalMachine, "HKLM", current + "Uninstall\\Orbelle"),
      StudyKey(session, emu::Root::LocalMachine, "HKLM", current + "App Paths\\Orbelle.exe"),
      StudyKey(session, emu::Root::CurrentUser, "HKCU", "Software\\Halcyra\\Orbelle"),
      StudyKey(session, emu::Root::CurrentUser, "HKCU", "Software\\Orbelle"),
      StudyKey(session, emu::Root::ClassesRoot, "HKCR", "Orbelle"),
  };
  // Settings directly under Software are the fallback when the maker's key does not go.
  const ProductKeyFacts& maker = facts.productKeys[2];
  facts.productKeys[3].targeted = !maker.present || maker.blocked;
  for (const auto& key : facts.productKeys) facts.footprint.AddTree(key.upperPath);

  HKEY classKey;
  facts.classOpens = RegOpenKeyA(HKEY_CLASSES_ROOT, kProduct, &classKey) == ERROR_SUCCESS;
  if (facts.classOpens) RegCloseKey(classKey);

  StudyExtensions(session, facts);
  if (!facts.classOpens) return;  // without the class no extension is looked at
  for (const auto& extension : facts.extensions) {
    if (!extension.namesProduct) continue;
    facts.footprint.items.insert(ValueId(extension.upperPath, ""));
    facts.footprint.singleKeys.insert(extension.upperPath + "\\UNDOCLASS");
    facts.footprint.singleKeys.insert(extension.upperPath + "\\SHELLNEW");
    if (extension.designDeletesKey) facts.footprint.AddTree(extension.upperPath);
  }
}

// The copy's path in a temp folder as GetShortPathNameA gives it; "" when the folder is missing
// or its path does not fit.
std::string ShortCopyPath(const std::string& tempFolder) {
  if (tempFolder.empty() || emu::detail::ToProgram(tempFolder).size() >= kMaxPath) return "";
  char shortTemp[kMaxPath];
  const DWORD length = GetShortPathNameA(emu::detail::ToProgram(WithBackslash(tempFolder)).c_str(),
                                         shortTemp, sizeof shortTemp);
  if (length == 0 || length >= sizeof shortTemp) return "";
  return emu::detail::FromProgram(shortTemp) + "obuninst.tmp";
}

// Windows 9x: where the worker's NUL= line goes, what the file holds before, and the name the
// line gives the copy (obuninst.tmp is a short name already; its folders may have aliases).
void StudyWininit(emu::Session& session, const std::string& workerDir, ImageFacts& facts) {
  facts.wininitPath = session.scenario.windowsFolder + "\\WININIT.INI";
  facts.wininitId = PlaceId(session, facts.wininitPath, workerDir);
  facts.footprint.items.insert(facts.wininitId);
  if (const emu::FsNode* file = session.machine.files.Find(facts.wininitPath);
      file && !file->directory) {
    facts.wininitText = std::string(file->content.begin(), file->content.end());
    facts.wininitAttributes = file->attributes;
  }
  facts.copyShortPath = ShortCopyPath(session.scenario.tempPath);
  facts.fallbackCopyShortPath = ShortCopyPath(session.scenario.windowsFolder + "\\TEMP");
}

void ListDeletables(const MachineState& state, ImageFacts& facts) {
  for (const auto& [upper, key] : state.keys) {
    if (facts.footprint.Contains(KeyId(upper))) facts.deletableKeys.push_back(key.path);
  }
  for (const auto& [upper, file] : state.files) {
    const bool folder = file.folder && !file.linkTarget;
    if (!folder && facts.footprint.Contains(FileId(upper)))
      facts.deletableFiles.push_back(file.path);
  }
}

}  // namespace

ImageFacts StudyImage(emu::Session& twin) {
  ImageFacts facts;
  const MachineState state = CaptureState(twin);
  // The product's code page: the host build's manifest is the exes' too.
  const unsigned codePage = emu::ProgramCodePage(twin.scenario, emu::ProductManifest());
  const std::string ownPath = emu::CanonicalPath(twin.scenario.exePath);
  const std::string realFolder = CutAtLastBackslash(ownPath);
  facts.installFolder = AsSeen(codePage, realFolder);
  const std::string exeFolder = realFolder.size() == 2 ? realFolder + "\\" : realFolder;

  // The launcher: the temp folder as reported, the copy's name after it, both within MAX_PATH.
  // Lengths count the bytes of the product's code page, as its buffers do.
  const std::string temp = AsSeen(codePage, twin.scenario.tempPath);
  const std::size_t tempBytes = emu::FromMachine(codePage, temp).size();
  std::string workerDir;
  if (!temp.empty() && tempBytes < kMaxPath) {
    const std::string copyPath = WithBackslash(temp) + "obuninst.tmp";
    if (emu::FromMachine(codePage, copyPath).size() < kMaxPath) facts.copyPath = copyPath;
    workerDir = RealFolder(twin, temp, exeFolder);
  }
  const std::string fallback = AsSeen(codePage, twin.scenario.windowsFolder + "\\TEMP");
  if (emu::FromMachine(codePage, fallback + "\\obuninst.tmp").size() < kMaxPath) {
    facts.fallbackCopyPath = fallback + "\\obuninst.tmp";
    if (workerDir.empty()) workerDir = RealFolder(twin, fallback, exeFolder);
  }
  {
    emu::ActiveProcess launcher(twin, exeFolder);
    if (!facts.copyPath.empty()) facts.copy = Study(twin, facts.copyPath, exeFolder);
    if (!facts.fallbackCopyPath.empty()) {
      facts.fallbackCopy = Study(twin, facts.fallbackCopyPath, exeFolder);
    }
  }
  facts.footprint.items.insert(facts.copy.id);
  facts.footprint.items.insert(facts.fallbackCopy.id);

  // The worker: runs in the temp folder; its working path is the tail, a backslash and a name.
  emu::ActiveProcess worker(twin, workerDir.empty() ? exeFolder : workerDir);
  const std::string dir = WithBackslash(facts.installFolder);
  facts.uninstaller = Study(twin, dir + "Uninstall.exe", workerDir);
  facts.footprint.items.insert(facts.uninstaller.id);
  for (const char* name : kProgramFiles) {
    facts.programFiles.push_back(Study(twin, dir + name, workerDir));
    facts.footprint.items.insert(facts.programFiles.back().id);
  }
  facts.footprint.items.insert(PlaceId(twin, facts.installFolder, workerDir));

  if (emu::IsWindows9x(twin.scenario)) StudyWininit(twin, workerDir, facts);

  StudyShell(twin, workerDir, facts);
  StudyRegistry(twin, facts);
  facts.footprint.items.erase("");
  ListDeletables(state, facts);
  return facts;
}

}  // namespace safety
