// A flat picture of a machine's registry and drives, taken before and after a run so the
// readable transcript can say what the run removed, changed and left.
#pragma once

#include <cstdint>
#include <map>
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
  std::string path;  // "C:\WINDOWS\TEMP\obuninst.tmp"
  bool folder = false;
};

// Maps keyed by UpperName of the path, so lookups compare as Windows does. Roots and drive
// roots are not listed: they cannot go away.
struct Snapshot {
  std::map<std::string, std::string> keys;
  std::map<std::string, SnapshotValue> values;  // key: UpperName(key path) + '\n' + UpperName(name)
  std::map<std::string, SnapshotEntry> files;
};

Snapshot TakeSnapshot(const emu::Machine& machine);

}  // namespace machine_image
