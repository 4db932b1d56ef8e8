// One run on one machine: the machine itself, the scenario that says how the run goes, the
// record of what happened, and the kernel's own state (processes, windows, handles), which
// only the emulator reads and writes. The few facts of that state tests and tools need come
// through the accessors at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "machine.h"
#include "run_record.h"
#include "run_scenario.h"

namespace emu {

struct Process {
  int id = 0;
  std::string image, commandLine, currentDir;  // Unicode, as the machine keeps text
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
  // Loads of the system's shell32 not yet given back with FreeLibrary (its module's count in
  // LoadedModules, kept here for the tests that ask about shell32 alone).
  int shell32Loads = 0;
  std::uint32_t lastError = 0;  // GetLastError
  // The ANSI code page of its "A" calls, fixed at its start (StartProgram in state.h): the
  // system's, or UTF-8 (65001) where the manifest of the file it runs declares it.
  unsigned codePage = 1252;
  // GetCommandLineA's buffer, in the process's code page, stable for the run
  std::shared_ptr<std::string> commandLineBuffer;
  // The bytes of the file the process was started from, as they were at its start: Windows
  // maps the image then, so what a process runs is fixed before its parent goes on.
  std::shared_ptr<const Bytes> imageBytes;
  // Where LoadStringA finds the program's strings (Unicode, converted to the process's code
  // page): the resources of the exe that runs, when a runner of real exes supplies them;
  // otherwise the string table compiled from res/.
  std::shared_ptr<const std::map<std::uint32_t, std::string>> resourceStrings;
};

// A module a process has loaded (LoadLibraryA, or the system's own loads on its behalf): where
// from, and how many loads FreeLibrary has not yet given back.
struct LoadedModule {
  std::string baseName;  // upper-cased: "UXTHEME.DLL"
  std::string path;      // the full path it was mapped from
  std::uintptr_t handle = 0;
  int loads = 0;
  bool foreign = false;  // not the system's own: found outside the system folder
};

struct Window {
  int id = 0;
  int process = 0;
  std::string className;
  std::vector<std::uint32_t> queue;       // posted messages not yet removed
  std::vector<std::uint32_t> dispatched;  // messages passed to DispatchMessageA, in order
  bool destroyed = false;
};

namespace detail {

struct KernelState;  // kernel_state.h, the emulator's own

// Owns the kernel state and copies it with the session, so a whole session can be copied
// before a run and run more than one way.
class KernelBox {
 public:
  KernelBox();
  ~KernelBox();
  KernelBox(const KernelBox& other);
  KernelBox& operator=(const KernelBox& other);
  KernelBox(KernelBox&&) noexcept;
  KernelBox& operator=(KernelBox&&) noexcept;

  KernelState& get() const { return *state_; }

 private:
  std::unique_ptr<KernelState> state_;
};

}  // namespace detail

struct Session {
  Machine machine;
  Scenario scenario;
  RunRecord record;
  // Copy only before a run: the kernel's handles point into this session's registry and files.
  detail::KernelBox kernel;
};

// The product's process entry (derives the tail, calls WinMain, ends with ExitProcess).
using EntryPoint = void (*)();

enum class RunStatus {
  Completed,  // every process ended
  Stopped,    // stopped after kMaxMessageBoxes boxes: a file locked for ever while every answer
              // retries
};
inline constexpr std::size_t kMaxMessageBoxes = 2000;

// Starts process 1 from scenario.exePath with an empty tail and runs every process it starts,
// each after its parent has ended, in order.
RunStatus Run(Session& session, EntryPoint entry);

// Starts process 1 from `image` with `commandLine` and `currentDir` as given, instead of the
// user's start; for tests that run the worker on its own with a tail of their choosing.
RunStatus Run(Session& session, EntryPoint entry, const std::string& image,
              const std::string& commandLine, const std::string& currentDir);

// For tests that call product functions without a full run: while it lives, the session is the
// current one and a new process of it is running, with the given current folder ("" = the
// image's folder) and image ("" = scenario.exePath). It records no start or exit event; the
// process counts as ended afterwards. ExitProcess or a stopped run inside it throws out of it.
class ActiveProcess {
 public:
  explicit ActiveProcess(Session& session, std::string_view currentDir = {},
                         std::string_view image = {});
  ~ActiveProcess();
  ActiveProcess(const ActiveProcess&) = delete;
  ActiveProcess& operator=(const ActiveProcess&) = delete;

  Process& process() const;

 private:
  Session& session_;
  int id_;
  Session* previousSession_;
  int previousProcess_;
};

// What tests and tools may read of the kernel state.
const std::vector<Process>& Processes(const Session& session);  // by id - 1
const std::vector<Window>& Windows(const Session& session);     // by id - 1
int OpenKeyCount(const Session& session);  // registry handles opened and not yet closed
std::size_t OpenKernelHandleCount(const Session& session);  // process and thread handles
std::size_t OpenFileCount(const Session& session);          // files CreateFileA left open
std::uint64_t ClockMs(const Session& session);  // virtual time that passed, advanced by Sleep
long CheckedCallCount(const Session& session);  // calls a fault sweep may fail, made so far
// Deletions a [locked] entry (by its key in faults.locked) and the launcher's image release
// still refuse: the scenario's counts less the refusals the run has made.
int LockFailuresLeft(const Session& session, const std::string& lockKey);
int ImageReleasesLeft(const Session& session);
// The modules a process has loaded now, in the order first loaded.
const std::vector<LoadedModule>& LoadedModules(const Session& session, int process);

}  // namespace emu
