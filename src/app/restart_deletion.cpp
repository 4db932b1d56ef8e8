#include "app/restart_deletion.h"

#include "common/capacities.h"
#include "common/file_checks.h"
#include "common/text_buffer.h"
#include "manifest/manifest.h"

// WININIT.EXE carries out the [rename] section of WININIT.INI in the Windows folder at the next
// start, before long names exist: "NUL=" and a short (8.3) path deletes that file; a long path
// is ignored. The section may already hold other programs' pending lines, every one keyed NUL,
// and the profile call that sets one key would replace them: so the whole section is read,
// extended by one line and written back, which keeps duplicate keys as they are. A section that
// does not fit the buffer is left alone, at the cost of the temp copy staying on disk. The
// profile calls create the file and the section when the file is missing.
static BOOL AppendWininitDeletion(LPCSTR path) {
  char wininitPath[MAX_PATH];
  if (!BuildWindowsFilePath(GetWindowsDirectoryA, WininitFileName, wininitPath)) return FALSE;

  char line[WininitKeyLength + MAX_PATH];
  CopyIfFits(line, WininitKeyLength + 1, WininitDeleteKey);
  DWORD shortLength = GetShortPathNameA(path, line + WininitKeyLength, MAX_PATH);
  if (shortLength == 0 || shortLength >= MAX_PATH) return FALSE;
  int lineLength = lstrlenA(line);

  // Nothing of the buffer is used but what the read filled: an empty answer goes no further
  // unless the file is missing, and the line and both its terminators are written below.
  char section[WininitSectionCapacity];
  // The lines come back each ended by NUL, the last one followed by a second NUL; the result
  // counts all but that last NUL, and is the capacity less 2 when the section was cut.
  DWORD used =
      GetPrivateProfileSectionA(WininitSectionName, section, WininitSectionCapacity, wininitPath);
  if (used >= WininitSectionCapacity - 2) return FALSE;
  // A read that fails answers 0 as a missing section does, and writing the section on that
  // answer would drop other programs' pending lines (a system file's replacement among them).
  // So an existing file that seems to have no [rename] is left alone, at the same cost.
  if (used == 0 && FileExists(wininitPath)) return FALSE;
  if ((int)used + lineLength + 2 > WininitSectionCapacity) return FALSE;
  lstrcpyA(section + used, line);
  section[used + lineLength + 1] = '\0';
  return WritePrivateProfileSectionA(WininitSectionName, section, wininitPath);
}

BOOL ScheduleDeletionAtRestart(LPCSTR path) {
  if (MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT)) return TRUE;
  if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return FALSE;
  return AppendWininitDeletion(path);
}
