// The loader of each emulated Windows: which DLLs a path loads, where a bare name is found
// (activation context, loaded modules, KnownDLLs, the search order with and without
// SetDefaultDllDirectories), a planted DLL reported as foreign, and the system's own loads by
// name that a message box, a process start or a registry call set off.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/emulated/session.h"
#include "platform/emulated/system_dlls.h"
#include "platform_api.h"
#include "support/case_name.h"
#include "support/new_session.h"

namespace {

using V = emu::WindowsVersion;

const std::string kExeFolder = "C:\\Program Files\\Orbelle";
const std::string kWork = "C:\\Work";  // the process's current folder
const std::string kSystem32 = "C:\\WINDOWS\\system32";
const std::string kSxS =
    "C:\\WINDOWS\\WinSxS\\x86_Microsoft.Windows.Common-Controls_6595b64144ccf1df_6.0.0.0_x-ww_"
    "1382d70a\\comctl32.dll";

std::vector<std::string> ForeignLoads(const emu::Session& session) {
  std::vector<std::string> paths;
  for (const auto& event : session.record.events) {
    if (event.kind == emu::Event::Kind::ForeignDll) paths.push_back(event.path);
  }
  return paths;
}

std::string LoadedFrom(const emu::Session& session, int process, HMODULE handle) {
  for (const auto& module : emu::LoadedModules(session, process)) {
    if (module.handle == reinterpret_cast<std::uintptr_t>(handle)) return module.path;
  }
  return "(none)";
}

void UseSystemFolderOnly() {
  using Set = BOOL(WINAPI*)(DWORD);
  FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
  ASSERT_NE(found, nullptr);
  ASSERT_TRUE(
      reinterpret_cast<Set>(reinterpret_cast<void (*)()>(found))(LOAD_LIBRARY_SEARCH_SYSTEM32));
}

struct LoadCase {
  const char* behaviour;
  V windows = V::Seven;
  std::vector<std::string> planted = {};  // files on the drive before the load
  std::vector<std::string> first = {};    // loaded (and kept) before
  bool systemFolderOnly = false;          // SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)
  std::string name = {};                  // what LoadLibraryA is given
  std::string from = {};                  // where it must come from; "" = it fails
  bool foreign = false;
};

const LoadCase kLoadCases[] = {
    {.behaviour = "a full path loads the system folder's dll",
     .windows = V::Nt,
     .name = kSystem32 + "\\UxTheme.dll",
     .from = kSystem32 + "\\UxTheme.dll"},
    {.behaviour = "a full path to a dll this windows lacks fails",
     .windows = V::Xp,
     .name = kSystem32 + "\\dwmapi.dll"},
    {.behaviour = "seven has dwmapi",
     .windows = V::Seven,
     .name = kSystem32 + "\\dwmapi.dll",
     .from = kSystem32 + "\\dwmapi.dll"},
    {.behaviour = "windows 9x has no theme engine",
     .windows = V::Nine,
     .name = "C:\\WINDOWS\\SYSTEM\\uxtheme.dll"},
    {.behaviour = "windows 9x loads shell32 from its system folder",
     .windows = V::Nine,
     .name = "C:\\WINDOWS\\SYSTEM\\SHELL32.DLL",
     .from = "C:\\WINDOWS\\SYSTEM\\SHELL32.DLL"},
    {.behaviour = "the nt system folder is not the 9x one",
     .windows = V::Nt,
     .name = "C:\\WINDOWS\\SYSTEM\\shell32.dll"},
    {.behaviour = "a full path elsewhere fails even where a file is",
     .planted = {kExeFolder + "\\uxtheme.dll"},
     .name = kExeFolder + "\\uxtheme.dll"},
    {.behaviour = "a bare name finds a dll planted in the program folder first",
     .planted = {kExeFolder + "\\uxtheme.dll"},
     .name = "uxtheme.dll",
     .from = kExeFolder + "\\uxtheme.dll",
     .foreign = true},
    {.behaviour = "a bare name without an extension gets dll",
     .planted = {kExeFolder + "\\uxtheme.dll"},
     .name = "UXTHEME",
     .from = kExeFolder + "\\UXTHEME.dll",  // the loader names it as asked, not as on disk
     .foreign = true},
    {.behaviour = "set default dll directories leaves the program folder out",
     .windows = V::Nt,
     .planted = {kExeFolder + "\\uxtheme.dll"},
     .systemFolderOnly = true,
     .name = "uxtheme.dll",
     .from = kSystem32 + "\\uxtheme.dll"},
    {.behaviour = "a bare name finds the module loaded by full path",
     .planted = {kExeFolder + "\\uxtheme.dll"},
     .first = {kSystem32 + "\\uxtheme.dll"},
     .name = "uxtheme.dll",
     .from = kSystem32 + "\\uxtheme.dll"},
    {.behaviour = "a known dll is never searched for",
     .planted = {kExeFolder + "\\shell32.dll"},
     .name = "shell32.dll",
     .from = kSystem32 + "\\shell32.dll"},
    {.behaviour = "version is a known dll on xp",
     .windows = V::Xp,
     .planted = {kExeFolder + "\\version.dll"},
     .name = "version.dll",
     .from = kSystem32 + "\\version.dll"},
    {.behaviour = "version is searched for on seven",
     .planted = {kExeFolder + "\\version.dll"},
     .name = "version.dll",
     .from = kExeFolder + "\\version.dll",
     .foreign = true},
    {.behaviour = "comctl32 by name is common controls 6 on xp",
     .windows = V::Xp,
     .planted = {kExeFolder + "\\comctl32.dll"},
     .name = "comctl32.dll",
     .from = kSxS},
    {.behaviour = "comctl32 by name is searched for on 9x",
     .windows = V::Nine,
     .planted = {kExeFolder + "\\comctl32.dll"},
     .name = "comctl32.dll",
     .from = kExeFolder + "\\comctl32.dll",
     .foreign = true},
    {.behaviour = "xp searches the current folder before the system folder",
     .windows = V::Xp,
     .planted = {kWork + "\\uxtheme.dll"},
     .name = "uxtheme.dll",
     .from = kWork + "\\uxtheme.dll",
     .foreign = true},
    {.behaviour = "seven searches the current folder after the system folder",
     .planted = {kWork + "\\uxtheme.dll"},
     .name = "uxtheme.dll",
     .from = kSystem32 + "\\uxtheme.dll"},
    {.behaviour = "seven finds in the current folder what the system lacks",
     .planted = {kWork + "\\helper.dll"},
     .name = "helper.dll",
     .from = kWork + "\\helper.dll",
     .foreign = true},
    {.behaviour = "a name found nowhere fails", .name = "nosuch.dll"},
    {.behaviour = "a folder of that name is no dll",
     .planted = {kExeFolder + "\\dwmapi.dll\\x"},
     .name = "dwmapi.dll",
     .from = kSystem32 + "\\dwmapi.dll"},
};

class Load : public testing::TestWithParam<LoadCase> {};

TEST_P(Load, FindsTheDllWindowsWouldMap) {
  const LoadCase& c = GetParam();
  emu::Session session = test::NewSession();
  session.scenario.windows = c.windows;
  for (const auto& path : c.planted) session.machine.files.CreateFile(path, {'M', 'Z'});
  session.machine.files.CreateFolder(kWork);
  emu::ActiveProcess process(session, kWork);
  if (c.systemFolderOnly) UseSystemFolderOnly();
  for (const auto& name : c.first) ASSERT_NE(LoadLibraryA(name.c_str()), nullptr) << name;

  HMODULE module = LoadLibraryA(c.name.c_str());

  if (c.from.empty()) {
    EXPECT_EQ(module, nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_MOD_NOT_FOUND});
    return;
  }
  ASSERT_NE(module, nullptr) << "error " << GetLastError();
  EXPECT_EQ(LoadedFrom(session, process.process().id, module), c.from);
  EXPECT_EQ(ForeignLoads(session),
            c.foreign ? std::vector<std::string>{c.from} : std::vector<std::string>{});
  EXPECT_LT(reinterpret_cast<std::uintptr_t>(module), std::uintptr_t{0x80000000})
      << "a handle a 32-bit program can hold";
}

