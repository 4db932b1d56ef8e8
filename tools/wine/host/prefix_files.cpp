#include "prefix_files.h"

#include <fstream>
#include <stdexcept>

#include "encoding.h"

namespace wine_harness {
namespace {

constexpr std::uint32_t kReadOnly = 0x1;  // FILE_ATTRIBUTE_READONLY
constexpr fs::perms kWritePermissions =
    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

fs::path DriveFolder(const fs::path& prefix, char letter, bool create) {
  const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
  const fs::path folder = prefix / (std::string("drive_") + lower);
  if (create && lower != 'c' && !fs::exists(folder)) {
    fs::create_directories(folder);
    const fs::path link = prefix / "dosdevices" / (std::string(1, lower) + ":");
    std::error_code ignored;
    fs::remove(link, ignored);
    fs::create_directory_symlink(fs::path("..") / folder.filename(), link);
  }
  return folder;
}

// The existing entry of folder whose name Windows takes for name, or name as given.
std::string MatchName(const fs::path& folder, const std::string& name) {
  std::error_code error;
  if (fs::is_directory(folder, error)) {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
      const std::string hostName = entry.path().filename().string();
      if (emu::SameName(hostName, name)) return hostName;
    }
  }
  return name;
}

void LayNode(const emu::FsNode& node, const fs::path& hostFolder) {
  for (const auto& [upper, child] : node.children) {
    const fs::path target = hostFolder / MatchName(hostFolder, child->name);
    if (child->directory) {
      fs::create_directories(target);
      LayNode(*child, target);
    } else {
      std::ofstream out(target, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(child->content.data()),
                static_cast<std::streamsize>(child->content.size()));
      if (!out) throw std::runtime_error("cannot write " + target.string());
      out.close();
      if (child->attributes & kReadOnly) {
        fs::permissions(target, kWritePermissions, fs::perm_options::remove);
      }
    }
  }
}

void ListFolder(const fs::path& hostFolder, const std::string& windowsFolder,
                std::map<std::string, ListedEntry>& listing) {
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(hostFolder, error)) {
    if (entry.is_symlink(error)) continue;
    const std::string path = windowsFolder + "\\" + entry.path().filename().string();
    const bool folder = entry.is_directory(error);
    const bool readOnly =
        !folder && (entry.status(error).permissions() & kWritePermissions) == fs::perms::none;
    listing[emu::UpperName(path)] = {path, folder, readOnly};
    if (folder) ListFolder(entry.path(), path, listing);
  }
}

}  // namespace

fs::path HostPath(const fs::path& prefix, const std::string& windowsPath, bool create) {
  const std::string canonical = emu::CanonicalPath(windowsPath);
  if (canonical.size() < 3) throw std::runtime_error("not a drive-absolute path: " + windowsPath);
  fs::path host = DriveFolder(prefix, canonical[0], create);
  std::size_t start = 3;
  while (start < canonical.size()) {
    std::size_t end = canonical.find('\\', start);
    if (end == std::string::npos) end = canonical.size();
    host /= MatchName(host, canonical.substr(start, end - start));
    if (create && end < canonical.size()) fs::create_directories(host);
    start = end + 1;
  }
  return host;
}

void LayDrives(const emu::FileSystem& files, const fs::path& prefix) {
  for (const auto& [letter, root] : files.drives) {
    const fs::path folder = DriveFolder(prefix, letter, true);
    fs::create_directories(folder);
    LayNode(root, folder);
  }
}

std::map<std::string, ListedEntry> ListDrives(const fs::path& prefix) {
  std::map<std::string, ListedEntry> listing;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(prefix, error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() != 7 || name.rfind("drive_", 0) != 0 || entry.is_symlink(error)) continue;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[6])));
    ListFolder(entry.path(), std::string(1, letter) + ":", listing);
  }
  return listing;
}

}  // namespace wine_harness
