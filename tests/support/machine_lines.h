// Machines for product tests, written and read as one line per registry value, key, file or
// folder, so a test can state a whole machine and assert the whole machine afterwards.
//
//   "HKCR\\.wrl"                      a key
//   "HKCR\\.wrl|@|Orbelle"            its default value (REG_SZ)
//   "HKCU\\...\\Shell Folders|SendTo|C:\\WINDOWS\\SendTo"   a named REG_SZ value
//   "C:\\Program Files\\Orbelle\\Orbelle.exe"               a file
//   "C:\\WINDOWS\\TEMP\\"             a folder (trailing backslash)
#pragma once

#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "machine_diff.h"
#include "support/new_session.h"

namespace test {

using Lines = std::vector<std::string>;

void AddLines(emu::Session& session, const Lines& lines);
emu::Session MakeSession(const Lines& lines);
// Takes a file or an empty folder out of the machine again.
void RemoveFile(emu::Session& session, const std::string& path);

// Every key (HKLM, HKCU, HKCR), value, folder and file of the machine, sorted. Keys and folders
// are listed even when they have contents, so a removed parent shows as its own line.
std::set<std::string> Snapshot(const emu::Session& session);

struct Change {
  std::set<std::string> removed;  // in before, not after
  std::set<std::string> added;    // in after, not before (a changed value shows in both)
};
// For tests that hold a machine as lines.
Change Compare(const std::set<std::string>& before, const std::set<std::string>& after);
// The machine comparison of two snapshots, told in lines: what the lines show counts (the
// spelling, link targets), file bytes and attributes do not.
Change Changes(const machine_image::Snapshot& before, const machine_image::Snapshot& after);

// Lines joined for readable failure messages.
std::string Join(const std::set<std::string>& lines);

}  // namespace test
