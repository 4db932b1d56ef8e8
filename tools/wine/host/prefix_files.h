// The drives of a Wine prefix seen with Windows eyes: drive C: is the folder drive_c/ of the
// prefix, other letters are folders drive_d/... linked from dosdevices/. Wine finds a name
// whatever its letter case, so laying an image on a prefix must reuse a folder that is there
// in another case ("C:\WINDOWS" is Wine's "windows") instead of making a second one.
#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "session.h"

namespace wine_harness {

namespace fs = std::filesystem;

// The host path for a drive-absolute Windows path (Unicode), each part matched in any case
// against what exists; parts that do not exist keep the given spelling. With create, the
// folders on the way are made, and a drive other than C: gets its folder and link.
fs::path HostPath(const fs::path& prefix, const std::string& windowsPath, bool create);

// Writes every file and folder of the machine's drives into the prefix, replacing files that
// are there. A read-only file is laid without write permission: that is how Wine keeps the DOS
// read-only attribute (GetFileAttributesW reports it for a file nobody may write, and
// SetFileAttributesW takes the write bits away or gives them back). Hidden and system live in
// an extended attribute instead, which is not laid (prepare refuses such images).
void LayDrives(const emu::FileSystem& files, const fs::path& prefix);

struct ListedEntry {
  std::string path;  // "C:\windows\Temp\x", Unicode, as spelled on disk
  bool folder = false;
  bool readOnly = false;  // a file without write permission: read-only to Wine
};

// Every file and folder of the prefix's drives, keyed by emu::UpperName of the Windows path.
// Host symbolic links are skipped, never followed.
std::map<std::string, ListedEntry> ListDrives(const fs::path& prefix);

}  // namespace wine_harness