INSTANTIATE_TEST_SUITE_P(Cases, Load, testing::ValuesIn(kLoadCases), test::ByBehaviour);

TEST(LoadCounts, EachLoadIsGivenBackByOneFreeLibrary) {
  emu::Session session = test::NewSession();
  emu::ActiveProcess process(session);
  const std::string shell32 = kSystem32 + "\\shell32.dll";
  HMODULE first = LoadLibraryA(shell32.c_str());
  HMODULE second = LoadLibraryA("SHELL32");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(second, first) << "the bare name finds the module loaded by path";
  EXPECT_NE(GetProcAddress(first, "SHChangeNotify"), nullptr);
  EXPECT_EQ(process.process().shell32Loads, 2);
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_NE(GetProcAddress(first, "SHChangeNotify"), nullptr) << "one load is left";
  EXPECT_EQ(process.process().shell32Loads, 1);
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(GetProcAddress(first, "SHChangeNotify"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_MOD_NOT_FOUND}) << "the module is gone";
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
  EXPECT_TRUE(emu::LoadedModules(session, process.process().id).empty());
}

TEST(LoadCounts, DifferentDllsGetDifferentHandlesAndKernel32ItsOwn) {
  emu::Session session = test::NewSession();
  session.machine.files.CreateFile(kExeFolder + "\\one.dll");
  session.machine.files.CreateFile(kExeFolder + "\\two.dll");
  emu::ActiveProcess process(session);
  std::vector<HMODULE> handles;
  for (const char* name : {"uxtheme.dll", "dwmapi.dll", "comctl32.dll", "one.dll", "two.dll",
                           "C:\\WINDOWS\\system32\\comctl32.dll", "kernel32.dll"}) {
    handles.push_back(LoadLibraryA(name));
    ASSERT_NE(handles.back(), nullptr) << name;
    for (std::size_t i = 0; i + 1 < handles.size(); ++i) EXPECT_NE(handles[i], handles.back());
  }
  EXPECT_EQ(handles.back(), GetModuleHandleA("KERNEL32")) << "kernel32's handle is its base";
  EXPECT_NE(GetProcAddress(handles.back(), "SetDefaultDllDirectories"), nullptr);
  EXPECT_EQ(GetProcAddress(handles[0], "SHChangeNotify"), nullptr);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_PROC_NOT_FOUND}) << "a loaded module without it";
}

