// A flat picture of a machine's registry and drives: every key, value, file, folder and link
// with what makes it what it is. The one flattening of a machine: the readable transcript says
// from two of them what a run removed, changed and left, the Wine harness holds Wine's machine
// against the emulator's with them, and the tests and safety checks build their views on them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "machine.h"

namespace machine_image {

struct SnapshotValue {
  std::string key;   // "HKCU\Software\Halcyra", as the key is spelled
  std::string name;  // "" for the default value
  std::uint32_t type = 0;
  emu::Bytes data;
};

struct SnapshotEntry {
  std::string path;                       // "C:\WINDOWS\TEMP\obuninst.tmp"
  bool folder = false;                    // a folder, or a link that stands for one
  std::optional<std::string> linkTarget;  // a link (reparse point): listed, never followed
  emu::Bytes content;                     // a file's bytes; empty for folders and links
  std::uint32_t attributes = 0;           // read-only, hidden, system as set
};

// Maps keyed by UpperName of the path, so lookups compare as Windows does. Roots and drive
// roots are not listed: they cannot go away.
struct Snapshot {
  std::map<std::string, std::string> keys;
  std::set<std::string> deniedKeys;             // UpperName of the keys whose deletion is refused
  std::map<std::string, SnapshotValue> values;  // key: UpperName(key path) + '\n' + UpperName(name)
  std::map<std::string, SnapshotEntry> files;
};

Snapshot TakeSnapshot(const emu::Machine& machine);

}  // namespace machine_image
