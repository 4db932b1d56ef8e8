#include "support/machine_lines.h"

#include <algorithm>
#include <stdexcept>

#include "platform_api.h"
#include "support/new_session.h"

namespace test {
namespace {

struct KeyRef {
  emu::Root root;
  std::string path;
};

KeyRef SplitKey(const std::string& full) {
  auto slash = full.find('\\');
  std::string rootName = full.substr(0, slash);
  auto root = emu::ParseRootName(rootName);
  if (!root) throw std::invalid_argument("not a registry root: " + full);
  return {*root, slash == std::string::npos ? std::string() : full.substr(slash + 1)};
}

bool IsRegistryLine(const std::string& line) {
  return line.rfind("HK", 0) == 0;
}

std::string ValueText(const machine_image::SnapshotItem& value) {
  const auto& data = value.data;
  bool terminatedString = value.type == REG_SZ && !data.empty() && data.back() == 0 &&
                          std::find(data.begin(), data.end() - 1, 0) == data.end() - 1;
  if (terminatedString) return std::string(data.begin(), data.end() - 1);
  std::string text = "type" + std::to_string(value.type) + ":";
  static const char* kHex = "0123456789abcdef";
  for (auto byte : data) {
    text += kHex[byte >> 4];
    text += kHex[byte & 15];
  }
  return text;
}

std::string Line(machine_image::ItemKind kind, const machine_image::SnapshotItem& item) {
  if (kind == machine_image::ItemKind::Key) return item.path;
  if (kind == machine_image::ItemKind::Value) {
    return item.path + "|" + (item.name.empty() ? "@" : item.name) + "|" + ValueText(item);
  }
  if (item.linkTarget) return item.path + " -> " + *item.linkTarget;
  return item.folder ? item.path + "\\" : item.path;
}

}  // namespace

void AddLines(emu::Session& session, const Lines& lines) {
  for (const auto& line : lines) {
    if (IsRegistryLine(line)) {
      auto bar = line.find('|');
      KeyRef ref = SplitKey(line.substr(0, bar));
      emu::RegKey& key = session.machine.registry.CreateKey(ref.root, ref.path);
      if (bar == std::string::npos) continue;
      auto second = line.find('|', bar + 1);
      if (second == std::string::npos) throw std::invalid_argument("value without data: " + line);
      std::string name = line.substr(bar + 1, second - bar - 1);
      key.SetString(name == "@" ? "" : name, line.substr(second + 1));
    } else if (!line.empty() && line.back() == '\\') {
      session.machine.files.CreateFolder(line);
    } else {
      session.machine.files.CreateFile(line);
    }
  }
}

emu::Session MakeSession(const Lines& lines) {
  emu::Session session = NewSession();
  AddLines(session, lines);
  return session;
}

void RemoveFile(emu::Session& session, const std::string& path) {
  auto cut = path.find_last_of('\\');
  emu::FsNode* parent = session.machine.files.Find(path.substr(0, cut));
  if (parent == nullptr || parent->children.erase(emu::UpperName(path.substr(cut + 1))) != 1) {
    throw std::invalid_argument("no such file: " + path);
  }
}

std::set<std::string> Snapshot(const emu::Session& session) {
  return Changes({}, machine_image::TakeSnapshot(session.machine)).added;
}

Change Compare(const std::set<std::string>& before, const std::set<std::string>& after) {
  Change change;
  std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                      std::inserter(change.removed, change.removed.end()));
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                      std::inserter(change.added, change.added.end()));
  return change;
}

Change Changes(const machine_image::Snapshot& before, const machine_image::Snapshot& after) {
  Change change;
  for (const auto& [kind, id, was, is] :
       machine_image::DiffMachines(before, after, {.contents = false, .attributes = 0})) {
    if (was) change.removed.insert(Line(kind, *was));
    if (is) change.added.insert(Line(kind, *is));
  }
  return change;
}

std::string Join(const std::set<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += "\n  " + line;
  return text.empty() ? " (none)" : text;
}

}  // namespace test
