// Writes chosen registry keys, as they are now, in the text form of the machine images, and
// reads the deletions that wait for the next restart.
#pragma once

#include <string>
#include <vector>

namespace guest {

// Each key that exists is written with all its values (no subkeys: list those too); a missing
// key is left out. Keys are full paths with the root spelled out. HKEY_CLASSES_ROOT is read
// from HKEY_LOCAL_MACHINE\Software\Classes, where Wine keeps the machine's classes, and
// written under its own root, the way the machine images hold it.
// Returns UTF-8 text under the header "Windows Registry Editor Version 5.00".
std::string DumpKeys(const std::vector<std::wstring>& keys);

// The files that MoveFileEx(..., MOVEFILE_DELAY_UNTIL_REBOOT) scheduled for deletion: the
// PendingFileRenameOperations entries whose new name is empty, as DOS paths.
std::vector<std::wstring> PendingDeletions();

}  // namespace guest
