// The drives as data: host-side lookup and creation (images, tests). Links are not followed
// here; the API functions follow them as Windows does.
#include <stdexcept>

#include "paths.h"

namespace emu {
namespace {

FsNode& DriveRoot(FileSystem& files, char drive) {
  FsNode& root = files.drives[drive];
  if (root.name.empty()) {
    root.name = std::string{drive, ':'};
    root.directory = true;
  }
  return root;
}

detail::PathParts ParseOrThrow(std::string_view path) {
  auto parts = detail::ParseAbsolute(path);
  if (!parts) throw std::invalid_argument("not a drive-absolute path: " + std::string(path));
  return *parts;
}

FsNode& ChildFolder(FsNode& folder, const std::string& name, std::string_view whole) {
  auto& slot = folder.children[UpperName(name)];
  if (!slot) {
    slot = std::make_unique<FsNode>();
    slot->name = name;
    slot->directory = true;
  } else if (!slot->directory || slot->linkTarget) {
    throw std::invalid_argument("a file stands where a folder is needed: " + std::string(whole));
  }
  return *slot;
}

}  // namespace

FsNode::FsNode(const FsNode& other)
    : name(other.name),
      directory(other.directory),
      content(other.content),
      linkTarget(other.linkTarget),
      attributes(other.attributes) {
  for (const auto& [upper, child] : other.children)
    children.emplace(upper, std::make_unique<FsNode>(*child));
}

FsNode& FsNode::operator=(const FsNode& other) {
  if (this != &other) *this = FsNode(other);
  return *this;
}

FsNode* FileSystem::Find(std::string_view absolutePath) {
  auto parts = detail::ParseAbsolute(absolutePath);
  if (!parts) return nullptr;
  auto drive = drives.find(parts->drive);
  if (drive == drives.end()) return nullptr;
  FsNode* node = &drive->second;
  for (const auto& name : parts->names) {
    auto child = node->children.find(UpperName(name));
    if (child == node->children.end()) return nullptr;
    node = child->second.get();
  }
  return node;
}

const FsNode* FileSystem::Find(std::string_view absolutePath) const {
  return const_cast<FileSystem*>(this)->Find(absolutePath);
}

FsNode& FileSystem::CreateFolder(std::string_view absolutePath) {
  auto parts = ParseOrThrow(absolutePath);
  FsNode* folder = &DriveRoot(*this, parts.drive);
  for (const auto& name : parts.names) folder = &ChildFolder(*folder, name, absolutePath);
  return *folder;
}

FsNode& FileSystem::CreateFile(std::string_view absolutePath, Bytes content) {
  auto parts = ParseOrThrow(absolutePath);
  if (parts.names.empty()) {
    throw std::invalid_argument("a drive root is no file: " + std::string(absolutePath));
  }
  FsNode* folder = &DriveRoot(*this, parts.drive);
  for (std::size_t i = 0; i + 1 < parts.names.size(); ++i) {
    folder = &ChildFolder(*folder, parts.names[i], absolutePath);
  }
  auto& slot = folder->children[UpperName(parts.names.back())];
  if (slot && slot->directory) {
    throw std::invalid_argument("a folder stands where a file is wanted: " +
                                std::string(absolutePath));
  }
  if (!slot) {
    slot = std::make_unique<FsNode>();
    slot->name = parts.names.back();
  }
  slot->content = std::move(content);
  return *slot;
}

std::string CanonicalPath(std::string_view absolutePath) {
  auto parts = detail::ParseAbsolute(absolutePath);
  return parts ? detail::JoinPath(*parts) : std::string();
}

}  // namespace emu