// A DLL's own imports come by the search order, even when the DLL itself comes by full path.
struct ImportCase {
  const char* behaviour;
  V windows = V::Seven;
  std::vector<std::string> first = {};  // loaded before userenv
  std::vector<std::string> foreign = {};
  std::vector<std::string> loaded = {};
};

const ImportCase kImportCases[] = {
    {.behaviour = "userenv maps a planted profapi on seven",
     .foreign = {kExeFolder + "\\profapi.dll"},
     .loaded = {"USERENV.DLL", "PROFAPI.DLL"}},
    {.behaviour = "profapi loaded first is found loaded",
     .first = {kSystem32 + "\\profapi.dll"},
     .loaded = {"PROFAPI.DLL", "USERENV.DLL"}},
    {.behaviour = "xp has no profapi to import", .windows = V::Xp, .loaded = {"USERENV.DLL"}},
};

class Imports : public testing::TestWithParam<ImportCase> {};

TEST_P(Imports, AreFoundByTheSearchOrder) {
  const ImportCase& c = GetParam();
  emu::Session session = test::NewSession();
  session.scenario.windows = c.windows;
  session.machine.files.CreateFile(kExeFolder + "\\profapi.dll", {'M', 'Z'});
  emu::ActiveProcess process(session);
  for (const auto& name : c.first) ASSERT_NE(LoadLibraryA(name.c_str()), nullptr) << name;

  ASSERT_NE(LoadLibraryA((kSystem32 + "\\userenv.dll").c_str()), nullptr);

  EXPECT_EQ(ForeignLoads(session), c.foreign);
  std::vector<std::string> loaded;
  for (const auto& module : emu::LoadedModules(session, process.process().id)) {
    loaded.push_back(module.baseName);
  }
  EXPECT_EQ(loaded, c.loaded);
}

INSTANTIATE_TEST_SUITE_P(Cases, Imports, testing::ValuesIn(kImportCases), test::ByBehaviour);

// The system's own loads by bare name, on the Windows that make them.
enum class Trigger { MessageBox, CreateProcess, Registry };

struct SystemLoadCase {
  const char* behaviour;
  V windows = V::Seven;
  Trigger trigger = Trigger::MessageBox;
  std::vector<std::string> planted = {};  // in the program's folder
  std::vector<std::string> first = {};    // loaded by the program before
  bool systemFolderOnly = false;
  std::vector<std::string> foreign = {};  // what is mapped from the program's folder
  std::vector<std::string> loaded = {};   // what the process has loaded afterwards (base names)
};

