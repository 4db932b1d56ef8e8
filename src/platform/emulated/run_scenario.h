// How a run on a machine goes: where the launcher starts, the temporary folder, the user's
// answers, the faults and races injected, and which Windows the machine is.
#pragma once

#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace emu {

enum class Answer { First, Second };  // yes/ok press the first button, no/cancel the second

struct Lock {
  bool always = false;
  int failures = 0;  // deletions that still fail
};

struct Faults {
  std::map<std::string, Lock> locked;       // keyed by UpperName(full path)
  std::set<std::string> failingOperations;  // e.g. "CopyFileA": fails on every call
  int imageRelease = 0;  // failed deletions of the launcher's file after it has ended
  // Fault sweeps: the Nth (1-based) call of an operation whose failure the caller checks
  // fails; 0 turns this off. The kernel counts those calls as the run goes (CheckedCallCount).
  long failCallNumber = 0;
  // What GetModuleFileNameA reports for a process started from a file, keyed by
  // UpperName(its full path): Windows 9x may give a program its upper-case short name.
  std::map<std::string, std::string> modulePathAs;
};

// The operations that Faults::failingOperations may name (exact Win32 spelling), so the image
// reader can reject an unknown name. The fault sweep counts the same list minus RegCloseKey,
// whose result nobody checks.
std::span<const char* const> FailableOperations();
bool IsFailableOperation(std::string_view name);
// The Win32 spelling of a failable operation named in any case; "" for none.
std::string CanonicalFailableOperation(std::string_view name);
// An operation whose calls show in the trace (the failable ones among them), which a race may
// follow, spelled as Win32 does; "" for a name (compared case-insensitively) that is none.
std::string CanonicalTracedOperation(std::string_view name);

// Another program acting between two calls of the product: right after the Nth call (1-based,
// counted over the whole run) of `operation` returns, `action` is tried on `path`.
// Hold: a virus scanner opens the file at `path` (links followed) without sharing and keeps it
// open while the product makes its next holdCalls calls (traced calls of any operation, Sleep
// included), or for the rest of the run.
struct Race {
  enum class Action { Replace, Delete, Link, Rename, Hold };
  std::string operation;  // as it shows in the trace: "CopyFileA"
  long call = 1;
  Action action = Action::Delete;
  std::string path;           // what is acted on (a link itself, not its target)
  std::string argument = {};  // replace: the file whose bytes go there; link: the target;
                              // rename: the new full path
  long holdCalls = 0;         // hold: calls it lasts
  bool holdAlways = false;
};
// "replace", "delete", "link", "rename", "hold"
const char* ActionName(Race::Action action);
// hold's K as scenario.ini spells it: "3", "always".
std::string HoldLength(const Race& race);

// Which Windows the machine is, where the product can tell:
// - Nt: Windows 10 version 1903 or later: SetDefaultDllDirectories exists, and a program whose
//   manifest declares the UTF-8 active code page gets UTF-8 from every "A" call.
// - Seven: Vista, or 7 without the KB2533623 update: no SetDefaultDllDirectories, and the
//   manifest's code page is ignored (it arrived with Windows 10 version 1903).
// - Xp: XP before SP2: as Seven; besides, user32 does not load comctl32 on demand, so a program
//   whose manifest asks for common controls 6 gets no message box until it loads comctl32.dll
//   by name itself.
// - Nine: Windows 95/98/ME: no MoveFileExA (ERROR_CALL_NOT_IMPLEMENTED), no
//   SetDefaultDllDirectories, and NUL= lines of [rename] in WININIT.INI of the Windows folder
//   carry deletions at restart.
enum class WindowsVersion { Nt, Seven, Xp, Nine };
// As scenario.ini's windows= spells them.
inline constexpr std::pair<const char*, WindowsVersion> kWindowsNames[] = {
    {"nt", WindowsVersion::Nt},
    {"7", WindowsVersion::Seven},
    {"xp", WindowsVersion::Xp},
    {"9x", WindowsVersion::Nine},
};
inline const char* WindowsName(WindowsVersion version) {
  for (const auto& [name, each] : kWindowsNames) {
    if (each == version) return name;
  }
  return "?";
}

inline constexpr const char* kDefaultTemp = "C:\\WINDOWS\\TEMP\\";

struct Scenario {
  std::string exePath;                  // the launcher's own path: the image says where
  std::string tempPath = kDefaultTemp;  // what GetTempPathA reports
  std::vector<Answer> answers;
  Faults faults;
  std::vector<Race> races;

  WindowsVersion windows = WindowsVersion::Nt;
  // The system's ANSI code page (1252 or 1251): what every "A" call converts names and texts
  // through, unless the program runs with the UTF-8 code page its manifest declares.
  unsigned codePage = 1252;
  std::string windowsFolder = "C:\\WINDOWS";  // GetWindowsDirectoryA, without a backslash
};

inline bool IsWindows9x(const Scenario& s) {
  return s.windows == WindowsVersion::Nine;
}
inline bool OffersSetDefaultDllDirectories(const Scenario& s) {
  return s.windows == WindowsVersion::Nt;
}
inline bool HonoursActiveCodePage(const Scenario& s) {
  return s.windows == WindowsVersion::Nt;
}
inline bool BoxesNeedComctl32(const Scenario& s) {
  return s.windows == WindowsVersion::Xp;
}

}  // namespace emu
