#include "safety/machine_state.h"

namespace safety {
namespace {

void CaptureKey(const emu::RegKey& key, const std::string& shown, bool isRoot,
                MachineState& state) {
  const std::string upper = emu::UpperName(shown);
  if (!isRoot) state[KeyId(upper)] = {shown, key.name + (key.denied ? "|denied" : "")};
  for (const auto& value : key.values) {
    std::string bytes = value.name + "|" + std::to_string(value.type) + "|";
    bytes.append(value.data.begin(), value.data.end());
    state[ValueId(upper, emu::UpperName(value.name))] = {
        shown + "|" + (value.name.empty() ? "@" : value.name), std::move(bytes)};
  }
  for (const auto& [upperName, child] : key.subkeys) {
    CaptureKey(*child, shown + "\\" + child->name, false, state);
  }
}

void CaptureFolder(const emu::FsNode& folder, const std::string& shown, MachineState& state) {
  for (const auto& [upperName, child] : folder.children) {
    const std::string path = shown + child->name;
    std::string bytes = child->name;
    if (child->linkTarget) {
      bytes += (child->directory ? "|folder link|" : "|link|") + *child->linkTarget;
    } else if (child->directory) {
      bytes += "|folder";
    } else {
      bytes += "|file|";
      bytes.append(child->content.begin(), child->content.end());
    }
    // Read-only, hidden and system are the file's as much as its bytes; only the product's own
    // files may lose them.
    if (child->attributes != 0 && !child->linkTarget) {
      bytes += "|attributes " + std::to_string(child->attributes);
    }
    state[FileId(emu::UpperName(path))] = {path, std::move(bytes),
                                           child->directory && !child->linkTarget};
    // A link's contents are its target's; they are listed where the target lives.
    if (child->directory && !child->linkTarget) CaptureFolder(*child, path + "\\", state);
  }
}

}  // namespace

std::string KeyId(const std::string& upperKeyPath) {
  return std::string("K\0", 2) + upperKeyPath;
}

std::string ValueId(const std::string& upperKeyPath, const std::string& upperValueName) {
  return std::string("V\0", 2) + upperKeyPath + '\0' + upperValueName;
}

std::string FileId(const std::string& upperFullPath) {
  return std::string("F\0", 2) + upperFullPath;
}

MachineState CaptureState(const emu::Machine& machine) {
  MachineState state;
  for (auto root : {emu::Root::LocalMachine, emu::Root::CurrentUser, emu::Root::ClassesRoot}) {
    CaptureKey(machine.registry.RootKey(root), emu::ShortRootName(root), true, state);
  }
  for (const auto& [letter, root] : machine.files.drives) {
    CaptureFolder(root, std::string{letter, ':', '\\'}, state);
  }
  return state;
}

std::vector<Difference> Differences(const MachineState& before, const MachineState& after) {
  std::vector<Difference> differences;
  auto b = before.begin();
  auto a = after.begin();
  while (b != before.end() || a != after.end()) {
    if (a == after.end() || (b != before.end() && b->first < a->first)) {
      differences.push_back({b->first, &b->second, nullptr});
      ++b;
    } else if (b == before.end() || a->first < b->first) {
      differences.push_back({a->first, nullptr, &a->second});
      ++a;
    } else {
      if (b->second.bytes != a->second.bytes) {
        differences.push_back({b->first, &b->second, &a->second});
      }
      ++b;
      ++a;
    }
  }
  return differences;
}

std::string Describe(const Difference& difference) {
  if (!difference.after) return "removed " + difference.before->shown;
  if (!difference.before) return "added " + difference.after->shown;
  return "changed " + difference.before->shown;
}

}  // namespace safety
