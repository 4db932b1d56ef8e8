// KERNEL32's file functions on the machine's drives.
#include "code_page.h"
#include "file_changes.h"
#include "file_handles.h"
#include "file_use.h"
#include "paths.h"
#include "platform_api.h"
#include "state.h"
#include "trace_format.h"

using emu::FsNode;
using emu::detail::Call;
using emu::detail::Location;
using emu::detail::QuoteArg;

namespace {

constexpr DWORD kStoredAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

DWORD AttributesOf(const FsNode& node) {
  DWORD attributes = node.attributes & kStoredAttributes;
  attributes |= node.directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (node.linkTarget) attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  return attributes;
}

std::string AttributeNames(DWORD attributes) {
  static const std::pair<DWORD, const char*> kNames[] = {
      {FILE_ATTRIBUTE_READONLY, "READONLY"},
      {FILE_ATTRIBUTE_HIDDEN, "HIDDEN"},
      {FILE_ATTRIBUTE_SYSTEM, "SYSTEM"},
      {FILE_ATTRIBUTE_DIRECTORY, "DIRECTORY"},
      {FILE_ATTRIBUTE_ARCHIVE, "ARCHIVE"},
      {FILE_ATTRIBUTE_NORMAL, "NORMAL"},
      {FILE_ATTRIBUTE_REPARSE_POINT, "REPARSE_POINT"}};
  std::string names;
  DWORD rest = attributes;
  for (const auto& [bit, name] : kNames) {
    if (!(attributes & bit)) continue;
    names += (names.empty() ? "FILE_ATTRIBUTE_" : "|FILE_ATTRIBUTE_") + std::string(name);
    rest &= ~bit;
  }
  if (rest != 0 || names.empty()) {
    names += (names.empty() ? "" : "|") + emu::detail::Hex(rest);
  }
  return names;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

// A link answers with its own attributes (FILE_ATTRIBUTE_REPARSE_POINT), not its target's.
DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  const emu::detail::Call<DWORD> call("GetFileAttributesA(" + QuoteArg(lpFileName) + ")",
                                      INVALID_FILE_ATTRIBUTES, "INVALID_FILE_ATTRIBUTES");
  if (call.Injected()) return call.Fail(ERROR_ACCESS_DENIED);
  Location location = emu::detail::LocateForProcess(lpFileName);
  if (location.error) return call.Fail(location.error);
  if (!location.node) return call.Fail(ERROR_FILE_NOT_FOUND);
  const FsNode& node = *location.node;
  // "C:\file.txt\" asks for a folder: NT rejects the name.
  if (!node.directory && location.trailingSeparator) return call.Fail(ERROR_INVALID_NAME);
  DWORD attributes = AttributesOf(node);
  return call.Return(attributes, AttributeNames(attributes));
}

// As on Windows, the path is opened by name, so a link passes the change on to its target:
// whoever clears a read-only bit through a planted link clears it wherever the link points.
// Only the settable bits are kept; FILE_ATTRIBUTE_NORMAL alone (or 0) clears them all. A file
// in use takes the change: setting attributes needs no sharing with those who hold it.
BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
  const Call<BOOL> call("SetFileAttributesA(" + QuoteArg(lpFileName) + ", " +
                        AttributeNames(dwFileAttributes) + ")");
  if (call.Injected()) return call.Fail(ERROR_ACCESS_DENIED);
  emu::Session& session = emu::detail::CurrentSession();
  Location location = emu::detail::LocateForProcess(lpFileName);
  if (location.error) return call.Fail(location.error);
  if (!location.node) return call.Fail(ERROR_FILE_NOT_FOUND);
  if (location.node && !location.node->directory && location.trailingSeparator) {
    return call.Fail(ERROR_INVALID_NAME);
  }
  Location target = emu::detail::FollowLink(session.machine.files, location);
  if (target.error) return call.Fail(target.error);
  if (!target.node) return call.Fail(ERROR_FILE_NOT_FOUND);
  target.node->attributes = dwFileAttributes & kStoredAttributes;
  return call.Return(TRUE, "TRUE");
}

