#include "machine_snapshot.h"

namespace machine_image {
namespace {

void AddKey(Snapshot& snapshot, const std::string& path, const emu::RegKey& key, bool isRoot) {
  if (!isRoot) snapshot.keys[emu::UpperName(path)] = {.path = path, .denied = key.denied};
  for (const emu::RegValue& value : key.values) {
    snapshot.values[emu::UpperName(path) + '\n' + emu::UpperName(value.name)] = {
        .path = path, .name = value.name, .type = value.type, .data = value.data};
  }
  for (const auto& [upper, child] : key.subkeys)
    AddKey(snapshot, path + "\\" + child->name, *child, false);
}

void AddNode(Snapshot& snapshot, const std::string& path, const emu::FsNode& node) {
  snapshot.files[emu::UpperName(path)] = {.path = path,
                                          .data = node.content,
                                          .folder = node.directory,
                                          .linkTarget = node.linkTarget,
                                          .attributes = node.attributes};
  // A link's contents are its target's: they are listed where the target lives.
  if (node.linkTarget) return;
  for (const auto& [upper, child] : node.children)
    AddNode(snapshot, path + "\\" + child->name, *child);
}

}  // namespace

Snapshot TakeSnapshot(const emu::Machine& machine) {
  Snapshot snapshot;
  for (const emu::Root root :
       {emu::Root::LocalMachine, emu::Root::CurrentUser, emu::Root::ClassesRoot}) {
    AddKey(snapshot, emu::ShortRootName(root), machine.registry.RootKey(root), true);
  }
  for (const auto& [letter, root] : machine.files.drives) {
    for (const auto& [upper, child] : root.children) {
      AddNode(snapshot, std::string(1, letter) + ":\\" + child->name, *child);
    }
  }
  return snapshot;
}

}  // namespace machine_image
