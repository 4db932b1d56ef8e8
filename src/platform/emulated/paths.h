// Paths as the Win32 file functions read them, and their lookup on the machine's drives.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "machine.h"

namespace emu::detail {

struct PathParts {
  char drive = 0;                  // 'C'
  std::vector<std::string> names;  // below the drive root, as written
  bool trailingSeparator = false;  // the path ended in a separator after a name
};

std::string JoinPath(const PathParts& parts);  // "C:\A\b"; a drive root is "C:\"

// A drive-absolute path, with no limit on length or characters (host side: images, locks).
std::optional<PathParts> ParseAbsolute(std::string_view path);

// A path as a program passes it (already in the machine's Unicode), relative ones taken from
// currentDir (a full path). Returns 0, or the error Windows gives before it looks at the disk
// (length in UTF-16 units, syntax; a wildcard '?' or '*' is ERROR_INVALID_NAME).
std::uint32_t ParseProgramPath(std::string_view path, std::string_view currentDir, PathParts& out);

struct Location {
  std::uint32_t error = 0;   // nonzero: the path could not be walked to its last name
  FsNode* folder = nullptr;  // the folder that holds (or would hold) the last name
  FsNode* node = nullptr;    // the named node itself, a link not followed; nullptr: missing
  std::string name;          // the last name as written (the name a new file gets)
  PathParts real;            // the path with the links of its folder part followed
  PathParts spelled;         // the path as asked for, links kept, each name as on the disk
  bool root = false;         // the path names a drive root
  bool trailingSeparator = false;

  std::string RealPath() const { return JoinPath(real); }
};

// Walks parsed parts; links in the folder part are followed, as Windows follows them.
Location LocateParts(FileSystem& files, const PathParts& parts, int depth = 0);
// A program's path from the current process, in its code page: syntax and length checks, then
// the walk.
Location LocateForProcess(const char* path);
// Where a link finally leads (missing target: node nullptr, folder set when its folder exists).
// A location that is no link comes back unchanged.
Location FollowLink(FileSystem& files, Location location, int depth = 0);

bool IsDirectory(const FsNode& node);

// The entry of `folder` whose generated 8.3 alias is `name` (short_names.cpp), or nullptr: a
// name that is already 8.3 has no alias and is found by itself.
FsNode* ChildByShortName(FsNode& folder, std::string_view name,
                         unsigned codePage);  // a folder, or a link to a folder

}  // namespace emu::detail
