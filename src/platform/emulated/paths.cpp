#include "paths.h"

#include "code_page.h"
#include "platform_api.h"
#include "state.h"

namespace emu::detail {
namespace {

constexpr int kMaxLinkDepth = 31;  // Windows gives up on reparse chains after a few dozen

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

bool IsDriveLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char UpperDrive(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c;
}

// Adds the names of a relative path to `names` the way Win32 normalises a path: empty and "."
// names vanish, ".." goes up (never above the root), trailing dots and blanks are dropped from
// each name ("Uninstall.exe." names Uninstall.exe, a classic way around name checks).
void AppendNames(std::string_view rest, PathParts& out) {
  out.trailingSeparator = false;
  while (!rest.empty()) {
    std::size_t end = 0;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    std::string name(rest.substr(0, end));
    bool separatorFollows = end < rest.size();
    rest.remove_prefix(separatorFollows ? end + 1 : end);
    if (name == "..") {
      if (!out.names.empty()) out.names.pop_back();
      continue;
    }
    if (name != ".") {
      while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    }
    if (name.empty() || name == ".") continue;
    out.names.push_back(std::move(name));
    out.trailingSeparator = separatorFollows;
  }
}

// Windows finds a name by its long form or by its 8.3 alias ("PROGRA~1"). The aliases are
// those GetShortPathNameA gives on a Western machine (code page 1252): a machine of another page
// aliases names beyond ASCII otherwise, which this lookup does not follow.
FsNode* Child(FsNode& folder, std::string_view name) {
  auto found = folder.children.find(UpperName(name));
  if (found != folder.children.end()) return found->second.get();
  if (name.find('~') == std::string_view::npos) return nullptr;
  return ChildByShortName(folder, name, 1252);
}

}  // namespace

std::string JoinPath(const PathParts& parts) {
  std::string path{parts.drive, ':'};
  if (parts.names.empty()) return path + "\\";
  for (const auto& name : parts.names) path += "\\" + name;
  return path;
}

// "X:" with nothing after it is the root of X: here. Windows would take X:'s current folder
// (a per-drive setting this machine does not keep); for the paths the product builds, the
// drive's current folder is its root anyway.
std::optional<PathParts> ParseAbsolute(std::string_view path) {
  if (path.size() < 2 || !IsDriveLetter(path[0]) || path[1] != ':') return std::nullopt;
  PathParts parts;
  parts.drive = UpperDrive(path[0]);
  AppendNames(path.substr(2), parts);
  return parts;
}

std::uint32_t ParseProgramPath(std::string_view path, std::string_view currentDir, PathParts& out) {
  if (path.empty()) return ERROR_PATH_NOT_FOUND;
  // The "A" functions convert the name into a MAX_PATH buffer of UTF-16 first.
  if (Utf16Length(path) >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    return ERROR_BAD_NETPATH;  // \\server\share: this machine has no network
  }
  bool drivePrefix = path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':';
  std::string_view rest = drivePrefix ? path.substr(2) : path;
  // '?' and '*' are wildcards, never part of a name: a path that holds one names no file. That
  // is also where the '?' lands that a code page put for a character it cannot hold.
  for (char c : rest) {
    auto u = static_cast<unsigned char>(c);
    if (u < 32 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' ||
        c == '*') {
      return ERROR_INVALID_NAME;
    }
  }
  if (drivePrefix) {
    out = *ParseAbsolute(path);
  } else {
    auto base = ParseAbsolute(currentDir);
    if (!base) return ERROR_PATH_NOT_FOUND;
    out = *base;
    if (IsSeparator(rest.front())) out.names.clear();  // "\x": the current drive's root
    AppendNames(rest, out);
  }
  if (Utf16Length(JoinPath(out)) >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  return 0;
}

bool IsDirectory(const FsNode& node) {
  return node.directory;
}

Location LocateParts(FileSystem& files, const PathParts& parts, int depth) {
  Location location;
  location.trailingSeparator = parts.trailingSeparator;
  location.real.drive = parts.drive;
  location.spelled.drive = parts.drive;
  auto drive = files.drives.find(parts.drive);
  if (drive == files.drives.end()) {
    location.error = ERROR_PATH_NOT_FOUND;
    return location;
  }
  FsNode* folder = &drive->second;
  if (parts.names.empty()) {
    location.root = true;
    location.node = folder;
    return location;
  }
  for (std::size_t i = 0; i + 1 < parts.names.size(); ++i) {
    FsNode* child = Child(*folder, parts.names[i]);
    if (!child) {
      location.error = ERROR_PATH_NOT_FOUND;
      return location;
    }
    if (child->linkTarget) {
      Location step;
      step.folder = folder;
      step.node = child;
      step.real = location.real;
      step.real.names.push_back(child->name);
      Location target = FollowLink(files, std::move(step), depth + 1);
      if (target.error || !target.node || !IsDirectory(*target.node)) {
        location.error =
            target.error == ERROR_CANT_RESOLVE_FILENAME ? target.error : ERROR_PATH_NOT_FOUND;
        return location;
      }
      folder = target.node;
      location.real = target.real;
      location.spelled.names.push_back(child->name);
      continue;
    }
    if (!child->directory) {
      location.error = ERROR_PATH_NOT_FOUND;
      return location;
    }
    folder = child;
    location.real.names.push_back(child->name);
    location.spelled.names.push_back(child->name);
  }
  location.folder = folder;
  location.name = parts.names.back();
  location.node = Child(*folder, location.name);
  location.real.names.push_back(location.node ? location.node->name : location.name);
  location.spelled.names.push_back(location.real.names.back());
  return location;
}

Location LocateForProcess(const char* path) {
  PathParts parts;
  std::uint32_t error =
      path ? ParseProgramPath(FromProgram(path), CurrentProcess().currentDir, parts)
           : ERROR_INVALID_PARAMETER;
  if (error) {
    Location failed;
    failed.error = error;
    return failed;
  }
  return LocateParts(CurrentSession().machine.files, parts);
}

// A relative target is taken from the link's own folder, as a symbolic link's is.
Location FollowLink(FileSystem& files, Location location, int depth) {
  while (!location.error && location.node && location.node->linkTarget) {
    if (depth++ > kMaxLinkDepth) {
      location.error = ERROR_CANT_RESOLVE_FILENAME;
      return location;
    }
    PathParts folder = location.real;
    if (!folder.names.empty()) folder.names.pop_back();
    const std::string& target = *location.node->linkTarget;
    PathParts parts;
    auto absolute = ParseAbsolute(target);
    if (absolute) {
      parts = *absolute;
    } else if (std::uint32_t error = ParseProgramPath(target, JoinPath(folder), parts)) {
      location.error = error;
      return location;
    }
    location = LocateParts(files, parts, depth);
  }
  return location;
}

}  // namespace emu::detail
