#include "safety/footprint.h"

namespace safety {

std::string KeyPathOf(const std::string& id) {
  if (id.size() < 2 || (id[0] != 'K' && id[0] != 'V')) return "";
  const std::string rest = id.substr(2);
  return id[0] == 'K' ? rest : rest.substr(0, rest.find('\0'));
}

bool InTree(const std::string& upperKeyPath, const std::string& upperTree) {
  return upperKeyPath == upperTree ||
         (upperKeyPath.size() > upperTree.size() && upperKeyPath[upperTree.size()] == '\\' &&
          upperKeyPath.compare(0, upperTree.size(), upperTree) == 0);
}

bool Footprint::Contains(const std::string& id) const {
  if (items.count(id)) return true;
  const std::string keyPath = KeyPathOf(id);
  if (keyPath.empty()) return false;
  if (singleKeys.count(keyPath)) return true;
  for (const auto& tree : keyTrees) {
    if (InTree(keyPath, tree)) return true;
  }
  return false;
}

}  // namespace safety
