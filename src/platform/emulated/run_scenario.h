// How a run on a machine goes: where the launcher starts, the temporary folder, the user's
// answers, the faults and races injected, and which Windows the machine is.
#pragma once

#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
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
// An operation whose calls show in the trace (the failable ones among them), which a race may
// follow, spelled as Win32 does; "" for a name (compared case-insensitively) that is none.
std::string CanonicalTracedOperation(std::string_view name);

// Another program acting between two calls of the product: right after the Nth call (1-based,
// counted over the whole run) of `operation` returns, `action` is tried on `path`.
struct Race {
  enum class Action { Replace, Delete, Link, Rename };
  std::string operation;  // as it shows in the trace: "CopyFileA"
  long call = 1;
  Action action = Action::Delete;
  std::string path;      // what is acted on (a link itself, not its target)
  std::string argument;  // replace: the file whose bytes go there; link: the target;
                         // rename: the new full path
};
const char* ActionName(Race::Action action);  // "replace", "delete", "link", "rename"

inline constexpr const char* kDefaultTemp = "C:\\WINDOWS\\TEMP\\";

struct Scenario {
  std::string exePath;                  // the launcher's own path: the image says where
  std::string tempPath = kDefaultTemp;  // what GetTempPathA reports
  std::vector<Answer> answers;
  Faults faults;
  std::vector<Race> races;

  // false models a Windows without SetDefaultDllDirectories (before the KB2533623 update):
  // GetProcAddress then returns NULL for it.
  bool offersSetDefaultDllDirectories = true;
  // Windows 95/98/ME where the product can tell: no MoveFileExA (ERROR_CALL_NOT_IMPLEMENTED), no
  // SetDefaultDllDirectories, and NUL= lines of [rename] in WININIT.INI of the Windows folder
  // carry deletions at restart.
  bool windows9x = false;
  std::string windowsFolder = "C:\\WINDOWS";  // GetWindowsDirectoryA, without a backslash
};

}  // namespace emu