const std::vector<std::string> kThemePlants = {kExeFolder + "\\uxtheme.dll",
                                               kExeFolder + "\\dwmapi.dll"};
const std::vector<std::string> kStartPlants = {kExeFolder + "\\apphelp.dll",
                                               kExeFolder + "\\version.dll"};

const SystemLoadCase kSystemLoadCases[] = {
    {.behaviour = "a box on seven maps a planted theme engine and dwmapi",
     .planted = kThemePlants,
     .foreign = kThemePlants,
     .loaded = {"UXTHEME.DLL", "DWMAPI.DLL"}},
    {.behaviour = "preloaded from the system folder they are found loaded",
     .planted = kThemePlants,
     .first = {kSystem32 + "\\uxtheme.dll", kSystem32 + "\\dwmapi.dll"},
     .loaded = {"UXTHEME.DLL", "DWMAPI.DLL"}},
    {.behaviour = "set default dll directories keeps the box to the system folder",
     .windows = V::Nt,
     .planted = kThemePlants,
     .systemFolderOnly = true,
     .loaded = {"UXTHEME.DLL", "DWMAPI.DLL"}},
    {.behaviour = "a box on xp loads no dwmapi",
     .windows = V::Xp,
     .planted = kThemePlants,
     .first = {"comctl32.dll"},
     .foreign = {kExeFolder + "\\uxtheme.dll"},
     .loaded = {"COMCTL32.DLL", "UXTHEME.DLL"}},
    {.behaviour = "a box on 9x loads nothing", .windows = V::Nine, .planted = kThemePlants},
    {.behaviour = "a process start on seven maps apphelp and version",
     .trigger = Trigger::CreateProcess,
     .planted = kStartPlants,
     .foreign = kStartPlants,
     .loaded = {"APPHELP.DLL", "VERSION.DLL"}},
    {.behaviour = "a process start on xp takes version from the known dlls",
     .windows = V::Xp,
     .trigger = Trigger::CreateProcess,
     .planted = kStartPlants,
     .foreign = {kExeFolder + "\\apphelp.dll"},
     .loaded = {"APPHELP.DLL", "VERSION.DLL"}},
    {.behaviour = "preloaded apphelp and version are found loaded",
     .trigger = Trigger::CreateProcess,
     .planted = kStartPlants,
     .first = {kSystem32 + "\\apphelp.dll", kSystem32 + "\\version.dll"},
     .loaded = {"APPHELP.DLL", "VERSION.DLL"}},
    {.behaviour = "the first registry call on seven maps cryptbase",
     .trigger = Trigger::Registry,
     .planted = {kExeFolder + "\\cryptbase.dll"},
     .foreign = {kExeFolder + "\\cryptbase.dll"},
     .loaded = {"CRYPTBASE.DLL"}},
    {.behaviour = "the registry loads nothing by name on nt",
     .windows = V::Nt,
     .trigger = Trigger::Registry,
     .planted = {kExeFolder + "\\cryptbase.dll"}},
};

void Pull(Trigger trigger) {
  switch (trigger) {
    case Trigger::MessageBox:
      for (int i = 0; i < 2; ++i) EXPECT_NE(MessageBoxA(NULL, "text", "caption", MB_OK), 0);
      break;
    case Trigger::CreateProcess:
      for (int i = 0; i < 2; ++i) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION started;
        std::string line = "\"C:\\WINDOWS\\NOTEPAD.EXE\"";
        ASSERT_TRUE(CreateProcessA("C:\\WINDOWS\\NOTEPAD.EXE", line.data(), NULL, NULL, FALSE, 0,
                                   NULL, NULL, &startup, &started));
        CloseHandle(started.hProcess);
        CloseHandle(started.hThread);
      }
      break;
    case Trigger::Registry:
      for (int i = 0; i < 2; ++i) {
        HKEY key = NULL;
        EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software", &key), ERROR_SUCCESS);
        RegCloseKey(key);
      }
      break;
  }
}

class SystemLoads : public testing::TestWithParam<SystemLoadCase> {};

