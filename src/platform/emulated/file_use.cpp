#include "file_use.h"

#include "kernel_state.h"

namespace emu::detail {
namespace {

bool SamePath(const std::string& a, const std::string& b) {
  return SameName(a, b);
}

// Lock keys come from images and tests as written; compare their full forms. The lock found
// still holds when it holds for ever or has refused fewer deletions than it may.
const std::pair<const std::string, Lock>* FindHoldingLock(const Session& session,
                                                          const std::string& fullPath) {
  for (const auto& entry : session.scenario.faults.locked) {
    std::string full = CanonicalPath(entry.first);
    if (!SamePath(full.empty() ? entry.first : full, fullPath)) continue;
    return entry.second.always || LockFailuresLeft(session, entry.first) > 0 ? &entry : nullptr;
  }
  return nullptr;
}

// The launcher's file, once no process runs from it, stays held for faults.imageRelease more
// deletions: Windows unmaps an exited process's image a moment after the exit.
bool IsReleasingLauncher(const Session& session, const std::string& fullPath) {
  return ImageReleasesLeft(session) > 0 &&
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
  if (const auto* lock = FindHoldingLock(session, fullPath)) {
    block.locked = true;
    if (!lock->second.always) ++Kernel(session).lockRefusals[lock->first];
  }
  if (IsReleasingLauncher(session, fullPath)) {
    block.releasing = true;
    ++Kernel(session).releaseRefusals;
  }
  return block;
}

bool HeldAgainstWriting(const Session& session, const std::string& fullPath) {
  return FindHoldingLock(session, fullPath) || IsReleasingLauncher(session, fullPath);
}

}  // namespace emu::detail

namespace emu {

int LockFailuresLeft(const Session& session, const std::string& lockKey) {
  const auto lock = session.scenario.faults.locked.find(lockKey);
  if (lock == session.scenario.faults.locked.end()) return 0;
  const auto& refused = Kernel(session).lockRefusals;
  const auto used = refused.find(lockKey);
  return lock->second.failures - (used == refused.end() ? 0 : used->second);
}

int ImageReleasesLeft(const Session& session) {
  return session.scenario.faults.imageRelease - Kernel(session).releaseRefusals;
}

}  // namespace emu
