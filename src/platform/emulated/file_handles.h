// Open files and what they hold against other programs: the sharing rules Windows applies when
// a file is opened, deleted, renamed or written while another handle to it is open.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "machine.h"

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
const Machine::FileHandle* SharingConflict(const Machine& machine, const FsNode* file,
                                           std::uint32_t access, std::uint32_t share);
// Why a conflict refuses: "held open by process 1 without FILE_SHARE_DELETE".
std::string DescribeConflict(const Machine::FileHandle& holder, std::uint32_t access);

// Whether an open file lies in the tree of `node` (the node itself included).
bool HoldsOpenFile(const Machine& machine, const FsNode& node);

// Takes a name out of its folder. A file still open lives on for its handles.
void RemoveChild(Machine& machine, FsNode& folder, const std::string& name);

std::uintptr_t NextHandleValue(Machine& machine);
std::uintptr_t AddFileHandle(Machine& machine, Machine::FileHandle handle);
Machine::FileHandle* FindFileHandle(Machine& machine, std::uintptr_t value);
std::string HandleName(const Machine::FileHandle& handle);  // "file 2 \"C:\\x\""

// The end of a process: Windows closes the files it left open; the leak is recorded (in
// leakedHandles and the process's handlesOpenAtExit).
void CloseHandlesOf(Machine& machine, int process);

}  // namespace emu::detail
