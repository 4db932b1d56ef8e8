#include "file_changes.h"

#include "file_handles.h"
#include "file_use.h"
#include "platform_api.h"

namespace emu::detail {
namespace {

ChangeResult Refused(std::uint32_t error, std::string why) {
  return {error, std::move(why)};
}

bool IsBelow(const std::string& path, const std::string& folder) {
  if (path.size() < folder.size() || !SameName(path.substr(0, folder.size()), folder)) {
    return false;
  }
  return path.size() == folder.size() || folder.back() == '\\' || path[folder.size()] == '\\';
}

// Whether a process that has started and not ended runs from, or works in, the folder's tree.
const Process* ProcessBelow(const Session& session, const std::string& folder) {
  for (const auto& process : Kernel(session).processes) {
    if (process.ended) continue;
    if (IsBelow(process.imageFile, folder) || IsBelow(process.currentDir, folder)) {
      return &process;
    }
  }
  return nullptr;
}

// What deleting a file needs: DELETE access, shared by every handle open to it. The image of a
// process that has started cannot be deleted at all, but can be renamed (Windows maps the
// image, and a mapped file's name may change).
ChangeResult CheckFileGoes(const Session& session, const FsNode& file, const std::string& path,
                           bool renaming) {
  if (!renaming && IsRunningImage(session, path)) {
    return Refused(ERROR_ACCESS_DENIED, "the image of a running process");
  }
  if (HeldAgainstWriting(session, path)) {
    return Refused(ERROR_SHARING_VIOLATION, "in use by another program");
  }
  if (const auto* holder = SharingConflict(
          session, &file, kDeleteAccess, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) {
    return Refused(ERROR_SHARING_VIOLATION, DescribeConflict(*holder, kDeleteAccess));
  }
  return {};
}

// A folder is renamed or removed only when nothing in its tree is in use: NTFS and FAT refuse
// to rename a folder with an open file below it (ERROR_ACCESS_DENIED), and a running image or
// a process's current folder is such an open file.
ChangeResult CheckFolderGoes(const Session& session, const FsNode& folder,
                             const std::string& path) {
  if (HoldsOpenFile(session, folder)) {
    return Refused(ERROR_ACCESS_DENIED, "a file in its tree is held open");
  }
  if (const Process* process = ProcessBelow(session, path)) {
    return Refused(ERROR_ACCESS_DENIED,
                   "process " + std::to_string(process->id) + " runs from or in its tree");
  }
  return {};
}

ChangeResult CheckTreeDeletable(const Session& session, const FsNode& node,
                                const std::string& path) {
  if (node.linkTarget) return {};
  if (!node.directory) return CheckFileGoes(session, node, path, false);
  if (auto result = CheckFolderGoes(session, node, path); !result) return result;
  for (const auto& [key, child] : node.children) {
    auto result = CheckTreeDeletable(session, *child, path + "\\" + child->name);
    if (!result) return result;
  }
  return {};
}

ChangeResult CheckEntryGoes(const Session& session, const Location& at, bool renaming) {
  if (at.error) return Refused(at.error, "its folder cannot be reached");
  if (at.root) return Refused(ERROR_ACCESS_DENIED, "a drive root");
  if (!at.node) return Refused(ERROR_FILE_NOT_FOUND, "nothing stands there");
  const std::string path = at.RealPath();
  if (at.node->linkTarget) return {};
  if (at.node->directory) return CheckFolderGoes(session, *at.node, path);
  return CheckFileGoes(session, *at.node, path, renaming);
}

void Place(Location& at, std::unique_ptr<FsNode> node) {
  node->name = at.name;
  at.folder->children[UpperName(at.name)] = std::move(node);
}

}  // namespace

std::unique_ptr<FsNode> TakeNode(const Location& at) {
  auto slot = at.folder->children.find(UpperName(at.node->name));
  std::unique_ptr<FsNode> taken = std::move(slot->second);
  at.folder->children.erase(slot);
  return taken;
}

void RemoveNode(Session& session, const Location& at) {
  std::unique_ptr<FsNode> taken = TakeNode(at);
  if (HoldsOpenFile(session, *taken)) Kernel(session).detachedFiles.push_back(std::move(taken));
}

ChangeResult RemoveEntry(Session& session, const Location& at, bool wholeTree) {
  if (auto result = CheckEntryGoes(session, at, false); !result) return result;
  if (at.node->directory && !at.node->linkTarget) {
    if (!wholeTree && !at.node->children.empty()) {
      return Refused(ERROR_DIR_NOT_EMPTY, "the folder is not empty");
    }
    if (auto result = CheckTreeDeletable(session, *at.node, at.RealPath()); !result) {
      return result;
    }
  }
  RemoveNode(session, at);
  return {};
}

ChangeResult RenameEntry(Session& session, const Location& from, const Location& to,
                         bool replaceExisting) {
  if (auto result = CheckEntryGoes(session, from, true); !result) return result;
  if (to.error || to.root || !to.folder) return Refused(ERROR_PATH_NOT_FOUND, "no folder there");
  if (to.node == from.node) return {};
  if (to.node) {
    if (!replaceExisting || to.node->directory) {
      return Refused(ERROR_ALREADY_EXISTS, "the new name is taken");
    }
    if (auto result = CheckEntryGoes(session, to, false); !result) return result;
  }
  const std::string oldPath = from.RealPath();
  const std::string newPath = to.RealPath();
  std::unique_ptr<FsNode> moved = TakeNode(from);
  if (to.node) RemoveNode(session, to);
  Location target = to;
  Place(target, std::move(moved));
  // A running image keeps running from the file under its new name.
  for (auto& process : Kernel(session).processes) {
    if (!process.ended && SameName(process.imageFile, oldPath)) process.imageFile = newPath;
  }
  return {};
}

ChangeResult ReplaceEntry(Session& session, const Location& at, Bytes bytes) {
  if (at.error || at.root || !at.folder) return Refused(ERROR_PATH_NOT_FOUND, "no folder there");
  if (at.node) {
    if (at.node->directory && !at.node->linkTarget) {
      return Refused(ERROR_ACCESS_DENIED, "a folder stands there");
    }
    if (auto result = CheckEntryGoes(session, at, false); !result) return result;
    RemoveNode(session, at);
  }
  auto file = std::make_unique<FsNode>();
  file->content = std::move(bytes);
  Location target = at;
  Place(target, std::move(file));
  return {};
}

ChangeResult MakeLink(Session& session, const Location& at, const std::string& target) {
  if (at.error || at.root || !at.folder) return Refused(ERROR_PATH_NOT_FOUND, "no folder there");
  if (at.node) {
    if (auto result = RemoveEntry(session, at, true); !result) return result;
  }
  auto link = std::make_unique<FsNode>();
  link->linkTarget = target;
  const FsNode* pointed = session.machine.files.Find(target);
  link->directory = pointed != nullptr && pointed->directory;
  Location placed = at;
  Place(placed, std::move(link));
  return {};
}

}  // namespace emu::detail
