// The whole machine as the safety checks compare it: the snapshot of every key, value, folder,
// file and link, held by identities that the footprint and the facts about an image name.
#pragma once

#include <string>
#include <vector>

#include "machine_diff.h"
#include "platform/emulated/session.h"

namespace safety {

using MachineState = machine_image::Snapshot;
using machine_image::SnapshotItem;

MachineState CaptureState(const emu::Session& session);

// Identities: a kind letter (K key, V value, F file, folder or link) and the upper-cased path,
// parts separated by NUL, which no key, value or file name can hold: "K\0HKCR\.WRL",
// "V\0HKCR\.WRL\0" (the default value), "F\0C:\PROGRAM FILES\ORBELLE\README.TXT". Drive
// roots and registry roots are not listed: they cannot go.
std::string KeyId(const std::string& upperKeyPath);
std::string ValueId(const std::string& upperKeyPath, const std::string& upperValueName);
std::string FileId(const std::string& upperFullPath);
// The item an identity names; nullptr when the machine holds none.
const SnapshotItem* Find(const MachineState& state, const std::string& id);

// Everything counts: the spelling of names, every byte, every attribute.
struct Difference {
  std::string id;
  const SnapshotItem* before = nullptr;  // nullptr: added by the run
  const SnapshotItem* after = nullptr;   // nullptr: removed by the run
};
std::vector<Difference> Differences(const MachineState& before, const MachineState& after);
std::string Describe(const Difference& difference);

}  // namespace safety
