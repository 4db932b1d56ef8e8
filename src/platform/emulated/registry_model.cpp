// The registry tree as data: keys, values and paths below the three roots.
#include <algorithm>

#include "machine.h"

namespace emu {
namespace {

// Splits "A\B\\C" into its names; empty names (doubled or outer backslashes) are skipped here,
// the API functions reject them before they get this far.
std::vector<std::string_view> SplitKeyPath(std::string_view path) {
  std::vector<std::string_view> names;
  while (!path.empty()) {
    auto slash = path.find('\\');
    auto name = path.substr(0, slash);
    if (!name.empty()) names.push_back(name);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return names;
}

}  // namespace

RegKey::RegKey(const RegKey& other) : name(other.name), values(other.values), denied(other.denied) {
  for (const auto& [upper, child] : other.subkeys)
    subkeys.emplace(upper, std::make_unique<RegKey>(*child));
}

RegKey& RegKey::operator=(const RegKey& other) {
  if (this != &other) *this = RegKey(other);
  return *this;
}

RegKey* RegKey::Find(std::string_view childName) {
  auto found = subkeys.find(UpperName(childName));
  return found == subkeys.end() ? nullptr : found->second.get();
}

const RegKey* RegKey::Find(std::string_view childName) const {
  return const_cast<RegKey*>(this)->Find(childName);
}

RegKey& RegKey::Create(std::string_view childName) {
  auto& slot = subkeys[UpperName(childName)];
  if (!slot) {
    slot = std::make_unique<RegKey>();
    slot->name = std::string(childName);
  }
  return *slot;
}

bool RegKey::Remove(std::string_view childName) {
  return subkeys.erase(UpperName(childName)) > 0;
}

const RegValue* RegKey::FindValue(std::string_view valueName) const {
  auto found = std::ranges::find_if(
      values, [valueName](const RegValue& value) { return SameName(value.name, valueName); });
  return found == values.end() ? nullptr : &*found;
}

// An existing value keeps its place and the case of its name, as a Windows overwrite does.
void RegKey::SetValue(std::string_view valueName, std::uint32_t type, Bytes data) {
  auto found = std::ranges::find_if(
      values, [valueName](const RegValue& value) { return SameName(value.name, valueName); });
  if (found == values.end()) {
    values.push_back({std::string(valueName), type, std::move(data)});
  } else {
    found->type = type;
    found->data = std::move(data);
  }
}

void RegKey::SetString(std::string_view valueName, std::string_view text) {
  Bytes data(text.begin(), text.end());
  data.push_back(0);
  SetValue(valueName, 1, std::move(data));
}

RegKey& Registry::RootKey(Root root) {
  switch (root) {
    case Root::LocalMachine:
      return localMachine;
    case Root::CurrentUser:
      return currentUser;
    case Root::ClassesRoot:
      break;
  }
  return classesRoot;
}

const RegKey& Registry::RootKey(Root root) const {
  return const_cast<Registry*>(this)->RootKey(root);
}

RegKey* Registry::FindKey(Root root, std::string_view path) {
  RegKey* key = &RootKey(root);
  for (auto name : SplitKeyPath(path)) {
    key = key->Find(name);
    if (!key) return nullptr;
  }
  return key;
}

const RegKey* Registry::FindKey(Root root, std::string_view path) const {
  return const_cast<Registry*>(this)->FindKey(root, path);
}

RegKey& Registry::CreateKey(Root root, std::string_view path) {
  RegKey* key = &RootKey(root);
  for (auto name : SplitKeyPath(path)) key = &key->Create(name);
  return *key;
}

}  // namespace emu