// Deleting a link deletes the link, never its target. The running image and a read-only file
// give ERROR_ACCESS_DENIED, a file another program holds open ERROR_SHARING_VIOLATION:
// DeleteFileA opens the file for DELETE sharing everything, so any handle open without
// FILE_SHARE_DELETE refuses it.
BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  const Call<BOOL> call("DeleteFileA(" + QuoteArg(lpFileName) + ")");
  if (call.Injected()) return call.Fail(ERROR_ACCESS_DENIED);
  Location location = emu::detail::LocateForProcess(lpFileName);
  if (location.error) return call.Fail(location.error);
  if (location.root) return call.Fail(ERROR_ACCESS_DENIED);
  if (!location.node) return call.Fail(ERROR_FILE_NOT_FOUND);
  if (location.node->directory) return call.Fail(ERROR_ACCESS_DENIED);
  if (location.trailingSeparator) return call.Fail(ERROR_INVALID_NAME);
  emu::Session& session = emu::detail::CurrentSession();
  std::string path = location.RealPath();
  auto block = emu::detail::CountDeletionAttempt(session, path);
  if (emu::detail::IsRunningImage(session, path)) return call.Fail(ERROR_ACCESS_DENIED);
  if (block.locked) return call.Fail(ERROR_SHARING_VIOLATION);
  if (block.releasing) return call.Fail(ERROR_ACCESS_DENIED);
  if (emu::detail::SharingConflict(session, location.node, emu::detail::kDeleteAccess, kShareAll)) {
    return call.Fail(ERROR_SHARING_VIOLATION);
  }
  // A read-only file refuses deletion until the attribute is cleared; a link's own attribute
  // counts, not its target's.
  if (location.node->attributes & FILE_ATTRIBUTE_READONLY) return call.Fail(ERROR_ACCESS_DENIED);
  emu::detail::RemoveNode(session, location);
  return call.Return(TRUE, "TRUE");
}

// Only an empty folder goes. A drive root cannot be removed; a folder that a running process
// has as its current folder is held open by it (ERROR_SHARING_VIOLATION); a link to a folder
// is removed as a link.
BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
  const Call<BOOL> call("RemoveDirectoryA(" + QuoteArg(lpPathName) + ")");
  if (call.Injected()) return call.Fail(ERROR_ACCESS_DENIED);
  Location location = emu::detail::LocateForProcess(lpPathName);
  if (location.error) return call.Fail(location.error);
  if (location.root) return call.Fail(ERROR_ACCESS_DENIED);
  if (!location.node) return call.Fail(ERROR_FILE_NOT_FOUND);
  if (!location.node->directory) return call.Fail(ERROR_DIRECTORY);
  emu::Session& session = emu::detail::CurrentSession();
  std::string path = location.RealPath();
  if (emu::detail::IsRunningCurrentFolder(session, path)) {
    return call.Fail(ERROR_SHARING_VIOLATION);
  }
  if (emu::detail::CountDeletionAttempt(session, path).locked) {
    return call.Fail(ERROR_SHARING_VIOLATION);
  }
  if (!location.node->linkTarget && !location.node->children.empty()) {
    return call.Fail(ERROR_DIR_NOT_EMPTY);
  }
  emu::detail::RemoveNode(session, location);
  return call.Return(TRUE, "TRUE");
}

