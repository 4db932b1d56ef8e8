#include "safety/machine_state.h"

#include "machine_snapshot.h"

namespace safety {
namespace {

std::string Text(const emu::Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

std::string LastPart(const std::string& path) {
  return path.substr(path.find_last_of('\\') + 1);
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

MachineState CaptureState(const emu::Session& session) {
  const machine_image::Snapshot snapshot = machine_image::TakeSnapshot(session.machine);
  MachineState state;
  for (const auto& [upper, shown] : snapshot.keys) {
    state[KeyId(upper)] = {
        shown, LastPart(shown) + (snapshot.deniedKeys.contains(upper) ? "|denied" : "")};
  }
  for (const auto& [id, value] : snapshot.values) {
    state[ValueId(emu::UpperName(value.key), emu::UpperName(value.name))] = {
        value.key + "|" + (value.name.empty() ? "@" : value.name),
        value.name + "|" + std::to_string(value.type) + "|" + Text(value.data)};
  }
  for (const auto& [upper, entry] : snapshot.files) {
    std::string bytes = LastPart(entry.path);
    if (entry.linkTarget) {
      bytes += (entry.folder ? "|folder link|" : "|link|") + *entry.linkTarget;
    } else if (entry.folder) {
      bytes += "|folder";
    } else {
      bytes += "|file|" + Text(entry.content);
    }
    // Read-only, hidden and system are the file's as much as its bytes; only the product's own
    // files may lose them.
    if (entry.attributes != 0 && !entry.linkTarget) {
      bytes += "|attributes " + std::to_string(entry.attributes);
    }
    state[FileId(upper)] = {entry.path, std::move(bytes), entry.folder && !entry.linkTarget};
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
