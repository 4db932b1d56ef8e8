#include "loader.h"

#include <algorithm>

#include "handles.h"
#include "kernel_state.h"
#include "paths.h"
#include "state.h"
#include "system_dlls.h"
#include "trace_format.h"

namespace emu {
namespace {

// What each Windows keeps in its system folder, as far as programs of this kind meet it. The
// theme engine came with XP; the desktop window manager's dwmapi and propsys with Vista;
// cryptbase, profapi and sspicli (split out of advapi32, userenv and secur32) with 7. Windows
// 95/98/ME have the classic few (98 brings shlwapi with its Internet Explorer).
// 7 moved the profile functions of userenv into profapi, which userenv imports.
// KnownDLLs (HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs) are mapped from
// the system folder whatever the search order says. XP lists version.dll there, Vista and 7 no
// longer do; 7 added imm32, msctf, setupapi, clbcatq, shlwapi and msvcrt. comctl32 is never
// one: side-by-side assemblies must be able to redirect it. On 95/98/ME kernel32, user32, gdi32
// and advapi32 are in every process from its start, so a load by name finds them the same way.
constexpr unsigned kSevenOn = kOnSeven | kOnNt;
constexpr SystemDll kSystemDlls[] = {
    {"kernel32.dll", kOnAll, kOnAll},
    {"user32.dll", kOnAll, kOnAll},
    {"gdi32.dll", kOnAll, kOnAll},
    {"advapi32.dll", kOnAll, kOnAll},
    {"ntdll.dll", kOnNtLine, kOnNtLine},
    {"shell32.dll", kOnAll, kOnNtLine},
    {"comctl32.dll", kOnAll, 0},
    {"comdlg32.dll", kOnAll, kOnNtLine},
    {"ole32.dll", kOnAll, kOnNtLine},
    {"oleaut32.dll", kOnAll, kOnNtLine},
    {"rpcrt4.dll", kOnAll, kOnNtLine},
    {"version.dll", kOnAll, kOnXp},
    {"shlwapi.dll", kOnAll, kSevenOn},
    {"msvcrt.dll", kOnAll, kSevenOn},
    {"imm32.dll", kOnAll, kSevenOn},
    {"setupapi.dll", kOnAll, kSevenOn},
    {"clbcatq.dll", kOnNtLine, kSevenOn},
    {"msctf.dll", kOnNtLine, kSevenOn},
    {"uxtheme.dll", kOnNtLine, 0},
    {"apphelp.dll", kOnNtLine, 0},
    {"userenv.dll", kOnNtLine, 0, "profapi.dll"},
    {"ntmarta.dll", kOnNtLine, 0},
    {"secur32.dll", kOnNtLine, 0},
    {"oleacc.dll", kOnNtLine, 0},
    {"dwmapi.dll", kSevenOn, 0},
    {"propsys.dll", kSevenOn, 0},
    {"cryptbase.dll", kSevenOn, 0},
    {"cryptsp.dll", kSevenOn, 0},
    {"profapi.dll", kSevenOn, 0},
    {"sspicli.dll", kSevenOn, 0},
};

// The system's own loads by bare name after a program has started, each the way Windows makes
// it. Loads at process start, before the program's first instruction, are left out: no
// program can order those.
constexpr SystemLoad kSystemLoads[] = {
    // user32 loads the theme engine by name for the process's first themed window (XP on, the
    // themes service running), which a message box is.
    {"MessageBoxA", "user32", "uxtheme.dll", kOnNtLine},
    // From Vista on the theme engine asks the desktop window manager whether composition is on
    // before it draws a frame: dwmapi.dll, by name.
    {"MessageBoxA", "uxtheme", "dwmapi.dll", kSevenOn},
    // CreateProcessA asks the application compatibility engine about the new image before it
    // starts (kernel32's check for bad applications loads apphelp.dll by name) ...
    {"CreateProcessA", "kernel32", "apphelp.dll", kOnNtLine},
    // ... which reads the image's version resource through version.dll, an import of its own,
    // found by the same search (a KnownDLL on XP only).
    {"CreateProcessA", "apphelp", "version.dll", kOnNtLine},
    // 7's advapi32 moved its base cryptography to cryptbase.dll and binds it on demand, by
    // name, the first time the program calls into it beyond start-up: its first registry call.
    {"registry", "advapi32", "cryptbase.dll", kOnSeven},
};

const SystemDll* FindSystemDll(std::string_view fileName) {
  for (const SystemDll& dll : kSystemDlls) {
    if (SameName(dll.name, fileName)) return &dll;
  }
  return nullptr;
}

}  // namespace

std::span<const SystemDll> SystemDlls() {
  return kSystemDlls;
}

bool SystemDllExists(WindowsVersion version, std::string_view fileName) {
  const SystemDll* dll = FindSystemDll(fileName);
  return dll && (dll->present & VersionBit(version));
}

bool IsKnownDll(WindowsVersion version, std::string_view fileName) {
  const SystemDll* dll = FindSystemDll(fileName);
  return dll && (dll->known & VersionBit(version));
}

std::span<const SystemLoad> SystemLoadsByName() {
  return kSystemLoads;
}

const std::vector<LoadedModule>& LoadedModules(const Session& session, int process) {
  static const std::vector<LoadedModule> kNone;
  const auto& modules = Kernel(session).modules;
  auto found = modules.find(process);
  return found == modules.end() ? kNone : found->second;
}

namespace detail {
namespace {

// The common controls 6 that the manifest's activation context maps comctl32.dll to.
std::string SideBySideComctl32(const Session& session) {
  return session.scenario.windowsFolder +
         "\\WinSxS\\x86_Microsoft.Windows.Common-Controls_6595b64144ccf1df_6.0.0.0_x-ww_1382d70a"
         "\\comctl32.dll";
}
constexpr std::uintptr_t kCommonControls6Base = 0x773D0000;
constexpr std::uintptr_t kSystemDllBase = 0x70000000;  // + 1 MiB a row of the table
constexpr std::uintptr_t kForeignBase = 0x10000000;    // + 64 KiB a foreign module

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos) return "";
  return slash == 2 ? path.substr(0, 3) : path.substr(0, slash);
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

std::uintptr_t SystemHandle(std::string_view fileName) {
  if (SameName(fileName, "kernel32.dll")) return reinterpret_cast<std::uintptr_t>(Kernel32Module());
  if (SameName(fileName, "shell32.dll")) return reinterpret_cast<std::uintptr_t>(Shell32Module());
  const auto dlls = SystemDlls();
  for (std::size_t i = 0; i < dlls.size(); ++i) {
    if (SameName(dlls[i].name, fileName)) return kSystemDllBase + i * 0x100000;
  }
  return kSystemDllBase;
}

// LoadLibraryA adds ".dll" to a name without an extension; a trailing dot stands for none.
std::string WithDefaultExtension(std::string_view name) {
  std::string file(name);
  const std::size_t slash = file.find_last_of("\\/");
  const std::string_view last =
      std::string_view(file).substr(slash == std::string::npos ? 0 : slash + 1);
  if (last.find('.') == std::string_view::npos) {
    file += ".dll";
  } else if (!last.empty() && last.back() == '.') {
    file.pop_back();
  }
  return file;
}

// A file (links followed) of the machine's drives, which a load outside the system folder maps.
bool FileOnDrive(Session& session, const std::string& path) {
  auto parts = ParseAbsolute(path);
  if (!parts) return false;
  Location at = FollowLink(session.machine.files, LocateParts(session.machine.files, *parts));
  return !at.error && at.node && !at.node->directory;
}

void CountShell32(Session& session, int process, const LoadedModule& module, int loads) {
  if (module.foreign || module.baseName != "SHELL32.DLL") return;
  Kernel(session).processes[static_cast<std::size_t>(process) - 1].shell32Loads += loads;
}

LoadOutcome Map(Session& session, int process, const std::string& path, bool foreign) {
  auto& modules = Kernel(session).modules[process];
  for (LoadedModule& module : modules) {
    if (SameName(module.path, path)) {
      ++module.loads;
      CountShell32(session, process, module, 1);
      return {0, module.handle, false};
    }
  }
  LoadedModule module;
  module.path = path;
  module.baseName = UpperName(path.substr(path.find_last_of('\\') + 1));
  module.loads = 1;
  module.foreign = foreign;
  if (foreign) {
    module.handle =
        kForeignBase + 0x10000 * static_cast<std::uintptr_t>(++Kernel(session).foreignModules);
    Event event = NewEvent(Event::Kind::ForeignDll, process);
    event.path = path;
    session.record.events.push_back(std::move(event));
  } else if (SameName(path, SideBySideComctl32(session))) {
    module.handle = kCommonControls6Base;
  } else {
    module.handle = SystemHandle(module.baseName);
  }
  modules.push_back(module);
  CountShell32(session, process, module, 1);
  // The loader maps a DLL's imports with it, each found as a bare name is: a DLL loaded by its
  // full path still finds its own imports by the search order (LoadLibraryA does not alter it).
  const SystemDll* dll = foreign ? nullptr : FindSystemDll(module.baseName);
  if (dll && dll->import && SystemDllExists(session.scenario.windows, dll->import)) {
    LoadModule(session, process, dll->import);
  }
  return {0, module.handle, true};
}

// Where a bare name is looked for, in order. SetDefaultDllDirectories replaces the whole order
// with the folders its flags name. Otherwise: the program's folder, then (with the safe search
// mode off, the default before XP SP2 and on Windows 95/98/ME) the current folder, the system
// folder and the Windows folder; with it on (7 and later), the current folder comes last. The
// 16-bit system folder and PATH are not modelled.
std::vector<std::string> SearchOrder(const Session& session, const Process& process) {
  const std::string exeFolder = FolderOf(process.modulePath);
  const std::string system = SystemFolder(session);
  if (process.defaultDllDirectories != 0) {
    std::vector<std::string> folders;
    const std::uint32_t flags = process.defaultDllDirectories;
    if (flags & (LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS)) {
      folders.push_back(exeFolder);
    }
    if (flags & (LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS)) {
      folders.push_back(system);
    }
    return folders;
  }
  const WindowsVersion version = session.scenario.windows;
  if (version == WindowsVersion::Xp || version == WindowsVersion::Nine) {
    return {exeFolder, process.currentDir, system, session.scenario.windowsFolder};
  }
  return {exeFolder, system, session.scenario.windowsFolder, process.currentDir};
}

}  // namespace

std::string SystemFolder(const Session& session) {
  return session.scenario.windowsFolder +
         (IsWindows9x(session.scenario) ? "\\SYSTEM" : "\\system32");
}

LoadOutcome LoadModule(Session& session, int process, std::string_view name) {
  const WindowsVersion version = session.scenario.windows;
  const std::string system = SystemFolder(session);
  const std::string file = WithDefaultExtension(name);
  if (name.empty()) return {ERROR_MOD_NOT_FOUND};

  // A path: that file and no other; the loader finds a module loaded from the same path.
  if (file.find_first_of("\\/:") != std::string::npos) {
    const std::string full = CanonicalPath(file);
    if (full.empty()) return {ERROR_MOD_NOT_FOUND};
    const std::string fileName = full.substr(full.find_last_of('\\') + 1);
    if (!SameName(FolderOf(full), system) || !SystemDllExists(version, fileName)) {
      return {ERROR_MOD_NOT_FOUND};
    }
    return Map(session, process, full, false);
  }

  // The manifest's activation context (the NT line reads manifests) redirects comctl32.dll to
  // common controls 6 before anything else is looked at.
  if (SameName(file, "comctl32.dll") && !IsWindows9x(session.scenario)) {
    return Map(session, process, SideBySideComctl32(session), false);
  }
  // A module of that base name already loaded is the one, wherever it came from.
  for (const LoadedModule& module : LoadedModules(session, process)) {
    if (SameName(module.baseName, file)) return Map(session, process, module.path, false);
  }
  if (IsKnownDll(version, file)) return Map(session, process, Join(system, file), false);
  const Process& loading = Kernel(session).processes[static_cast<std::size_t>(process) - 1];
  for (const std::string& folder : SearchOrder(session, loading)) {
    if (folder.empty()) continue;
    if (SameName(folder, system)) {
      if (SystemDllExists(version, file)) return Map(session, process, Join(system, file), false);
      continue;
    }
    const std::string candidate = CanonicalPath(Join(folder, file));
    if (!candidate.empty() && FileOnDrive(session, candidate)) {
      return Map(session, process, candidate, true);
    }
  }
  return {ERROR_MOD_NOT_FOUND};
}

const LoadedModule* FindModule(const Session& session, int process, HMODULE handle) {
  for (const LoadedModule& module : LoadedModules(session, process)) {
    if (module.handle == reinterpret_cast<std::uintptr_t>(handle)) return &module;
  }
  return nullptr;
}

bool FreeModule(Session& session, int process, HMODULE handle) {
  auto& modules = Kernel(session).modules[process];
  auto found = std::ranges::find_if(modules, [&](const LoadedModule& module) {
    return module.handle == reinterpret_cast<std::uintptr_t>(handle);
  });
  if (found == modules.end()) return false;
  CountShell32(session, process, *found, -1);
  if (--found->loads == 0) modules.erase(found);
  return true;
}

std::string ModuleName(const Session& session, const LoadedModule& module) {
  std::string name = module.baseName.substr(0, module.baseName.rfind('.'));
  if (module.foreign) return name + " from " + module.path;
  if (SameName(module.path, SideBySideComctl32(session))) return name + " (common controls 6)";
  return name;
}

void MakeSystemLoads(std::string_view trigger) {
  Session& session = CurrentSession();
  const int process = CurrentProcess().id;
  const unsigned bit = VersionBit(session.scenario.windows);
  for (const SystemLoad& load : SystemLoadsByName()) {
    if (trigger != load.trigger || !(load.versions & bit)) continue;
    if (!Kernel(session).systemLoadsMade[process].insert(load.dll).second) continue;
    const LoadOutcome outcome = LoadModule(session, process, load.dll);
    std::string found = "not found";
    if (const LoadedModule* module =
            FindModule(session, process, reinterpret_cast<HMODULE>(outcome.handle))) {
      found = (outcome.fresh ? "" : "already loaded from ") + module->path;
    }
    Trace("(" + std::string(load.loader) + " loads " + Quote(load.dll) + ": " + found + ")");
  }
}

bool HasCommonControls6(const Session& session, int process) {
  return std::ranges::any_of(LoadedModules(session, process), [&](const LoadedModule& module) {
    return SameName(module.path, SideBySideComctl32(session));
  });
}

}  // namespace detail
}  // namespace emu
