// A flat picture of a machine's registry and drives: every key, value, file, folder and link
// with what makes it what it is. The one flattening of a machine: machine_diff.h compares two
// of them for everyone who asks whether two machines are the same.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "machine.h"

namespace machine_image {

// A key, value, file, folder or link; each kind fills the fields it has.
struct SnapshotItem {
  std::string path = {};   // "HKCU\Software\Halcyra", a value's key, "C:\WINDOWS\TEMP\x.tmp"
  std::string name = {};   // a value's name, "" for the default value
  std::uint32_t type = 0;  // a value's type
  emu::Bytes data = {};    // a value's data, a file's bytes; empty for folders and links
  bool folder = false;     // a folder, or a link that stands for one
  std::optional<std::string> linkTarget = {};  // a link (reparse point): listed, never followed
  std::uint32_t attributes = 0;                // read-only, hidden, system as set
  bool denied = false;                         // a key whose deletion is refused
};

// Maps keyed by UpperName of the path, so lookups compare as Windows does. Roots and drive
// roots are not listed: they cannot go away.
struct Snapshot {
  std::map<std::string, SnapshotItem> keys;
  std::map<std::string, SnapshotItem> values;  // key: UpperName(key path) + '\n' + UpperName(name)
  std::map<std::string, SnapshotItem> files;
};

Snapshot TakeSnapshot(const emu::Machine& machine);

}  // namespace machine_image