TEST_P(SystemLoads, AreSearchedForAsTheProgramsOwnLoadsAre) {
  const SystemLoadCase& c = GetParam();
  emu::Session session = test::NewSession();
  session.scenario.windows = c.windows;
  for (const auto& path : c.planted) session.machine.files.CreateFile(path, {'M', 'Z'});
  session.machine.files.CreateFile("C:\\WINDOWS\\NOTEPAD.EXE");
  session.machine.registry.CreateKey(emu::Root::LocalMachine, "Software");
  emu::ActiveProcess process(session);
  if (c.systemFolderOnly) UseSystemFolderOnly();
  for (const auto& name : c.first) ASSERT_NE(LoadLibraryA(name.c_str()), nullptr) << name;

  Pull(c.trigger);  // twice: each load is made once a process

  EXPECT_EQ(ForeignLoads(session), c.foreign);
  std::vector<std::string> loaded;
  for (const auto& module : emu::LoadedModules(session, process.process().id)) {
    loaded.push_back(module.baseName);
    EXPECT_EQ(module.loads,
              1 + static_cast<int>(std::count(c.first.begin(), c.first.end(), module.path)))
        << module.path << ": the system's load counts once";
  }
  EXPECT_EQ(loaded, c.loaded);
}

INSTANTIATE_TEST_SUITE_P(Cases, SystemLoads, testing::ValuesIn(kSystemLoadCases),
                         test::ByBehaviour);

TEST(SystemLoadTable, NamesOnlyDllsTheSystemFolderHoldsWhereTheLoadIsMade) {
  for (const emu::SystemLoad& load : emu::SystemLoadsByName()) {
    for (V version : {V::Nt, V::Seven, V::Xp, V::Nine}) {
      if (load.versions & emu::VersionBit(version)) {
        EXPECT_TRUE(emu::SystemDllExists(version, load.dll))
            << load.dll << " on version " << static_cast<int>(version);
      }
    }
  }
}

// XP before SP2 shows a box only with common controls 6, which a load by bare name gives.
struct BoxCase {
  const char* behaviour;
  V windows = V::Xp;
  std::vector<std::string> loads = {};  // LoadLibraryA before the box
  bool freeThem = false;                // and FreeLibrary of each
  bool shown = true;
};

const BoxCase kBoxCases[] = {
    {.behaviour = "xp shows nothing without comctl32", .shown = false},
    {.behaviour = "xp shows the box once comctl32 is loaded by name", .loads = {"comctl32.dll"}},
    {.behaviour = "any letter case and no extension count", .loads = {"CoMcTl32"}},
    {.behaviour = "a full path loads version 5 which does not help",
     .loads = {"C:\\WINDOWS\\system32\\comctl32.dll"},
     .shown = false},
    {.behaviour = "freed comctl32 takes its classes with it",
     .loads = {"comctl32.dll"},
     .freeThem = true,
     .shown = false},
    {.behaviour = "seven needs no comctl32", .windows = V::Seven},
    {.behaviour = "nt needs no comctl32", .windows = V::Nt},
    {.behaviour = "9x needs no comctl32", .windows = V::Nine},
};

class XpBoxes : public testing::TestWithParam<BoxCase> {};

TEST_P(XpBoxes, ShowOnlyWithCommonControls6) {
  const BoxCase& c = GetParam();
  emu::Session session = test::NewSession();
  session.scenario.windows = c.windows;
  session.scenario.answers = {emu::Answer::Second};
  emu::ActiveProcess process(session);
  for (const auto& name : c.loads) {
    HMODULE module = LoadLibraryA(name.c_str());
    ASSERT_NE(module, nullptr) << name;
    if (c.freeThem) {
      EXPECT_TRUE(FreeLibrary(module));
    }
  }
  SetLastError(0);

  const int answer = MessageBoxA(NULL, "Remove?", "Orbelle", MB_YESNO);

  std::size_t messages = 0;
  for (const auto& event : session.record.events) {
    messages += event.kind == emu::Event::Kind::Message ? 1 : 0;
  }
  if (c.shown) {
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(messages, 1u);
    EXPECT_EQ(session.record.answersUsed, 1u);
    return;
  }
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_CANNOT_FIND_WND_CLASS});
  EXPECT_EQ(messages, 0u);
  EXPECT_EQ(session.record.answersUsed, 0u) << "no answer is used up";
  EXPECT_NE(session.record.trace.back().text.find("no box shown"), std::string::npos)
      << session.record.trace.back().text;
}

INSTANTIATE_TEST_SUITE_P(Cases, XpBoxes, testing::ValuesIn(kBoxCases), test::ByBehaviour);

}  // namespace
