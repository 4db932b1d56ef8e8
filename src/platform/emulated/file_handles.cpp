#include "file_handles.h"

#include <algorithm>

#include "platform_api.h"
#include "trace_format.h"

namespace emu::detail {
namespace {

std::uint32_t SharedClasses(std::uint32_t share) {
  std::uint32_t classes = 0;
  if (share & FILE_SHARE_READ) classes |= kReadAccess;
  if (share & FILE_SHARE_WRITE) classes |= kWriteAccess;
  if (share & FILE_SHARE_DELETE) classes |= kDeleteAccess;
  return classes;
}

bool Refuses(const KernelState::FileHandle& holder, std::uint32_t access, std::uint32_t share) {
  // An open for attributes only (no read, write or delete) is never refused.
  if (access == 0 || holder.access == 0) return false;
  return (access & ~SharedClasses(holder.share)) != 0 ||
         (holder.access & ~SharedClasses(share)) != 0;
}

bool HoldsOpenFileIn(const Session& session, const FsNode& node) {
  for (const auto& [value, handle] : Kernel(session).fileHandles) {
    if (handle.file == &node) return true;
  }
  return std::ranges::any_of(
      node.children, [&](const auto& child) { return HoldsOpenFileIn(session, *child.second); });
}

}  // namespace

std::uint32_t AccessClasses(std::uint32_t desiredAccess) {
  std::uint32_t classes = 0;
  if (desiredAccess & (GENERIC_READ | GENERIC_EXECUTE | FILE_READ_DATA | FILE_EXECUTE)) {
    classes |= kReadAccess;
  }
  if (desiredAccess & (GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA)) {
    classes |= kWriteAccess;
  }
  if (desiredAccess & DELETE) classes |= kDeleteAccess;
  return classes;
}

std::string AccessText(std::uint32_t accessClasses) {
  std::string text;
  auto add = [&](std::uint32_t bit, const char* name) {
    if (!(accessClasses & bit)) return;
    if (!text.empty()) text += '|';
    text += name;
  };
  add(kReadAccess, "read");
  add(kWriteAccess, "write");
  add(kDeleteAccess, "delete");
  return text.empty() ? "attributes" : text;
}

const KernelState::FileHandle* SharingConflict(const Session& session, const FsNode* file,
                                               std::uint32_t access, std::uint32_t share) {
  if (file == nullptr) return nullptr;
  for (const auto& [value, handle] : Kernel(session).fileHandles) {
    if (handle.file == file && Refuses(handle, access, share)) return &handle;
  }
  return nullptr;
}

std::string DescribeConflict(const KernelState::FileHandle& holder, std::uint32_t access) {
  std::string missing;
  std::uint32_t shared = SharedClasses(holder.share);
  if ((access & kReadAccess) && !(shared & kReadAccess)) missing = "FILE_SHARE_READ";
  if ((access & kWriteAccess) && !(shared & kWriteAccess)) missing = "FILE_SHARE_WRITE";
  if ((access & kDeleteAccess) && !(shared & kDeleteAccess)) missing = "FILE_SHARE_DELETE";
  std::string text = holder.process == 0 ? std::string("held open by a virus scanner")
                                         : "held open by process " + std::to_string(holder.process);
  if (!missing.empty()) return text + " without " + missing;
  return text + " for " + AccessText(holder.access);
}

bool HoldsOpenFile(const Session& session, const FsNode& node) {
  return !Kernel(session).fileHandles.empty() && HoldsOpenFileIn(session, node);
}

// Windows hands out handle values of every kind from one table, in steps of four, never reused
// while open.
std::uintptr_t NextHandleValue(Session& session) {
  std::uintptr_t value = Kernel(session).nextKernelHandle;
  Kernel(session).nextKernelHandle += 4;
  return value;
}

std::uintptr_t AddFileHandle(Session& session, KernelState::FileHandle handle) {
  std::uintptr_t value = NextHandleValue(session);
  handle.number = ++Kernel(session).filesOpened;
  Kernel(session).fileHandles.emplace(value, std::move(handle));
  return value;
}

KernelState::FileHandle* FindFileHandle(Session& session, std::uintptr_t value) {
  auto found = Kernel(session).fileHandles.find(value);
  return found == Kernel(session).fileHandles.end() ? nullptr : &found->second;
}

std::string HandleName(const KernelState::FileHandle& handle) {
  return "file " + std::to_string(handle.number) + " " + Quote(handle.path);
}

void CloseHandlesOf(Session& session, int process) {
  Process& ended = Kernel(session).processes[static_cast<std::size_t>(process) - 1];
  for (auto at = Kernel(session).fileHandles.begin(); at != Kernel(session).fileHandles.end();) {
    if (at->second.process == process) {
      ++ended.handlesOpenAtExit;
      session.record.leakedHandles.push_back("process " + std::to_string(process) + ": " +
                                             HandleName(at->second));
      at = Kernel(session).fileHandles.erase(at);
    } else {
      ++at;
    }
  }
}

}  // namespace emu::detail
