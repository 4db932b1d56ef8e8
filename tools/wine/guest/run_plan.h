// What orbrun is asked to do, read from a UTF-8 file of KEY=VALUE lines that the host-side
// harness writes (it has already read the machine image and its scenario).
#pragma once

#include <string>
#include <vector>

namespace guest {

struct RunPlan {
  std::wstring exe;                   // exe=: the program to start, with no arguments
  std::vector<std::wstring> answers;  // answers=yes,ok,cancel
  std::vector<std::wstring> holds;    // hold=PATH: opened by a holder process during the run
  std::vector<std::wstring> keys;     // key=ROOT\path: registry keys to dump afterwards
  std::wstring out;                   // out=FOLDER: where the results go
  std::wstring import;                // import=FILE.reg: laid onto the registry before the run
  bool handshake = false;             // handshake=1: wait for the host's screenshot per box
  unsigned timeoutMs = 60000;         // timeout_ms=: the whole run, boxes included
};

// Returns false and fills error when the file cannot be read or a line is not understood.
bool ReadRunPlan(const std::wstring& file, RunPlan& plan, std::wstring& error);

}  // namespace guest
