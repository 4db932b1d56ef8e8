// The in-memory Windows PC that the emulated API acts on: registry, drives, the run's
// scenario and faults, and what a run leaves behind (events, trace, pending deletions).
// Host code only; text is kept as the program sees it through the "A" API, Windows-1252 bytes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace emu {

using Bytes = std::vector<std::uint8_t>;

// Windows compares file and key names through its upper-case table; modelled for ASCII and
// the letters of Windows-1252, which is all an ANSI program can spell.
std::string UpperName(std::string_view name);
bool SameName(std::string_view a, std::string_view b);

// ---------------------------------------------------------------- registry
struct RegValue {
  std::string name;  // "" is the key's default value
  std::uint32_t type = 1;  // REG_SZ
  Bytes data;  // strings as ANSI bytes with their terminator, as RegQueryValueExA returns them
};

struct RegKey {
  std::string name;  // case kept
  std::vector<RegValue> values;  // in the order they were set
  // Keyed by UpperName(name): iteration order is RegEnumKeyA order (upper-cased bytes, unsigned).
  std::map<std::string, std::unique_ptr<RegKey>> subkeys;
  bool denied = false;  // RegDeleteKeyA on this key fails with ERROR_ACCESS_DENIED

  RegKey* Find(std::string_view childName);
  RegKey& Create(std::string_view childName);  // returns the existing child when present
  bool Remove(std::string_view childName);
  const RegValue* FindValue(std::string_view valueName) const;
  void SetValue(std::string_view valueName, std::uint32_t type, Bytes data);
  void SetString(std::string_view valueName, std::string_view ansiText);  // REG_SZ with NUL
};

enum class Root { LocalMachine, CurrentUser, ClassesRoot };  // the order of an outcome dump
const char* RootName(Root root);  // "HKEY_LOCAL_MACHINE", ...
std::optional<Root> ParseRootName(std::string_view name);  // full names and HKLM/HKCU/HKCR

struct Registry {
  RegKey localMachine, currentUser, classesRoot;

  RegKey& RootKey(Root root);
  const RegKey& RootKey(Root root) const;
  // Paths are backslash-separated below a root; "" is the root itself.
  RegKey* FindKey(Root root, std::string_view path);
  RegKey& CreateKey(Root root, std::string_view path);
};

// ---------------------------------------------------------------- files
struct FsNode {
  std::string name;  // case kept
  bool directory = false;
  Bytes content;
  std::optional<std::string> linkTarget;  // a link (reparse point): the node is the link itself
  std::map<std::string, std::unique_ptr<FsNode>> children;  // keyed by UpperName(name)
};

struct FileSystem {
  std::map<char, FsNode> drives;  // 'C' -> root folder of C:

  // Absolute paths only ("C:\A\b.txt"); both separators, repeated separators and "." / ".."
  // are accepted. Returns nullptr when any part is missing.
  FsNode* Find(std::string_view absolutePath);
  FsNode& CreateFolder(std::string_view absolutePath);  // with every folder above it
  FsNode& CreateFile(std::string_view absolutePath, Bytes content = {});
};

// ---------------------------------------------------------------- scenario and faults
enum class Answer { First, Second };  // yes/ok press the first button, no/cancel the second

struct Lock {
  bool always = false;
  int failures = 0;  // deletions that still fail
};

struct Faults {
  std::map<std::string, Lock> locked;  // keyed by UpperName(full path)
  std::set<std::string> failingOperations;  // e.g. "CopyFileA": fails on every call
  int imageRelease = 0;  // failed deletions of the launcher's file after it has ended
  // Fault sweeps: the Nth (1-based) call of an operation whose failure the caller checks
  // fails; 0 turns this off. checkedCalls counts those calls as the run goes.
  long failCallNumber = 0;
  long checkedCalls = 0;
};

inline constexpr const char* kDefaultExe = "C:\\Program Files\\Orbelle\\Uninstall.exe";
inline constexpr const char* kDefaultTemp = "C:\\WINDOWS\\TEMP\\";
inline constexpr const char* kRegedit4 = "REGEDIT4";
inline constexpr const char* kRegedit5 = "Windows Registry Editor Version 5.00";

// ---------------------------------------------------------------- what a run leaves
struct Event {
  enum class Kind { Start, Message, Sleep, RestartDelete, Exit } kind;
  int process = 0;
  std::string image, commandLine, currentDir;  // Start
  std::string caption, text, style, answer;  // Message: style "MB_OK", answer "IDOK", ...
  std::uint32_t ms = 0;  // Sleep
  std::string path;  // RestartDelete
  int code = 0;  // Exit
};

struct Process {
  int id = 0;
  std::string image, commandLine, currentDir;
  bool running = false;
  bool ended = false;
  int exitCode = 0;
};

struct Window {
  int id = 0;
  int process = 0;
  std::string className;
  std::vector<std::uint32_t> queue;  // posted messages not yet removed
  bool destroyed = false;
};

struct Machine {
  Registry registry;
  FileSystem files;
  std::string registryHeader = kRegedit4;  // the header an outcome is written with

  std::string exePath = kDefaultExe;  // the launcher's own path
  std::string tempPath = kDefaultTemp;  // what GetTempPathA reports
  std::vector<Answer> answers;
  Faults faults;

  // Run state
  std::vector<Process> processes;  // by id - 1
  std::vector<Window> windows;
  std::vector<Event> events;
  // One line a platform call, in the order made; afterEvents is events.size() at the call, so
  // a readable transcript can interleave calls with events.
  struct TraceLine {
    std::size_t afterEvents = 0;
    std::string text;
  };
  std::vector<TraceLine> trace;
  std::vector<std::string> restartDeletes;  // MoveFileExA(..., DELAY_UNTIL_REBOOT) requests
  std::size_t answersUsed = 0;
  std::size_t messageBoxes = 0;
  std::uint64_t clockMs = 0;  // advanced by Sleep
  int openKeys = 0;  // registry handles opened and not yet closed
};

// The product's process entry (derives the tail, calls WinMain, ends with ExitProcess).
using EntryPoint = void (*)();

enum class RunStatus {
  Completed,  // every process ended
  Stopped,  // stopped after kMaxMessageBoxes boxes: a file locked for ever while every answer retries
};
inline constexpr std::size_t kMaxMessageBoxes = 2000;

// Starts process 1 from machine.exePath with an empty tail and runs every process it starts,
// each after its parent has ended, in order.
RunStatus Run(Machine& machine, EntryPoint entry);

}  // namespace emu
