// What the uninstall makes of one machine image, found out before the run by
// asking the platform (a twin of the machine) the questions the product will ask: which files
// exist where the program looks, what the Shell Folders values and extension keys read as.
// The run's verdict is then derived from these facts and from what the run left, never from
// the product's own success flag.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/emulated/session.h"
#include "safety/footprint.h"

namespace safety {

struct PathFacts {
  std::string path;      // as the program spells it
  std::string id;        // machine_state identity of the place it names; "" when unreachable
  bool visible = false;  // GetFileAttributesA finds something there before the run
};

struct ShortcutFacts {
  std::string valueName;     // "SendTo", "Desktop", "Start Menu"
  bool readable = false;     // the value reads and the shortcut's name fits after it
  bool emptyFolder = false;  // the value is empty: nothing to delete, and no failure
  // The folder came back with '?' for characters the code page cannot hold: it names no file,
  // and the uninstaller fails rather than take the shortcut for gone.
  bool lostName = false;
  PathFacts shortcut;
};

struct ExtensionFacts {
  std::string name;               // ".wrl"
  std::string upperPath;          // "HKCR\.WRL"
  bool namesProduct = false;      // its default value reads "Orbelle", exactly
  std::string previousClass;      // UndoClass's default value as read; "" when unreadable
  bool designDeletesKey = false;  // no usable previous class: the whole key goes
  // The previous class came back with '?' for characters the code page cannot hold: the
  // extension is left as it is, the only record of that class kept.
  bool classNameLost = false;
  bool blocked = false;  // its tree holds a key Windows will not delete
};

struct ProductKeyFacts {
  std::string upperPath;  // "HKCU\SOFTWARE\HALCYRA\ORBELLE"
  bool present = false;
  bool blocked = false;  // a key in its tree cannot be deleted or enumerated
  bool targeted = true;  // the uninstaller deletes it on this machine
};

struct ImageFacts {
  std::string installFolder;  // the tail the launcher hands the worker
  std::string copyPath;       // the temp copy as the launcher names it; "" when it cannot
  PathFacts copy;
  PathFacts uninstaller;
  std::vector<PathFacts> programFiles;
  bool classOpens = false;
  std::vector<ShortcutFacts> shortcuts;  // in the order the worker deletes them
  std::vector<ExtensionFacts> extensions;
  std::vector<ProductKeyFacts> productKeys;
  // Windows 9x: WININIT.INI in the Windows folder, where the worker adds its copy's NUL= line
  // ("" on NT). Its identity is in the footprint; what may change in it is checked line by line.
  std::string wininitId;
  std::string wininitPath;                 // as the product names it
  std::optional<std::string> wininitText;  // before the run; nullopt when there is none
  std::uint32_t wininitAttributes = 0;
  // The copy's path in the short form a NUL= line names it by; "" when the temp folder is
  // missing before the run.
  std::string copyShortPath;
  // The Windows folder's TEMP: where the launcher puts its copy instead when the temp folder it
  // is told of is no folder (a user named outside the code page gets it with '?' in it) or
  // cannot be looked at. The same three facts; "" when the path does not fit.
  std::string fallbackCopyPath;
  PathFacts fallbackCopy;
  std::string fallbackCopyShortPath;
  Footprint footprint;
  // For the locked runs: the files (full paths) and keys ("HKCR\Orbelle\shell") of the
  // footprint that exist before the run.
  std::vector<std::string> deletableFiles;
  std::vector<std::string> deletableKeys;
};

// The twin must equal the machine the run starts from; it is used up by the study.
ImageFacts StudyImage(emu::Session& twin);

}  // namespace safety
