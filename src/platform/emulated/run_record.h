// What a run leaves behind: the events in the order they happened, the trace of every platform
// call, the deletions asked for at restart, and what the run showed of handle use and races.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace emu {

struct Event {
  enum class Kind { Start, Message, Sleep, RestartDelete, Exit, ShellNotify, ForeignDll } kind;
  int process = 0;
  std::string image, commandLine, currentDir;  // Start
  std::string caption, text, style, answer;    // Message: style "MB_OK", answer "IDOK", ...
  std::uint32_t ms = 0;                        // Sleep
  std::string path;                            // RestartDelete; ForeignDll: the DLL mapped
  int code = 0;                                // Exit
  std::string what;                            // ShellNotify: "SHCNE_ASSOCCHANGED"
};

// One line a platform call, in the order made; afterEvents is events.size() at the call, so
// a readable transcript can interleave calls with events.
struct TraceLine {
  std::size_t afterEvents = 0;
  std::string text;  // "2: DeleteFileA(\"C:\\x\") = FALSE (ERROR_SHARING_VIOLATION)"
  int process = 0;   // the process that made the call (also the text's prefix)
};

struct RaceOutcome {
  std::size_t race = 0;  // index into the scenario's races
  bool applied = false;
  std::string detail;  // why it was skipped
};

struct RunRecord {
  std::vector<Event> events;
  std::vector<TraceLine> trace;
  std::vector<std::string> restartDeletes;  // MoveFileExA(..., DELAY_UNTIL_REBOOT) requests
  std::size_t answersUsed = 0;              // of the scenario's answers, in order
  std::size_t messageBoxes = 0;

  // What a test needs to see of handle use: handles a process still held when it ended (Windows
  // closes them then), and closes of a handle that was not open (a double close among them).
  std::vector<std::string> leakedHandles;    // "process 1: file 2 C:\WINDOWS\TEMP\obuninst.tmp"
  std::vector<std::string> badHandleCloses;  // "process 1: 0x104"

  std::vector<RaceOutcome> raceOutcomes;  // what became of each race that found its call
};

}  // namespace emu
