// The in-memory Windows PC that the emulated API acts on: registry, drives, the run's
// scenario and faults, and what a run leaves behind (events, trace, pending deletions).
// Host code only; text is kept as the program sees it through the "A" API, Windows-1252 bytes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
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
  std::string name;        // "" is the key's default value
  std::uint32_t type = 1;  // REG_SZ
  Bytes data;  // strings as ANSI bytes with their terminator, as RegQueryValueExA returns them
};

struct RegKey {
  std::string name;              // case kept
  std::vector<RegValue> values;  // in the order they were set
  // Keyed by UpperName(name): iteration order is RegEnumKeyA order (upper-cased bytes, unsigned).
  std::map<std::string, std::unique_ptr<RegKey>> subkeys;
  bool denied = false;  // RegDeleteKeyA on this key fails with ERROR_ACCESS_DENIED

  // Deep copies, so a whole machine can be copied before a run and run more than one way.
  RegKey() = default;
  RegKey(const RegKey& other);
  RegKey& operator=(const RegKey& other);
  RegKey(RegKey&&) noexcept = default;
  RegKey& operator=(RegKey&&) noexcept = default;

  RegKey* Find(std::string_view childName);
  const RegKey* Find(std::string_view childName) const;
  RegKey& Create(std::string_view childName);  // returns the existing child when present
  bool Remove(std::string_view childName);
  const RegValue* FindValue(std::string_view valueName) const;
  void SetValue(std::string_view valueName, std::uint32_t type, Bytes data);
  void SetString(std::string_view valueName, std::string_view ansiText);  // REG_SZ with NUL
};

enum class Root { LocalMachine, CurrentUser, ClassesRoot };  // the order of an outcome dump
const char* RootName(Root root);
const char* ShortRootName(Root root);  // "HKLM", "HKCU", "HKCR": the names people read
                                       // "HKEY_LOCAL_MACHINE", ...
std::optional<Root> ParseRootName(std::string_view name);  // full names and HKLM/HKCU/HKCR

struct Registry {
  RegKey localMachine, currentUser, classesRoot;

  RegKey& RootKey(Root root);
  const RegKey& RootKey(Root root) const;
  // Paths are backslash-separated below a root; "" is the root itself.
  RegKey* FindKey(Root root, std::string_view path);
  const RegKey* FindKey(Root root, std::string_view path) const;
  RegKey& CreateKey(Root root, std::string_view path);
};

// ---------------------------------------------------------------- files
struct FsNode {
  std::string name;  // case kept
  bool directory = false;
  Bytes content;
  std::optional<std::string> linkTarget;  // a link (reparse point): the node is the link itself
  // FILE_ATTRIBUTE_READONLY, _HIDDEN and _SYSTEM as set; GetFileAttributesA adds the rest
  // (ARCHIVE, DIRECTORY, REPARSE_POINT) from what the node is.
  std::uint32_t attributes = 0;
  std::map<std::string, std::unique_ptr<FsNode>> children;  // keyed by UpperName(name)

  FsNode() = default;
  FsNode(const FsNode& other);  // a deep copy, as RegKey's
  FsNode& operator=(const FsNode& other);
  FsNode(FsNode&&) noexcept = default;
  FsNode& operator=(FsNode&&) noexcept = default;
};

struct FileSystem {
  std::map<char, FsNode> drives;  // 'C' -> root folder of C:

  // Absolute paths only ("C:\A\b.txt"); both separators, repeated separators and "." / ".."
  // are accepted. Returns nullptr when any part is missing.
  FsNode* Find(std::string_view absolutePath);
  const FsNode* Find(std::string_view absolutePath) const;
  FsNode& CreateFolder(std::string_view absolutePath);  // with every folder above it
  FsNode& CreateFile(std::string_view absolutePath, Bytes content = {});
};

// The full form of a drive-absolute path as Windows would spell it: "C:\A\b" (a drive root is
// "C:\"), separators unified, "." and ".." resolved, trailing dots and blanks of each name
// dropped; "" when the path is not drive-absolute. Lock keys compare as UpperName of this.
std::string CanonicalPath(std::string_view absolutePath);

// ---------------------------------------------------------------- scenario and faults
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
  // fails; 0 turns this off. checkedCalls counts those calls as the run goes.
  long failCallNumber = 0;
  long checkedCalls = 0;
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

