// The whole machine as the safety checks compare it: every key, value, folder, file and link,
// with the bytes that make it what it is, keyed so that two spellings Windows takes for one
// name meet on one entry. Built on machine_image::TakeSnapshot, the one flattening of a machine.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/emulated/session.h"

namespace safety {

// Identities: a kind letter (K key, V value, F file, folder or link) and the upper-cased path,
// parts separated by NUL, which no key, value or file name can hold: "K\0HKCR\.WRL",
// "V\0HKCR\.WRL\0" (the default value), "F\0C:\PROGRAM FILES\ORBELLE\README.TXT". Drive
// roots and registry roots are not listed: they cannot go.
struct Item {
  std::string shown;    // the path as spelled on the machine, for messages
  std::string bytes;    // everything that must stay byte for byte: name case, type, data, target
  bool folder = false;  // a folder (not a link to one): deleting it is removing a directory
};
using MachineState = std::map<std::string, Item>;

MachineState CaptureState(const emu::Session& session);

std::string KeyId(const std::string& upperKeyPath);
std::string ValueId(const std::string& upperKeyPath, const std::string& upperValueName);
std::string FileId(const std::string& upperFullPath);

struct Difference {
  std::string id;
  const Item* before = nullptr;  // nullptr: added by the run
  const Item* after = nullptr;   // nullptr: removed by the run
};
std::vector<Difference> Differences(const MachineState& before, const MachineState& after);
std::string Describe(const Difference& difference);

}  // namespace safety
