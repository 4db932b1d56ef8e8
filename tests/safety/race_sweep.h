// The race sweep: another program acting on the temp copy, or on another name of the temp
// folder, right after each call of the launcher from the copy to the worker's start.
#pragma once

#include <string>
#include <vector>

#include "safety/safety_runs.h"

namespace safety {

// A temp folder's names: the copy and the folders it lies in, as the launcher names them and
// as they really are when the temp folder is reached through a link.
struct RaceTargets {
  std::vector<std::string> files;    // names of the copy
  std::vector<std::string> folders;  // names of folders on the way to it
};

// A foreign exe and a folder holding a foreign copy, for the races to put in place.
inline constexpr const char* kForeignFolder = "C:\\Evil";
inline constexpr const char* kForeignExe = "C:\\Evil\\evil.exe";
void AddForeignFiles(emu::Machine& machine);

struct RaceFigures {
  long images = 0;
  long calls = 0;  // launcher calls raced after
  long runs = 0;
  long applied = 0, skipped = 0;  // what became of the race
  long succeeded = 0, failed = 0, notStarted = 0;
  long foreignStarts = 0;                // processes that ran no product code
  std::vector<std::string> foreignRuns;  // the races that made one start
  long violations = 0;
  std::vector<std::string> reports;  // the first few violations, with their run
};

// The launcher's calls from its first touch of the copy to the start of the worker, as races
// name them ("CopyFileA#1"), found in the trace of a clean run.
std::vector<std::string> CallsFromCopyToStart(const emu::Machine& cleanRun,
                                              const std::string& copyPath);

// One run for every call, target and action (replace with a foreign exe, delete, link
// elsewhere, rename away), each judged as every safety run is, outside what the race itself
// changed, and for handles leaked or closed twice; foreign starts are counted apart.
void SweepRaces(const std::string& name, const MachineMaker& make, const RaceTargets& targets,
                RaceFigures& figures);

}  // namespace safety