inline constexpr const char* kDefaultExe = "C:\\Program Files\\Orbelle\\Uninstall.exe";
inline constexpr const char* kDefaultTemp = "C:\\WINDOWS\\TEMP\\";
inline constexpr const char* kRegedit4 = "REGEDIT4";
inline constexpr const char* kRegedit5 = "Windows Registry Editor Version 5.00";

// ---------------------------------------------------------------- what a run leaves
struct Event {
  enum class Kind { Start, Message, Sleep, RestartDelete, Exit, ShellNotify } kind;
  int process = 0;
  std::string image, commandLine, currentDir;  // Start
  std::string caption, text, style, answer;    // Message: style "MB_OK", answer "IDOK", ...
  std::uint32_t ms = 0;                        // Sleep
  std::string path;                            // RestartDelete
  int code = 0;                                // Exit
  std::string what;                            // ShellNotify: "SHCNE_ASSOCCHANGED"
};

struct Process {
  int id = 0;
  std::string image, commandLine, currentDir;
  bool running = false;
  bool ended = false;
  int exitCode = 0;
  // Emulator bookkeeping
  std::string modulePath;  // full path that GetModuleFileNameA reports
  std::string imageFile;  // full path of the file that runs (a link's target): in use while running
  bool runsProduct = true;  // false: started from a file that is not the product; it ends at once
  std::uint32_t defaultDllDirectories = 0;  // what SetDefaultDllDirectories was given
  // Kernel handles it still held when it ended: Windows closes them then, but a program that
  // leaves them to that leaks them for as long as it runs.
  int handlesOpenAtExit = 0;
  int shell32Loads = 0;         // LoadLibraryA of shell32 not yet given back with FreeLibrary
  std::uint32_t lastError = 0;  // GetLastError
  std::shared_ptr<std::string> commandLineBuffer;  // GetCommandLineA's buffer, stable for the run
  // The bytes of the file the process was started from, as they were at its start: Windows
  // maps the image then, so what a process runs is fixed before its parent goes on.
  std::shared_ptr<const Bytes> imageBytes;
  // Where LoadStringA finds the program's strings: the resources of the exe that runs, when a
  // runner of real exes supplies them; otherwise the string table compiled from res/.
  std::shared_ptr<const std::map<std::uint32_t, std::string>> resourceStrings;
};

struct Window {
  int id = 0;
  int process = 0;
  std::string className;
  std::vector<std::uint32_t> queue;       // posted messages not yet removed
  std::vector<std::uint32_t> dispatched;  // messages passed to DispatchMessageA, in order
  bool destroyed = false;
};

struct Machine {
  Registry registry;
  FileSystem files;
  std::string registryHeader = kRegedit4;  // the header an outcome is written with

  std::string exePath = kDefaultExe;    // the launcher's own path
  std::string tempPath = kDefaultTemp;  // what GetTempPathA reports
  std::vector<Answer> answers;
  Faults faults;
  std::vector<Race> races;

  // Run state
  std::vector<Process> processes;  // by id - 1
  std::vector<Window> windows;
  std::vector<Event> events;
  // One line a platform call, in the order made; afterEvents is events.size() at the call, so
  // a readable transcript can interleave calls with events.
  struct TraceLine {
    std::size_t afterEvents = 0;
    std::string text;  // "2: DeleteFileA(\"C:\\x\") = FALSE (ERROR_SHARING_VIOLATION)"
    int process = 0;   // the process that made the call (also the text's prefix)
  };
  std::vector<TraceLine> trace;
  std::vector<std::string> restartDeletes;  // MoveFileExA(..., DELAY_UNTIL_REBOOT) requests
  std::size_t answersUsed = 0;
  std::size_t messageBoxes = 0;
  std::uint64_t clockMs = 0;  // advanced by Sleep
  int openKeys = 0;           // registry handles opened and not yet closed

  // false models a Windows without SetDefaultDllDirectories (before the KB2533623 update):
  // GetProcAddress then returns NULL for it.
  bool offersSetDefaultDllDirectories = true;
  // Windows 95/98/ME where the product can tell: no MoveFileExA (ERROR_CALL_NOT_IMPLEMENTED), no
  // SetDefaultDllDirectories, and NUL= lines of [rename] in WININIT.INI of the Windows folder
  // carry deletions at restart.
  bool windows9x = false;
  std::string windowsFolder = "C:\\WINDOWS";  // GetWindowsDirectoryA, without a backslash

