#include "drives.h"

#include <cctype>
#include <fstream>
#include <map>

#include "encoding.h"
#include "image_error.h"

namespace machine_image {
namespace fs = std::filesystem;

namespace {

constexpr const char* kKeepFile = ".keep";

std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string_view::npos) slash = path.size();
    parts.emplace_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

// Two host names that Windows would take for one (they differ only in case) would silently
// merge; refuse them. Names are kept as Unicode; a host name that is no UTF-8 is read as
// Windows-1252.
class DriveBuilder {
 public:
  explicit DriveBuilder(const ImageSource& source) : source_(source) {}

  emu::FsNode& Child(emu::FsNode& parent, const std::string& parentKey, const std::string& hostPath,
                     const std::string& hostName, bool directory) {
    const std::string name = IsValidUtf8(hostName) ? hostName : AnsiToUtf8(hostName);
    const std::string where = source_.name + "/" + hostPath;
    const auto [seen, first] =
        hostPaths_.try_emplace(parentKey + '\\' + emu::UpperName(name), hostPath);
    if (!first && seen->second != hostPath) {
      throw ImageError(
          where, 0, "Windows takes this name for " + seen->second + ", which is in the image too");
    }
    auto [it, added] = parent.children.try_emplace(emu::UpperName(name));
    if (added) {
      it->second = std::make_unique<emu::FsNode>();
      it->second->name = name;
      it->second->directory = directory;
    } else if (it->second->directory != directory) {
      throw ImageError(where, 0, "is both a file and a folder");
    }
    return *it->second;
  }

 private:
  const ImageSource& source_;
  std::map<std::string, std::string> hostPaths_;  // machine path (upper case) -> host path
};

void WriteNode(const emu::FsNode& node, const fs::path& path) {
  if (node.directory) {
    fs::create_directory(path);
    for (const auto& [upper, child] : node.children) {
      WriteNode(*child, path / child->name);
    }
    return;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(node.content.data()),
            static_cast<std::streamsize>(node.content.size()));
  if (!out)
    throw fs::filesystem_error("cannot write", path, std::make_error_code(std::errc::io_error));
}

}  // namespace

char DriveLetterOfFolder(std::string_view name) {
  if (name.size() != 7 || name.substr(0, 6) != "drive_") return 0;
  const unsigned char letter = static_cast<unsigned char>(name[6]);
  return std::isalpha(letter) ? static_cast<char>(std::toupper(letter)) : 0;
}

void LoadDrives(const ImageSource& source, emu::FileSystem& files) {
  DriveBuilder builder(source);
  for (const ImageEntry& entry : source.entries) {
    std::vector<std::string> parts = SplitPath(entry.path);
    const char letter = DriveLetterOfFolder(parts.front());
    if (letter == 0) continue;
    if (parts.size() == 1 && !entry.directory) continue;  // a file named like a drive folder
    emu::FsNode& root = files.drives[letter];
    root.directory = true;
    if (root.name.empty()) root.name = std::string(1, letter) + ":";
    const bool keep = !entry.directory && parts.back() == kKeepFile;
    if (keep) parts.pop_back();
    emu::FsNode* node = &root;
    std::string key = root.name;
    std::string hostPath = parts.front();
    for (std::size_t i = 1; i < parts.size(); ++i) {
      const bool last = i + 1 == parts.size();
      hostPath += "/" + parts[i];
      node = &builder.Child(*node, key, hostPath, parts[i], !last || entry.directory || keep);
      key += "\\" + emu::UpperName(node->name);
    }
    if (!keep && !entry.directory) node->content.assign(entry.content.begin(), entry.content.end());
  }
}

void WriteDrives(const emu::FileSystem& files, const fs::path& folder) {
  for (const auto& [letter, root] : files.drives) {
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    const fs::path drive = folder / (std::string("drive_") + lower);
    fs::create_directory(drive);
    for (const auto& [upper, child] : root.children) {
      WriteNode(*child, drive / child->name);
    }
  }
}

}  // namespace machine_image
