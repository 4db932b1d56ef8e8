// Open files and what they hold against other programs: the sharing rules Windows applies when
// a file is opened, deleted, renamed or written while another handle to it is open.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "kernel_state.h"

namespace emu::detail {

// What an open asks for, reduced to the three classes the sharing check knows.
inline constexpr std::uint32_t kReadAccess = 1;  // FILE_READ_DATA, FILE_EXECUTE, GENERIC_READ
inline constexpr std::uint32_t kWriteAccess =
    2;  // FILE_WRITE_DATA, FILE_APPEND_DATA, GENERIC_WRITE
inline constexpr std::uint32_t kDeleteAccess = 4;  // DELETE (renames need it too)
std::uint32_t AccessClasses(std::uint32_t desiredAccess);
std::string AccessText(std::uint32_t accessClasses);  // "read|delete"

// The first open handle to `file` that refuses a new open asking `access` while sharing
// `share` (FILE_SHARE_* bits), or nullptr. As IoCheckShareAccess: the new access must be
// shared by every open handle, and the new share must allow every open handle's access.
const KernelState::FileHandle* SharingConflict(const Session& session, const FsNode* file,
                                               std::uint32_t access, std::uint32_t share);
// Why a conflict refuses: "held open by process 1 without FILE_SHARE_DELETE".
std::string DescribeConflict(const KernelState::FileHandle& holder, std::uint32_t access);

// Whether an open file lies in the tree of `node` (the node itself included).
bool HoldsOpenFile(const Session& session, const FsNode& node);

std::uintptr_t NextHandleValue(Session& session);
std::uintptr_t AddFileHandle(Session& session, KernelState::FileHandle handle);
KernelState::FileHandle* FindFileHandle(Session& session, std::uintptr_t value);
std::string HandleName(const KernelState::FileHandle& handle);  // "file 2 \"C:\\x\""

// The end of a process: Windows closes the files it left open; the leak is recorded (in
// leakedHandles and the process's handlesOpenAtExit).
void CloseHandlesOf(Session& session, int process);

}  // namespace emu::detail
