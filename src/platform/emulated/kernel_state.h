// The kernel's own state during a run: processes, windows and every kind of open handle. Only
// the emulator includes this; tests and tools read it through session.h's accessors.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "session.h"

namespace emu::detail {

struct KernelState {
  std::vector<Process> processes;  // by id - 1
  std::vector<Window> windows;
  std::uint64_t clockMs = 0;  // advanced by Sleep

  // Open registry handles: their number is the open-key count a leak check reads.
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
  // The product's file as process 1 found it (a started file with other bytes runs no product
  // code).
  std::optional<Bytes> productImage;

  // Files opened by CreateFileA and not yet closed. A file whose last name went while it was
  // open lives on in detachedFiles, as Windows keeps an open file's data.
  struct FileHandle {
    int process = 0;  // 0: another program's (a virus scanner of a race)
    FsNode* file = nullptr;
    std::string path;          // the real path it was opened at, links followed
    std::uint32_t access = 0;  // detail::kReadAccess | kWriteAccess | kDeleteAccess
    std::uint32_t share = 0;   // FILE_SHARE_* as passed
    std::uint64_t position = 0;
    int number = 0;  // "file N" in the trace: the Nth file opened in the run
  };
  std::map<std::uintptr_t, FileHandle> fileHandles;  // its values come from nextKernelHandle
  int filesOpened = 0;
  std::vector<std::shared_ptr<FsNode>> detachedFiles;  // shared: a session stays copyable

  // Loaded modules by process id (the loader: loader.cpp), the system's loads by name already
  // made in each process, and how many foreign modules the run mapped (for their handles).
  std::map<int, std::vector<LoadedModule>> modules;
  std::map<int, std::set<std::string>> systemLoadsMade;
  long foreignModules = 0;

  // Races: calls made so far of each traced operation.
  std::map<std::string, long> operationCalls;
  // Files a virus scanner holds open (a race's hold): its handle in fileHandles (process 0)
  // and the product's calls it stays for.
  struct Hold {
    std::uintptr_t handle = 0;
    long callsLeft = 0;
    bool always = false;
  };
  std::vector<Hold> holds;
  std::uintptr_t nextScannerHandle = 0xFF000000;  // apart from the product's handle values
  // Fault sweeps: calls so far whose failure the caller checks (Faults::failCallNumber).
  long checkedCalls = 0;
  // Deletions refused so far by each [locked] entry (by its key) and by the launcher's image
  // release: the scenario says how many, the run counts them here and leaves the scenario as is.
  std::map<std::string, int> lockRefusals;
  int releaseRefusals = 0;
};

}  // namespace emu::detail

namespace emu {

// In namespace emu, so a call with a session finds it from any namespace.
inline detail::KernelState& Kernel(Session& session) {
  return session.kernel.get();
}
inline const detail::KernelState& Kernel(const Session& session) {
  return session.kernel.get();
}

}  // namespace emu
