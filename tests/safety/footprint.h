// The product's footprint: everything an uninstall run may delete, change or add. The safety
// checks hold every other key, value, folder, file and link to be byte for byte as before.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace safety {

struct Footprint {
  // Files, folders, links, single keys and single values, as machine_state identities.
  std::set<std::string> items;
  // Upper-cased key paths ("HKCR\ORBELLE") whose key, values and every key below may go.
  std::vector<std::string> keyTrees;
  // Upper-cased key paths whose key and values may go, but no key below them: the uninstaller
  // deletes UndoClass and ShellNew one key at a time, which Windows refuses while they have
  // subkeys.
  std::set<std::string> singleKeys;

  void AddTree(const std::string& upperKeyPath) { keyTrees.push_back(upperKeyPath); }
  bool Contains(const std::string& id) const;
};

// The key path of a key or value identity ("" for a file identity).
std::string KeyPathOf(const std::string& id);
bool InTree(const std::string& upperKeyPath, const std::string& upperTree);

}  // namespace safety
