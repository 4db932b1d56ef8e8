#include "safety/machine_state.h"

namespace safety {

using machine_image::ItemKind;

MachineState CaptureState(const emu::Session& session) {
  return machine_image::TakeSnapshot(session.machine);
}

std::string KeyId(const std::string& upperKeyPath) {
  return std::string("K\0", 2) + upperKeyPath;
}

std::string ValueId(const std::string& upperKeyPath, const std::string& upperValueName) {
  return std::string("V\0", 2) + upperKeyPath + '\0' + upperValueName;
}

std::string FileId(const std::string& upperFullPath) {
  return std::string("F\0", 2) + upperFullPath;
}

const SnapshotItem* Find(const MachineState& state, const std::string& id) {
  if (id.size() < 2) return nullptr;
  std::string rest = id.substr(2);
  const auto* items = id[0] == 'K' ? &state.keys : id[0] == 'F' ? &state.files : &state.values;
  const std::size_t nul = rest.find('\0');
  if (nul != std::string::npos) rest[nul] = '\n';  // the snapshot's own separator
  const auto found = items->find(rest);
  return found == items->end() ? nullptr : &found->second;
}

std::vector<Difference> Differences(const MachineState& before, const MachineState& after) {
  std::vector<Difference> differences;
  for (const auto& [kind, id, was, is] : machine_image::DiffMachines(before, after)) {
    const SnapshotItem& item = was ? *was : *is;
    const std::string upper(id);
    const std::string safetyId = kind == ItemKind::Key ? KeyId(upper)
                                 : kind == ItemKind::Value
                                     ? ValueId(emu::UpperName(item.path), emu::UpperName(item.name))
                                     : FileId(upper);
    differences.push_back({safetyId, was, is});
  }
  return differences;
}

std::string Describe(const Difference& difference) {
  const SnapshotItem& item = difference.before ? *difference.before : *difference.after;
  const std::string shown =
      item.path + (difference.id[0] == 'V' ? "|" + (item.name.empty() ? "@" : item.name) : "");
  if (!difference.after) return "removed " + shown;
  if (!difference.before) return "added " + shown;
  return "changed " + shown;
}

}  // namespace safety
