#include "change_summary.h"

#include <cstdio>
#include <set>

#include "encoding.h"

namespace machine_image {
namespace {

constexpr std::size_t kMaxLinesPerList = 16;
constexpr std::size_t kMaxNotable = 10;

std::string ParentOf(const std::string& path) {
  const std::size_t slash = path.rfind('\\');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

bool IsBelow(const std::string& upperPath, const std::string& upperAncestor) {
  return upperPath.size() > upperAncestor.size() &&
         upperPath.compare(0, upperAncestor.size(), upperAncestor) == 0 &&
         upperPath[upperAncestor.size()] == '\\';
}

std::string DescribeData(const SnapshotValue& value) {
  const emu::Bytes& data = value.data;
  if (value.type == 1 || value.type == 2) {
    std::string text(data.begin(), data.end());
    return "\"" + text.substr(0, text.find('\0')) + "\"";
  }
  if (value.type == 4 && data.size() == 4) {
    const std::uint32_t number =
        data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
    return std::to_string(number);
  }
  std::string hex = "hex:";
  for (std::size_t i = 0; i < data.size() && i < 8; ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%s%02x", i ? "," : "", data[i]);
    hex += byte;
  }
  return data.size() > 8 ? hex + ",..." : hex;
}

std::string ValueLabel(const SnapshotValue& value) {
  return value.name.empty() ? "(default)" : "\"" + value.name + "\"";
}

// Collects lines for one heading, keeping each list short enough to read.
class Section {
 public:
  explicit Section(std::string heading) : heading_(std::move(heading)) {}
  void Add(std::string line) { lines_.push_back(std::move(line)); }
  void AppendTo(std::vector<std::string>& out) const {
    if (lines_.empty()) return;
    out.push_back("  " + heading_);
    for (std::size_t i = 0; i < lines_.size() && i < kMaxLinesPerList; ++i) {
      out.push_back("    " + lines_[i]);
    }
    if (lines_.size() > kMaxLinesPerList) {
      out.push_back("    ... and " + std::to_string(lines_.size() - kMaxLinesPerList) + " more");
    }
  }

 private:
  std::string heading_;
  std::vector<std::string> lines_;
};

std::string Count(std::size_t n, const char* noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

// Sibling items as one line: "HKCR\.wrl\: ShellNew, UndoClass".
class SiblingLines {
 public:
  void Add(const std::string& parent, const std::string& item) {
    if (groups_.empty() || groups_.back().first != parent) groups_.push_back({parent, {}});
    groups_.back().second.push_back(item);
  }
  void AppendTo(Section& section, const char* one, const char* many) const {
    for (const auto& [parent, items] : groups_) {
      std::string line = std::string(items.size() == 1 ? one : many) + parent + "\\";
      line += items.size() == 1 ? "" : ": ";
      for (std::size_t i = 0; i < items.size(); ++i) line += (i ? ", " : "") + items[i];
      section.Add(line);
    }
  }

 private:
  std::vector<std::pair<std::string, std::vector<std::string>>> groups_;
};

// What one side has and the other lacks, tree by tree: a key or folder that went (or came)
// with everything below it is one item, not one per key or file.
void ListKeyTrees(const Snapshot& from, const Snapshot& to, Section& section) {
  std::set<std::string> gone;
  for (const auto& [upper, path] : from.keys) {
    if (!to.keys.count(upper)) gone.insert(upper);
  }
  SiblingLines lines;
  for (const std::string& upper : gone) {
    const std::string& path = from.keys.at(upper);
    const std::string parent = ParentOf(path);
    if (gone.count(emu::UpperName(parent))) continue;
    std::size_t keys = 0, values = 0;
    for (const std::string& other : gone) keys += IsBelow(other, upper);
    for (const auto& [key, value] : from.values) {
      const std::string keyUpper = emu::UpperName(value.key);
      values += keyUpper == upper || IsBelow(keyUpper, upper);
    }
    std::string item = path.substr(parent.size() + 1);
    if (keys > 0 && values > 0) {
      item += " (" + Count(keys, "subkey") + ", " + Count(values, "value") + ")";
    } else if (keys > 0 || values > 0) {
      item += " (" + (keys > 0 ? Count(keys, "subkey") : Count(values, "value")) + ")";
    }
    lines.Add(parent, item);
  }
  lines.AppendTo(section, "key    ", "keys   ");
  for (const auto& [upper, value] : from.values) {
    // Values of a key that went are counted with it; a root (no backslash) never goes.
    const bool keyStays =
        value.key.find('\\') == std::string::npos || to.keys.count(emu::UpperName(value.key));
    if (to.values.count(upper) || !keyStays) continue;
    section.Add("value  " + value.key + " " + ValueLabel(value) + " = " + DescribeData(value));
  }
}

void ListFileTrees(const Snapshot& from, const Snapshot& to, const std::set<std::string>& restart,
                   Section& section) {
  std::set<std::string> gone;
  for (const auto& [upper, entry] : from.files) {
    if (!to.files.count(upper)) gone.insert(upper);
  }
  SiblingLines folders, files;
  for (const std::string& upper : gone) {
    const SnapshotEntry& entry = from.files.at(upper);
    const std::string parent = ParentOf(entry.path);
    if (gone.count(emu::UpperName(parent))) continue;
    std::string item = entry.path.substr(parent.size() + 1);
    if (entry.folder) {
      std::size_t innerFiles = 0, innerFolders = 0;
      for (const std::string& other : gone) {
        if (IsBelow(other, upper)) (from.files.at(other).folder ? innerFolders : innerFiles)++;
      }
      if (innerFiles + innerFolders > 0) {
        item += " (" + Count(innerFiles, "file");
        if (innerFolders > 0) item += ", " + Count(innerFolders, "folder");
        item += ")";
      }
      folders.Add(parent, item);
    } else {
      if (restart.count(upper)) item += " (to be deleted at restart)";
      files.Add(parent, item);
    }
  }
  folders.AppendTo(section, "folder ", "folders");
  files.AppendTo(section, "file   ", "files  ");
}

void ListChangedValues(const Snapshot& before, const Snapshot& after, Section& section) {
  for (const auto& [upper, old] : before.values) {
    const auto found = after.values.find(upper);
    if (found == after.values.end()) continue;
    const SnapshotValue& now = found->second;
    if (now.type == old.type && now.data == old.data) continue;
    // An extension's default value is the class it opens with: say it that way.
    const bool extension = old.key.rfind("HKCR\\.", 0) == 0 &&
                           old.key.find('\\', 5) == std::string::npos && old.name.empty() &&
                           now.type == 1;
    if (extension) {
      const auto className = [](const SnapshotValue& value) {
        const std::string text(value.data.begin(), value.data.end());
        return text.substr(0, text.find('\0'));
      };
      section.Add(old.key.substr(5) + " now opens with " + className(now) + " (was " +
                  className(old) + ")");
    } else {
      section.Add(old.key + " " + ValueLabel(old) + ": " + DescribeData(old) + " -> " +
                  DescribeData(now));
    }
  }
}

// Survivors next to something that went: the install folder's other files, a maker key's
// other products. These are what a reader checks first to see the run kept to its own.
void ListNotableSurvivors(const Snapshot& before, const Snapshot& after, Section& section) {
  std::set<std::string> losingParents;
  for (const auto& [upper, path] : before.keys) {
    if (!after.keys.count(upper)) losingParents.insert(emu::UpperName(ParentOf(path)));
  }
  for (const auto& [upper, entry] : before.files) {
    if (!after.files.count(upper)) losingParents.insert(emu::UpperName(ParentOf(entry.path)));
  }
  // A root or a drive root losing a child says nothing about its other children.
  const auto deepEnough = [](const std::string& path) {
    const std::size_t first = path.find('\\');
    return first != std::string::npos && path.find('\\', first + 1) != std::string::npos;
  };
  std::size_t shown = 0;
  const auto consider = [&](const std::string& path, const std::string& label) {
    if (shown >= kMaxNotable || !deepEnough(path)) return;
    if (!losingParents.count(emu::UpperName(ParentOf(path)))) return;
    section.Add(label);
    ++shown;
  };
  for (const auto& [upper, path] : after.keys) {
    if (before.keys.count(upper)) consider(path, "key    " + path);
  }
  for (const auto& [upper, entry] : after.files) {
    if (before.files.count(upper)) {
      consider(entry.path,
               (entry.folder ? "folder " : "file   ") + entry.path + (entry.folder ? "\\" : ""));
    }
  }
}

std::string StayedCounts(const Snapshot& before, const Snapshot& after) {
  std::size_t keys = 0, values = 0, files = 0, folders = 0;
  for (const auto& [upper, path] : after.keys) keys += before.keys.count(upper);
  for (const auto& [upper, value] : after.values) {
    const auto old = before.values.find(upper);
    values += old != before.values.end() && old->second.data == value.data &&
              old->second.type == value.type;
  }
  for (const auto& [upper, entry] : after.files) {
    if (before.files.count(upper)) (entry.folder ? folders : files)++;
  }
  return "Stayed unchanged: " + std::to_string(keys) + " keys, " + std::to_string(values) +
         " values, " + std::to_string(files) + " files, " + std::to_string(folders) + " folders";
}

}  // namespace

std::vector<std::string> SummariseChanges(const Snapshot& before, const Snapshot& after,
                                          const std::vector<std::string>& restartDeletes) {
  std::set<std::string> restart;
  for (const std::string& path : restartDeletes) restart.insert(emu::UpperName(path));
  Section removed("Removed"), changed("Changed"), added("Added"), notable("Next to what went:");
  ListKeyTrees(before, after, removed);
  ListFileTrees(before, after, {}, removed);
  ListChangedValues(before, after, changed);
  ListKeyTrees(after, before, added);
  ListFileTrees(after, before, restart, added);
  ListNotableSurvivors(before, after, notable);

  std::vector<std::string> out = {"Before and after the run"};
  removed.AppendTo(out);
  changed.AppendTo(out);
  added.AppendTo(out);
  out.push_back("  " + StayedCounts(before, after));
  notable.AppendTo(out);
  if (out.size() == 2) out.insert(out.begin() + 1, "  Nothing changed.");
  return out;
}

}  // namespace machine_image
