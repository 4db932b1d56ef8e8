#include "safety/machine_generator.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "safety/race_sweep.h"

namespace safety {
namespace {

const char* const kProgramFiles[] = {"Orbelle.exe", "Orbelle.hlp", "Orbelle.cnt",
                                     "Orbelle.gid", "Readme.txt",  "Licence.txt"};
const char* const kGroupShortcuts[] = {"Orbelle 1.0.lnk", "Online Help.lnk", "ReadMe.lnk",
                                       "Uninstall.lnk"};
const char* const kExtensions[] = {".wrl", ".wrz", ".wrl.gz", ".vrml", ".vcd"};
const char* const kOtherClasses[] = {"wrlfile",         "wrzfile", "VRMLfile",
                                     "Glimmerdeck.X3D", "txtfile", "Orbelle.Document"};
const char kCurrentVersion[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
// Windows allows 512 levels of keys below a root.
constexpr int kMaxKeyDepth = 512;

class Generator {
 public:
  Generator(std::uint64_t seed, const GeneratorOptions& options)
      : rng_(seed), seed_(seed), options_(options) {}

  emu::Session Build() {
    ChooseInstall();
    ChooseTemp();
    AddInstalledFiles();
    AddShell();
    AddMachineWideKeys();
    AddPerUserKeys();
    AddClassAndExtensions();
    AddNeighbours();
    ChooseRunConditions();
    AddWindowsDifferences();
    return std::move(session_);
  }

 private:
  // ------------------------------------------------------------------ randomness
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  template <class T, std::size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[static_cast<std::size_t>(Between(0, static_cast<int>(N) - 1))];
  }
  std::string Letters(int count, char first = 'a') {
    std::string text;
    for (int i = 0; i < count; ++i) text += static_cast<char>(first + Between(0, 25));
    return text;
  }

  // A path of exactly `length` characters: `start` and names below it.
  std::string PathOfLength(std::string path, std::size_t length) {
    while (path.size() + 2 <= length) {
      std::size_t room = length - path.size() - 1;  // after the backslash
      std::size_t name = std::min<std::size_t>(room, static_cast<std::size_t>(Between(8, 60)));
      if (room - name == 1) --name;  // never leave room for a backslash alone
      path += "\\" + Letters(static_cast<int>(name));
    }
    return path;
  }

  // ------------------------------------------------------------------ building blocks
  void File(const std::string& path, const std::string& content = "data") {
    session_.machine.files.CreateFile(path, emu::Bytes(content.begin(), content.end()));
  }
  void Folder(const std::string& path) { session_.machine.files.CreateFolder(path); }
  emu::RegKey& Key(emu::Root root, const std::string& path) {
    return session_.machine.registry.CreateKey(root, path);
  }
  void Text(emu::Root root, const std::string& path, const std::string& name,
            const std::string& text) {
    Key(root, path).SetString(name, text);
  }
  void Raw(emu::Root root, const std::string& path, const std::string& name, std::uint32_t type,
           const std::string& bytes) {
    Key(root, path).SetValue(name, type, emu::Bytes(bytes.begin(), bytes.end()));
  }

  // ------------------------------------------------------------------ the install
  void ChooseInstall() {
    switch (Between(0, 11)) {
      case 0:
        folder_ = "C:";  // a drive root
        break;
      case 1:
        folder_ = "D:";
        break;
      case 2:
        folder_ = "C:\\Orbelle";
        break;
      case 3:
        folder_ = "D:\\Apps\\3D Viewers\\Orbelle";
        break;
      case 4:
        folder_ = "C:\\Program Files\\Orb elle  x";  // blanks inside names
        break;
      case 5: {
        // The exe's path just under, at and just over MAX_PATH.
        std::size_t exeLength = static_cast<std::size_t>(Between(255, 262));
        folder_ = PathOfLength("C:\\Long", exeLength - std::string("\\Uninstall.exe").size());
        break;
      }
      case 6:
        folder_ = "C:\\Program Files\\Halcyra\\Orbelle";  // may be the program group too
        break;
      default:
        folder_ = "C:\\Program Files\\Orbelle";
    }
    exeName_ = "Uninstall.exe";
    if (Chance(0.03)) exeName_ = "UNINSTALL.EXE";
    if (Chance(0.04)) exeName_ = "Setup.exe";
    session_.scenario.exePath = folder_ + "\\" + exeName_;
    dir_ = folder_ + "\\";
    File(session_.scenario.exePath, "the uninstaller");
    if (exeName_ == "Setup.exe" && Chance(0.5)) File(dir_ + "Uninstall.exe", "the uninstaller");
  }

  void ChooseTemp() {
    switch (Between(0, 13)) {
      case 0:
        session_.scenario.tempPath = "C:\\WINDOWS\\TEMP";  // no trailing backslash
        break;
      case 1:
        session_.scenario.tempPath = "C:\\Documents and Settings\\pat\\Local Settings\\Temp\\";
        break;
      case 2:
        session_.scenario.tempPath = "D:\\T\\";
        break;
      case 3:
        // The copy's path just under, at and just over MAX_PATH.
        session_.scenario.tempPath =
            PathOfLength("C:\\Tmp", static_cast<std::size_t>(Between(245, 249))) + "\\";
        break;
      case 4:
        session_.scenario.tempPath = "C:\\NoSuchTemp\\";  // the folder is missing
        break;
      case 5:
        session_.scenario.tempPath = dir_;  // the install folder itself
        break;
      default:
        session_.scenario.tempPath = "C:\\WINDOWS\\TEMP\\";
    }
    if (session_.scenario.tempPath != "C:\\NoSuchTemp\\" &&
        session_.scenario.tempPath.size() < 300) {
      Folder(session_.scenario.tempPath);
    }
    std::string copy = session_.scenario.tempPath;
    if (copy.back() != '\\') copy += '\\';
    copy += "obuninst.tmp";
    copyPath_ = copy;
    if (session_.scenario.tempPath == "C:\\NoSuchTemp\\") return;
    File("C:\\WINDOWS\\SYSTEM\\USER.EXE", "a system file");
    switch (Between(0, 19)) {
      case 0:
      case 1:
      case 2:
        File(copy, "an earlier copy");
        break;
      case 3:
      case 4: {
        // A link planted where the copy goes, at a system file, a folder or nothing.
        File(copy, "");
        emu::FsNode* link = session_.machine.files.Find(copy);
        static const char* const kTargets[] = {"C:\\WINDOWS\\SYSTEM\\USER.EXE",
                                               "C:\\WINDOWS\\SYSTEM",
                                               "C:\\WINDOWS\\SYSTEM\\NOWHERE.DLL"};
        link->linkTarget = Pick(kTargets);
        link->directory = *link->linkTarget == "C:\\WINDOWS\\SYSTEM";
        break;
      }
      case 5:
        File(copy, "a copy in use");
        session_.scenario.faults.locked[emu::UpperName(copy)] = {true, 0};
        break;
      case 6:
        Folder(copy);  // a folder of the copy's name
        break;
      default:
        break;
    }
  }

  void AddInstalledFiles() {
    for (const char* name : kProgramFiles) {
      if (Chance(0.85)) {
        File(dir_ + name, name);
      } else if (Chance(0.1)) {
        Folder(dir_ + name + "\\");  // a folder where a program file should be
        if (Chance(0.5)) File(dir_ + name + "\\inside.txt");
      }
    }
    if (Chance(0.3)) File(dir_ + "My World.wrl", "the user's world");
    if (Chance(0.1)) File(dir_ + "Worlds\\Garden.wrl", "the user's world");
    if (Chance(0.05)) File(dir_ + "orbelle.exe.bak", "the user's backup");
  }

  // ------------------------------------------------------------------ the shell
  std::string ShellFolderValue(const std::string& valueName, const std::string& usual) {
    std::string path;
    switch (Between(0, 39)) {
      case 0:
        return "";  // no value at all
      case 1:
        Text(emu::Root::CurrentUser, kShellFolders, valueName, "");  // an empty value
        return "";
      case 2:
        path = "C:\\" + std::string(600, 'h');  // too long for the buffer
        break;
      case 3:
        // The shortcut's path just under and over MAX_PATH, or the buffer's last bytes.
        path =
            PathOfLength("C:\\Deep", Between(0, 1) ? static_cast<std::size_t>(Between(246, 249))
                                                   : static_cast<std::size_t>(Between(505, 510)));
        break;
      case 4:
        path = "%USERPROFILE%\\" + valueName;  // never expanded: a relative path
        break;
      case 5:
        path = folder_;  // the install folder
        break;
      case 6:
        path = "C:\\";
        break;
      case 7:
        Raw(emu::Root::CurrentUser, kShellFolders, valueName, 2, usual + std::string(1, '\0'));
        return usual;  // REG_EXPAND_SZ: the type plays no part
      case 8:
        Raw(emu::Root::CurrentUser, kShellFolders, valueName, 1, usual);  // no terminator
        return usual;
      case 9:
        Raw(emu::Root::CurrentUser, kShellFolders, valueName, 4, "WXYZ");  // a DWORD
        return "";
      default:
        path = usual;
    }
    if (Chance(0.3)) path += "\\";
    Text(emu::Root::CurrentUser, kShellFolders, valueName, path);
    return path;
  }

  // Creates the folder a value names when it is an ordinary absolute path, so the shortcut can
  // be there.
  bool MakeShellFolder(const std::string& path) {
    if (path.size() < 3 || path[1] != ':' || path.size() > 300 || !Chance(0.9)) return false;
    Folder(path);
    return true;
  }

  void AddShell() {
    if (Chance(0.04)) return;  // no Shell Folders key at all
    Key(emu::Root::CurrentUser, kShellFolders);
    Text(emu::Root::CurrentUser, kShellFolders, "Personal", "C:\\My Documents");
    const std::pair<const char*, const char*> kFolders[] = {
        {"SendTo", "C:\\WINDOWS\\SendTo"},
        {"Desktop", "C:\\WINDOWS\\Desktop"},
        {"Start Menu", "C:\\WINDOWS\\Start Menu"},
    };
    for (const auto& [name, usual] : kFolders) {
      std::string path = ShellFolderValue(name, usual);
      if (!MakeShellFolder(path)) continue;
      std::string folder = path.back() == '\\' ? path : path + "\\";
      if (session_.machine.files.Find(folder + "Orbelle.lnk") != nullptr) continue;  // named twice
      if (Chance(0.03)) {
        Folder(folder + "Orbelle.lnk\\");  // a folder of the shortcut's name
      } else if (Chance(0.8)) {
        File(folder + "Orbelle.lnk", "a shortcut");
      }
      if (Chance(0.5)) File(folder + "Notepad.lnk", "another program's shortcut");
    }
    std::string usualPrograms =
        Chance(0.05) ? "C:\\Program Files" : "C:\\WINDOWS\\Start Menu\\Programs";
    std::string programs = ShellFolderValue("Programs", usualPrograms);
    if (!MakeShellFolder(programs)) return;
    std::string base = programs.back() == '\\' ? programs : programs + "\\";
    if (Chance(0.8)) {
      Folder(base + "Halcyra\\Orbelle\\");
      for (const char* name : kGroupShortcuts) {
        if (Chance(0.85)) File(base + "Halcyra\\Orbelle\\" + name, "a group shortcut");
      }
      if (Chance(0.1)) File(base + "Halcyra\\Orbelle\\My notes.txt", "the user's notes");
    }
    if (Chance(0.4)) File(base + "Halcyra\\Lumetra\\Lumetra.lnk", "the maker's other product");
    if (Chance(0.1)) File(base + "Halcyra\\readme.txt", "the maker's note");
    if (Chance(0.5)) File(base + "Accessories\\Notepad.lnk", "another program's shortcut");
  }

  // ------------------------------------------------------------------ the registry
  void AddTree(emu::Root root, const std::string& path, int depthOfPath) {
    if (Chance(0.06)) {
      int room = kMaxKeyDepth - depthOfPath;
      int depth = Between(1, std::max(1, std::min(options_.maxTreeDepth, room)));
      std::string below = path;
      for (int level = 1; level <= depth; ++level) {
        below += "\\L" + std::to_string(level);
        if (level % 50 == 0) Text(root, below, "level", std::to_string(level));
      }
      Key(root, below);
    }
    if (Chance(0.06)) {
      int width = Between(1, std::max(1, options_.maxTreeWidth));
      for (int i = 0; i < width; ++i) {
        std::string name;
        switch (Between(0, 19)) {
          case 0:
            name = Letters(254, 'a');  // the longest name the product can enumerate
            break;
          case 1:
            name = Letters(255, 'a');  // a name Windows allows but the product cannot read
            break;
          case 2:
            name = "\xC3\x89t\xC3\xA9 " + std::to_string(i);  // letters of Windows-1252
            break;
          default:
            name = Letters(Between(1, 12), Chance(0.5) ? 'a' : 'A') + std::to_string(i);
        }
        Key(root, path + "\\" + name);
        if (Chance(0.1)) Text(root, path + "\\" + name + "\\Sub", "", "x");
      }
    }
  }

  void MaybeDeny(emu::Root root, const std::string& path) {
    if (!Chance(0.04)) return;
    if (emu::RegKey* key = session_.machine.registry.FindKey(root, path)) key->denied = true;
  }

  void AddMachineWideKeys() {
    const std::string uninstall = std::string(kCurrentVersion) + "\\Uninstall\\";
    const std::string appPaths = std::string(kCurrentVersion) + "\\App Paths\\";
    const auto hklm = emu::Root::LocalMachine;
    if (Chance(0.9)) {
      Text(hklm, uninstall + "Orbelle", "DisplayName", "Orbelle 1.0");
      Text(hklm, uninstall + "Orbelle", "UninstallString", session_.scenario.exePath);
      Raw(hklm, uninstall + "Orbelle", "NoModify", 4, std::string("\x01\0\0\0", 4));
      AddTree(hklm, uninstall + "Orbelle", 6);
      MaybeDeny(hklm, uninstall + "Orbelle");
    }
    if (Chance(0.8)) Text(hklm, uninstall + "Glimmerdeck", "DisplayName", "Glimmerdeck 2.3");
    if (Chance(0.1)) Text(hklm, uninstall + "Orbelle Viewer", "DisplayName", "Not ours");
    if (Chance(0.85)) {
      Text(hklm, appPaths + "Orbelle.exe", "", dir_ + "Orbelle.exe");
      Text(hklm, appPaths + "Orbelle.exe", "Path", folder_);
      MaybeDeny(hklm, appPaths + "Orbelle.exe");
    }
    if (Chance(0.5)) Text(hklm, appPaths + "Glimmerdeck.exe", "", "C:\\Tamsin\\Glimmerdeck.exe");
    if (Chance(0.05)) Text(hklm, appPaths + "Orbelle.exe.old", "", "not ours");
  }

  void AddPerUserKeys() {
    const auto hkcu = emu::Root::CurrentUser;
    if (Chance(0.7)) {
      Text(hkcu, "Software\\Halcyra\\Orbelle", "Version", "1.0");
      Text(hkcu, "Software\\Halcyra\\Orbelle\\Navigation", "Mode", "Walk");
      if (Chance(0.3)) Text(hkcu, "Software\\Halcyra\\Orbelle", "Huge", std::string(4000, 'v'));
      AddTree(hkcu, "Software\\Halcyra\\Orbelle", 3);
      MaybeDeny(hkcu, "Software\\Halcyra\\Orbelle");
      MaybeDeny(hkcu, "Software\\Halcyra\\Orbelle\\Navigation");
    } else if (Chance(0.3)) {
      Key(hkcu, "Software\\Halcyra");  // the maker's key without the product
    }
    if (Chance(0.3)) {
      Text(hkcu, "Software\\Orbelle\\Old", "Speed", "3");
      MaybeDeny(hkcu, "Software\\Orbelle");
    }
    if (Chance(0.5)) Text(hkcu, "Software\\Halcyra\\Lumetra", "Theme", "dark");
    if (Chance(0.1)) Text(hkcu, "Software\\OrbelleX", "Owner", "another product");
  }

  void AddExtension(const std::string& extension) {
    const auto hkcr = emu::Root::ClassesRoot;
    const std::string undo = extension + "\\UndoClass";
    int kind = Between(0, 29);
    if (kind < 4) return;  // absent
    if (kind < 7) {        // another product's
      Text(hkcr, extension, "", Pick(kOtherClasses));
      if (Chance(0.5)) Text(hkcr, undo, "", "wrlfile");
      if (Chance(0.5)) Text(hkcr, extension + "\\ShellNew", "NullFile", "");
      return;
    }
    switch (kind) {
      case 7:
        Text(hkcr, extension, "", "orbelle");  // another case is another class
        break;
      case 8:
        Raw(hkcr, extension, "", 1, "Orbelle");  // stored without its terminator
        break;
      case 9:
        Raw(hkcr, extension, "", 3, "Orbelle");  // not a string
        break;
      case 10:
        Text(hkcr, extension, "", std::string(700, 'O'));  // longer than the buffer
        break;
      default:
        Text(hkcr, extension, "", "Orbelle");
    }
    switch (Between(0, 19)) {
      case 0:
      case 1:
      case 2:
        break;  // no UndoClass: the product brought the extension
      case 3:
        Text(hkcr, undo, "", "");
        break;
      case 4:
        Text(hkcr, undo, "", "Orbelle");
        break;
      case 5:
        Text(hkcr, undo, "", std::string(520, 'u'));  // one byte too many with its terminator
        break;
      case 6:
        Text(hkcr, undo, "", std::string(519, 'u'));  // just fits
        break;
      case 7:
        Text(hkcr, undo, "", "wrlfile");
        Text(hkcr, undo + "\\Nested", "", "keeps UndoClass in place");
        break;
      case 8:
        Key(hkcr, undo);  // a default never set
        break;
      default:
        Text(hkcr, undo, "", Pick(kOtherClasses));
    }
    if (Chance(0.4)) Text(hkcr, extension + "\\ShellNew", "NullFile", "");
    if (Chance(0.05)) Text(hkcr, extension + "\\ShellNew\\Config", "", "x");
    if (Chance(0.1)) Text(hkcr, extension + "\\OpenWithList\\Glimmerdeck.exe", "", "");
    if (Chance(0.1)) Text(hkcr, extension, "Content Type", "model/vrml");
    MaybeDeny(hkcr, extension);
    MaybeDeny(hkcr, undo);
    MaybeDeny(hkcr, extension + "\\ShellNew");
  }

  void AddClassAndExtensions() {
    const auto hkcr = emu::Root::ClassesRoot;
    if (Chance(0.85)) {
      Text(hkcr, "Orbelle", "", "VRML World");
      Text(hkcr, "Orbelle\\shell\\open\\command", "", "\"" + dir_ + "Orbelle.exe\" \"%1\"");
      if (Chance(0.5)) Text(hkcr, "Orbelle\\DefaultIcon", "", dir_ + "Orbelle.exe,1");
      AddTree(hkcr, "Orbelle", 1);
      MaybeDeny(hkcr, "Orbelle");
      MaybeDeny(hkcr, "Orbelle\\shell\\open");
    }
    if (Chance(0.1)) Text(hkcr, "Orbelle.Document", "", "not the product's class");
    for (const char* extension : kExtensions) AddExtension(extension);
    Text(hkcr, "wrlfile", "", "VRML World (previous viewer)");
    if (Chance(0.5)) Text(hkcr, ".x3d", "", "Glimmerdeck.X3D");
    if (Chance(0.3)) Text(hkcr, ".x3d\\UndoClass", "", "xmlfile");
  }

  void AddNeighbours() {
    File("C:\\My Documents\\Worlds\\lighthouse.wrz", "the user's world");
    if (Chance(0.5)) File("C:\\Program Files\\Tamsin\\Glimmerdeck\\Glimmerdeck.exe", "another");
    if (Chance(0.03)) AddTree(emu::Root::CurrentUser, "Software\\Tamsin", 1);
  }

  // ------------------------------------------------------------------ how the run goes
  void Lock(const std::string& path) {
    session_.scenario.faults.locked[emu::UpperName(path)] =
        Chance(0.5) ? emu::Lock{true, 0} : emu::Lock{false, Between(1, 3)};
  }

  void ChooseRunConditions() {
    if (Chance(0.05)) {
      session_.scenario.answers = {emu::Answer::Second};  // the user says No
    } else {
      session_.scenario.answers = {emu::Answer::First};
      for (int i = Between(0, 3); i > 0; --i)
        session_.scenario.answers.push_back(emu::Answer::First);
      // Then Cancel for every further in-use prompt, so a file in use for ever cannot keep
      // the run going; the closing box answers OK whatever it is given.
      session_.scenario.answers.insert(session_.scenario.answers.end(), 16, emu::Answer::Second);
    }
    if (Chance(0.15)) Lock(dir_ + Pick(kProgramFiles));
    if (Chance(0.03)) Lock(dir_ + "Uninstall.exe");
    if (Chance(0.05)) Lock("C:\\WINDOWS\\Desktop\\Orbelle.lnk");
    if (Chance(0.05)) {
      Lock("C:\\WINDOWS\\Start Menu\\Programs\\Halcyra\\Orbelle\\" +
           std::string(Pick(kGroupShortcuts)));
    }
    if (Chance(0.08)) session_.scenario.faults.imageRelease = Between(1, 45);
    if (Chance(0.1)) session_.scenario.windows = emu::WindowsVersion::Seven;
  }

  // ------------------------------------------------------------------ which Windows
  // Drawn from a stream of their own, so that every seed still gives the machine it gave
  // before these were generated, with them added.
  void AddWindowsDifferences() {
    rng_.seed(seed_ ^ 0x9E3779B97F4A7C15ull);
    ChooseWindowsVersion();
    MarkAttributes();
    rng_.seed(seed_ ^ 0x436F646550616765ull);
    MaybeCyrillicUser();
  }

  // One machine in eight belongs to a user whose name Windows-1252 cannot spell, on a Cyrillic
  // (1251) or a Western (1252) system: the profile, the temp folder and the Shell Folders paths
  // carry the name, and an extension's UndoClass may name a class spelled in Cyrillic. On a
  // Western system without the UTF-8 code page the program sees each such letter as '?'.
  void MaybeCyrillicUser() {
    if (!Chance(0.125)) return;
    // "Пётр", "Наталья Иванова", "Ёжик"
    static const char* const kUsers[] = {
        "\xD0\x9F\xD1\x91\xD1\x82\xD1\x80",
        ("\xD0\x9D\xD0\xB0\xD1\x82\xD0\xB0\xD0\xBB\xD1\x8C\xD1\x8F "
         "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xB2\xD0\xB0"),
        "\xD0\x81\xD0\xB6\xD0\xB8\xD0\xBA"};
    session_.scenario.codePage = Chance(0.5) ? 1251 : 1252;
    const std::string profile = std::string("C:\\Documents and Settings\\") + Pick(kUsers);
    session_.scenario.tempPath = profile + "\\Local Settings\\Temp\\";
    Folder(session_.scenario.tempPath);
    if (Chance(0.2)) File(session_.scenario.tempPath + "obuninst.tmp", "an earlier copy");
    if (session_.machine.registry.FindKey(emu::Root::CurrentUser, kShellFolders) != nullptr) {
      // "Рабочий стол" (Desktop) and "Главное меню" (Start Menu), as a Russian Windows names them
      const std::string desktop = profile +
                                  "\\\xD0\xA0\xD0\xB0\xD0\xB1\xD0\xBE\xD1\x87\xD0\xB8\xD0\xB9 "
                                  "\xD1\x81\xD1\x82\xD0\xBE\xD0\xBB";
      const std::string startMenu = profile +
                                    "\\\xD0\x93\xD0\xBB\xD0\xB0\xD0\xB2\xD0\xBD\xD0\xBE\xD0\xB5 "
                                    "\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x8E";
      const std::string programs = startMenu + "\\Programs";
      const std::pair<const char*, std::string> kFolders[] = {
          {"Desktop", desktop}, {"Start Menu", startMenu}, {"SendTo", profile + "\\SendTo"}};
      for (const auto& [name, path] : kFolders) {
        Text(emu::Root::CurrentUser, kShellFolders, name, path);
        Folder(path);
        if (Chance(0.8)) File(path + "\\Orbelle.lnk", "a shortcut");
      }
      Text(emu::Root::CurrentUser, kShellFolders, "Programs", programs);
      Folder(programs + "\\Halcyra\\Orbelle");
      for (const char* name : kGroupShortcuts) {
        if (Chance(0.85)) File(programs + "\\Halcyra\\Orbelle\\" + name, "a group shortcut");
      }
    }
    // "ВРМЛ.Документ": the class another viewer registered before the product took over
    const std::string undoClass =
        "\xD0\x92\xD0\xA0\xD0\x9C\xD0\x9B.\xD0\x94\xD0\xBE\xD0\xBA\xD1\x83\xD0\xBC"
        "\xD0\xB5\xD0\xBD\xD1\x82";
    for (const char* extension : kExtensions) {
      const std::string undo = std::string(extension) + "\\UndoClass";
      if (session_.machine.registry.FindKey(emu::Root::ClassesRoot, undo) == nullptr ||
          !Chance(0.5)) {
        continue;
      }
      Text(emu::Root::ClassesRoot, undo, "", undoClass);
      Text(emu::Root::ClassesRoot, undoClass, "", "VRML");
    }
  }

  // Windows 95/98/ME: the deletion at restart goes through WININIT.INI in the Windows folder,
  // which may be missing, hold other programs' pending lines (or an earlier run's own), have
  // no [rename] section, hold one too long to read back, or be read-only.
  void ChooseWindowsVersion() {
    if (!Chance(0.2)) return;
    session_.scenario.windows = emu::WindowsVersion::Nine;
    static const char* const kFolders[] = {"C:\\WINDOWS", "C:\\WINDOWS", "C:\\WIN98", "D:\\WINME"};
    session_.scenario.windowsFolder = Pick(kFolders);
    Folder(session_.scenario.windowsFolder);
    const std::string wininit = session_.scenario.windowsFolder + "\\WININIT.INI";
    switch (Between(0, 6)) {
      case 0:
        File(wininit, "[rename]\r\nNUL=C:\\WINDOWS\\TEMP\\SETUP~1.TMP\r\n");
        break;
      case 1:
        File(wininit,
             "[CombineVxDs]\r\nx=1\r\n[Rename]\r\nNUL=C:\\OLD~1.DLL\r\n"
             "C:\\WINDOWS\\SYSTEM\\A.DLL=C:\\WINDOWS\\SYSTEM\\A.NEW\r\n[later]\r\ny=2\r\n");
        break;
      case 2:
        File(wininit, "[other]\r\nz=3\r\n");
        break;
      case 3:
        File(wininit, "[rename]\r\nNUL=" + copyPath_ + "\r\n");  // an earlier run's line
        break;
      case 4: {
        std::string text = "[rename]\r\n";
        for (int i = Between(300, 500); i > 0; --i) {
          text += "NUL=C:\\TEMP\\F" + std::to_string(i) + ".TMP\r\n";
        }
        File(wininit, text);
        break;
      }
      default:
        break;  // none yet
    }
    if (emu::FsNode* file = session_.machine.files.Find(wininit); file && Chance(0.15)) {
      file->attributes = kReadOnly;
    }
  }

  // Read-only (sometimes also hidden or system) files anywhere: the product's own, as a CD
  // install leaves them, and other programs' and the user's, which must keep theirs. Links and
  // folders keep none.
  void MarkAttributes() {
    const double share = Chance(0.15) ? 0.9 : Chance(0.5) ? 0.1 : 0.0;
    if (share == 0.0) return;
    for (auto& [letter, root] : session_.machine.files.drives) MarkBelow(root, share);
  }

  void MarkBelow(emu::FsNode& folder, double share) {
    for (auto& [upper, child] : folder.children) {
      if (child->linkTarget) continue;
      if (child->directory) {
        MarkBelow(*child, share);
      } else if (Chance(share)) {
        child->attributes |= kReadOnly;
        if (Chance(0.2)) child->attributes |= kHidden;
        if (Chance(0.1)) child->attributes |= kSystem;
      }
    }
  }

  static constexpr std::uint32_t kReadOnly = 0x1, kHidden = 0x2, kSystem = 0x4;

  std::mt19937_64 rng_;
  std::uint64_t seed_;
  GeneratorOptions options_;
  emu::Session session_;
  std::string folder_, dir_, exeName_, copyPath_;
};

}  // namespace

namespace {

// The launcher's calls from its first look at the copy to the worker's start, with how many of
// each it makes there at most (a later number than it makes is never reached).
struct Moment {
  const char* operation;
  int most;
};
constexpr Moment kMoments[] = {{"GetFileAttributesA", 3}, {"DeleteFileA", 1}, {"CopyFileA", 1},
                               {"CreateFileA", 2},        {"ReadFile", 4},    {"CloseHandle", 2},
                               {"CreateProcessA", 1}};

std::string TempCopy(const emu::Session& session) {
  std::string copy = session.scenario.tempPath;
  if (copy.empty()) return "";
  if (copy.back() != '\\') copy += '\\';
  return copy + "obuninst.tmp";
}

// Another program acting on the temp copy or its folder between two calls of the launcher,
// on some machines. Drawn from a generator of its own, so that the machines without a race are
// the same as they were before races were drawn.
void MaybeAddRace(emu::Session& session, std::uint64_t seed) {
  std::mt19937_64 rng(seed ^ 0x7261636573ull);
  auto between = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(rng);
  };
  if (between(0, 9) != 0) return;
  const Moment& moment = kMoments[static_cast<std::size_t>(between(0, std::size(kMoments) - 1))];
  std::string copy = session.scenario.tempPath;
  if (copy.empty()) return;
  if (copy.back() != '\\') copy += '\\';
  std::string folder = copy.substr(0, copy.size() - 1);
  copy += "obuninst.tmp";
  // A temp folder that is the install folder belongs to the product's footprint: acting on
  // the folder there would move the product's own files.
  const bool folderIsTheInstall =
      emu::UpperName(folder + "\\") ==
      emu::UpperName(session.scenario.exePath.substr(0, session.scenario.exePath.rfind('\\') + 1));
  using Action = emu::Race::Action;
  emu::Race race{moment.operation, between(1, moment.most), Action::Delete, copy, {}};
  switch (between(0, folderIsTheInstall ? 3 : 5)) {
    case 0:
      race.action = Action::Replace;
      race.argument = kForeignExe;
      break;
    case 1:
      race.action = Action::Delete;
      break;
    case 2:
      race.action = Action::Link;
      race.argument = kForeignExe;
      break;
    case 3:
      race.action = Action::Rename;
      race.argument = copy + ".away";
      break;
    case 4:
      race = {moment.operation, race.call, Action::Rename, folder, folder + ".away"};
      break;
    default:
      race = {moment.operation, race.call, Action::Delete, folder, {}};
  }
  AddForeignFiles(session);
  session.scenario.races = {race};
}

// A virus scanner that opens the fresh temp copy and holds it for a few of the launcher's
// calls, or for the rest of the run, on some machines; added to whatever race the machine has.
// Drawn from a generator of its own, so every other machine is the one it was before.
void MaybeAddHold(emu::Session& session, std::uint64_t seed) {
  std::mt19937_64 rng(seed ^ 0x686f6c6473ull);
  auto between = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(rng);
  };
  if (between(0, 11) != 0) return;
  const std::string copy = TempCopy(session);
  if (copy.empty()) return;
  const Moment& moment = kMoments[static_cast<std::size_t>(between(0, std::size(kMoments) - 1))];
  emu::Race hold{.operation = moment.operation,
                 .call = between(1, moment.most),
                 .action = emu::Race::Action::Hold,
                 .path = copy};
  if (between(0, 3) == 0) {
    hold.holdAlways = true;
  } else {
    hold.holdCalls = between(1, 8);
  }
  session.scenario.races.push_back(hold);
}

// Windows XP before SP2 and 7 without SetDefaultDllDirectories on some machines that are
// neither 9x nor 7 already, from a generator of their own.
void MaybeChooseXpOrSeven(emu::Session& session, std::uint64_t seed) {
  std::mt19937_64 rng(seed ^ 0x78703773ull);
  auto between = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(rng);
  };
  const int draw = between(0, 9);
  if (session.scenario.windows != emu::WindowsVersion::Nt || draw > 1) return;
  session.scenario.windows = draw == 0 ? emu::WindowsVersion::Xp : emu::WindowsVersion::Seven;
}

}  // namespace

emu::Session GenerateMachine(std::uint64_t seed, const GeneratorOptions& options) {
  emu::Session session = Generator(seed, options).Build();
  MaybeChooseXpOrSeven(session, seed);
  if (options.races) {
    MaybeAddRace(session, seed);
    MaybeAddHold(session, seed);
  }
  return session;
}

}  // namespace safety
