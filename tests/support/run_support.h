// Whole runs on emulated machines: the texts the user sees, and what a run changed.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/emulated/session.h"

namespace test {

std::string ConfirmText(const std::string& installFolder);
std::string StillRunningText(const std::string& path);
extern const char kInternalError[];
extern const char kSuccess[];

// "process|style|answer|text", the form Boxes() reports.
std::string Box(int process, const char* style, const char* answer, const std::string& text);
std::vector<std::string> Boxes(const emu::Session& session);
// The boxes of a run from the default install whose user said Yes: the worker's success, or
// the launcher's internal error.
std::vector<std::string> UninstalledBoxes();
std::vector<std::string> LauncherFailedBoxes();

struct RunResult {
  emu::RunStatus status;
  std::set<std::string> removed;
  std::set<std::string> added;
};
// Runs the uninstall from the launcher's start, as the user would.
RunResult RunUninstall(emu::Session& session);

// Process starts after the first: "image|command line|current folder".
std::vector<std::string> StartedProcesses(const emu::Session& session);
// Every process that ran: its exit code, or -1 when it did not exit.
std::vector<int> ExitCodes(const emu::Session& session);
int SleepCount(const emu::Session& session);

}  // namespace test
