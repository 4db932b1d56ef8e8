#include "machine_diff.h"

namespace machine_image {
namespace {

using Items = std::map<std::string, SnapshotItem>;

void Walk(ItemKind kind, const Items& before, const Items& after, const DiffOptions& options,
          std::vector<Difference>& out) {
  for (const auto& [id, item] : before) {
    const auto found = after.find(id);
    if (found == after.end()) {
      out.push_back({kind, id, &item, nullptr});
    } else if (!SameItem(kind, item, found->second, options)) {
      out.push_back({kind, id, &item, &found->second});
    }
  }
  for (const auto& [id, item] : after) {
    if (!before.contains(id)) out.push_back({kind, id, nullptr, &item});
  }
}

}  // namespace

bool SameItem(ItemKind kind, const SnapshotItem& a, const SnapshotItem& b,
              const DiffOptions& options) {
  if (options.spelling && (a.path != b.path || a.name != b.name)) return false;
  if (kind == ItemKind::Key) return a.denied == b.denied;
  if (kind == ItemKind::Value) return a.type == b.type && a.data == b.data;
  if (a.folder != b.folder || a.linkTarget != b.linkTarget) return false;
  if (options.contents && a.data != b.data) return false;
  return a.linkTarget || ((a.attributes ^ b.attributes) & options.attributes) == 0;
}

std::vector<Difference> DiffMachines(const Snapshot& before, const Snapshot& after,
                                     const DiffOptions& options) {
  std::vector<Difference> differences;
  Walk(ItemKind::File, before.files, after.files, options, differences);
  Walk(ItemKind::Key, before.keys, after.keys, options, differences);
  Walk(ItemKind::Value, before.values, after.values, options, differences);
  return differences;
}

}  // namespace machine_image