  // Emulator bookkeeping: open registry handles (openKeys is their number), and the product's
  // file as process 1 found it (a started file with other bytes runs no product code).
  struct KeyHandle {
    RegKey* key = nullptr;  // nullptr once the key was deleted (ERROR_KEY_DELETED)
    int process = 0;
    std::string path;  // HKEY_LOCAL_MACHINE\Software\X, for the trace
  };
  std::map<std::uintptr_t, KeyHandle> keyHandles;
  std::uintptr_t nextKeyHandle = 0x1000;
  // Kernel handles CreateProcessA hands out (the new process and its first thread), each owned
  // by the process that made the call, until CloseHandle or the owner's end.
  struct KernelHandle {
    int owner = 0;
    int target = 0;  // the process the handle stands for
    bool thread = false;
  };
  std::map<std::uintptr_t, KernelHandle> kernelHandles;
  std::uintptr_t nextKernelHandle = 0x7C0;
  std::optional<Bytes> productImage;

  // Kernel state: files opened by CreateFileA and not yet closed. A file whose last name went
  // while it was open lives on in detachedFiles, as Windows keeps an open file's data.
  struct FileHandle {
    int process = 0;
    FsNode* file = nullptr;
    std::string path;          // the real path it was opened at, links followed
    std::uint32_t access = 0;  // detail::kReadAccess | kWriteAccess | kDeleteAccess
    std::uint32_t share = 0;   // FILE_SHARE_* as passed
    std::uint64_t position = 0;
    int number = 0;  // "file N" in the trace: the Nth file opened in the run
  };
  std::map<std::uintptr_t, FileHandle> fileHandles;  // its values come from nextKernelHandle
  int filesOpened = 0;
  std::vector<std::shared_ptr<FsNode>> detachedFiles;  // shared: a machine stays copyable

  // What a test needs to see of handle use: handles a process still held when it ended (Windows
  // closes them then), and closes of a handle that was not open (a double close among them).
  std::vector<std::string> leakedHandles;    // "process 1: file 2 C:\WINDOWS\TEMP\obuninst.tmp"
  std::vector<std::string> badHandleCloses;  // "process 1: 0x104"

  // Races: calls made so far of each traced operation, and what became of each race.
  std::map<std::string, long> operationCalls;
  struct RaceOutcome {
    std::size_t race = 0;  // index into races
    bool applied = false;
    std::string detail;  // why it was skipped
  };
  std::vector<RaceOutcome> raceOutcomes;

  // Copy only before a run: the handles above point into the original's registry and files.
};

// The product's process entry (derives the tail, calls WinMain, ends with ExitProcess).
using EntryPoint = void (*)();

enum class RunStatus {
  Completed,  // every process ended
  Stopped,    // stopped after kMaxMessageBoxes boxes: a file locked for ever while every answer
              // retries
};
inline constexpr std::size_t kMaxMessageBoxes = 2000;

// Starts process 1 from machine.exePath with an empty tail and runs every process it starts,
// each after its parent has ended, in order.
RunStatus Run(Machine& machine, EntryPoint entry);

// Starts process 1 from `image` with `commandLine` and `currentDir` as given, instead of the
// user's start; for tests that run the worker on its own with a tail of their choosing.
RunStatus Run(Machine& machine, EntryPoint entry, const std::string& image,
              const std::string& commandLine, const std::string& currentDir);

// For tests that call product functions without a full run: while it lives, the machine is the
// current one and a new process of it is running, with the given current folder ("" = the
// image's folder) and image ("" = machine.exePath). It records no start or exit event; the
// process counts as ended afterwards. ExitProcess or a stopped run inside it throws out of it.
class ActiveProcess {
 public:
  explicit ActiveProcess(Machine& machine, std::string_view currentDir = {},
                         std::string_view image = {});
  ~ActiveProcess();
  ActiveProcess(const ActiveProcess&) = delete;
  ActiveProcess& operator=(const ActiveProcess&) = delete;

  Process& process() const;

 private:
  Machine& machine_;
  int id_;
  Machine* previousMachine_;
  int previousProcess_;
};

}  // namespace emu
