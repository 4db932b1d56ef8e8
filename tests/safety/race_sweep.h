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
void AddForeignFiles(emu::Session& session);

// A race as a run's name shows it: "delete C:\\WINDOWS\\TEMP\\obuninst.tmp after CopyFileA#1",
// "hold C:\\WINDOWS\\TEMP\\obuninst.tmp=always after CopyFileA#1".
std::string Describe(const emu::Race& race);

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

// One run of a machine whose races (machine.races) are set, judged as every safety run is,
// outside what the races changed, and for handles leaked or closed twice.
struct RaceRun {
  RunVerdict verdict;    // without violations when foreign code ran as the worker
  bool foreign = false;  // a process ran no product code
  long foreignStarts = 0;
  bool came = false;     // every race came (once each)
  bool applied = false;  // at least one was carried out, not refused
};
RaceRun RunAndJudgeRace(emu::Session& session, const ImageFacts& facts,
                        const JudgeOptions& options = {}, Ways ways = Ways::HostOnly);

// The launcher's calls from its first touch of the copy to the start of the worker, as races
// name them ("CopyFileA#1"), found in the trace of a clean run.
std::vector<std::string> CallsFromCopyToStart(const emu::Session& cleanRun,
                                              const std::string& copyPath);

// One run for every call, target and action (replace with a foreign exe, delete, link
// elsewhere, rename away; for a file also a scanner's hold, for 3 calls and for ever), each judged
// as every safety run is, outside what the race itself changed, and for handles leaked or closed
// twice; foreign starts are counted apart. With Ways::Three every run also goes through both exes,
// which must meet each race as the host build does.
void SweepRaces(const std::string& name, const MachineMaker& make, const RaceTargets& targets,
                RaceFigures& figures, Ways ways = Ways::HostOnly);

}  // namespace safety