// The copy replaces the destination unless bFailIfExists (or it is read-only). A destination
// that is a link is followed and its target written: Windows opens the destination by name and
// the link redirects it, which is what a planted link in a shared folder exploits. The source
// is opened for reading sharing reads only, the destination for writing sharing nothing, so a
// handle open to either without the matching FILE_SHARE_ bit gives ERROR_SHARING_VIOLATION.
BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  const Call<BOOL> call("CopyFileA(" + QuoteArg(lpExistingFileName) + ", " +
                        QuoteArg(lpNewFileName) + ", " + (bFailIfExists ? "TRUE" : "FALSE") + ")");
  if (call.Injected()) return call.Fail(ERROR_ACCESS_DENIED);
  emu::Session& session = emu::detail::CurrentSession();

  Location source = emu::detail::LocateForProcess(lpExistingFileName);
  if (source.error) return call.Fail(source.error);
  if (!source.node) return call.Fail(ERROR_FILE_NOT_FOUND);
  if (!source.node->directory && source.trailingSeparator) return call.Fail(ERROR_INVALID_NAME);
  source = emu::detail::FollowLink(session.machine.files, source);
  if (source.error) return call.Fail(source.error);
  if (!source.node) return call.Fail(ERROR_FILE_NOT_FOUND);
  if (source.root || source.node->directory) return call.Fail(ERROR_ACCESS_DENIED);

  Location named = emu::detail::LocateForProcess(lpNewFileName);
  if (named.error) return call.Fail(named.error);
  if (named.root || (named.node && named.node->directory)) return call.Fail(ERROR_ACCESS_DENIED);
  if (named.trailingSeparator) return call.Fail(ERROR_INVALID_NAME);
  if (named.node && bFailIfExists) return call.Fail(ERROR_FILE_EXISTS);
  Location target = emu::detail::FollowLink(session.machine.files, named);
  if (target.error) return call.Fail(target.error);
  if (!target.folder && !target.root) return call.Fail(ERROR_PATH_NOT_FOUND);
  if (target.root || (target.node && target.node->directory)) {
    return call.Fail(ERROR_ACCESS_DENIED);
  }
  if (target.node == source.node) return call.Fail(ERROR_SHARING_VIOLATION);
  if (emu::detail::SharingConflict(session, source.node, emu::detail::kReadAccess,
                                   FILE_SHARE_READ) ||
      emu::detail::SharingConflict(session, target.node, emu::detail::kWriteAccess, 0)) {
    return call.Fail(ERROR_SHARING_VIOLATION);
  }
  // Windows does not replace a read-only file.
  if (target.node && (target.node->attributes & FILE_ATTRIBUTE_READONLY)) {
    return call.Fail(ERROR_ACCESS_DENIED);
  }
  for (const std::string& path : {named.RealPath(), target.RealPath()}) {
    if (emu::detail::IsRunningImage(session, path) ||
        emu::detail::HeldAgainstWriting(session, path)) {
      return call.Fail(ERROR_SHARING_VIOLATION);
    }
  }

  emu::Bytes content = source.node->content;
  if (!target.node) {
    auto created = std::make_unique<FsNode>();
    created->name = target.name;
    target.node = created.get();
    target.folder->children[emu::UpperName(target.name)] = std::move(created);
  }
  target.node->content = std::move(content);
  // The copy takes the source's attributes: a read-only source gives a read-only copy.
  target.node->attributes = source.node->attributes;
  return call.Return(TRUE, "TRUE");
}

// Only the delayed deletion is modelled: the request is recorded as passed and nothing is
// deleted, since the machine after a run is the machine before the restart. Windows does not
// look for the file when it records the request, nor at the characters of its name: a '?' that
// the code page put into the path is recorded as it is (and names nothing at the restart).
BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  const Call<BOOL> call("MoveFileExA(" + QuoteArg(lpExistingFileName) + ", " +
                        QuoteArg(lpNewFileName) + ", " + emu::detail::Hex(dwFlags) + ")");
  if (call.Injected()) return call.Fail(ERROR_ACCESS_DENIED);
  // Windows 95, 98 and ME export the function as a stub: restart work goes through WININIT.INI.
  if (emu::IsWindows9x(emu::detail::CurrentSession().scenario))
    return call.Fail(ERROR_CALL_NOT_IMPLEMENTED);
  if (!lpExistingFileName) return call.Fail(ERROR_INVALID_PARAMETER);
  const std::string existing = emu::detail::FromProgram(lpExistingFileName);
  if (emu::Utf16Length(existing) >= MAX_PATH) return call.Fail(ERROR_FILENAME_EXCED_RANGE);
  if (lpNewFileName) return call.Fail(ERROR_NOT_SUPPORTED);  // renames: not modelled
  if (!(dwFlags & MOVEFILE_DELAY_UNTIL_REBOOT)) return call.Fail(ERROR_INVALID_PARAMETER);
  emu::Session& session = emu::detail::CurrentSession();
  session.record.restartDeletes.push_back(existing);
  emu::Event event =
      emu::detail::NewEvent(emu::Event::Kind::RestartDelete, emu::detail::CurrentProcess().id);
  event.path = existing;
  session.record.events.push_back(std::move(event));
  return call.Return(TRUE, "TRUE");
}
