#include "change_summary.h"

#include <cstdio>
#include <set>

#include "encoding.h"
#include "machine_diff.h"

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

std::string DescribeData(const SnapshotItem& value) {
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

std::string ValueLabel(const SnapshotItem& value) {
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

// The ids of the items of one kind that only one side has: the side `from` when `gone`.
std::set<std::string> OneSided(const std::vector<Difference>& differences, ItemKind kind,
                               bool gone) {
  std::set<std::string> ids;
  for (const Difference& d : differences) {
    if (d.kind == kind && !(gone ? d.after : d.before)) ids.emplace(d.id);
  }
  return ids;
}

// What one side has and the other lacks, tree by tree: a key or folder that went (or came)
// with everything below it is one item, not one per key or file.
void ListKeyTrees(const Snapshot& from, const std::set<std::string>& gone,
                  const std::set<std::string>& goneValues, Section& section) {
  SiblingLines lines;
  for (const std::string& upper : gone) {
    const std::string& path = from.keys.at(upper).path;
    const std::string parent = ParentOf(path);
    if (gone.count(emu::UpperName(parent))) continue;
    std::size_t keys = 0, values = 0;
    for (const std::string& other : gone) keys += IsBelow(other, upper);
    for (const auto& [key, value] : from.values) {
      const std::string keyUpper = emu::UpperName(value.path);
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
  for (const std::string& id : goneValues) {
    const SnapshotItem& value = from.values.at(id);
    // Values of a key that went are counted with it; a root (no backslash) never goes.
    if (gone.count(emu::UpperName(value.path))) continue;
    section.Add("value  " + value.path + " " + ValueLabel(value) + " = " + DescribeData(value));
  }
}

void ListFileTrees(const Snapshot& from, const std::set<std::string>& gone,
                   const std::set<std::string>& restart, Section& section) {
  SiblingLines folders, files;
  for (const std::string& upper : gone) {
    const SnapshotItem& entry = from.files.at(upper);
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

void ListChangedValue(const SnapshotItem& old, const SnapshotItem& now, Section& section) {
  // An extension's default value is the class it opens with: say it that way.
  const bool extension = old.path.rfind("HKCR\\.", 0) == 0 &&
                         old.path.find('\\', 5) == std::string::npos && old.name.empty() &&
                         now.type == 1;
  if (extension) {
    const auto className = [](const SnapshotItem& value) {
      const std::string text(value.data.begin(), value.data.end());
      return text.substr(0, text.find('\0'));
    };
    section.Add(old.path.substr(5) + " now opens with " + className(now) + " (was " +
                className(old) + ")");
  } else {
    section.Add(old.path + " " + ValueLabel(old) + ": " + DescribeData(old) + " -> " +
                DescribeData(now));
  }
}

// Survivors next to something that went: the install folder's other files, a maker key's
// other products. These are what a reader checks first to see the run kept to its own.
void ListNotableSurvivors(const Snapshot& before, const Snapshot& after,
                          const std::set<std::string>& losingParents, Section& section) {
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
  for (const auto& [upper, key] : after.keys) {
    if (before.keys.count(upper)) consider(key.path, "key    " + key.path);
  }
  for (const auto& [upper, entry] : after.files) {
    if (before.files.count(upper)) {
      consider(entry.path,
               (entry.folder ? "folder " : "file   ") + entry.path + (entry.folder ? "\\" : ""));
    }
  }
}

}  // namespace

std::vector<std::string> SummariseChanges(const Snapshot& before, const Snapshot& after,
                                          const std::vector<std::string>& restartDeletes) {
  // For people reading a run: what went, came and changed. Letter case, file bytes and
  // attributes are left to the outcome's files.
  const std::vector<Difference> differences =
      DiffMachines(before, after, {.spelling = false, .contents = false, .attributes = 0});
  std::set<std::string> restart;
  for (const std::string& path : restartDeletes) restart.insert(emu::UpperName(path));
  Section removed("Removed"), changed("Changed"), added("Added"), notable("Next to what went:");
  const auto goneKeys = OneSided(differences, ItemKind::Key, true);
  const auto goneFiles = OneSided(differences, ItemKind::File, true);
  const auto newKeys = OneSided(differences, ItemKind::Key, false);
  const auto newFiles = OneSided(differences, ItemKind::File, false);
  const auto newValues = OneSided(differences, ItemKind::Value, false);
  ListKeyTrees(before, goneKeys, OneSided(differences, ItemKind::Value, true), removed);
  ListFileTrees(before, goneFiles, {}, removed);
  std::size_t changedValues = 0;
  for (const Difference& d : differences) {
    if (d.kind != ItemKind::Value || !d.before || !d.after) continue;
    ListChangedValue(*d.before, *d.after, changed);
    ++changedValues;
  }
  ListKeyTrees(after, newKeys, newValues, added);
  ListFileTrees(after, newFiles, restart, added);
  std::set<std::string> losingParents;
  for (const std::string& upper : goneKeys) losingParents.insert(ParentOf(upper));
  for (const std::string& upper : goneFiles) losingParents.insert(ParentOf(upper));
  ListNotableSurvivors(before, after, losingParents, notable);

  // A file that became a folder, or the other way round, stayed: it is counted as it is now.
  std::size_t files = 0, folders = 0;
  for (const auto& [upper, entry] : after.files) {
    if (!newFiles.count(upper)) (entry.folder ? folders : files)++;
  }
  std::vector<std::string> out = {"Before and after the run"};
  removed.AppendTo(out);
  changed.AppendTo(out);
  added.AppendTo(out);
  out.push_back("  Stayed unchanged: " + std::to_string(after.keys.size() - newKeys.size()) +
                " keys, " + std::to_string(after.values.size() - newValues.size() - changedValues) +
                " values, " + std::to_string(files) + " files, " + std::to_string(folders) +
                " folders");
  notable.AppendTo(out);
  if (out.size() == 2) out.insert(out.begin() + 1, "  Nothing changed.");
  return out;
}

}  // namespace machine_image
