#include "file_use.h"

#include "kernel_state.h"

namespace emu::detail {
namespace {

bool SamePath(const std::string& a, const std::string& b) {
  return SameName(a, b);
}

// Lock keys come from images and tests as written; compare their full forms.
template <class Locks>
auto FindLock(Locks& locked, const std::string& fullPath) -> decltype(&locked.begin()->second) {
  for (auto& [key, lock] : locked) {
    std::string full = CanonicalPath(key);
    if (SamePath(full.empty() ? key : full, fullPath)) return &lock;
  }
  return nullptr;
}

bool Holds(const Lock& lock) {
  return lock.always || lock.failures > 0;
}

// The launcher's file, once no process runs from it, stays held for faults.imageRelease more
// deletions: Windows unmaps an exited process's image a moment after the exit.
bool IsReleasingLauncher(const Session& session, const std::string& fullPath) {
  return session.scenario.faults.imageRelease > 0 &&
         SamePath(CanonicalPath(session.scenario.exePath), fullPath) &&
         !IsRunningImage(session, fullPath);
}

}  // namespace

// A started process holds its image and its current folder from CreateProcessA on, whether it
// has run yet or not: Windows maps the image and opens the folder before CreateProcessA returns.
bool IsRunningImage(const Session& session, const std::string& fullPath) {
  for (const auto& process : Kernel(session).processes) {
    if (!process.ended && SamePath(process.imageFile, fullPath)) return true;
  }
  return false;
}

bool IsRunningCurrentFolder(const Session& session, const std::string& fullPath) {
  for (const auto& process : Kernel(session).processes) {
    if (!process.ended && SamePath(process.currentDir, fullPath)) return true;
  }
  return false;
}

DeletionBlock CountDeletionAttempt(Session& session, const std::string& fullPath) {
  DeletionBlock block;
  if (Lock* lock = FindLock(session.scenario.faults.locked, fullPath); lock && Holds(*lock)) {
    block.locked = true;
    if (!lock->always) --lock->failures;
  }
  if (IsReleasingLauncher(session, fullPath)) {
    block.releasing = true;
    --session.scenario.faults.imageRelease;
  }
  return block;
}

bool HeldAgainstWriting(const Session& session, const std::string& fullPath) {
  const Lock* lock = FindLock(session.scenario.faults.locked, fullPath);
  return (lock && Holds(*lock)) || IsReleasingLauncher(session, fullPath);
}

}  // namespace emu::detail
